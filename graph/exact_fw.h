// The all-pairs pass in the plain loop's exact order, made fast.
#ifndef TARNWICK_GRAPH_EXACT_FW_H_
#define TARNWICK_GRAPH_EXACT_FW_H_

#include <cstdint>
#include <functional>

#include "graph/matrix.h"

namespace tarnwick {

// Runs the pass over APSP (as loaded, vertices 1..APSP.n()) so that afterwards
// row `source` holds exactly what block_FW leaves in it, 32-bit wrap-around and
// all; other rows are left part-way through the pass. Requires 1 <= source <= n.
// `progress`, when set, is called now and then with the share of work done (0..1).
void exact_FW_row(Matrix& APSP, int32_t source,
                  const std::function<void(double)>& progress = {});

namespace detail {

// Knobs of exact_FW_row, so that tests and benchmarks reach every code path.
// A value of 0 (or false) lets exact_FW_row choose.
struct ExactFWTuning {
  int32_t block = 0;      // pivots per block: rounded up to a multiple of 16, at most 256
  int32_t threads = 0;    // threads sharing the work, the caller's included
  bool portable = false;  // use the plain C++ kernels even where AVX-512 is there
};

// Same as exact_FW_row, with the given knobs.
void exact_FW_row_tuned(Matrix& APSP, int32_t source, const ExactFWTuning& tuning,
                        const std::function<void(double)>& progress = {});

// Returns true when this CPU can run the AVX-512 kernels.
bool exact_FW_has_avx512();

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_EXACT_FW_H_
