// The search against the plain pass on graphs whose weights allow it.
#include "graph/fast_row.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "graph/apsp.h"
#include "graph/matrix.h"
#include "graph/tables.h"

namespace tarnwick {
namespace {

constexpr int32_t kSmallMax = (1 << 30) - 1;

struct Edge {
  int32_t u, v, w;
};

Graph make_graph(int32_t n, const std::vector<Edge>& edges, bool dense = false) {
  DirectWeights::Builder b(n, dense);
  for (const Edge& e : edges) b.add(e.u, e.v, e.w);
  Graph g;
  g.n = n;
  g.m = static_cast<int32_t>(edges.size());
  g.Dist = b.build(n);
  return g;
}

// Returns the weight of the parent path from source to k, each step weighed
// with Dist in 64 bits, or -1 when the parents do not lead back to source.
int64_t parent_path_weight(const Graph& g, const std::vector<int32_t>& parent,
                           int32_t source, int32_t k) {
  if (k == source) {
    int32_t v = parent[source];
    if (v == source) return g.Dist(source, source);
    return int64_t{g.Dist(source, v)} + g.Dist(v, source);
  }
  int64_t weight = 0;
  for (int32_t steps = 0; k != source; ++steps) {
    int32_t p = parent[k];
    if (steps >= g.n || p < 1 || p > g.n || p == k) return -1;
    weight += g.Dist(p, k);
    k = p;
  }
  return weight;
}

// Compares every row of the plain pass with fast_source_row and its parents;
// reports the first difference.
testing::AssertionResult matches_plain_pass(const Graph& g) {
  if (!weights_are_small(g)) return testing::AssertionFailure() << "weights not small";
  Matrix APSP = load_APSP(g);
  block_FW(APSP);
  std::vector<int32_t> parent;
  for (int32_t s = 1; s <= g.n; ++s) {
    std::vector<int32_t> row = fast_source_row(g, s, &parent);
    if (row.size() != static_cast<size_t>(g.n) + 1 || parent.size() != row.size()) {
      return testing::AssertionFailure() << "source " << s << ": wrong size";
    }
    for (int32_t k = 1; k <= g.n; ++k) {
      if (row[k] != APSP.at(s, k)) {
        return testing::AssertionFailure() << "n=" << g.n << " [" << s << "][" << k
                                           << "]: fast " << row[k] << ", plain "
                                           << APSP.at(s, k);
      }
      int64_t walked = parent_path_weight(g, parent, s, k);
      if (walked != row[k]) {
        return testing::AssertionFailure() << "n=" << g.n << " source " << s << " to " << k
                                           << ": path weighs " << walked << ", entry "
                                           << row[k];
      }
    }
  }
  return testing::AssertionSuccess();
}

TEST(WeightsAreSmall, Boundaries) {
  struct Case {
    const char* name;
    int32_t n;
    std::vector<Edge> edges;
    bool small;
  };
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  const Case cases[] = {
      {"no edges", 3, {}, true},
      {"empty graph", 0, {}, true},
      {"largest small", 3, {{1, 2, kSmallMax}}, true},
      {"one past", 3, {{1, 2, kSmallMax + 1}}, false},
      {"zero", 3, {{2, 3, 0}}, true},
      {"minus one", 3, {{2, 3, -1}}, false},
      {"negative to vertex 0", 3, {{0, 1, -1}}, true},
      {"negative above n", 3, {{1, 4, -5}, {2, V - 1, kMin}}, true},
      {"huge above n", 3, {{3, 9, kSmallMax + 1}}, true},
      {"self-loop on 0", 3, {{0, 0, -1}}, true},
      {"self-loop minus one", 3, {{2, 2, -1}}, false},
      {"self-loop too big", 3, {{3, 3, kSmallMax + 1}}, false},
      {"self-loop zero", 3, {{1, 1, 0}}, true},
      {"bad edge replaced", 3, {{1, 2, -1}, {2, 1, 5}}, true},
      {"good edge replaced", 3, {{1, 2, 5}, {2, 1, -1}}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(weights_are_small(make_graph(c.n, c.edges)), c.small) << c.name;
  }
}

// The diagonal entry and the parent of the source, on cases small enough to
// reason about; each is checked against the plain pass as well.
TEST(FastSourceRow, Diagonal) {
  struct Case {
    const char* name;
    int32_t n;
    std::vector<Edge> edges;
    int32_t source;
    int32_t diagonal;
    int32_t turn;  // expected parent of the source
  };
  const Case cases[] = {
      {"single vertex", 1, {}, 1, 0, 1},
      {"single vertex, self-loop", 1, {{1, 1, 5}}, 1, 5, 1},
      {"no edges", 2, {}, 1, 0, 1},
      {"self-loop beaten by out and back", 2, {{1, 1, 7}, {1, 2, 3}}, 1, 6, 2},
      {"tie keeps the self-loop", 2, {{1, 1, 6}, {1, 2, 3}}, 1, 6, 1},
      {"self-loop zero", 3, {{1, 1, 0}, {1, 2, 0}}, 1, 0, 1},
      {"zero edge beats self-loop", 3, {{1, 1, 4}, {1, 3, 0}}, 1, 0, 3},
      {"out and back over INF", 3, {{2, 2, kSmallMax}}, 2, 2 * INF, 1},
      {"heavy edge keeps the self-loop", 2, {{1, 1, kSmallMax}, {1, 2, kSmallMax}}, 1, kSmallMax, 1},
      {"heavy edges, INF to third", 3, {{1, 1, 3 * INF}, {1, 2, 2 * INF}}, 1, 2 * INF, 3},
      {"self-loop elsewhere", 3, {{2, 2, 0}, {1, 2, 9}, {3, 3, 1}}, 1, 0, 1},
      {"last self-loop wins", 2, {{1, 1, 1}, {1, 2, 5}, {1, 1, 20}}, 1, 10, 2},
      {"isolated source", 4, {{1, 1, 50}, {2, 3, 1}}, 1, 50, 1},
  };
  std::vector<int32_t> parent;
  for (const Case& c : cases) {
    Graph g = make_graph(c.n, c.edges);
    std::vector<int32_t> row = fast_source_row(g, c.source, &parent);
    EXPECT_EQ(row[c.source], c.diagonal) << c.name;
    EXPECT_EQ(parent[c.source], c.turn) << c.name;
    EXPECT_TRUE(matches_plain_pass(g)) << c.name;
  }
}

// Small graphs built to reach the awkward corners: zero weights, weights
// around INF and near the top of the small range, self-loops, repeated edges
// (the last one counts), edges naming 0 or ids above n, and sparse graphs.
class RandomGraphs {
 public:
  explicit RandomGraphs(uint64_t seed) : rng_(seed) {}

  int64_t pick(int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(rng_);
  }

  int32_t small_weight() {
    switch (pick(0, 5)) {
      case 0: return 0;
      case 1: return static_cast<int32_t>(pick(0, 10));
      case 2: return static_cast<int32_t>(INF + pick(-3, 3));
      case 3: return static_cast<int32_t>(kSmallMax - pick(0, 3));
      case 4: return static_cast<int32_t>(pick(0, 3 * int64_t{INF}));
      default: return static_cast<int32_t>(pick(0, kSmallMax));
    }
  }

  int32_t endpoint(int32_t n) {
    int64_t roll = pick(0, 19);
    if (roll == 0) return 0;
    if (roll == 1) return static_cast<int32_t>(pick(n + 1, V - 1));
    return static_cast<int32_t>(pick(1, n));
  }

  Graph make(int32_t n) {
    int64_t pairs = int64_t{n} * (n + 1) / 2;
    int64_t m = pick(0, 3) == 0 ? pick(0, n) : pick(0, 2 * pairs);
    std::vector<Edge> edges;
    for (int64_t i = 0; i < m; ++i) edges.push_back(edge(n, edges));
    return make_graph(n, edges);
  }

 private:
  Edge edge(int32_t n, const std::vector<Edge>& before) {
    Edge e{endpoint(n), endpoint(n), 0};
    if (pick(0, 9) == 0) e.v = e.u;
    if (!before.empty() && pick(0, 7) == 0) {
      const Edge& old = before[pick(0, static_cast<int64_t>(before.size()) - 1)];
      e = {old.v, old.u, 0};
    }
    bool inside = e.u >= 1 && e.u <= n && e.v >= 1 && e.v <= n;
    e.w = inside ? small_weight()
                 : static_cast<int32_t>(pick(std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
    return e;
  }

  std::mt19937_64 rng_;
};

TEST(FastSourceRow, MatchesPlainPassOnSmallGraphs) {
  RandomGraphs gen(20240611);
  for (int trial = 0; trial < 3000; ++trial) {
    int32_t n = static_cast<int32_t>(gen.pick(1, 16));
    ASSERT_TRUE(matches_plain_pass(gen.make(n))) << "trial " << trial;
  }
}

TEST(FastSourceRow, MatchesPlainPassOnMediumGraphs) {
  RandomGraphs gen(77);
  for (int trial = 0; trial < 150; ++trial) {
    int32_t n = static_cast<int32_t>(gen.pick(17, 64));
    ASSERT_TRUE(matches_plain_pass(gen.make(n))) << "trial " << trial;
  }
}

// A graph of a few hundred vertices, sparse enough that most pairs are INF
// steps, with a few zero-weight chains and heavy edges.
TEST(FastSourceRow, MatchesPlainPassOnLargerGraph) {
  RandomGraphs gen(5);
  const int32_t n = 500;
  std::vector<Edge> edges;
  for (int i = 0; i < 6000; ++i) {
    int32_t u = static_cast<int32_t>(gen.pick(1, n));
    int32_t v = static_cast<int32_t>(gen.pick(1, n));
    edges.push_back({u, v, gen.small_weight()});
  }
  for (int32_t v = 1; v < 40; ++v) edges.push_back({v, v + 1, 0});
  edges.push_back({0, 7, -3});
  edges.push_back({n + 1, 9, -3});
  ASSERT_TRUE(matches_plain_pass(make_graph(n, edges)));
}

// Both storages give the same row and the same parents, ties included: the
// dense search settles and relaxes in the heap search's order.
TEST(FastSourceRow, DenseTableAgreesWithLists) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 300; ++trial) {
    int32_t n = 1 + static_cast<int32_t>(rng() % 30);
    int32_t wmax = trial % 3 == 0 ? 2 : trial % 3 == 1 ? 1000 : kSmallMax;
    std::vector<Edge> edges;
    for (uint32_t e = rng() % (n * n + 1); e > 0; --e) {
      int32_t w = static_cast<int32_t>(rng() % (static_cast<uint32_t>(wmax) + 1));
      if (rng() % 20 == 0) w = INF;
      edges.push_back({static_cast<int32_t>(rng() % (n + 2)), static_cast<int32_t>(rng() % (n + 2)), w});
    }
    Graph lists = make_graph(n, edges), dense = make_graph(n, edges, true);
    ASSERT_TRUE(dense.Dist.dense());
    ASSERT_EQ(weights_are_small(lists), weights_are_small(dense));
    for (int32_t s = 1; s <= n; ++s) {
      std::vector<int32_t> p1, p2;
      ASSERT_EQ(fast_source_row(lists, s, &p1), fast_source_row(dense, s, &p2)) << trial << " " << s;
      ASSERT_EQ(p1, p2) << trial << " " << s;
    }
  }
  Graph negative = make_graph(3, {{1, 2, -1}}, true);
  EXPECT_FALSE(weights_are_small(negative));
}

}  // namespace
}  // namespace tarnwick
