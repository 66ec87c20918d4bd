// A description read into plans: the defaults a line leaves out (simple,
// source 1, one point) and what each word sets, which the folder shows only
// through the generator's bytes.
#include "testset/description.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

TEST(Description, DefaultsAndWords) {
  std::vector<TestPlan> plans;
  std::string why;
  ASSERT_TRUE(parse_description(
      "# the small ones\n"
      "a 5 7 -3 9 42\r\n"
      "  b.2 6 9 1 1 18446744073709551615 points=0.125 repeats connected source=6 # last\n",
      "D", &plans, &why))
      << why;
  ASSERT_EQ(plans.size(), 2u);
  const TestPlan& a = plans[0];
  EXPECT_EQ(a.name, "a");
  EXPECT_EQ(a.line, 2);
  EXPECT_EQ(a.graph.n, 5);
  EXPECT_EQ(a.graph.m, 7);
  EXPECT_EQ(a.graph.wmin, -3);
  EXPECT_EQ(a.graph.wmax, 9);
  EXPECT_EQ(a.graph.seed, 42u);
  EXPECT_TRUE(a.graph.simple);
  EXPECT_FALSE(a.graph.connected);
  EXPECT_EQ(a.graph.source, 1);
  EXPECT_EQ(a.milli_points, 1000);
  const TestPlan& b = plans[1];
  EXPECT_EQ(b.name, "b.2");
  EXPECT_EQ(b.line, 3);
  EXPECT_EQ(b.graph.seed, 18446744073709551615u);
  EXPECT_FALSE(b.graph.simple);
  EXPECT_TRUE(b.graph.connected);
  EXPECT_EQ(b.graph.source, 6);
  EXPECT_EQ(b.milli_points, 125);
}

// A file without a final line end, and one whose last line is a comment.
TEST(Description, LastLines) {
  std::vector<TestPlan> plans;
  std::string why;
  EXPECT_TRUE(parse_description("a 2 1 1 1 1", "D", &plans, &why)) << why;
  EXPECT_TRUE(parse_description("b 2 1 1 1 1\n# end", "D", &plans, &why)) << why;
  ASSERT_EQ(plans.size(), 2u);
  EXPECT_FALSE(parse_description("c 2 1 1 1 1\nd 2 1", "D", &plans, &why));
  EXPECT_EQ(why, "D:2: expected NAME vertices edges min_weight max_weight seed, got 3 words");
}

}  // namespace
}  // namespace tarnwick
