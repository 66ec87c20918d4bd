#include "tools/places.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(Places, LinesAndColumnsOfOffsets) {
  const std::string text = "3 2\n1 2 5\n\n  2 3 -1";
  ByteReader in(text);
  // Given out of order; one past the end.
  std::vector<Place> p = places(in, {9, 0, 12, 4, 3, 10, 99});
  ASSERT_EQ(p.size(), 7u);
  auto s = [](const Place& q) { return place_text(q); };
  EXPECT_EQ(s(p[0]), "2:6");  // the line end of line 2
  EXPECT_EQ(s(p[1]), "1:1");
  EXPECT_EQ(s(p[2]), "4:2");
  EXPECT_EQ(s(p[3]), "2:1");
  EXPECT_EQ(s(p[4]), "1:4");
  EXPECT_EQ(s(p[5]), "3:1");
  EXPECT_EQ(s(p[6]), "4:9");  // the end of the text
}

TEST(Places, UnreadableFile) {
  std::vector<Place> p;
  std::string err;
  EXPECT_FALSE(places("/nonexistent/graph", {0}, &p, &err));
  EXPECT_EQ(err, "No such file or directory");
}

}  // namespace
}  // namespace tarnwick
