// The state every phase of a run shares: the table sizes, the direct weights
// of the graph as loaded (Dist) and the 32-bit arithmetic the tables use.
#ifndef TARNWICK_GRAPH_TABLES_H_
#define TARNWICK_GRAPH_TABLES_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_set>
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
// ids outside the tables). Stored one of two ways, which answer every lookup
// alike: neighbour lists (one sorted list per id), or a dense (n + 1) x (n + 1)
// table for the pairs of 1..n with lists for the edges that name any other id.
class DirectWeights {
 public:
  // Collects edges in file order before build().
  class Builder {
   public:
    // Collects every edge into neighbour lists.
    Builder() = default;
    // With dense = true, writes the edges among 1..n straight into a dense
    // table, filled first by up to `threads` threads, and collects the others
    // into lists; with dense = false, as Builder(). With mirror_later, the
    // cells below the diagonal are left unwritten: only put() above it or on
    // it, then mirror_upper() before build(). Requires 0 <= n < V.
    Builder(int32_t n, bool dense, int32_t threads = 1, bool mirror_later = false);
    // Makes room for `edges` edges (a hint; memory is only reserved, not touched).
    void reserve(size_t edges) { entries_.reserve(edges); }
    // Records edge u-v of weight w, both ways. Requires u and v to fit the tables.
    void add(int32_t u, int32_t v, int32_t w) {
      if (dense() && inside(u) && inside(v)) {
        put(u, v, w);
        put(v, u, w);
      } else {
        add_listed(u, v, w);
      }
    }
    // Records edge u-v of weight w in the lists, whatever the storage. Requires
    // u and v to fit the tables, and one of them outside 1..n when dense().
    void add_listed(int32_t u, int32_t v, int32_t w);
    // Writes w at [i][j] of the dense table only. Requires dense() and i, j in
    // 1..n; threads that write at once must write different rows.
    void put(int32_t i, int32_t j, int32_t w) { *cell(i, j) = w; }
    // Writes w at [i][j] as put() does. Returns true when put_again() wrote
    // there before (exactly, even when that weight was the cell's first value:
    // such cells are kept aside, and are rare). Requires as put().
    bool put_again(int32_t i, int32_t j, int32_t w) {
      int32_t* at = cell(i, j);
      const int32_t first = i == j ? 0 : INF;
      bool again = *at != first;
      if (w == first) {
        again = keep_first(i, j, true) || again;  // the write is kept, whatever came before
      } else if (!again && !first_kept_.empty()) {
        again = keep_first(i, j, false);
      }
      *at = w;
      return again;
    }
    // Writes w at [i][j] as put() does, keeping count of the cells written
    // with their first value as put_again() does, without reading the cell.
    void put_counted(int32_t i, int32_t j, int32_t w) {
      if (w == (i == j ? 0 : INF)) keep_first(i, j, true);
      *cell(i, j) = w;
    }
    // Returns how many cells of the table put_again() and put_counted() have
    // written (each cell once, however often). Requires mirror_upper() done
    // and every put through them.
    int64_t cells_written() const;
    // Returns the address of [i][j] of the dense table. Requires as put().
    int32_t* cell(int32_t i, int32_t j) { return cells_.get() + static_cast<size_t>(i) * stride_ + j; }
    // Copies [i][j] to [j][i] for all i < j of the dense table, with up to
    // the threads given at construction, noting on the way the least and the
    // greatest weight among 1..n (see DirectWeights::dense_range). Requires
    // dense(), and no put() after it.
    void mirror_upper();
    // Switches to a dense table for the pairs of 1..n, moving the edges among
    // them collected so far (file order kept). Requires n given at construction.
    void make_dense();
    // Returns true when the edges among 1..n go to a dense table.
    bool dense() const { return cells_ != nullptr; }
    // Returns the number of edges collected into lists so far.
    size_t listed() const { return entries_.size(); }
    // Returns the vertex count given at construction.
    int32_t n() const { return n_; }
    // Returns true when id is a vertex of 1..n.
    bool inside(int32_t id) const { return id >= 1 && id <= n_; }
    // Returns the weights for vertices 1..n; a later edge between the same two
    // vertices replaces an earlier one. Requires n to be the n given at
    // construction when dense(). Leaves the builder empty.
    DirectWeights build(int32_t n);

   private:
    struct Entry {
      int32_t low, high, w;  // one entry per edge, low <= high
    };
    // Returns whether [i][j] was written with its first value before, and notes it now when `now`.
    bool keep_first(int32_t i, int32_t j, bool now);
    int32_t n_ = 0;
    int32_t threads_ = 1;
    bool upper_only_ = false;  // the cells below the diagonal wait for mirror_upper()
    bool range_known_ = false;  // set by mirror_upper(): least_, most_ hold
    int32_t least_ = 0, most_ = 0;
    int64_t changed_ = 0;  // set by mirror_upper(): cells on or above the diagonal not at their first value
    size_t stride_ = 0;
    std::shared_ptr<int32_t[]> cells_;
    std::vector<Entry> entries_;
    std::unordered_set<uint64_t> first_kept_;  // cells put_again() wrote with their first value
  };

  // An empty graph: every lookup is 0.
  DirectWeights() = default;

  // Returns the direct weight from i to j; 0 when either id is outside 0..V-1.
  int32_t operator()(int32_t i, int32_t j) const {
    if (dense() && i >= 1 && i <= n_ && j >= 1 && j <= n_) return dense_row(i)[j];
    return listed(i, j);
  }

  // Returns the listed neighbours of vertex i in increasing id order, without
  // duplicates: every edge of i when stored as lists, and only the edges that
  // name an id outside 1..n when dense(). Requires i to fit the tables.
  std::span<const Neighbour> row(int32_t i) const;

  // Returns true when the weights among 1..n are a dense table.
  bool dense() const { return cells_ != nullptr; }
  // Returns row i of the dense table: entry j is Dist(i, j) for j in 1..n
  // (entry 0 is 0). Requires dense() and 1 <= i <= n.
  const int32_t* dense_row(int32_t i) const { return cells_.get() + static_cast<size_t>(i) * stride_; }

  // Returns true, with the least and the greatest weight among 1..n (the
  // diagonal included) in *least and *most, when the table is dense and was
  // made symmetric by Builder::mirror_upper(), which notes them; false
  // otherwise (the caller then looks at the rows). With n = 0, *least > *most.
  bool dense_range(int32_t* least, int32_t* most) const {
    *least = least_;
    *most = most_;
    return range_known_;
  }

  // Returns the vertex count n given to build() (0 for an empty graph).
  int32_t n() const { return n_; }

 private:
  int32_t listed(int32_t i, int32_t j) const;

  int32_t n_ = 0;
  std::vector<uint32_t> start_;  // V + 1 offsets into adj_ once built
  std::vector<Neighbour> adj_;
  size_t stride_ = 0;
  std::shared_ptr<const int32_t[]> cells_;  // (n + 1) x (n + 1) when dense
  bool range_known_ = false;                // least_, most_: see dense_range()
  int32_t least_ = 0, most_ = 0;
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
