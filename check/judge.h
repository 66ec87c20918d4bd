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

// Returns the verdict as printed on standard output, line end included.
std::string verdict_line(const Verdict& v);

// Judges the result file read from `in` against the direct weights and the
// solved row. Reads nothing after the first wrong line. Returns false when a
// read fails (in.error() then tells why); *out is set only on success.
bool judge(ByteReader& in, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out);

// Judges the result file at `path` as above. Returns false with *err set to
// the system's reason when the file cannot be opened or read.
bool judge(const char* path, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out,
           std::string* err);

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_JUDGE_H_
