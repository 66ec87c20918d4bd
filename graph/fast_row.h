// Row `source` of the all-pairs pass without the pass, for graphs whose
// weights cannot wrap or form a negative cycle.
#ifndef TARNWICK_GRAPH_FAST_ROW_H_
#define TARNWICK_GRAPH_FAST_ROW_H_

#include <cstdint>
#include <vector>

#include "graph/tables.h"

namespace tarnwick {

// Returns true when every direct weight among vertices 1..g.n (INF included)
// lies in lo..hi. Edges to 0 and to ids above n do not count.
bool weights_within(const Graph& g, int32_t lo, int32_t hi);

// Returns true when every direct weight among vertices 1..g.n (INF included)
// lies in 0..2^30-1: then no sum in the pass wraps and no cycle is negative.
bool weights_are_small(const Graph& g);

// Returns entries 0..n of row `source` of APSP after the pass (entry 0 unused),
// and with `parent` the last step of a path of that weight to each vertex.
// Requires weights_are_small(g) and 1 <= source <= g.n.
//
// (*parent)[k], for k != source, is the vertex before k on a path from the
// source whose steps, weighed with Dist, add up to entry k; walking parents
// ends at the source without passing through it. (*parent)[source] is the
// source when entry source is its diagonal Dist(source, source) (a tie keeps
// the diagonal); otherwise it is the vertex v nearest the source, and entry
// source is 2 * Dist(source, v): out to v and back. *parent has n + 1 entries;
// [0] is 0.
std::vector<int32_t> fast_source_row(const Graph& g, int32_t source,
                                     std::vector<int32_t>* parent = nullptr);

// Returns the vertices of the path to k that `parent` (as fast_source_row
// sets it) traces, the source first and k last: {source, source} for the
// source's diagonal, {source, v, source} for its way out to v and back.
// Requires 1 <= k < parent.size().
std::vector<int32_t> path_from_parents(const std::vector<int32_t>& parent, int32_t source,
                                       int32_t k);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_FAST_ROW_H_
