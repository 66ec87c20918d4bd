// Grading a class: many result files judged in parallel through one judging
// case, each outcome reported in the order the files were given, and the
// records that tell them (text, csv, jsonl). A file may come from a student's
// program, run just before it is judged; a program that fails is a verdict of
// its own and its output is not judged.
#ifndef TARNWICK_GRADE_GRADE_H_
#define TARNWICK_GRADE_GRADE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/case.h"
#include "check/judge.h"
#include "check/result_file.h"
#include "explain/explain.h"
#include "grade/run.h"

namespace tarnwick {

// How a student's program failed before its output could be judged: the
// submission did not build, or its run on the test ended at a limit or
// abnormally. Each is a verdict of its own, the student's doing.
enum class RunFailure {
  kNone,           // it built and finished: its output is judged
  kCompileError,   // the build command failed (for every test of the submission)
  kTimeLimit,      // more CPU time than the limit
  kWallTimeLimit,  // stopped at the wall limit within its CPU time (it waited or slept)
  kMemoryLimit,    // ended abnormally near the memory limit
  kRuntimeError,   // another exit status than 0, or killed by a signal
  kOutputLimit,    // more output than the limit
};
inline constexpr int kRunFailures = 7;

// How a student's program ran for one test.
struct ProgramRun {
  RunFailure failure = RunFailure::kNone;
  // The run on the test, or for kCompileError the build's.
  RunResult result;
  // Its standard error as kept (its first and last lines): for
  // kCompileError the compiler's.
  std::string errors;
  // Why the grader could not run it at all ("cannot run: ..."), or "": then
  // the test is not judged, as an unreadable file is not.
  std::string not_run;
};

// The outcome for one result file.
struct Graded {
  std::string path;
  bool judged = false;
  Verdict verdict;     // set when judged
  std::string reason;  // the system's reason when not judged ("No such file or directory")
  int error = 0;       // the errno behind `reason`, or 0 (too large, out of memory)
  std::string student = {};  // when asked for a wrong answer: tarnwick-explain --student's text
  // For a wrong answer: what a right solution can still have fallen into
  // (explain's grading_note: a trap, or a file written as UTF-16), or "".
  std::string note = {};
  double seconds = 0;  // how long judging the file took (a program's run not included)
  // When the file came from a student's program: how it ran.
  std::optional<ProgramRun> program = {};
};

// Returns true when the file was judged and its verdict is Success.
inline bool succeeded(const Graded& g) { return g.judged && g.verdict.kind == Verdict::kSuccess; }

// Returns how the program behind g failed, or kNone (no program, or it finished).
inline RunFailure run_failure(const Graded& g) {
  return g.program ? g.program->failure : RunFailure::kNone;
}

// Returns the failure's verdict: "Compile error", "Time limit exceeded",
// "Wall time limit exceeded", "Memory limit exceeded", "Run-time error: exit
// status 3" (or ": killed by signal 11 (SIGSEGV)"), "Output limit exceeded".
std::string failure_verdict(const ProgramRun& run);

// Returns the failure's short name, for counts and reports: "compile error",
// "time limit", "wall time limit", "memory limit", "run-time error", "output
// limit" ("" for kNone).
const char* failure_name(RunFailure failure);

// The largest result file judged by default: 4 GiB.
inline constexpr uint64_t kDefaultMaxResultBytes = uint64_t{4} << 30;

// A result file that must lie inside a folder (a submission's): the folder,
// and the name of the file inside it.
struct Below {
  std::string folder, inside;
};

// The reasons of a file opened below a submission folder that was not judged.
inline constexpr char kOutsideReason[] = "leads outside the submission";
inline constexpr char kNoFolderReason[] = "no such folder";
inline constexpr char kNotFolderReason[] = "not a folder";

// Returns the reason a submission folder's file was not opened, from where
// ResultFile::open_below stopped and its errno: kOutsideReason, "no such
// folder", "not a folder", "missing" for a file that is not there, else the
// system's reason `why`.
std::string below_reason(BelowFault fault, int error, const std::string& why);

// How a class's files are graded.
struct GradeOptions {
  int32_t threads = 1;  // at least 1
  // A FIFO without a writer holds nothing; a larger file is not judged.
  ResultLimits limits = {false, kDefaultMaxResultBytes};
  // When set, a wrong answer in a regular file is weighed again through this
  // request's case and graph input, for its note (Graded::note) and, with
  // student_text, the student's explanation (Graded::student).
  const ExplainRequest* explain = nullptr;
  bool student_text = false;
  // When set, makes file i first, on the worker that then judges it (a
  // student's program writing its output there), and tells how: a program
  // that failed or could not run leaves the file unjudged.
  std::function<ProgramRun(size_t i)> produce = {};
  // When not empty, file i is opened as below[i] says (ResultFile::open_below)
  // rather than at its path: a file that leads outside its folder is not judged.
  std::vector<Below> below = {};
};

// Judges every file of `paths` through `judging` on up to options.threads
// threads, and hands each outcome to `emit` on the calling thread, in the
// order of `paths`, as soon as it and all before it are known. A file of more
// than the limit's bytes is not judged ("larger than N bytes"), and is read
// no further than it takes to tell.
void grade_all(const std::vector<std::string>& paths, const Case& judging,
               const GradeOptions& options, const std::function<void(const Graded&)>& emit);

// How outcomes are written. The last three are for a test set only.
enum class Format { kText, kCsv, kJsonl, kGradescope, kJunit, kHtml };

// Reads a format's name ("text", "csv", "jsonl", "gradescope", "junit",
// "html") into *format. Returns false for anything else.
bool parse_format(std::string_view name, Format* format);

// Returns the name of `format`, as parse_format reads it.
std::string format_name(Format format);

// Where a record of a test set comes from, beside its outcome.
struct RecordPlace {
  std::string submission;  // the submission folder as given
  std::string test;        // the test's name
  int64_t milli_points = 0;  // the points earned, in thousandths
};

// Returns what comes before the first record: the column names for kCsv
// (with submission, test and points for a test set, and the run's figures
// when programs ran), else "".
std::string format_header(Format format, bool testset, bool programs = false);

// Returns one outcome as a line, line end included: for kText the path
// (escaped, see text_field), the test's name for a test set, a tab and the
// verdict or "not judged: REASON"; for kCsv and kJsonl the path (valid UTF-8;
// its exact bytes in hexadecimal as path_bytes when it is not), the verdict,
// line K (wrong answers only) and whether the file was judged, after the
// submission and test and before the points for a test set (`place` set);
// for a program's output, then its run: csv's cpu_seconds, wall_seconds and
// peak_memory_bytes, jsonl's "run" object.
std::string format_record(Format format, const Graded& graded,
                          const RecordPlace* place = nullptr);

// Returns the verdict as the judge prints it, without its line end, the
// program's failure (failure_verdict), or "not judged: REASON".
std::string outcome_text(const Graded& graded);

// Returns the figures of a program's run for a person: "0.51 s of CPU, 0.53 s
// wall, peak 3.0 MiB"; for a build that failed, what ended it ("exit status 1").
std::string run_figures(const ProgramRun& run);

// Returns thousandths of a point as a decimal number without trailing zeros
// ("7.5" for 7500, "2" for 2000).
std::string milli_text(int64_t milli);

// Counts of outcomes, for the summary.
struct Tally {
  int64_t succeeded = 0, wrong = 0, empty = 0, not_judged = 0;
  int64_t failed[kRunFailures] = {};  // by RunFailure; [0] unused
  bool programs = false;              // some outcome came from a program
  // Counts one outcome.
  void add(const Graded& graded);
  // Counts every outcome of `all`.
  void add(std::span<const Graded> all);
  // Returns how many programs failed, whatever the failure.
  int64_t failures() const;
  // Returns how many outcomes were counted.
  int64_t total() const { return succeeded + wrong + empty + failures() + not_judged; }
  // Returns "A succeeded, B wrong, C empty, D not judged"; when programs
  // ran, each failure's count comes before "not judged": "E compile errors,
  // F time limits, G wall time limits, H memory limits, I run-time errors,
  // J output limits" (singular for one).
  std::string counts() const;
  // Returns "N files: A succeeded, B wrong, C empty, D not judged".
  std::string summary() const;
};

// Grades `paths` as grade_all does and writes format_header(format, false),
// then each record as it comes, to `out`, counting the outcomes into *tally.
// Returns false with *error_number set (errno, else EIO) when writing fails.
bool write_records(const std::vector<std::string>& paths, const Case& judging,
                   const GradeOptions& options, Format format, FILE* out, Tally* tally,
                   int* error_number);

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_GRADE_H_
