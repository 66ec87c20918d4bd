// Grading a class: many result files judged in parallel through one judging
// case, each outcome reported in the order the files were given, and the
// records that tell them (text, csv, jsonl).
#ifndef TARNWICK_GRADE_GRADE_H_
#define TARNWICK_GRADE_GRADE_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/case.h"
#include "check/judge.h"
#include "check/result_file.h"
#include "explain/explain.h"

namespace tarnwick {

// The outcome for one result file.
struct Graded {
  std::string path;
  bool judged = false;
  Verdict verdict;     // set when judged
  std::string reason;  // the system's reason when not judged ("No such file or directory")
  int error = 0;       // the errno behind `reason`, or 0 (too large, out of memory)
  std::string student = {};  // when asked for a wrong answer: tarnwick-explain --student's text
};

// Returns true when the file was judged and its verdict is Success.
inline bool succeeded(const Graded& g) { return g.judged && g.verdict.kind == Verdict::kSuccess; }

// The largest result file judged by default: 4 GiB.
inline constexpr uint64_t kDefaultMaxResultBytes = uint64_t{4} << 30;

// How a class's files are graded.
struct GradeOptions {
  int32_t threads = 1;  // at least 1
  // A FIFO without a writer holds nothing; a larger file is not judged.
  ResultLimits limits = {false, kDefaultMaxResultBytes};
  // When set, a wrong answer in a regular file is explained to the student
  // (Graded::student), through this request's case and graph input.
  const ExplainRequest* explain = nullptr;
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

// Where a record of a test set comes from, beside its outcome.
struct RecordPlace {
  std::string submission;  // the submission folder as given
  std::string test;        // the test's name
  int64_t milli_points = 0;  // the points earned, in thousandths
};

// Returns what comes before the first record: the column names for kCsv
// (with submission, test and points for a test set), else "".
std::string format_header(Format format, bool testset);

// Returns one outcome as a line, line end included: for kText the path
// (escaped, see text_field), the test's name for a test set, a tab and the
// verdict or "not judged: REASON"; for kCsv and kJsonl the path (valid UTF-8;
// its exact bytes in hexadecimal as path_bytes when it is not), the verdict,
// line K (wrong answers only) and whether the file was judged, after the
// submission and test and before the points for a test set (`place` set).
std::string format_record(Format format, const Graded& graded,
                          const RecordPlace* place = nullptr);

// Returns the verdict as the judge prints it, without its line end, or
// "not judged: REASON".
std::string outcome_text(const Graded& graded);

// Returns thousandths of a point as a decimal number without trailing zeros
// ("7.5" for 7500, "2" for 2000).
std::string milli_text(int64_t milli);

// Counts of outcomes, for the summary.
struct Tally {
  int64_t succeeded = 0, wrong = 0, empty = 0, not_judged = 0;
  // Counts one outcome.
  void add(const Graded& graded);
  // Counts every outcome of `all`.
  void add(std::span<const Graded> all);
  // Returns how many outcomes were counted.
  int64_t total() const { return succeeded + wrong + empty + not_judged; }
  // Returns "A succeeded, B wrong, C empty, D not judged".
  std::string counts() const;
  // Returns "N files: A succeeded, B wrong, C empty, D not judged".
  std::string summary() const;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_GRADE_H_
