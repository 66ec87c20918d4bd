// tarnwick-gen end to end: its files stay the same bytes from release to
// release, --simple keeps its promises (checked by tarnwick-validate), and a
// test input written with --source is what tarnwick-solve and
// tarnwick-checker take.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/cli_support.h"

namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;

const std::string kUsage =
    "Usage: tarnwick-gen [--simple] [--source S] vertices edges min_weight max_weight seed "
    "[connected]\n";

// Returns args split at spaces.
std::vector<std::string> words(const std::string& args) {
  std::istringstream in(args);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

Outcome gen(const std::string& args, const Scratch& s) {
  return tarnwick_test::run_program(TARNWICK_GEN, words(args), s);
}

// FNV-1a, 64 bits: a checksum that a file of another release must match.
uint64_t fnv1a(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3u;
  return h;
}

// Returns the root of v's set, halving paths on the way.
int find(std::vector<int>& up, int v) {
  while (up[v] != v) v = up[v] = up[up[v]];
  return v;
}

// Files written before --simple and --source existed: without them, the same
// arguments must give these bytes for good (test sets are rebuilt from them).
TEST(Generator, SameBytesAsEver) {
  Scratch s;
  EXPECT_EQ(gen("5 7 1 9 42 connected", s).out,
            "5 7\n1 2 1\n5 1 4\n3 2 4\n4 2 5\n4 4 8\n5 4 5\n1 1 7\n");
  EXPECT_EQ(gen("6 9 -3 3 0", s).out,
            "6 9\n1 6 -3\n4 4 -3\n4 3 2\n6 3 1\n6 3 -2\n3 5 1\n4 2 -2\n4 4 -2\n1 1 0\n");
  const std::pair<const char*, uint64_t> sums[] = {
      {"200 3000 1 100 7 connected", 0x7846ec76ddcd5965u},
      {"3 200 -2147483648 2147483647 18446744073709551615", 0xefb3fb86890ac57eu},
      {"1000 20000 1 1000 123456789", 0xadf73c7638882124u},
      {"10009 20000 -5 5 18446744073709551615 connected", 0xe7b2ac0232ebed0bu},
  };
  for (const auto& [args, sum] : sums) EXPECT_EQ(fnv1a(gen(args, s).out), sum) << args;
}

// Without --simple, what the graph holds that a test author rarely means is
// told on standard error, its bytes the same; with it, nothing is.
TEST(Generator, TellsPairsGivenAgainAndSelfLoops) {
  Scratch s;
  const struct {
    const char* args;
    std::string err;
  } cases[] = {
      {"5 7 1 9 42 connected", "tarnwick-gen: warning: the graph holds 2 self-loops; --simple draws none\n"},
      {"6 9 -3 3 0", "tarnwick-gen: warning: the graph holds 1 edge on a pair an earlier edge gave (the "
                     "later weight stands) and 3 self-loops; --simple draws none\n"},
      {"--simple 6 9 -3 3 0", ""},
      {"6 1 1 1 0", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(gen(c.args, s).err, c.err) << c.args;
}

TEST(Generator, DeterministicConnectedAndInRange) {
  Scratch s;
  Outcome a = gen("5 7 1 9 42 connected", s);
  ASSERT_EQ(a.status, 0);
  EXPECT_EQ(a.out, gen("5 7 1 9 42 connected", s).out);
  EXPECT_NE(a.out, gen("5 7 1 9 43 connected", s).out);

  std::istringstream in(a.out);
  int n = 0, m = 0;
  in >> n >> m;
  ASSERT_EQ(n, 5);
  ASSERT_EQ(m, 7);
  std::vector<int> up(n + 1);
  std::iota(up.begin(), up.end(), 0);
  int joins = 0;
  for (int i = 0; i < m; ++i) {
    int u = 0, v = 0, w = 0;
    ASSERT_TRUE(in >> u >> v >> w);
    EXPECT_TRUE(u >= 1 && u <= n && v >= 1 && v <= n && w >= 1 && w <= 9) << u << " " << v;
    if (i < n - 1 && find(up, u) != find(up, v)) ++joins, up[find(up, u)] = find(up, v);
  }
  EXPECT_EQ(joins, n - 1) << "the first n - 1 edges are not a spanning tree";
}

TEST(Generator, ExtremeWeightRange) {
  Scratch s;
  Outcome r = gen("3 200 -2147483648 2147483647 1", s);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("3 200\n", 0), 0u);
}

// Options stand anywhere among the other arguments; --source adds a line.
TEST(Generator, OptionsAnywhereAndTheSourceLine) {
  Scratch s;
  const std::string plain = gen("40 90 1 50 3 connected", s).out;
  EXPECT_EQ(gen("--source 17 40 90 1 50 3 connected", s).out, plain + "17\n");
  EXPECT_EQ(gen("40 90 1 50 3 connected --source=17", s).out, plain + "17\n");
  const std::string simple = gen("--simple 40 90 1 50 3 connected", s).out;
  EXPECT_NE(simple, plain);
  for (const char* args : {"40 --simple 90 1 50 3 connected", "40 90 1 50 3 connected --simple",
                           "--simple -- 40 90 1 50 3 connected"}) {
    EXPECT_EQ(gen(args, s).out, simple) << args;
  }
  EXPECT_EQ(gen("--simple 40 90 1 50 3 connected --source 40", s).out, simple + "40\n");
  EXPECT_EQ(gen("--simple 40 90 -7 -7 3 --source 1", s).status, 0);
}

// Reads a generated file; fails the test when its edges are not distinct pairs
// of two vertices with weights in wmin..wmax, or (with connected) the first
// n - 1 do not join every vertex.
void expect_simple(const std::string& text, bool connected, int wmin, int wmax,
                   const std::string& what) {
  std::istringstream in(text);
  int n = 0, m = 0;
  ASSERT_TRUE(in >> n >> m) << what;
  std::set<std::pair<int, int>> seen;
  std::vector<int> up(n + 1);
  std::iota(up.begin(), up.end(), 0);
  int joins = 0;
  for (int i = 0; i < m; ++i) {
    int u = 0, v = 0, w = 0;
    ASSERT_TRUE(in >> u >> v >> w) << what << ": edge " << i + 1;
    ASSERT_TRUE(u >= 1 && u <= n && v >= 1 && v <= n && u != v) << what << ": " << u << " " << v;
    ASSERT_TRUE(seen.insert({std::min(u, v), std::max(u, v)}).second) << what << ": " << u << " " << v;
    ASSERT_TRUE(w >= wmin && w <= wmax) << what;
    if (i < n - 1 && find(up, u) != find(up, v)) ++joins, up[find(up, u)] = find(up, v);
  }
  if (connected) {
    EXPECT_EQ(joins, n - 1) << what << ": the first n - 1 edges are not a tree";
  }
  int extra = 0;
  EXPECT_FALSE(in >> extra) << what << ": text after the edges";
}

// Sparse and dense requests (the pairs drawn, or the pairs left out drawn:
// each side of where one turns into the other), up to every pair, with and
// without a tree first: tarnwick-validate --simple
// passes each, and so does the test's own reading.
TEST(Generator, SimpleGraphs) {
  struct Case {
    const char* args;
    bool connected;
  };
  const Case cases[] = {
      {"1 0 1 9 1 connected", true},   {"2 1 1 9 1 connected", true},   {"3 3 1 9 2", false},
      {"5 10 1 9 3 connected", true},  {"30 200 1 9 4", false},          {"30 217 1 9 5", false},
      {"30 218 1 9 5", false},         {"30 232 1 9 5 connected", true}, {"30 233 1 9 5 connected", true},
      {"30 435 1 9 6 connected", true}, {"300 44840 1 9 7", false},      {"300 22574 1 9 8 connected", true},
      {"300 22575 1 9 8 connected", true},
  };
  Scratch s;
  for (const Case& c : cases) {
    Outcome r = gen(std::string("--simple ") + c.args, s);
    ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
    expect_simple(r.out, c.connected, 1, 9, c.args);
    EXPECT_EQ(r.out, gen(std::string(c.args) + " --simple", s).out) << c.args;
    const std::string file = s.file("simple.txt", r.out);
    std::vector<std::string> validate = {"--simple", file};
    if (c.connected) validate.insert(validate.begin(), "--connected");
    Outcome v = tarnwick_test::run_program(TARNWICK_VALIDATE, validate, s);
    EXPECT_EQ(v.status, 0) << c.args << ":\n" << v.out;
  }
}

// Wrong use: the reason on a line, then the usage line, on standard error.
TEST(Generator, RejectsBadArguments) {
  struct Case {
    const char* args;
    const char* why;  // "": the usage line alone
  };
  const Case cases[] = {
      {"", ""},
      {"5 7 1 9", ""},
      {"5 7 1 9 1 connected x", ""},
      {"--simple --source 1", ""},
      {"x 7 1 9 1", "vertices must be an integer from 1 to 10009"},
      {"0 7 1 9 1", "vertices must be an integer from 1 to 10009"},
      {"10010 7 1 9 1", "vertices must be an integer from 1 to 10009"},
      {"5 -1 1 9 1", "edges must be an integer from 0 to 2147483647"},
      {"5 7 9 1 1", "min_weight is above max_weight"},
      {"5 7 1 9 -1", "seed must be an integer from 0 to 2^64-1"},
      {"5 3 1 9 1 connected", "a connected graph on 5 vertices needs at least 4 edges"},
      {"5 7 1 9 1 connectd", "the last argument can only be 'connected'"},
      {"5 7 1 2147483648 1", "weights must be 32-bit integers"},
      {"--simple 5 11 1 9 1", "--simple allows at most 10 edges on 5 vertices"},
      {"5 11 1 9 1 connected --simple", "--simple allows at most 10 edges on 5 vertices"},
      {"1 1 1 9 1 --simple", "--simple allows at most 0 edges on 1 vertex"},
      {"10009 50085037 1 9 1 --simple", "--simple allows at most 50085036 edges on 10009 vertices"},
      {"5 7 1 9 1 --source 0", "--source must be a vertex of the graph, 1 to 5, not '0'"},
      {"5 7 1 9 1 --source 6", "--source must be a vertex of the graph, 1 to 5, not '6'"},
      {"--source=x 5 7 1 9 1", "--source must be a vertex of the graph, 1 to 5, not 'x'"},
      {"5 7 1 9 1 --source", "--source needs a vertex"},
      {"--bogus", "unknown option '--bogus'"},
      {"5 7 1 9 1 --bogus", "unknown option '--bogus'"},
      {"5 7 1 9 1 --simple=yes", "--simple takes no value"},
  };
  Scratch s;
  for (const Case& c : cases) {
    Outcome r = gen(c.args, s);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    const std::string why = *c.why == '\0' ? "" : std::string("tarnwick-gen: ") + c.why + "\n";
    EXPECT_EQ(r.err, why + kUsage) << c.args;
  }
}

// A test input written with --simple and --source: the validator checks its
// carried source, the solver takes it when no source is given, and the
// checker judges from it (a model answer from another source is wrong).
TEST(Generator, TestInputForTheCheckerAndSolver) {
  Scratch s;
  const std::string in = s.file("t.in", gen("--simple 60 300 1 100 5 connected --source 7", s).out);
  Outcome valid = tarnwick_test::run_program(
      TARNWICK_VALIDATE, {"--simple", "--connected", "--carried-source", in}, s);
  EXPECT_EQ(valid.status, 0) << valid.out;
  Outcome carried = tarnwick_test::run_program(TARNWICK_SOLVE, {in}, s);
  ASSERT_EQ(carried.status, 0) << carried.err;
  EXPECT_EQ(carried.out, tarnwick_test::run_program(TARNWICK_SOLVE, {in, "7"}, s).out);
  const std::string ans = s.file("t.ans", carried.out);
  const std::string from_1 = s.file("from-1", tarnwick_test::run_program(TARNWICK_SOLVE, {in, "1"}, s).out);
  Outcome right = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", in, ans, ans}, s);
  EXPECT_EQ(right.status, 0) << right.err;
  Outcome wrong = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", in, from_1, ans}, s);
  EXPECT_EQ(wrong.status, 1) << wrong.err;
  EXPECT_TRUE(wrong.err.starts_with("wrong answer Wrong answer in path 7 to ")) << wrong.err;
}

}  // namespace
