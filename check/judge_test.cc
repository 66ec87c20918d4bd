#include "check/judge.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "graph/input.h"

namespace tarnwick {
namespace {

class Judge : public testing::Test {
 protected:
  // Judges `result` against the three-vertex graph from `source`.
  std::string verdict(const std::string& result, int32_t source = 1) {
    SourceRow row = solve_plain(g_, source);
    ByteReader in(result);
    Verdict v;
    EXPECT_TRUE(judge(in, g_.Dist, row, &v));
    return verdict_line(v);
  }

  void SetUp() override {
    LoadReport report;
    ByteReader in(std::string_view("3 3 1 2 4 2 3 1 1 3 7"));
    ASSERT_TRUE(input(in, &g_, &report));
  }

  Graph g_;
};

TEST_F(Judge, VerdictLines) {
  EXPECT_EQ(verdict_line({Verdict::kSuccess, 1, 0}), "Success\n");
  EXPECT_EQ(verdict_line({Verdict::kEmptyFile, 1, 0}), "Empty file\n");
  EXPECT_EQ(verdict_line({Verdict::kWrongAnswer, 7, 10011}), "Wrong answer in path 7 to 10011\n");
}

TEST_F(Judge, OddBytes) {
  using namespace std::string_literals;
  struct {
    std::string result, verdict;
  } cases[] = {
      // A NUL byte is an ordinary character: it ends a number and separates nothing.
      {"1\n2\0 3\n"s, "Wrong answer in path 1 to 2\n"},
      {"1\n2\n2\0003 3\n"s, "Success\n"},
      {"\0\n"s, "Wrong answer in path 1 to 2\n"},
      // A carriage return alone does not end a line.
      {"1\r2\r3\n2\n2 3\n", "Success\n"},
      {"1\n2\n\r3\n", "Wrong answer in path 1 to 3\n"},
      {"\xff\xfe\n2\xc3\x28\n2 3\x80\n", "Success\n"},
      // One blank line is right for line 1; line 2 is then missing.
      {"\n", "Wrong answer in path 1 to 2\n"},
      {" ", "Wrong answer in path 1 to 2\n"},
      {"1\n\n", "Wrong answer in path 1 to 2\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(verdict(c.result), c.verdict) << c.result;
}

TEST_F(Judge, TokensCrossingBufferBoundaries) {
  // A file read through the fixed buffer: 3 MB on one line, numbers cut at
  // every possible offset of the buffer's end.
  char path[] = "/tmp/tarnwick-judge-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  std::string line = "1\n";
  for (int i = 0; i < 300000; ++i) line += "000001 ";
  line += "2\n0002    3   \n";
  ASSERT_EQ(write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  close(fd);
  SourceRow row = solve_plain(g_, 1);
  Verdict v;
  std::string err;
  EXPECT_TRUE(judge(path, g_.Dist, row, &v, &err));
  EXPECT_EQ(verdict_line(v), "Success\n");
  unlink(path);
}

TEST_F(Judge, ReadErrorIsReported) {
  SourceRow row = solve_plain(g_, 1);
  Verdict v;
  std::string err;
  EXPECT_FALSE(judge("/proc/self/mem", g_.Dist, row, &v, &err));
  EXPECT_EQ(err, "Input/output error");
}

}  // namespace
}  // namespace tarnwick
