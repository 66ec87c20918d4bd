// The single-source search over the complete graph, and the paths it traces.
#include "graph/fast_row.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <queue>
#include <type_traits>
#include <utility>

#include "graph/cpus.h"
#include "graph/parallel.h"

namespace tarnwick {

namespace {

// The largest weight a graph may hold and still count as small.
constexpr int32_t kSmallWeightMax = (1 << 30) - 1;

// Dijkstra from one source over the complete graph on 1..n in which two
// distinct vertices without an edge are joined by a step of weight INF. The
// INF steps are never listed: when a vertex is settled, the vertices that no
// INF step has reached yet and that are not its neighbours get one, and leave
// the waiting list for good (vertices settle in increasing distance, so the
// first INF step a vertex is offered is its cheapest). Each look at a waiting
// vertex either removes it or is paid for by an edge: O((n + m) log n) overall.
class CompleteGraphSearch {
 public:
  // Requires 1 <= source <= g.n and weights_are_small(g).
  CompleteGraphSearch(const Graph& g, int32_t source);

  // Settles every vertex of 1..n.
  void run();

  // Returns the distance from the source to v (v != source). Requires run().
  int64_t distance(int32_t v) const { return dist_[v]; }
  // Returns the vertex before v on a shortest path (v != source). Requires run().
  int32_t previous(int32_t v) const { return from_[v]; }
  // Returns the vertex settled right after the source (its nearest other
  // vertex, reached in one step), or 0 when n == 1. Requires run().
  int32_t nearest() const { return nearest_; }

 private:
  using Entry = std::pair<int64_t, int32_t>;  // tentative distance, vertex

  void settle(int32_t u);
  void offer(int32_t v, int64_t d, int32_t via);
  void relax_edges(int32_t u);
  void offer_missing_edges(int32_t u);
  bool is_vertex(int32_t v) const { return v >= 1 && v <= g_.n; }

  const Graph& g_;
  int32_t source_;
  int32_t nearest_ = 0;
  std::vector<int64_t> dist_;
  std::vector<int32_t> from_;
  std::vector<char> settled_;
  std::vector<int32_t> mark_;     // mark_[v] == u while u's neighbours are looked at
  std::vector<int32_t> waiting_;  // vertices no INF step has reached yet
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap_;
};

CompleteGraphSearch::CompleteGraphSearch(const Graph& g, int32_t source)
    : g_(g),
      source_(source),
      dist_(g.n + 1, std::numeric_limits<int64_t>::max()),
      from_(g.n + 1, 0),
      settled_(g.n + 1, 0),
      mark_(g.n + 1, 0) {
  waiting_.reserve(g.n);
  for (int32_t v = 1; v <= g.n; ++v) waiting_.push_back(v);
}

void CompleteGraphSearch::run() {
  offer(source_, 0, source_);
  while (!heap_.empty()) {
    auto [d, u] = heap_.top();
    heap_.pop();
    if (settled_[u] || d != dist_[u]) continue;
    settle(u);
  }
}

void CompleteGraphSearch::settle(int32_t u) {
  settled_[u] = 1;
  if (u != source_ && nearest_ == 0) nearest_ = u;
  relax_edges(u);
  offer_missing_edges(u);
}

void CompleteGraphSearch::offer(int32_t v, int64_t d, int32_t via) {
  if (d >= dist_[v]) return;
  dist_[v] = d;
  from_[v] = via;
  heap_.push({d, v});
}

void CompleteGraphSearch::relax_edges(int32_t u) {
  for (const Neighbour& e : g_.Dist.row(u)) {
    if (!is_vertex(e.to) || e.to == u || settled_[e.to]) continue;
    offer(e.to, dist_[u] + e.w, u);
  }
}

void CompleteGraphSearch::offer_missing_edges(int32_t u) {
  for (const Neighbour& e : g_.Dist.row(u)) {
    if (is_vertex(e.to)) mark_[e.to] = u;
  }
  size_t kept = 0;
  for (int32_t v : waiting_) {
    if (settled_[v]) continue;
    if (mark_[v] == u) {
      waiting_[kept++] = v;  // joined to u by a real edge: not an INF step
      continue;
    }
    offer(v, dist_[u] + INF, u);
  }
  waiting_.resize(kept);
}

// One round of the dense search over entries 1..n: lowers dist[v] (and key[v])
// to du + row[v] where that is strictly less, noting u in from[v]; returns the
// least of key[1..n] afterwards. A settled vertex is never lowered: weights
// are not negative, so its distance is at most du. Flat, so that it compiles
// to vector code.
[[gnu::always_inline]] inline int64_t relax_row(int64_t* dist, int64_t* key, int32_t* from,
                                                const int32_t* row, int64_t du, int32_t u, int32_t n) {
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int32_t v = 1; v <= n; ++v) {
    int64_t d = du + row[v];
    bool better = d < dist[v];
    dist[v] = better ? d : dist[v];
    int64_t k = better ? d : key[v];
    key[v] = k;
    from[v] = better ? u : from[v];
    best = k < best ? k : best;
  }
  return best;
}

// Returns the lowest v of 1..n with key[v] == best. Requires one. Looks at
// blocks of 32 keys in vector code, then one by one in the block that holds it.
[[gnu::always_inline]] inline int32_t first_with_key(const int64_t* key, int32_t n, int64_t best) {
  constexpr int32_t kBlock = 32;
  int32_t v = 1;
  for (; v + kBlock <= n + 1; v += kBlock) {
    bool any = false;
    for (int32_t j = 0; j < kBlock; ++j) any |= key[v + j] == best;
    if (any) break;
  }
  while (key[v] != best) ++v;
  return v;
}

[[gnu::target("avx2")]] int64_t relax_row_avx2(int64_t* dist, int64_t* key, int32_t* from,
                                               const int32_t* row, int64_t du, int32_t u, int32_t n) {
  return relax_row(dist, key, from, row, du, u, n);
}
[[gnu::target("avx2")]] int32_t first_with_key_avx2(const int64_t* key, int32_t n, int64_t best) {
  return first_with_key(key, n, best);
}
int64_t relax_row_plain(int64_t* dist, int64_t* key, int32_t* from, const int32_t* row, int64_t du,
                        int32_t u, int32_t n) {
  return relax_row(dist, key, from, row, du, u, n);
}
int32_t first_with_key_plain(const int64_t* key, int32_t n, int64_t best) {
  return first_with_key(key, n, best);
}

// The same search over a dense table: n rounds, each settling the nearest
// waiting vertex (the lowest id among equals, as the heap above pops them) and
// relaxing its whole row, INF entries included; O(n^2) with no heap, in flat
// loops of vector code. A vertex keeps the first settled vertex that offered
// its distance, as above, so both searches leave the same distances and the
// same previous vertices.
class DenseSearch {
 public:
  // Requires 1 <= source <= g.n, g.Dist.dense() and weights_are_small(g).
  DenseSearch(const Graph& g, int32_t source)
      : g_(g), dist_(g.n + 1, kFar), key_(g.n + 1, kFar), from_(g.n + 1, 0) {
    dist_[source] = key_[source] = 0;
    from_[source] = source;
    key_[0] = kSettled;  // id 0 is no vertex
  }

  // Settles every vertex of 1..n; returns the vertex settled second (0 when n == 1).
  int32_t run() {
    const bool avx2 = __builtin_cpu_supports("avx2");
    auto relax = avx2 ? relax_row_avx2 : relax_row_plain;
    auto first = avx2 ? first_with_key_avx2 : first_with_key_plain;
    const int32_t n = g_.n;
    int32_t nearest = 0;
    int64_t best = 0;  // the least key waiting: the source's
    for (int32_t round = 0; round < n; ++round) {
      const int32_t u = first(key_.data(), n, best);  // the lowest id among equals
      key_[u] = kSettled;
      if (round == 1) nearest = u;
      best = relax(dist_.data(), key_.data(), from_.data(), g_.Dist.dense_row(u), dist_[u], u, n);
    }
    return nearest;
  }

  int64_t distance(int32_t v) const { return dist_[v]; }
  int32_t previous(int32_t v) const { return from_[v]; }

 private:
  static constexpr int64_t kFar = std::numeric_limits<int64_t>::max() / 4;  // not reached yet
  static constexpr int64_t kSettled = std::numeric_limits<int64_t>::max();

  const Graph& g_;
  std::vector<int64_t> dist_;
  std::vector<int64_t> key_;  // dist_ while waiting, kSettled once settled
  std::vector<int32_t> from_;
};

// Returns true when every weight among 1..n of a dense table lies in lo..hi,
// from the range noted while it was built, or else looking at the rows on
// every usable CPU.
bool dense_weights_within(const Graph& g, int32_t lo, int32_t hi) {
  // A table whose mirror pass noted its least and greatest weight needs no scan.
  if (int32_t least, most; g.Dist.dense_range(&least, &most)) return least >= lo && most <= hi;
  std::atomic<bool> within{true};
  const int32_t n = g.n;
  run_threads(n < 1024 ? 1 : usable_cpus(), [&](int32_t t, int32_t count) {
    for (int32_t i = 1 + t; i <= n && within.load(std::memory_order_relaxed); i += count) {
      const int32_t* row = g.Dist.dense_row(i);
      bool ok = true;
      for (int32_t j = 1; j <= n; ++j) ok &= row[j] >= lo && row[j] <= hi;
      if (!ok) within = false;
    }
  });
  return within;
}

// Returns the distances and previous vertices of the search that suits the storage,
// and the vertex settled right after the source.
template <typename Search>
int32_t search_from(Search& search, const Graph& g, std::vector<int64_t>* dist,
                    std::vector<int32_t>* from) {
  int32_t nearest;
  if constexpr (std::is_same_v<Search, CompleteGraphSearch>) {
    search.run();
    nearest = search.nearest();
  } else {
    nearest = search.run();
  }
  dist->assign(g.n + 1, 0);
  from->assign(g.n + 1, 0);
  for (int32_t v = 1; v <= g.n; ++v) {
    (*dist)[v] = search.distance(v);
    (*from)[v] = search.previous(v);
  }
  return nearest;
}

}  // namespace

bool weights_within(const Graph& g, int32_t lo, int32_t hi) {
  if (g.Dist.dense()) return dense_weights_within(g, lo, hi);
  for (int32_t i = 1; i <= g.n; ++i) {
    for (const Neighbour& e : g.Dist.row(i)) {
      bool inside = e.to >= 1 && e.to <= g.n;
      if (inside && (e.w < lo || e.w > hi)) return false;
    }
  }
  return true;
}

bool weights_are_small(const Graph& g) { return weights_within(g, 0, kSmallWeightMax); }

std::vector<int32_t> fast_source_row(const Graph& g, int32_t source,
                                     std::vector<int32_t>* parent) {
  std::vector<int64_t> dist;
  std::vector<int32_t> from;
  int32_t v;
  if (g.Dist.dense()) {
    DenseSearch search(g, source);
    v = search_from(search, g, &dist, &from);
  } else {
    CompleteGraphSearch search(g, source);
    v = search_from(search, g, &dist, &from);
  }

  // With no negative weights a closed walk from the source costs at least
  // twice the cheapest step to another vertex, and that step out and back
  // costs exactly that, so the diagonal is the cheaper of the two.
  int64_t diagonal = g.Dist(source, source);
  int32_t turn = source;
  if (v != 0 && 2 * dist[v] < diagonal) {
    diagonal = 2 * dist[v];
    turn = v;
  }

  std::vector<int32_t> row(g.n + 1, 0);
  for (int32_t k = 1; k <= g.n; ++k) {
    row[k] = k == source ? static_cast<int32_t>(diagonal) : static_cast<int32_t>(dist[k]);
  }
  if (parent != nullptr) {
    parent->assign(g.n + 1, 0);
    for (int32_t k = 1; k <= g.n; ++k) (*parent)[k] = k == source ? turn : from[k];
  }
  return row;
}

std::vector<int32_t> path_from_parents(const std::vector<int32_t>& parent, int32_t source,
                                       int32_t k) {
  if (k == source) {
    if (parent[source] == source) return {source, source};
    return {source, parent[source], source};
  }
  std::vector<int32_t> path;
  for (int32_t v = k; v != source; v = parent[v]) path.push_back(v);
  path.push_back(source);
  std::reverse(path.begin(), path.end());
  return path;
}

}  // namespace tarnwick
