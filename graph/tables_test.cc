// The tables' arithmetic and lookups.
#include "graph/tables.h"

#include <gtest/gtest.h>

#include <limits>

namespace tarnwick {
namespace {

TEST(WrapAdd, WrapsModulo2To32) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(wrap_add(kMax, 1), kMin);
  EXPECT_EQ(wrap_add(kMin, -1), kMax);
  EXPECT_EQ(wrap_add(INF, INF), 2 * INF);
  EXPECT_EQ(wrap_add(INF, -3), INF - 3);
}

TEST(DirectWeights, EmptyGraphWeighsNothing) {
  DirectWeights Dist;
  for (int32_t i : {-1, 0, 1, 5, V - 1, V}) {
    for (int32_t j : {-1, 0, 1, 5, V - 1, V}) EXPECT_EQ(Dist(i, j), 0) << i << " " << j;
  }
}

TEST(DirectWeights, LastEdgeWinsAndDefaultsFillTheRest) {
  DirectWeights::Builder b;
  b.add(1, 2, 5);
  b.add(2, 1, 3);  // replaces 1-2, both ways
  b.add(2, 2, 4);  // a self-loop replaces the diagonal
  b.add(0, 3, 9);  // id 0 is stored like any other
  b.add(3, 7, 2);  // so is an id above n
  b.add(3, 7, -6);
  DirectWeights Dist = b.build(3);
  struct {
    int32_t i, j, w;
  } cases[] = {
      {1, 2, 3}, {2, 1, 3}, {2, 2, 4}, {1, 1, 0}, {3, 3, 0},   {1, 3, INF}, {3, 1, INF},
      {3, 0, 9}, {0, 3, 9}, {3, 7, -6}, {7, 3, -6}, {0, 0, 0},  {1, 4, 0},   {4, 1, 0},
      {2, 0, 0}, {5, 6, 0}, {-1, 2, 0}, {2, V, 0},  {V - 1, 1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Dist(c.i, c.j), c.w) << c.i << " " << c.j;
  ASSERT_EQ(Dist.row(2).size(), 2u);
  EXPECT_EQ(Dist.row(2)[0].to, 1);
  EXPECT_EQ(Dist.row(2)[1].to, 2);
}

}  // namespace
}  // namespace tarnwick
