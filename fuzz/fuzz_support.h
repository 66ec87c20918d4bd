// What the fuzz targets share: libFuzzer's entry point, which hands each input
// to the target's fuzz_check, and judging a result file held in memory.
#ifndef TARNWICK_FUZZ_FUZZ_SUPPORT_H_
#define TARNWICK_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check/judge.h"
#include "fuzz/reference.h"

namespace tarnwick {

using reference::require;

// Checks one input's properties; require() stops the fuzzer on a broken one.
void fuzz_check(std::string_view bytes);

// Returns the verdict for `result` judged against row, heard by `observer`
// when given; requires that judging works and gives a single verdict line.
inline Verdict judge_bytes(std::string_view result, const DirectWeights& Dist, const SourceRow& row,
                           JudgeObserver* observer = nullptr) {
  ByteReader in(result);
  Verdict v;
  require(judge(in, Dist, row, &v, observer), "judging bytes in memory cannot fail");
  require(verdict_words(v).find('\n') == std::string::npos, "exactly one verdict line");
  return v;
}

// Returns true when v is what reference.h's checker gives `result` weighed against row.
inline bool plain_checker_agrees(const Verdict& v, std::string_view result,
                                 const reference::Row& row) {
  reference::Verdict r = reference::judge(result, row);
  return static_cast<int>(v.kind) == static_cast<int>(r.kind) &&
         (r.kind != reference::Verdict::kWrongAnswer || v.line == r.line);
}

}  // namespace tarnwick

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnwick::fuzz_check(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

#endif  // TARNWICK_FUZZ_FUZZ_SUPPORT_H_
