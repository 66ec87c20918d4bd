// A test set described in a few lines, one test a line, in tarnwick-gen's
// words for the graph:
//
//   NAME vertices edges min_weight max_weight seed [connected] [simple|repeats]
//        [source=S] [points=P]
//
// A '#' starts a comment that runs to the end of its line. Graphs are simple
// unless a line says `repeats`: a repeated pair is a trap for students (the
// later weight wins), so a test holds one only when asked.
#ifndef TARNWICK_TESTSET_DESCRIPTION_H_
#define TARNWICK_TESTSET_DESCRIPTION_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gen/gen.h"

namespace tarnwick {

// One test of a description.
struct TestPlan {
  std::string name;             // its files are NAME.in and NAME.ans
  GenOptions graph;             // simple unless `repeats`; its source 1 unless source=S
  int64_t milli_points = 1000;  // points=P, in thousandths of a point
  int64_t line = 0;             // the line of the description that gives it
};

// Reads the description at `path` ("-": standard input) into *text, and its
// name in messages into *label (the path, or "<stdin>"). Returns false with
// *why set ("PATH: reason") when it cannot be read.
bool read_description(const std::string& path, std::string* text, std::string* label,
                      std::string* why);

// Reads a description's text, called `label` in messages, into *plans in
// its order. Returns false with *why set, "LABEL:LINE: reason" for a line
// that is wrong, "LABEL: no test described" for one without a test.
bool parse_description(std::string_view text, const std::string& label,
                       std::vector<TestPlan>* plans, std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_TESTSET_DESCRIPTION_H_
