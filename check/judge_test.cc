// The checker against hand-worked result files, with and without an observer.
#include "check/judge.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "check/result_file.h"
#include "graph/input.h"
#include "tests/cli_support.h"

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

// Records what the checker tells its observer, as text.
class Recorder : public JudgeObserver {
 public:
  explicit Recorder(int64_t go_on_until) : go_on_until_(go_on_until) {}
  void step(const WeighedStep& s) override {
    log += std::to_string(s.line) + "." + std::to_string(s.index) + ":" + std::to_string(s.from) +
           (s.repeated ? "=>" : "->") + std::to_string(s.to) + "=" + std::to_string(s.weight) + " ";
  }
  bool line_end(int64_t line, __int128 total, int32_t expected) override {
    log += '|';
    log += std::to_string(line) + ":" + std::to_string(static_cast<int64_t>(total)) + "/" +
           std::to_string(expected) + "\n";
    return line < go_on_until_;
  }
  std::string log;

 private:
  int64_t go_on_until_;
};

TEST_F(Judge, ObserverHearsEveryStepAndLineEnd) {
  struct {
    std::string result;
    int64_t go_on_until;
    std::string verdict, log;
  } cases[] = {
      {"1\n1 2\n1 3\n", 0, "Wrong answer in path 1 to 3\n",
       "1.1:1->1=0 |1:0/0\n2.1:1->1=0 2.2:1->2=4 |2:4/4\n3.1:1->1=0 3.2:1->3=7 |3:7/5\n"},
      // Going on past the first wrong line: the verdict still names it.
      {"3\n9\n2 3\n-1\n", 3, "Wrong answer in path 1 to 1\n",
       "1.1:1->3=7 |1:7/0\n2.1:1->9=0 |2:0/4\n3.1:1->2=4 3.2:2->3=1 |3:5/5\n"},
      // A token without a number repeats the last id; an id beyond the tables is -1.
      {"1\nx\n99999 \n", 0, "Wrong answer in path 1 to 2\n",
       "1.1:1->1=0 |1:0/0\n2.1:1=>1=0 |2:0/4\n"},
      {"1\n2 x 3 10010\n", 9, "Wrong answer in path 1 to 2\n",
       "1.1:1->1=0 |1:0/0\n2.1:1->2=4 2.2:2=>2=0 2.3:2->3=1 2.4:3->-1=0 |2:5/4\n"},
  };
  for (const auto& c : cases) {
    SourceRow row = solve_plain(g_, 1);
    Recorder recorder(c.go_on_until);
    ByteReader in(c.result), plain_in(c.result);
    Verdict with, without;
    ASSERT_TRUE(judge(in, g_.Dist, row, &with, &recorder));
    ASSERT_TRUE(judge(plain_in, g_.Dist, row, &without));
    EXPECT_EQ(verdict_line(with), c.verdict) << c.result;
    EXPECT_EQ(verdict_line(without), c.verdict) << c.result;
    EXPECT_EQ(recorder.log, c.log) << c.result;
  }
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
  InputFile file;
  ASSERT_TRUE(file.open(path, &err)) << err;
  ByteReader in(file.fd());
  EXPECT_TRUE(judge(in, g_.Dist, row, &v));
  EXPECT_EQ(verdict_line(v), "Success\n");
  unlink(path);
}

TEST_F(Judge, ReadErrorIsReported) {
  SourceRow row = solve_plain(g_, 1);
  Verdict v;
  std::string err;
  InputFile file;
  ASSERT_TRUE(file.open("/proc/self/mem", &err)) << err;
  ByteReader in(file.fd());
  EXPECT_FALSE(judge(in, g_.Dist, row, &v));
  EXPECT_EQ(reason(in.error()), "Input/output error");
}

// A file below a folder is opened one component at a time, never through a
// link, a ".." or an absolute name; where it stopped is told apart.
TEST(ResultFile, OpenBelow) {
  tarnwick_test::Scratch s;
  namespace fs = std::filesystem;
  const std::string d = s.dir().string();
  fs::create_directories(s.dir() / "sub" / "out");
  s.file("sub/out/t.out", "1\n");
  s.file("sub/t.out", "1\n");
  s.file("other", "1\n");
  fs::create_symlink("../other", s.dir() / "sub" / "link");
  fs::create_symlink("out", s.dir() / "sub" / "folderlink");
  fs::create_symlink("sub", s.dir() / "sublink");
  struct Case {
    std::string folder, inside;
    BelowFault fault;  // kNone: opened
    int error;
  };
  const Case cases[] = {
      {d + "/sub", "t.out", BelowFault::kNone, 0},
      {d + "/sub/", "out//./t.out", BelowFault::kNone, 0},
      {d + "/sub", "link", BelowFault::kOutside, ELOOP},
      {d + "/sub", "folderlink/t.out", BelowFault::kOutside, ENOTDIR},
      {d + "/sublink", "t.out", BelowFault::kOutside, ENOTDIR},
      {d + "/sublink/", "t.out", BelowFault::kOutside, ENOTDIR},
      {d + "/sub", "../other", BelowFault::kOutside, 0},
      {d + "/sub", "out/../t.out", BelowFault::kOutside, 0},
      {d + "/sub", d + "/other", BelowFault::kOutside, 0},
      {d + "/sub", "", BelowFault::kOutside, 0},
      {d + "/none", "t.out", BelowFault::kFolder, ENOENT},
      {d + "/other", "t.out", BelowFault::kFolder, ENOTDIR},
      {d + "/sub", "gone.out", BelowFault::kFile, ENOENT},
      {d + "/sub", "t.out/x", BelowFault::kFile, ENOTDIR},
  };
  for (const Case& c : cases) {
    ResultFile file;
    std::string why;
    EXPECT_EQ(file.open_below(c.folder, c.inside, {}, &why), c.fault == BelowFault::kNone)
        << c.folder << " " << c.inside << ": " << why;
    EXPECT_EQ(file.below_fault(), c.fault) << c.folder << " " << c.inside;
    EXPECT_EQ(file.error(), c.error) << c.folder << " " << c.inside;
    if (c.fault == BelowFault::kNone) {
      EXPECT_EQ(file.reader().peek(), '1');
    } else if (c.fault == BelowFault::kOutside) {
      EXPECT_EQ(why, "leads outside the folder");
    }
  }
}

}  // namespace
}  // namespace tarnwick
