#include "graph/apsp.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarnwick
