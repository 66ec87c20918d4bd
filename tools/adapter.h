// tarnwick as the checker of a judging system: one test case (its input file
// holds the graph, and maybe the source after the m-th edge), a model answer
// that must be accepted, and a team's output judged by the same `judge`.
#ifndef TARNWICK_TOOLS_ADAPTER_H_
#define TARNWICK_TOOLS_ADAPTER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/judge.h"
#include "graph/apsp.h"
#include "graph/reader.h"
#include "graph/tables.h"

namespace tarnwick {

// The calling conventions tarnwick-checker speaks.
enum class System {
  kNone,
  kKattis,   // Kattis and DOMjudge output validators: exit 42 accepted, 43 wrong
  kTestlib,  // testlib-style checkers: exit 0 accepted, 1 wrong, 2 presentation, 3 judge failure
};

// Returns the system a program name calls for: a base name ending in
// "-kattis" (or "-domjudge") or "-testlib"; kNone for any other.
System system_from_name(std::string_view argv0);

// The command line: the system, the source flag, the files in order.
struct CheckerArgs {
  System system = System::kNone;
  std::optional<std::string> source;  // --source S
  std::vector<std::string> files;
};

// Reads argv (options anywhere before a "--": --kattis, --domjudge, --testlib,
// --source S or --source=S) into *args, the system first taken from the
// program name. Returns false with *why set on wrong use; args->system is
// set as far as it is known, so that the failure can be told its way.
bool parse_checker_args(int argc, const char* const* argv, CheckerArgs* args, std::string* why);

// Reads a --source value: a decimal vertex id from 0 to V - 1 and nothing else.
// Returns false with *why set otherwise.
bool parse_source_flag(const std::string& text, int32_t* source, std::string* why);

// Reads the source that a test input carries after its m-th edge: the next
// number `in` holds once `input` has returned on it (report: what input said).
// Returns false with *why set when there is none or it does not fit the tables.
bool read_carried_source(ByteReader& in, const std::string& warning, int32_t* source,
                         std::string* why);

// One test case, loaded and solved. Not movable: the solved row points to the graph.
class TestCase {
 public:
  TestCase() = default;
  TestCase(const TestCase&) = delete;
  TestCase& operator=(const TestCase&) = delete;

  // Loads the graph of the input file at `path` with the judge's loader and
  // solves it from `source`, or from the source carried after the m-th edge
  // when `source` is empty. Returns false with *why set ("PATH: reason").
  bool load(const std::string& path, const std::optional<std::string>& source, std::string* why);

  const Graph& graph() const { return g_; }
  const SourceRow& row() const { return *row_; }           // requires a successful load()
  const std::string& warning() const { return warning_; }  // the loader's, or ""

 private:
  Graph g_;
  std::optional<SourceRow> row_;
  std::string warning_;
};

// What checking one team output came to.
struct Checked {
  // kNoOutput: the team output cannot be read (a judge error where the system
  // hands it over, a presentation error where the team's program writes it).
  enum Kind { kAccepted, kWrong, kWrongUse, kJudgeError, kNoOutput };
  Kind kind = kJudgeError;
  Verdict verdict;  // for kAccepted and kWrong
  std::string why;  // for the others: one line
};

// Returns the exit status that `system` expects for an outcome of `kind`:
// never an accepted or wrong status for kWrongUse, kJudgeError or kNoOutput.
int exit_status(System system, Checked::Kind kind);

// Judges the model answer at answer_path, which must be accepted. Returns ""
// when it is, else the judge error: the broken test named, or why the answer
// file cannot be read.
std::string check_answer(const TestCase& test, const std::string& input_path,
                         const std::string& answer_path);

// Judges the team output read from `team`: kAccepted or kWrong, or kNoOutput
// with why "TEAM_NAME: reason" when it cannot be read.
Checked check_team(const TestCase& test, ByteReader& team, const std::string& team_name);

// Returns what the judges are told of a verdict in one short message: the
// verdict line, and for a wrong answer line K, the source and the expected
// distance APSP.at(K), or that line K is missing. Lines end with a line end.
std::string judge_message(const Verdict& verdict, const Graph& g, const SourceRow& APSP);

// Returns tarnwick-explain's account of the team output open on fd (the steps
// of the first wrong line with their weights, the total, the expected
// distance), judged again from its start against the input file at
// input_path from `source`; "" when fd is not a file that can be read again
// (a pipe) or the explanation fails. Requires source to fit the tables.
std::string explained(const std::string& input_path, int32_t source, int fd);

// Returns what the team is told: the verdict line alone.
std::string team_message(const Verdict& verdict);

// Runs the checker for args (a parsed command line). Returns the exit status.
int run_checker(const CheckerArgs& args);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_ADAPTER_H_
