// tarnwick as the checker of a judging system: one test (its input file
// holds the graph, and maybe the source after the m-th edge), a model answer
// that must be accepted (or an empty answer file: no model answer), and a
// team's output judged through the test's case, weighed once, then told in
// the system's own conventions: Kattis and DOMjudge, testlib, CMS.
#ifndef TARNWICK_SYSTEMS_CHECKER_H_
#define TARNWICK_SYSTEMS_CHECKER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/case.h"
#include "check/result_file.h"
#include "explain/explain.h"
#include "graph/graph_file.h"

namespace tarnwick {

// The calling conventions tarnwick-checker speaks.
enum class System {
  kNone,
  kKattis,   // Kattis and DOMjudge output validators: exit 42 accepted, 43 wrong
  kTestlib,  // testlib-style checkers: exit 0 accepted, 1 wrong, 2 presentation, 3 judge failure
  kCms,      // CMS checkers: the score on standard output, exit 0 for every verdict
};

// The command line: the system, the options, the files in order.
struct CheckerArgs {
  System system = System::kNone;
  std::optional<std::string> source;  // --source S
  bool judge_details = false;         // --judge-details: the expected distance in the message
  std::vector<std::string> files;     // the operands, as the system gives them
};

// One test: the input file's graph loaded and solved once, from --source or
// the source it carries after the m-th edge.
struct TestCase {
  std::string input_path;
  GraphFile graph;
  Case judging;

  // Loads and solves the input file at `path` through `options` (edges are
  // always noted, for explanations). Returns false with *why set when the
  // test cannot be judged, a graph of no vertex included (nothing could be
  // judged wrong on it).
  bool load(const std::string& path, const std::optional<std::string>& source, std::string* why,
            CaseOptions options = {});
  // Returns how explain() reaches this test.
  ExplainRequest request() const;
};

// What the answer file of a test came to.
struct ModelAnswer {
  // kAbsent: the file is empty, the author's mark for a test without a model
  // answer (one tarnwick-solve cannot write): the team output alone is judged.
  enum Kind { kAccepted, kAbsent, kBroken };
  Kind kind = kBroken;
  std::string why;  // for kBroken: the broken test named, or why the file cannot be read
};

// Judges the model answer at answer_path against the test.
ModelAnswer model_answer(const TestCase& test, const std::string& answer_path);

// What one team output came to.
struct TeamOutcome {
  // kNoOutput: the team output cannot be read (a judge error where the system
  // hands it over, a presentation error where the team's program writes it).
  enum Kind { kAccepted, kWrong, kWrongUse, kJudgeError, kNoOutput };
  Kind kind = kJudgeError;
  std::string why;  // for the others than kAccepted and kWrong: one line
};

// Returns the exit status that `system` expects for an outcome of `kind`:
// never an accepted or wrong status for kWrongUse or kJudgeError.
int exit_status(System system, TeamOutcome::Kind kind);

// Judges the team output in `team` and weighs it once (*e, with why each
// step of a wrong line weighs what it does): kAccepted or kWrong, or
// kNoOutput with why "TEAM_NAME: reason" when it cannot be read.
TeamOutcome weigh_team(TestCase& test, ResultFile& team, const std::string& team_name,
                       Explanation* e);

// Returns what contestants may be shown of a verdict weighed by weigh_team:
// for a line weighed wrong, tarnwick-explain --student's text (kStudentSteps
// steps at most); else, or when the steps could not be told, the verdict and
// which line is wrong or missing; never the expected distance. Lines end
// with a line end. Every system's message for contestants is built here alone.
std::string contestant_message(const Explanation& e);

// Returns the short account for the judges: the verdict, and which line is
// wrong and what it weighs against the expected distance.
std::string judge_message(const Explanation& e);

// Returns text on one line: each line without its leading spaces, joined by
// "; " (by a space after a line ending in ':' or '.'), control characters
// escaped.
std::string one_line(std::string_view text);

// Returns the result file testlib writes for an outcome of `kind` with
// `message` (testlib's own words for it are not part of it): the message
// alone, or with `appes` testlib's XML.
std::string testlib_result_text(TeamOutcome::Kind kind, const std::string& message, bool appes);

// Runs the checker for args (a command line whose files fit), the test's
// long pass reported to `progress`, then erased by `progress_done`. Returns
// the exit status.
int run_checker(const CheckerArgs& args, const std::function<void(double)>& progress,
                const std::function<void()>& progress_done);

// Tells wrong use (why) the way args' system expects, and returns its exit status.
int tell_wrong_use(const CheckerArgs& args, const std::string& usage, const std::string& why);

// Tells a judge failure (why) the way args' system expects, and returns its
// exit status.
int tell_failure(const CheckerArgs& args, const std::string& why);

}  // namespace tarnwick

#endif  // TARNWICK_SYSTEMS_CHECKER_H_
