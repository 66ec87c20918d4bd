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

#include "check/case.h"
#include "check/judge.h"
#include "graph/apsp.h"
#include "graph/reader.h"
#include "graph/tables.h"
#include "tools/explain_lib.h"

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

// One test case: the input file's graph loaded and solved once, from
// --source or the source it carries after the m-th edge.
struct TestCase {
  std::string input_path;
  GraphFile graph;
  Case c;

  // Loads and solves the input file at `path`. Returns false with *why set.
  bool load(const std::string& path, const std::optional<std::string>& source, std::string* why);
  // Returns how explain() reaches this case.
  ExplainRequest request() const;
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

// Judges the team output read from `team` and weighs its wrong line (*e):
// kAccepted or kWrong, or kNoOutput with why "TEAM_NAME: reason" when it
// cannot be read.
Checked check_team(TestCase& test, ByteReader& team, const std::string& team_name,
                   Explanation* e);

// Returns what the judges are told of a verdict in one short message: the
// verdict line, and for a wrong answer line K, the source and the expected
// distance APSP.at(K), or that line K is missing. Lines end with a line end.
std::string judge_message(const Verdict& verdict, const Graph& g, const SourceRow& APSP);

// Returns tarnwick-explain's account of a wrong team output weighed by
// check_team (the steps of the first wrong line with their weights, the
// total, the expected distance), or "" when the graph lines cannot be found.
std::string explained(TestCase& test, Explanation e);

// Returns what the team is told: the verdict line alone.
std::string team_message(const Verdict& verdict);

// Runs the checker for args (a parsed command line). Returns the exit status.
int run_checker(const CheckerArgs& args);

// Tells a judge failure (why) the way args' system expects, and returns its
// exit status.
int judge_failure(const CheckerArgs& args, const std::string& why);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_ADAPTER_H_
