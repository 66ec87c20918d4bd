// Grading a class: many result files judged against one loaded and solved
// graph, in parallel, each outcome reported in the order the files were given.
#ifndef TARNWICK_TOOLS_GRADING_H_
#define TARNWICK_TOOLS_GRADING_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "check/judge.h"
#include "graph/apsp.h"
#include "graph/tables.h"
#include "tools/json.h"

namespace tarnwick {

// The outcome for one result file.
struct Graded {
  std::string path;
  bool judged = false;
  Verdict verdict;     // set when judged
  std::string reason;  // the system's reason when not judged ("No such file or directory")
};

// Judges every file of `paths` with `judge` against Dist and APSP, on up to
// `threads` threads (at least 1), and hands each outcome to `emit` on the
// calling thread, in the order of `paths`, as soon as it and all before it are known.
void grade_all(const std::vector<std::string>& paths, const DirectWeights& Dist,
               const SourceRow& APSP, int32_t threads,
               const std::function<void(const Graded&)>& emit);

// How outcomes are written.
enum class Format { kText, kCsv, kJsonl };

// Reads "text", "csv" or "jsonl" into *format. Returns false for anything else.
bool parse_format(std::string_view name, Format* format);

// Returns what comes before the first record: the column names for kCsv, else "".
std::string format_header(Format format);

// Returns one outcome as a line, line end included: for kText the path
// (control characters escaped), a tab and the verdict or "not judged: REASON";
// for kCsv and kJsonl the path, the verdict, line K (wrong answers only) and
// whether the file was judged.
std::string format_record(Format format, const Graded& graded);

// Returns `field` as one CSV field: as it is, or quoted with its quotes doubled
// when it holds a comma, a quote, a carriage return or a line end.
std::string csv_field(std::string_view field);

// Counts of outcomes, for the summary.
struct Tally {
  int64_t succeeded = 0, wrong = 0, empty = 0, not_judged = 0;
  // Counts one outcome.
  void add(const Graded& graded);
  // Returns "N files: A succeeded, B wrong, C empty, D not judged".
  std::string summary() const;
};

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_GRADING_H_
