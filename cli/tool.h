// What every front end shares on its command line: the exit statuses, one-line
// messages on standard error, --help and --version, checked writes to
// standard output, and a main that turns a failure no code path expected
// (out of memory) into one line instead of an abort.
#ifndef TARNWICK_CLI_TOOL_H_
#define TARNWICK_CLI_TOOL_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace tarnwick {

// Exit statuses. The judge and every tool: 0 done, 1 wrong use, 2 cannot.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWrongUse = 1;
inline constexpr int kExitCannot = 2;
// tarnwick-validate: the file was read and breaks a rule.
inline constexpr int kExitErrorsFound = 3;
// Kattis and DOMjudge validators: accepted, and wrong (or an invalid input).
inline constexpr int kExitKattisAccepted = 42;
inline constexpr int kExitKattisWrong = 43;
// testlib checkers: accepted, wrong answer, presentation error, judge failure.
inline constexpr int kExitTestlibOk = 0;
inline constexpr int kExitTestlibWrong = 1;
inline constexpr int kExitTestlibPresentation = 2;
inline constexpr int kExitTestlibFail = 3;

struct ToolInfo {
  const char* name;     // "tarnwick-gen": the program name in every message
  const char* usage;    // "Usage: tarnwick-gen ...\n", line end included
  const char* summary;  // what --help prints after the usage line, line ends included
};

// Returns the project's version, "0.1.0" (CMake's project version).
const char* tarnwick_version();

// Returns write(item) for each of items, with sep between them.
template <typename Items, typename Write>
std::string joined(const Items& items, std::string_view sep, Write write) {
  std::string t;
  bool first = true;
  for (const auto& item : items) {
    if (!first) t += sep;
    t += write(item);
    first = false;
  }
  return t;
}

// Prints "NAME: message" on standard error, on one line (control characters
// escaped).
void say(std::string_view name, std::string_view message);

// Answers a "--help" or "--version" argument, if any comes before a "--"
// and is not the value of one of the value `options` given as "--name VALUE":
// prints the usage and summary, or "NAME VERSION", on standard output and
// returns kExitOk (kExitCannot, told as `cannot` does, when standard output
// fails). Returns -1 when there is neither.
int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv,
                           std::span<const OptionSpec> options = {});

// Prints "NAME: why" (when why is not empty) and the usage line on standard
// error. Returns kExitWrongUse.
int wrong_use(const ToolInfo& tool, const std::string& why = "");

// Prints "NAME: reason" on standard error. Returns kExitCannot.
int cannot(const ToolInfo& tool, const std::string& reason);

// Writes text to standard output and flushes it. Returns false with *err set
// to the system's reason when any of it cannot be written.
bool write_out(std::string_view text, std::string* err);

// Writes text into the file at path, made when missing and emptied first when
// it is there. Never waits: what is not a regular file (a FIFO, a device) is
// refused. Returns false with *err set to "PATH: reason" when it cannot.
bool write_file(const std::string& path, std::string_view text, std::string* err);

// Reads the whole regular file at path into *text. Never waits: what is not
// a regular file (a FIFO, a folder, a device) is refused, as a dangling link
// is ("No such file or directory"). Returns false with *err set to "PATH:
// reason" ("PATH: not a regular file") when it cannot.
bool read_file(const std::string& path, std::string* text, std::string* err);

// Writes text to standard output. Returns kExitOk, or kExitCannot once it has
// said "NAME: standard output: reason".
int print(const ToolInfo& tool, std::string_view text);

// What a front end's main runs: argc and argv in, the exit status out.
using MainBody = std::function<int(int argc, char** argv)>;
// Turns a failure that no code path handled ("out of memory", or an
// exception's own words) into an exit status, once it is told.
using FailureHandler = std::function<int(const std::string& reason)>;

// Returns body(argc, argv), with a standard descriptor that came closed held
// so that using it fails as on a closed one (no file opened takes its
// number). When body throws, the failure is told in one
// line "NAME: reason" and kExitCannot is returned, or, with `failed` set,
// failed(reason) is (a judging system's own way of telling it).
int guarded_main(std::string_view name, const MainBody& body, int argc, char** argv,
                 const FailureHandler& failed = {});

}  // namespace tarnwick

#endif  // TARNWICK_CLI_TOOL_H_
