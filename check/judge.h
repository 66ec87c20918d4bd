// The result file checker.
//
// Line k of a result file is a path from the source to vertex k: vertex ids
// separated by spaces (only the space character separates them). Each path is
// weighed with the direct weights, starting at the source, and the weight is
// compared with the shortest distance to vertex k. Line k must exist for every
// vertex k: a file that stops before line n is wrong at its first missing line.
#ifndef TARNWICK_CHECK_JUDGE_H_
#define TARNWICK_CHECK_JUDGE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "graph/apsp.h"
#include "graph/reader.h"
#include "graph/tables.h"

namespace tarnwick {

struct Verdict {
  enum Kind { kSuccess, kEmptyFile, kWrongAnswer };
  Kind kind = kEmptyFile;
  int32_t source = 0;
  int64_t line = 0;  // for kWrongAnswer: the first line that differs or is missing
  bool missing = false;  // for kWrongAnswer: line is missing (the file stopped before line n)
};

// Returns the verdict as printed on standard output, without its line end.
std::string verdict_words(const Verdict& v);

// Returns the verdict as printed on standard output, line end included.
inline std::string verdict_line(const Verdict& v) { return verdict_words(v) + "\n"; }

// An id read from a result file that cannot index the tables. It weighs 0 to
// and from every vertex, like the ids above n.
inline constexpr int32_t kOutsideId = -1;

// One step of a path as the checker weighs it: one token of a line.
struct WeighedStep {
  int64_t line = 0;       // the line of the result file, from 1
  int64_t index = 0;      // the token's place in its line, from 1
  int32_t from = 0;       // the previous vertex; the source for the first step
  int32_t to = 0;         // the id the token stands for, or kOutsideId
  bool repeated = false;  // the token holds no number: `to` is the last id read before
  bool tail_ignored = false;  // bytes after the token's number were passed over ("1,2", "3\t4")
  int32_t weight = 0;     // Dist(from, to), added to the line's weight
  // The token's bytes without the space or line end that ended it, cut at
  // kTokenKept bytes; valid only during JudgeObserver::step.
  std::string_view token;
};

// The most bytes of a token that WeighedStep::token holds.
inline constexpr size_t kTokenKept = 40;

// Hears the checker weigh a result file, for tools that explain a verdict.
// Judging with an observer gives the same verdict as without one.
class JudgeObserver {
 public:
  virtual ~JudgeObserver() = default;
  // Step `s` has just been added to the weight of its line.
  virtual void step(const WeighedStep& s) = 0;
  // Line `line` has ended, weighing `total` (exactly, without wrapping) where
  // `expected` is the shortest distance. Once a line has been found wrong,
  // reading goes on only while this returns true (the verdict names the first
  // wrong line either way); returning false at every line stops where the judge does.
  virtual bool line_end(int64_t line, __int128 total, int32_t expected) = 0;
};

// Judges the result file read from `in` against the direct weights and the
// solved row. Reads nothing after the first wrong line (unless `observer`
// asks to go on). Returns false when a read fails (in.error() then tells why);
// *out is set only on success. `observer`, when set, hears every step and line end.
bool judge(ByteReader& in, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out,
           JudgeObserver* observer = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_JUDGE_H_
