// What every instructor tool shares on its command line: --help and --version
// on standard output with exit 0, wrong use answered by the usage line with
// exit 1, and what the tool cannot do told in one line "NAME: reason" with exit 2.
#ifndef TARNWICK_TOOLS_CLI_H_
#define TARNWICK_TOOLS_CLI_H_

#include <string>

namespace tarnwick {

// Exit statuses every tool shares (a tool may add its own).
inline constexpr int kToolOk = 0;
inline constexpr int kToolWrongUse = 1;
inline constexpr int kToolCannot = 2;

struct ToolInfo {
  const char* name;     // "tarnwick-gen": the program name in every message
  const char* usage;    // "Usage: tarnwick-gen ...\n", line end included
  const char* summary;  // what --help prints after the usage line, line ends included
};

// Returns the project's version, "0.1.0" (CMake's project version).
const char* tarnwick_version();

// Answers a "--help" or "--version" argument, if any comes before a "--":
// prints the usage and summary, or "NAME VERSION", on standard output and
// returns kToolOk (kToolCannot, told as `cannot` does, when standard output
// fails). Returns -1 when there is neither.
int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv);

// Prints "NAME: why" (when why is not empty) and the usage line on standard
// error. Returns kToolWrongUse.
int wrong_use(const ToolInfo& tool, const std::string& why = "");

// Prints "NAME: reason" on standard error, on one line (control characters
// escaped). Returns kToolCannot.
int cannot(const ToolInfo& tool, const std::string& reason);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_CLI_H_
