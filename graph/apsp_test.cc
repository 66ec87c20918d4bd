// The plain pass against worked examples, and the solved row against it.
#include "graph/apsp.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

#include "graph/input.h"

namespace tarnwick {
namespace {

Graph load(const std::string& text) {
  Graph g;
  LoadReport report;
  ByteReader in(text);
  EXPECT_TRUE(input(in, &g, &report)) << report.error;
  return g;
}

Matrix solved(const Graph& g) {
  Matrix APSP = load_APSP(g);
  block_FW(APSP);
  return APSP;
}

TEST(BlockFW, TriangleShortcut) {
  Graph g = load("3 3 1 2 4 2 3 1 1 3 7");
  Matrix APSP = solved(g);
  EXPECT_EQ(APSP.at(1, 3), 5);
  EXPECT_EQ(APSP.at(3, 1), 5);
  EXPECT_EQ(APSP.at(1, 2), 4);
  EXPECT_EQ(APSP.at(2, 3), 1);
  EXPECT_EQ(g.Dist(1, 3), 7) << "the direct weights are never changed";
  EXPECT_EQ(APSP.at(0, 1), 0) << "row and column 0 are never visited";
}

TEST(BlockFW, DiagonalIsRelaxed) {
  Matrix APSP = solved(load("2 2 1 1 10 1 2 2"));
  EXPECT_EQ(APSP.at(1, 1), 4);
  EXPECT_EQ(APSP.at(2, 2), 0);
}

TEST(BlockFW, IsolatedVertexKeepsInfUnlessAnEdgeIsNegative) {
  Matrix plain = solved(load("3 1 1 2 5"));
  EXPECT_EQ(plain.at(3, 3), 0);
  EXPECT_EQ(plain.at(1, 3), INF);
  EXPECT_EQ(plain.at(3, 2), INF);
  Matrix negative = solved(load("3 1 1 2 -1"));
  EXPECT_LT(negative.at(1, 3), INF);
  EXPECT_LT(negative.at(3, 1), INF);
}

TEST(BlockFW, NegativeCycleFollowsTheLoopOrder) {
  // Worked by hand: k = 1 lowers [2][2] to -2; k = 2 lowers the rest.
  Matrix APSP = solved(load("2 1 1 2 -1"));
  EXPECT_EQ(APSP.at(1, 1), -2);
  EXPECT_EQ(APSP.at(1, 2), -3);
  EXPECT_EQ(APSP.at(2, 1), -3);
  EXPECT_EQ(APSP.at(2, 2), -4);
}

TEST(BlockFW, SumsWrapAround) {
  // 2^31 - 1 twice wraps to -2, which is less than the diagonal 0; k = 2 then
  // doubles it.
  Matrix APSP = solved(load("2 1 1 2 2147483647"));
  EXPECT_EQ(APSP.at(1, 1), -2);
  EXPECT_EQ(APSP.at(1, 2), 2147483647 - 2);
  EXPECT_EQ(APSP.at(2, 2), -4);
}

TEST(BlockFW, EmptyGraph) {
  Matrix APSP = solved(load("0 0"));
  EXPECT_EQ(APSP.n(), 0);
  EXPECT_EQ(APSP.at(0, 0), 0);
}

TEST(SourceRow, EntriesOutsideThePassKeepTheirLoadedValue) {
  Graph g = load("3 4 1 2 4 2 3 1 1 9 6 0 1 2");
  SourceRow row = solve_plain(g, 1);
  EXPECT_EQ(row.at(3), 5);
  EXPECT_EQ(row.at(9), 6) << "edges above n are seen";
  EXPECT_EQ(row.at(0), 2) << "edges to 0 are seen";
  EXPECT_EQ(row.at(4), 0);
  EXPECT_EQ(row.at(V - 1), 0);
  EXPECT_EQ(row.at(V), 0) << "lines past the tables compare with 0";
  EXPECT_EQ(row.at(int64_t{1} << 40), 0);
  SourceRow above = solve_plain(g, 9);
  EXPECT_EQ(above.at(1), 6);
  EXPECT_EQ(above.at(2), 0) << "row 9 is not part of the pass";
}

// Returns a random graph on n vertices whose weights come from `weights`;
// some edges name 0 or vertices above n.
template <typename Weight>
Graph random_graph(std::mt19937& rng, int32_t n, int32_t m, Weight weight, bool dense) {
  DirectWeights::Builder b(n, dense);
  std::uniform_int_distribution<int32_t> vertex(1, n), stray(0, n + 3);
  for (int32_t e = 0; e < m; ++e) {
    bool odd = rng() % 8 == 0;
    b.add(odd ? stray(rng) : vertex(rng), vertex(rng), weight(rng));
  }
  Graph g;
  g.n = n;
  g.m = m;
  g.Dist = b.build(n);
  return g;
}

// Expects solve() and solve_plain() to agree on every entry the checker can read.
void expect_same_rows(const Graph& g, int32_t source) {
  SourceRow fast = solve(g, source), plain = solve_plain(g, source);
  for (int64_t k : {int64_t{0}, int64_t{V - 1}, int64_t{V}}) ASSERT_EQ(fast.at(k), plain.at(k));
  for (int64_t k = 1; k <= g.n + 4; ++k) ASSERT_EQ(fast.at(k), plain.at(k)) << "k " << k;
}

TEST(Solve, AgreesWithThePlainPassOnEveryWeightRegime) {
  std::mt19937 rng(2026);
  const int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = -kMax - 1;
  std::vector<std::function<int32_t(std::mt19937&)>> regimes = {
      [](std::mt19937& r) { return int32_t(r() % 10); },
      [](std::mt19937& r) { return int32_t((1 << 30) - 1 - r() % 3); },
      [](std::mt19937& r) { return int32_t(r() % 2 ? (1 << 30) : r() % 50); },
      [](std::mt19937& r) { return int32_t(r() % 100) - (r() % 20 == 0 ? 1 : 0); },
      [](std::mt19937& r) { return INF + int32_t(r() % 7) - 3; },
      [=](std::mt19937& r) { return int32_t(r() % 3 == 0 ? kMax : r() % 3 == 1 ? kMin : 5); },
  };
  for (int trial = 0; trial < 600; ++trial) {
    int32_t n = 1 + rng() % 24;
    // Every other graph in a dense table: the fast paths read it their own way.
    Graph g = random_graph(rng, n, rng() % (2 * n + 2), regimes[trial % regimes.size()], trial % 2 == 1);
    for (int32_t source : {0, 1, n, n + 1, int32_t(1 + rng() % n), V - 1}) {
      expect_same_rows(g, source);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(Solve, ChoiceBoundariesGiveThePlainValues) {
  const char* graphs[] = {
      "3 2 1 2 1073741823 2 3 1",  // 2^30 - 1: the search
      "3 2 1 2 1073741824 2 3 1",  // 2^30: the exact pass
      "3 2 1 2 0 2 3 5",           // 0: the search
      "3 2 1 2 -1 2 3 5",          // -1: the exact pass
      "3 2 1 1 -1 2 3 5",          // a negative self-loop
      "3 2 1 9 -1 2 3 5",          // a negative edge outside 1..n does not count
  };
  for (const char* text : graphs) {
    Graph g = load(text);
    for (int32_t source = 0; source <= 4; ++source) expect_same_rows(g, source);
  }
}

}  // namespace
}  // namespace tarnwick
