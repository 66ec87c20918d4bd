// The loader against hand-written graph files: weights, faults and messages.
#include "graph/input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

namespace tarnwick {
namespace {

struct Loaded {
  bool ok;
  Graph g;
  LoadReport report;
};

Loaded load(const std::string& text) {
  Loaded l;
  ByteReader in(text);
  l.ok = input(in, &l.g, &l.report);
  return l;
}

// Returns every direct weight among ids 0..8, to compare two loads.
std::vector<int32_t> weights(const Graph& g) {
  std::vector<int32_t> w;
  for (int32_t i = 0; i <= 8; ++i) {
    for (int32_t j = 0; j <= 8; ++j) w.push_back(g.Dist(i, j));
  }
  return w;
}

TEST(Input, LayoutDoesNotMatter) {
  Loaded lines = load("3 3\n1 2 4\n2 3 1\n1 3 7\n");
  for (const char* text : {"3 3 1 2 4 2 3 1 1 3 7", "3\n3\n1\n2\n4\n2\n3\n1\n1\n3\n7",
                           "\t 3\r\n3\v1 2 4\f2 3 1 1 3 7 trailing text"}) {
    Loaded other = load(text);
    ASSERT_TRUE(other.ok) << text;
    EXPECT_EQ(weights(other.g), weights(lines.g)) << text;
    EXPECT_EQ(other.report.warning, "") << text;
  }
  EXPECT_EQ(lines.g.n, 3);
  EXPECT_EQ(lines.g.Dist(1, 3), 7);
}

TEST(Input, Header) {
  struct {
    const char* text;
    int32_t n, m;
    const char* warning;
  } cases[] = {
      {"3 0", 3, 0, ""},
      {"-3 2 1 2 4 2 3 5", 0, 2, ""},
      {"+5 -1 1 2 4", 5, -1, ""},
      {"-99999999999 0", 0, 0, ""},
      {"3 99999999999 1 2 4", 3, 2147483647, "*"},
      {"", 0, 0, "no vertex count: judging an empty graph"},
      {"x 3", 0, 0, "no vertex count: judging an empty graph"},
      {"4", 4, 0, "no edge count after the vertex count: no edge read"},
      {"4 -", 4, 0, "no edge count after the vertex count: no edge read"},
  };
  for (const auto& c : cases) {
    Loaded l = load(c.text);
    EXPECT_TRUE(l.ok) << c.text;
    EXPECT_EQ(l.g.n, c.n) << c.text;
    EXPECT_EQ(l.g.m, c.m) << c.text;
    if (std::string(c.warning) != "*") {
      EXPECT_EQ(l.report.warning, c.warning) << c.text;
    }
  }
}

TEST(Input, NegativeVertexCountInitialisesNothing) {
  Loaded l = load("-3 1 1 2 4");
  EXPECT_EQ(l.g.Dist(1, 2), 4);
  EXPECT_EQ(l.g.Dist(1, 3), 0);
  EXPECT_EQ(l.g.Dist(2, 2), 0);
}

TEST(Input, EdgeListCutShortKeepsOnlyWholeEdges) {
  struct {
    const char* text;
    const char* warning;
  } cases[] = {
      {"3 3 1 2 4 2 3", "the edge list ends after 1 of 3 edges: edge 2 meets the end of the file"},
      {"3 3 1 2 4 2 3 -", "the edge list ends after 1 of 3 edges: edge 2 meets text that is not a number"},
      {"3 3 1 2 4 2 3 2147483648", "the edge list ends after 1 of 3 edges: edge 2 meets a number too large for 32 bits"},
      {"3 3 1 2 4 2 -2147483649 1", "the edge list ends after 1 of 3 edges: edge 2 meets a number too large for 32 bits"},
  };
  for (const auto& c : cases) {
    Loaded l = load(c.text);
    ASSERT_TRUE(l.ok) << c.text;
    EXPECT_EQ(l.report.warning, c.warning);
    EXPECT_EQ(l.g.Dist(1, 2), 4) << c.text;
    EXPECT_EQ(l.g.Dist(2, 3), INF) << "the incomplete edge is dropped: " << c.text;
  }
}

TEST(Input, Int32ExtremesAreWeights) {
  Loaded l = load("2 2 1 2 -2147483648 2 2 2147483647");
  ASSERT_TRUE(l.ok);
  EXPECT_EQ(l.g.Dist(2, 1), -2147483647 - 1);
  EXPECT_EQ(l.g.Dist(2, 2), 2147483647);
}

TEST(Input, CannotJudge) {
  struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"10010 0", "the vertex count is too large: at most 10009 vertices fit"},
      {"2147483648 0", "the vertex count is too large: at most 10009 vertices fit"},
      {"3 2 1 2 4 3 10010 1", "edge 2 names vertex 10010, outside 0..10009"},
      {"3 1 -1 2 4", "edge 1 names vertex -1, outside 0..10009"},
  };
  for (const auto& c : cases) {
    Loaded l = load(c.text);
    EXPECT_FALSE(l.ok) << c.text;
    EXPECT_EQ(l.report.error, c.error);
  }
  EXPECT_TRUE(load("10009 1 10009 0 5").ok);
}

TEST(Input, ReadErrorIsReported) {
  // Reading this process's memory at offset 0 fails with an I/O error.
  Graph g;
  LoadReport report;
  EXPECT_FALSE(input("/proc/self/mem", &g, &report));
  EXPECT_EQ(report.error, "Input/output error");
  EXPECT_EQ(report.warning, "");
}

// Returns the bytes a reader of fd stopped at `stop` hands over.
uint64_t read_until_stop(int fd, uint64_t stop) {
  ByteReader in(fd);
  in.stop_at(stop);
  uint64_t seen = 0;
  while (in.peek() >= 0) {
    seen += in.window().size();
    in.skip(in.window().size());
  }
  EXPECT_EQ(in.offset(), seen);
  EXPECT_EQ(in.error(), 0);
  return seen;
}

// A reader told to stop at an offset reads no byte from there on: not from a
// device that never ends, nor from a pipe, whose later bytes stay in it.
TEST(Reader, StopsAtTheOffsetGiven) {
  int zero = ::open("/dev/zero", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(zero, 0);
  for (uint64_t stop : {uint64_t{0}, uint64_t{5}, uint64_t{3} << 20}) EXPECT_EQ(read_until_stop(zero, stop), stop);
  ::close(zero);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ASSERT_EQ(::write(pipe_fds[1], "0123456789", 10), 10);
  ::close(pipe_fds[1]);
  EXPECT_EQ(read_until_stop(pipe_fds[0], 4), 4u);
  char rest[16] = {};
  EXPECT_EQ(::read(pipe_fds[0], rest, sizeof rest), 6);
  EXPECT_STREQ(rest, "456789");
  ::close(pipe_fds[0]);
}

// Records what an observer hears: index, kind of read, offset.
struct Heard : LoadObserver {
  std::vector<std::tuple<int64_t, Read, uint64_t>> numbers;
  void number(int64_t index, const Number& num) override {
    numbers.emplace_back(index, num.read, num.where);
  }
};

TEST(Input, ObserverHearsEachNumberWhereItStands) {
  std::string text = "2 2\n 1 2 -5\n2 2 x";
  Graph g;
  LoadReport report;
  ByteReader in(text);
  Heard heard;
  ASSERT_TRUE(input(in, &g, &report, &heard));
  using T = std::tuple<int64_t, Read, uint64_t>;
  std::vector<T> want = {T{0, Read::kNumber, 0},  T{1, Read::kNumber, 2},
                         T{2, Read::kNumber, 5},  T{3, Read::kNumber, 7},
                         T{4, Read::kNumber, 9},  T{5, Read::kNumber, 12},
                         T{6, Read::kNumber, 14}, T{7, Read::kNoNumber, 16}};
  EXPECT_EQ(heard.numbers, want);
  EXPECT_NE(report.warning, "");
}

}  // namespace
}  // namespace tarnwick
