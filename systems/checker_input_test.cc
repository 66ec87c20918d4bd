// The test input as tarnwick-checker reads it: the source carried after the
// m-th edge of inputs read in ranges (around the size where the loader starts
// reading in ranges, and in process with ranges of a few bytes, so that the
// m-th edge and the source fall on every side of a cut), and an input that
// can be read only once (a named FIFO).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli_support.h"
#include "systems/checker.h"

namespace tarnwick {
namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;
namespace fs = std::filesystem;

// Returns what `command` run by the shell came to.
Outcome sh(const std::string& command, const Scratch& s) {
  return tarnwick_test::run_program("/bin/sh", {"-c", command}, s);
}

// Returns path in single quotes, for the shell.
std::string q(const std::string& path) { return "'" + path + "'"; }

// The loader reads an input in ranges once this many bytes follow its header.
constexpr size_t kRangedFrom = size_t{1} << 20;

// Returns `graph` followed by `tail` and as many spaces before the tail's
// line end as make the bytes after the header number `after_header`.
std::string padded(const std::string& graph, const std::string& tail, size_t after_header) {
  const size_t header = graph.find('\n');  // the edge count's last digit ends here
  const size_t pad = after_header - (graph.size() - header) - tail.size() - 1;
  return graph + tail + std::string(pad, ' ') + "\n";
}

// Judges `team` for `input` in both modes; returns "kattis testlib" statuses.
std::string statuses(const std::string& input, const std::string& ans, const std::string& team,
                     const std::string& flags, const Scratch& s) {
  const std::string checker = q(TARNWICK_CHECKER);
  Outcome k = sh(checker + " --kattis " + q(input) + " " + q(ans) + " " + q(s.dir().string()) +
                     " " + flags + " < " + q(team),
                 s);
  Outcome t = sh(checker + " --testlib " + q(input) + " " + q(team) + " " + q(ans) + " " + flags, s);
  return std::to_string(k.status) + " " + std::to_string(t.status);
}

// Inputs of 1 MiB of edges: the source carried after them is taken from where
// the m-th edge ends whether the loader reads in ranges or not, with text
// after it, and not at all when the edge list ends early.
TEST(CheckerInput, CarriedSourceAroundTheRangedReading) {
  Scratch s;
  const std::string graph = sh(std::string(TARNWICK_GEN) + " 3000 70000 1 1000 5", s).out;
  ASSERT_LT(graph.size() + 64, kRangedFrom);
  const std::string g = s.file("graph", graph);
  const std::string model = s.file("model", sh(std::string(TARNWICK_SOLVE) + " " + q(g) + " 2917", s).out);
  const std::string other = s.file("other", sh(std::string(TARNWICK_SOLVE) + " " + q(g) + " 1", s).out);
  std::string cut = graph;
  cut.replace(cut.find("70000"), 5, "70001");  // the source is read as edge 70001's u
  struct Case {
    std::string graph, tail, flags, model, other;
  };
  const Case cases[] = {
      {graph, "2917", "", "42 0", "43 1"},
      {graph, "2917 then text 1 2 3", "", "42 0", "43 1"},
      {cut, "2917", "", "2 3", "2 3"},
      {cut, "2917", "--source 2917", "42 0", "43 1"},
  };
  for (size_t after : {kRangedFrom - 8, kRangedFrom + 8}) {
    for (const Case& c : cases) {
      const std::string input = s.file("input", padded(c.graph, c.tail, after));
      EXPECT_EQ(statuses(input, model, model, c.flags, s), c.model) << c.tail << " " << after;
      EXPECT_EQ(statuses(input, model, other, c.flags, s), c.other) << c.tail << " " << after;
    }
  }
}

// What a load came to, for comparing two ways of reading.
struct Loaded {
  bool ok = false;
  std::string why;
  int32_t source = -1;
  ModelAnswer::Kind answer = ModelAnswer::kBroken;
  Verdict::Kind team = Verdict::kEmptyFile;
  int64_t line = 0;

  bool operator==(const Loaded&) const = default;
};

// Loads `input` through `options` and judges `answer` and `team` against it.
Loaded load(const std::string& input, const std::string& answer, const std::string& team,
            const CaseOptions& options) {
  TestCase test;
  Loaded l;
  l.ok = test.load(input, std::nullopt, &l.why, options);
  if (!l.ok) return l;
  l.source = test.judging.source();
  l.answer = model_answer(test, answer).kind;
  ResultFile in;
  in.assign(team);
  Explanation e;
  weigh_team(test, in, "team", &e);
  l.team = e.verdict.kind;
  l.line = e.verdict.line;
  return l;
}

// Ranges of every size from 1 byte, on one and several threads: a cut falls
// inside and between the last edge's numbers, the source and what follows.
TEST(CheckerInput, CarriedSourceOnEverySideOfARangeCut) {
  Scratch s;
  const std::string edges = "1 2 3\n2 3 4\n3 4 5\n4 5 6";  // from 4: 12, 9, 5, 0, 6
  const std::string answer = s.file("answer", "3 2 1\n3 2\n3\n4\n5\n");
  const std::string team = "3 2 1\n3 2\n2 3\n4\n5\n";  // line 3 takes a missing edge
  for (const std::string& text : {"5 4\n" + edges + "\n4\n", "5 4\n" + edges + "\n  4 junk 7 8\n",
                                 "5 4\n" + edges + " 4", "5 5\n" + edges + "\n4\n"}) {
    const std::string input = s.file("input", text);
    const Loaded plain = load(input, answer, team, {});
    EXPECT_EQ(plain.source, text[0] == '5' && text[2] == '4' ? 4 : -1) << text;
    for (int32_t threads : {1, 3}) {
      for (size_t range = 1; range <= text.size(); ++range) {
        CaseOptions options;
        options.tuning = {detail::Storage::kByDensity, threads, range, true};
        EXPECT_EQ(load(input, answer, team, options), plain) << text << " range " << range;
      }
    }
  }
}

// Opens the FIFO at path for writing once a reader has it open (waiting up to
// a minute), writes bytes and closes it: the input can be read once.
void feed_once(const std::string& path, const std::string& bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int fd = -1;
  while ((fd = open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && errno == ENXIO &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (fd < 0) return;
  fcntl(fd, F_SETFL, 0);
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
}

// A named FIFO as the test input is read once, explanations included (the
// edges are noted as they load): were it opened again, the checker would wait
// for a writer that never comes, until `timeout` ends it with 124.
TEST(CheckerInput, AFifoIsReadOnce) {
  Scratch s;
  const std::string fifo = (s.dir() / "input").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string ans = s.file("ans", "1\n1 2\n1 2 3\n"), team = s.file("team", "1\n1 2\n1 3\n");
  const std::string checker = "timeout 60 " + q(TARNWICK_CHECKER);
  const std::string fb = s.dir().string();
  const std::string commands[] = {
      checker + " --kattis " + q(fifo) + " " + q(ans) + " " + q(fb) + " < " + q(team),
      checker + " --testlib " + q(fifo) + " " + q(team) + " " + q(ans),
      checker + " --cms " + q(fifo) + " " + q(ans) + " " + q(team),
  };
  const int expected[] = {43, 1, 0};
  for (int i = 0; i < 3; ++i) {
    std::thread writer(feed_once, fifo, "3 3\n1 2 4\n2 3 1\n1 3 7\n1\n");
    const Outcome o = sh(commands[i], s);
    writer.join();
    EXPECT_EQ(o.status, expected[i]) << commands[i] << "\n" << o.err;
  }
  EXPECT_NE(tarnwick_test::slurp(s.dir() / "judgemessage.txt").find("graph line 4"),
            std::string::npos);
}

// A wrong output on an input of more than 1 MiB, read in ranges: the
// judges' message finds the input's last edge with its line.
TEST(CheckerInput, LastEdgeOfAnInputReadInRanges) {
  Scratch s;
  std::string graph = sh(std::string(TARNWICK_GEN) + " --simple 3000 100000 1 1000 3", s).out;
  ASSERT_GT(graph.size(), kRangedFrom);
  std::string last = graph.substr(graph.rfind('\n', graph.size() - 2) + 1);
  last.pop_back();  // "u v w"
  const std::string u = last.substr(0, last.find(' '));
  const std::string v = last.substr(u.size() + 1, last.rfind(' ') - u.size() - 1);
  const std::string input = s.file("t.in", graph + u + "\n");
  const std::string ans = s.file("t.ans", ""), team = s.file("team", v + "\n");
  sh(q(TARNWICK_CHECKER) + " --kattis " + q(input) + " " + q(ans) + " " + q(s.dir().string()) +
         " < " + q(team),
     s);
  const std::string judges = tarnwick_test::slurp(s.dir() / "judgemessage.txt");
  EXPECT_NE(judges.find(": edge " + u + "-" + v + ", graph line 100001\n"), std::string::npos)
      << judges;
}

}  // namespace
}  // namespace tarnwick
