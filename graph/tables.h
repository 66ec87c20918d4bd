// The state every phase of a run shares: the table sizes, the direct weights
// of the graph as loaded (Dist) and the 32-bit arithmetic the tables use.
#ifndef TARNWICK_GRAPH_TABLES_H_
#define TARNWICK_GRAPH_TABLES_H_

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick {

// Vertex ids that fit the tables are 0 to V - 1; the vertices of a graph are 1 to n.
inline constexpr int32_t V = 10010;
// The weight between two distinct vertices that no edge joins. An ordinary number
// in every sum: nothing treats it specially.
inline constexpr int32_t INF = 10000000;

// Returns a + b modulo 2^32, read back as signed (two's complement wrap-around).
inline int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Returns true when id can index the tables (0 to V - 1).
inline bool fits_tables(int64_t id) { return id >= 0 && id < V; }

// One stored direction of an edge: the weight from a row's vertex to `to`.
struct Neighbour {
  int32_t to;
  int32_t w;
};

// The direct weights as loaded: Dist(i, j) is the weight of the last edge given
// between i and j (a self-loop included); otherwise INF between two distinct
// vertices of 1..n and 0 everywhere else (the diagonal, id 0, ids above n, and
// ids outside the tables). Stored sparsely: one sorted neighbour list per id.
class DirectWeights {
 public:
  // Collects edges in file order before build().
  class Builder {
   public:
    // Makes room for `edges` edges (a hint; memory is only reserved, not touched).
    void reserve(size_t edges) { entries_.reserve(edges); }
    // Records edge u-v of weight w, both ways. Requires u and v to fit the tables.
    void add(int32_t u, int32_t v, int32_t w);
    // Returns the weights for vertices 1..n; a later edge between the same two
    // vertices replaces an earlier one. Leaves the builder empty.
    DirectWeights build(int32_t n);

   private:
    struct Entry {
      int32_t low, high, w;  // one entry per edge, low <= high
    };
    std::vector<Entry> entries_;
  };

  // An empty graph: every lookup is 0.
  DirectWeights() = default;

  // Returns the direct weight from i to j; 0 when either id is outside 0..V-1.
  int32_t operator()(int32_t i, int32_t j) const;

  // Returns the neighbours of vertex i in increasing id order, without duplicates.
  // Requires i to fit the tables.
  std::span<const Neighbour> row(int32_t i) const;

  // Returns the vertex count n given to build() (0 for an empty graph).
  int32_t n() const { return n_; }

 private:
  int32_t n_ = 0;
  std::vector<uint32_t> start_;  // V + 1 offsets into adj_ once built
  std::vector<Neighbour> adj_;
};

// A loaded graph: the vertex count, the edge count the header announced, and
// the direct weights.
struct Graph {
  int32_t n = 0;
  int32_t m = 0;
  DirectWeights Dist;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_TABLES_H_
