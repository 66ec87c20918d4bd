// Row `source` of the all-pairs pass without the pass, for graphs whose
// weights cannot wrap or form a negative cycle.
#ifndef TARNWICK_GRAPH_FAST_ROW_H_
#define TARNWICK_GRAPH_FAST_ROW_H_

#include <cstdint>
#include <vector>

#include "graph/tables.h"

namespace tarnwick {

// Returns true when every direct weight among vertices 1..g.n (INF included)
// lies in 0..2^30-1: then no sum in the pass wraps and no cycle is negative.
bool weights_are_small(const Graph& g);

// Returns entries 0..n of row `source` of APSP after the pass (entry 0 unused).
// When `parent` is given, (*parent)[k] is the vertex before k on a path from
// source to k whose weight (steps weighed with Dist) is entry k; the path to
// source itself is source alone, or source, v, source where going out to v and
// back is cheaper than the diagonal. Requires weights_are_small(g) and 1 <= source <= g.n.
// Precisely: (*parent)[source] is source when entry source is Dist(source, source)
// (a tie keeps the diagonal), and otherwise the vertex v != source nearest to
// the source, for which Dist(source, v) is the cheapest step to another vertex
// and entry source is 2 * Dist(source, v); walking parents from any other k ends
// at source without passing through it. *parent has n + 1 entries; [0] is 0.
std::vector<int32_t> fast_source_row(const Graph& g, int32_t source,
                                     std::vector<int32_t>* parent = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_FAST_ROW_H_
