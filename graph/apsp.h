// The all-pairs shortest-path pass, and the one row of its result that the
// checker reads.
#ifndef TARNWICK_GRAPH_APSP_H_
#define TARNWICK_GRAPH_APSP_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "graph/matrix.h"
#include "graph/tables.h"

namespace tarnwick {

// Returns APSP as loaded, over vertices 1..n: entry [i][j] is Dist(i, j).
// Requires 0 <= g.n < V.
Matrix load_APSP(const Graph& g);

// The plain pass (its name notwithstanding, no blocks: the blocked exact pass is
// exact_FW_row), kept as the reference every faster path is tested against:
// for k, then i, then j over 1..n, APSP[i][j] = APSP[i][k] + APSP[k][j] (32-bit,
// wrapping) whenever that is strictly less. In place; the diagonal is relaxed too.
void block_FW(Matrix& APSP);

// Row `source` of APSP after the pass, for every line number the checker can
// ask about. Entries outside 1..n keep their loaded value, Dist(source, k).
class SourceRow {
 public:
  // `row` holds entries 0..n of the solved row when source is in 1..n, and is
  // empty otherwise (the pass never touches such a row). Requires g to outlive this.
  SourceRow(const Graph& g, int32_t source, std::vector<int32_t> row);

  // Returns APSP[source][k] after the pass; 0 for k outside 0..V-1.
  int32_t at(int64_t k) const;

  int32_t source() const { return source_; }

 private:
  const Graph* g_;
  int32_t source_;
  std::vector<int32_t> row_;
};

// Returns true when source names a vertex whose row the pass rewrites (1..n).
inline bool row_is_solved(const Graph& g, int32_t source) {
  return source >= 1 && source <= g.n;
}

// Returns row `source` of APSP after the pass, computed by the plain pass.
// Requires source to fit the tables.
SourceRow solve_plain(const Graph& g, int32_t source);

// Returns row `source` of APSP after the pass, by the fastest exact means:
// no pass at all when the row is not one the pass rewrites, a single-source
// search when no sum can wrap and no cycle is negative, otherwise the pass in
// its exact order. `progress`, when set, hears the share done of a long pass.
// `parent`, when set, gets the search's parents (see fast_source_row) when the
// search ran, and is left empty otherwise. Requires source to fit the tables.
SourceRow solve(const Graph& g, int32_t source,
                const std::function<void(double)>& progress = {},
                std::vector<int32_t>* parent = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_APSP_H_
