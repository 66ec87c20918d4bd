// The plain all-pairs pass (block_FW), and the row a run solves.
#include "graph/apsp.h"

#include <algorithm>
#include <utility>

#include "graph/exact_fw.h"
#include "graph/fast_row.h"

namespace tarnwick {

Matrix load_APSP(const Graph& g) {
  Matrix APSP(g.n);
  for (int32_t i = 1; i <= g.n; ++i) {
    int32_t* row = APSP.row(i);
    if (g.Dist.dense()) {
      std::copy(g.Dist.dense_row(i) + 1, g.Dist.dense_row(i) + g.n + 1, row + 1);
      continue;
    }
    for (int32_t j = 1; j <= g.n; ++j) row[j] = i == j ? 0 : INF;
    for (const Neighbour& e : g.Dist.row(i)) {
      if (e.to >= 1 && e.to <= g.n) row[e.to] = e.w;
    }
  }
  return APSP;
}

void block_FW(Matrix& APSP) {
  const int32_t n = APSP.n();
  for (int32_t k = 1; k <= n; ++k) {
    for (int32_t i = 1; i <= n; ++i) {
      for (int32_t j = 1; j <= n; ++j) {
        // APSP[i][k] is read afresh at every j: it may have been lowered at j = k.
        int32_t t = wrap_add(APSP.at(i, k), APSP.at(k, j));
        if (t < APSP.at(i, j)) APSP.at(i, j) = t;
      }
    }
  }
}

SourceRow::SourceRow(const Graph& g, int32_t source, std::vector<int32_t> row)
    : g_(&g), source_(source), row_(std::move(row)) {}

int32_t SourceRow::at(int64_t k) const {
  if (!fits_tables(k)) return 0;
  if (!row_.empty() && k >= 1 && k <= g_->n) return row_[k];
  return g_->Dist(source_, static_cast<int32_t>(k));
}

namespace {

// Returns the solved row `source` of APSP as the checker reads it.
SourceRow solved_row(const Graph& g, const Matrix& APSP, int32_t source) {
  const int32_t* r = APSP.row(source);
  return SourceRow(g, source, std::vector<int32_t>(r, r + g.n + 1));
}

}  // namespace

SourceRow solve_plain(const Graph& g, int32_t source) {
  if (!row_is_solved(g, source)) return SourceRow(g, source, {});
  Matrix APSP = load_APSP(g);
  block_FW(APSP);
  return solved_row(g, APSP, source);
}

SourceRow solve(const Graph& g, int32_t source, const std::function<void(double)>& progress,
                std::vector<int32_t>* parent) {
  if (parent != nullptr) parent->clear();
  if (!row_is_solved(g, source)) return SourceRow(g, source, {});
  if (weights_are_small(g)) return SourceRow(g, source, fast_source_row(g, source, parent));
  Matrix APSP = load_APSP(g);
  exact_FW_row(APSP, source, progress);
  return solved_row(g, APSP, source);
}

}  // namespace tarnwick
