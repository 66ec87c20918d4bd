// tarnwick-grade's command line read into what it grades and how: the
// format, the caps, the test set and its submissions or the graph, source
// and result files, and the programs to run.
#ifndef TARNWICK_GRADE_COMMAND_LINE_H_
#define TARNWICK_GRADE_COMMAND_LINE_H_

#include <cstdint>
#include <ctime>
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

// Returns the options tarnwick-grade takes: its own, then those of programs.
std::vector<OptionSpec> grade_options();

// Returns how the test set of c is graded (no progress hook yet).
ClassOptions class_options(const GradeCommand& c);

// Returns what c's --format asks for of a graded test set, dated `now`.
std::string class_output(const GradeCommand& c, const ClassResults& r, time_t now);

// Reads args into *out. Returns false with *why set when the options and
// operands do not go together (wrong use; an empty *why: the usage says it).
bool read_grade_command(const Args& args, GradeCommand* out, std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_COMMAND_LINE_H_
