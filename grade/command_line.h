// tarnwick-grade's command line read into what it grades and how: the
// format, the caps, the test set and its submissions or the graph, source
// and result files, and the programs to run.
#ifndef TARNWICK_GRADE_COMMAND_LINE_H_
#define TARNWICK_GRADE_COMMAND_LINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "grade/grade.h"
#include "grade/programs.h"
#include "grade/testset.h"

namespace tarnwick {

struct GradeCommand {
  Format format = Format::kText;
  std::string testset;  // --testset DATA; empty: graph, source and result files
  std::string output_name = kDefaultOutputName;
  std::string visibility = "visible";
  std::string standings;  // --standings: the standings' own file, else "" (after the records)
  uint64_t max_bytes = kDefaultMaxResultBytes;
  ProgramOptions programs;  // run empty: no programs
  std::vector<std::string> operands;
};

// Reads args into *out. Returns false with *why set when the options and
// operands do not go together (wrong use; an empty *why: the usage says it).
bool read_grade_command(const Args& args, GradeCommand* out, std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_COMMAND_LINE_H_
