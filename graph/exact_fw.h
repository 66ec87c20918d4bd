// The all-pairs pass in the plain loop's exact order, made fast.
#ifndef TARNWICK_GRAPH_EXACT_FW_H_
#define TARNWICK_GRAPH_EXACT_FW_H_

#include <cstdint>
#include <functional>

#include "graph/matrix.h"

namespace tarnwick {

// Runs the pass over APSP (as loaded, vertices 1..APSP.n()) so that afterwards
// row `source` holds exactly what block_FW leaves in it, 32-bit wrap-around and
// all; other rows are left in an unspecified state. Requires 1 <= source <= n.
// `progress`, when set, is called now and then with the share of work done (0..1).
void exact_FW_row(Matrix& APSP, int32_t source,
                  const std::function<void(double)>& progress = {});

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_EXACT_FW_H_
