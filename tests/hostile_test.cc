// Hostile inputs for the whole command: odd bytes, odd line ends, huge lines
// and files, numbers out of every range, and paths that are not plain files.
// Each case either gets the verdict the reading rules settle (worked out in the
// comment beside it) or a clean refusal: exit 2, one line on standard error,
// nothing on standard output.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "check/judge.h"
#include "graph/apsp.h"
#include "graph/input.h"
#include "tests/cli_support.h"

namespace {

using namespace tarnwick_test;
using namespace std::string_literals;

// Three vertices; edges 1-2 of weight 4, 2-3 of weight 1, 1-3 of weight 7.
// From source 1 the distances are 0, 4 and 5.
const std::string kTriangle = "3 3\n1 2 4\n2 3 1\n1 3 7\n";
const std::string kRightPaths = "1\n1 2\n1 2 3\n";
const std::string kWrongAt2 = "Wrong answer in path 1 to 2\n";
// Above 2^20 bytes: more than the judge reads from a file at once.
constexpr int kPastReadBuffer = 1100000;

struct Case {
  const char* name;
  std::string graph;
  std::string result;
  std::string out;
  std::string err = "";  // "$GRAPH" stands for the graph file's path
  std::string source = "1";
};

// Names a case in test listings (instead of a dump of its bytes).
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Hostile : public testing::TestWithParam<Case> {};

TEST_P(Hostile, GetsTheSettledVerdict) {
  const Case& c = GetParam();
  Scratch s;
  Judged j = judge_texts(c.graph, c.result, c.source, s);
  EXPECT_EQ(j.outcome.out, c.out);
  EXPECT_EQ(j.outcome.status, 0);
  EXPECT_EQ(j.outcome.err, replace_all(c.err, "$GRAPH", j.graph));
}

std::string name_of(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// Returns the warning for an edge list cut short after `read` of `of` edges.
std::string cut_short(int read, const std::string& of, int edge, const std::string& what) {
  return "tarnwick: $GRAPH: warning: the edge list ends after " + std::to_string(read) + " of " +
         of + " edges: edge " + std::to_string(edge) + " meets " + what + "\n";
}
// The warning after the verdict when the source is not a vertex of the graph.
const std::string kNoVertices =
    "tarnwick: warning: source 1 is not a vertex of the graph (it has none): lines are compared "
    "with its direct weights\n";
const std::string kSourceZero =
    "tarnwick: warning: source 0 is not a vertex of the graph (1..3): lines are compared with its "
    "direct weights\n";
// An empty graph, judged from source 1.
const std::string kNoVertexCount =
    "tarnwick: $GRAPH: warning: no vertex count: judging an empty graph\n" + kNoVertices;

// Bytes that are neither digits nor separators, in the result file.
INSTANTIATE_TEST_SUITE_P(OddBytes, Hostile, testing::Values(
    // Line 2 is 1, 2, 3 (the NUL ends the 2 but does not end the line): 0 + 4 + 1 = 5, not 4.
    Case{"NulEndsANumberNotTheLine", kTriangle, "1\n1 2\0 3\n1 2 3\n"s, kWrongAt2},
    // A token of a lone NUL holds no number and repeats the last id read.
    Case{"NulTokenRepeatsLastId", kTriangle, "1\n\0 2\n2 3\0\n"s, "Success\n"},
    // "\xc3(" is invalid UTF-8 and no number: it repeats 1, weighing 0; then 2 weighs 4.
    Case{"InvalidUtf8IsNoNumber", kTriangle, "1\n\xc3\x28 2\n2 3\n", "Success\n"},
    // Only \t\n\v\f\r and space are skipped before a number: a no-break space
    // (0xA0) or NEL (0x85) makes the token hold no number, so line 2 weighs 0.
    Case{"NoBreakSpaceIsNotSkipped", kTriangle, "1\n\xa0" "2\n", kWrongAt2},
    Case{"NextLineByteIsNotSkipped", kTriangle, "1\n\x85" "2\n", kWrongAt2},
    // 0xB2 is '2' with the top bit set: not a digit.
    Case{"HighBitDigitIsNoDigit", kTriangle, "1\n\xb2\n", kWrongAt2},
    // A PNG header: line 1 holds no number (id 0, weighing 0, as distance 0 wants);
    // line 2 repeats 0 and weighs 0, not 4.
    Case{"BinaryJunk", kTriangle, "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, kWrongAt2},
    // \v and \f are skipped before a number like \t.
    Case{"VerticalTabAndFormFeedSkipped", kTriangle, "1\n\v2\n\f2 \r3\n", "Success\n"}),
    name_of);

// Line ends other than a plain "\n" at the end of every line.
INSTANTIATE_TEST_SUITE_P(LineEnds, Hostile, testing::Values(
    // Without "\n" the whole file is line 1: ids 1, 2, 2, 3 weigh 0 + 4 + 0 + 1 = 5, not 0.
    Case{"CarriageReturnAloneEndsNoLine", kTriangle, "1\r1 2\r1 2 3\r",
         "Wrong answer in path 1 to 1\n"},
    // A carriage return before an id is skipped like any leading whitespace.
    Case{"CarriageReturnBeforeIds", kTriangle, "\r1\n\r1 \r2\n\r2 \r3", "Success\n"},
    // The line without a final "\n" is still judged: 1 3 weighs 7, not 5.
    Case{"UnterminatedLastLineIsJudged", kTriangle, "1\n1 2\n1 3",
         "Wrong answer in path 1 to 3\n"},
    // A lone space or a lone "\n" is a line, not an empty file: no step, weight
    // 0, right for line 1; line 2 is then missing.
    Case{"LoneSpaceIsALine", kTriangle, " ", kWrongAt2},
    Case{"LoneLineEndIsALine", kTriangle, "\n", kWrongAt2},
    // In the graph file every one of these is whitespace.
    Case{"GraphWithCarriageReturnsAlone", "3 3\r1 2 4\r2 3 1\r1 3 7\r", kRightPaths, "Success\n"},
    Case{"GraphWithCrlf", "3 3\r\n1 2 4\r\n2 3 1\r\n1 3 7\r\n", kRightPaths, "Success\n"},
    Case{"GraphWithoutFinalLineEnd", "3 3\n1 2 4\n2 3 1\n1 3 7", kRightPaths, "Success\n"}),
    name_of);

// Lines and tokens longer than the judge's read buffer, and more lines than V.
INSTANTIATE_TEST_SUITE_P(Sizes, Hostile, testing::Values(
    // 1.2 MB of "1 " on line 2: weight 0 until the final 2.
    Case{"LineLongerThanTheReadBuffer", kTriangle, "1\n" + repeat("1 ", 600000) + "2\n2 3\n",
         "Success\n"},
    // One token of 1.1 million zeros then 2 is id 2.
    Case{"TokenLongerThanTheReadBuffer", kTriangle,
         "1\n" + std::string(kPastReadBuffer, '0') + "2\n2 3\n", "Success\n"},
    // 1 followed by 1.1 million zeros is outside the tables: line 2 weighs 0.
    Case{"HugeIdLongerThanTheReadBuffer", kTriangle,
         "1\n1" + std::string(kPastReadBuffer, '0') + " 2\n", kWrongAt2},
    // 100000 lines: every "0" weighs 0 as lines past the tables want; the last weighs 4.
    Case{"HundredThousandLines", kTriangle, "1\n2\n2 3\n" + repeat("0\n", 99996) + "2\n",
         "Wrong answer in path 1 to 100000\n"},
    // 100000 edge lines, the last one given for 1-2 wins.
    Case{"GraphOfHundredThousandLines",
         "3 100000\n" + repeat("1 2 9\n", 99997) + "1 2 4\n2 3 1\n1 3 7\n", kRightPaths,
         "Success\n"},
    Case{"GraphNumbersApartByOverAMegabyte", "3" + std::string(kPastReadBuffer, ' ') +
         "3 1 2 4 2 3 1 1 3 7", kRightPaths, "Success\n"},
    Case{"GraphNumberLongerThanTheReadBuffer", std::string(kPastReadBuffer, '0') + kTriangle,
         kRightPaths, "Success\n"}),
    name_of);

// Ids in the result file: 30 digits, wrap-arounds, signs.
INSTANTIATE_TEST_SUITE_P(ResultIds, Hostile, testing::Values(
    Case{"ThirtyDigitsOfLeadingZeros", kTriangle, "1\n" + std::string(29, '0') + "2\n2 3\n",
         "Success\n"},
    Case{"MinusThirtyZerosIsZero", kTriangle, "-" + std::string(30, '0') + "\n1 2\n2 3\n",
         "Success\n"},
    // 4294967298, 2^64 + 2 and -4294967294 are 2 modulo 2^32, but outside the tables.
    Case{"IdTwoModulo2To32", kTriangle, "1\n4294967298\n", kWrongAt2},
    Case{"IdTwoModulo2To64", kTriangle, "1\n18446744073709551618\n", kWrongAt2},
    Case{"NegativeIdTwoModulo2To32", kTriangle, "1\n-4294967294\n", kWrongAt2},
    Case{"LeadingZerosThenV", kTriangle, "1\n000000000000000010010\n", kWrongAt2},
    // A second sign, or whitespace after the sign, leaves no number: the token repeats 1.
    Case{"DoubleSignIsNoNumber", kTriangle, "1\n+-2\n", kWrongAt2},
    Case{"SpaceAfterSignIsNoNumber", kTriangle, "1\n-\t2\n", kWrongAt2},
    Case{"SignAfterLeadingSpace", kTriangle, "1\n\t+2\n2 3\n", "Success\n"},
    // A lone "-" token between ids repeats 1: 0 + 0 + 4.
    Case{"LoneMinusBetweenIds", kTriangle, "1\n1 - 2\n2 3\n", "Success\n"}),
    name_of);

// Numbers in the graph file that do not fit, and defective graph files.
INSTANTIATE_TEST_SUITE_P(GraphNumbers, Hostile, testing::Values(
    // The NUL after 4 is text, not whitespace: edges 2 and 3 are dropped, so 1-3
    // has no edge and line 3 weighs INF like its distance.
    Case{"NulInGraphEndsTheEdgeList", "3 3\n1 2 4\0\n2 3 1\n1 3 7\n"s, "1\n2\n3\n", "Success\n",
         cut_short(1, "3", 2, "text that is not a number")},
    Case{"BinaryGraphIsEmpty", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, "1\n2 3\n", "Success\n",
         kNoVertexCount},
    Case{"InvalidUtf8AfterVertexCount", "3\xc3\xa9 3\n1 2 4\n", "1\n2\n3\n", "Success\n",
         "tarnwick: $GRAPH: warning: no edge count after the vertex count: no edge read\n"},
    Case{"WhitespaceOnlyGraph", "\n\n  \t\v\f\r", "", "Empty file\n", kNoVertexCount},
    // Edges 1-2 of 4, 2-3 of 0, 1-3 of 7: the distance to 3 is 4.
    Case{"SignsAndLeadingZerosInGraph", "+0003 03\n001 +2 0004\n2 3 -0\n1 3 7\n", kRightPaths,
         "Success\n"},
    // 4294967299 is 3 modulo 2^32: it ends the edge list, it is not vertex 3.
    Case{"VertexIdAbove32Bits", "3 1\n1 4294967299 5\n", "1\n2\n3\n", "Success\n",
         cut_short(0, "1", 1, "a number too large for 32 bits")},
    // Too large for 32 bits ends the edge list even where -1 would be refused.
    Case{"ThirtyDigitVertexId", "3 2\n1 2 4\n100000000000000000000000000000 2 1\n", "1\n2\n3\n",
         "Success\n", cut_short(1, "2", 2, "a number too large for 32 bits")},
    Case{"NegativeVertexIdAbove32Bits", "3 1\n-99999999999 2 1\n", "1\n2\n3\n", "Success\n",
         cut_short(0, "1", 1, "a number too large for 32 bits")},
    // An edge count too large for 32 bits means "read edges until the file ends".
    Case{"EdgeCountOfThirtyDigits", "3 100000000000000000000000000003\n1 2 4\n2 3 1\n1 3 7\n",
         kRightPaths, "Success\n", cut_short(3, "more than 2147483647", 4, "the end of the file")},
    // ... and a negative one reads no edge, quietly: 1-2 stays INF.
    Case{"NegativeEdgeCountAbove32Bits", "3 -4294967295\n1 2 4\n", "1\n2\n3\n", "Success\n"},
    Case{"EdgeCountIntMaxThenText", "3 2147483647\n1 2 4\n2 3 1\n1 3 7\nend\n", kRightPaths,
         "Success\n", cut_short(3, "2147483647", 4, "text that is not a number")},
    // A vertex count below -2^31 is no vertex; the edge 1-2 still counts for the
    // checker, and 3 is above n so 1-3 weighs 0: line 2 weighs 0, not 4.
    Case{"VertexCountNegativeAbove32Bits", "-99999999999 1\n1 2 4\n", "1\n3 2\n", kWrongAt2,
         kNoVertices},
    // With 10009 vertices and source 0 nothing is solved: line 2 steps 2-3 for INF, not 0.
    Case{"VMinusOneVerticesFromSourceZero", "10009 0\n", "1\n2 3\n",
         "Wrong answer in path 0 to 2\n",
         "tarnwick: warning: source 0 is not a vertex of the graph (1..10009): lines are compared "
         "with its direct weights\n",
         "0"}),
    name_of);

// The source argument read like atoi.
INSTANTIATE_TEST_SUITE_P(SourceArgument, Hostile, testing::Values(
    Case{"LoneMinusIsZero", kTriangle, "0\n5\n3\n", "Success\n", kSourceZero, "-"},
    Case{"LonePlusIsZero", kTriangle, "0\n5\n3\n", "Success\n", kSourceZero, "+"},
    Case{"MinusThirtyZerosIsZero", kTriangle, "0\n5\n3\n", "Success\n", kSourceZero,
         "-" + std::string(30, '0')},
    Case{"ThirtyDigitsOfLeadingZeros", kTriangle, "2 1\n2\n3\n", "Success\n", "",
         std::string(29, '0') + "2"}),
    name_of);

// The largest graph the tables hold, without an edge, solved from its last vertex:
// every vertex is INF away, vertex 10009 is 0 away, and line 10010 (past the
// tables) compares with 0, so "5" there (INF) is the first wrong line.
// The single-source search answers at once where the plain pass would take hours.
TEST(HostileLarge, VMinusOneVerticesWithoutEdges) {
  std::string result;
  for (int k = 1; k <= 10008; ++k) result += std::to_string(k) + "\n";
  result += "10009\n5\n";
  Scratch s;
  Outcome o = run_judge({s.file("graph", "10009 0\n"), s.file("result", result), "10009"}, s);
  EXPECT_EQ(o.out, "Wrong answer in path 10009 to 10010\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.status, 0);
}

// Returns the number of "\n" in text.
size_t lines_in(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// Paths that are not plain readable files.
TEST(HostilePaths, NotPlainFiles) {
  Scratch s;
  std::string graph = s.file("graph", kTriangle), result = s.file("result", kRightPaths);
  struct {
    const char* what;
    std::string graph, result, out, err;
    int status;
  } cases[] = {
      {"/dev/null graph is an empty graph", "/dev/null", result, "Success\n",
       "tarnwick: /dev/null: warning: no vertex count: judging an empty graph\n" + kNoVertices, 0},
      {"/dev/null result is an empty file", graph, "/dev/null", "Empty file\n", "", 0},
      // Opening succeeds; reading fails.
      {"graph with a read error", "/proc/self/mem", result, "",
       "tarnwick: /proc/self/mem: Input/output error\n", 2},
      {"result with a read error", graph, "/proc/self/mem", "",
       "tarnwick: /proc/self/mem: Input/output error\n", 2},
      {"empty graph path", "", result, "", "tarnwick: : No such file or directory\n", 2},
      {"empty result path", graph, "", "", "tarnwick: : No such file or directory\n", 2},
      {"graph path through a file", graph + "/x", result, "",
       "tarnwick: " + graph + "/x: Not a directory\n", 2},
  };
  for (const auto& c : cases) {
    Outcome o = run_judge({c.graph, c.result, "1"}, s);
    EXPECT_EQ(o.out, c.out) << c.what;
    EXPECT_EQ(o.err, c.err) << c.what;
    EXPECT_EQ(o.status, c.status) << c.what;
  }
}

struct Refusal {
  const char* what;
  std::string graph, result, source;
};

// Expects each run to be refused with a single line on standard error.
void expect_one_line_refusals(const std::vector<Refusal>& cases, const Scratch& s) {
  for (const Refusal& c : cases) {
    Outcome o = run_judge({c.graph, c.result, c.source}, s);
    EXPECT_EQ(o.status, 2) << c.what;
    EXPECT_EQ(o.out, "") << c.what;
    EXPECT_EQ(lines_in(o.err), 1u) << c.what << ":\n" << o.err;
    EXPECT_EQ(o.err.rfind("tarnwick: ", 0), 0u) << c.what;
  }
}

// When the judge gives up, standard error holds that one line, even if the
// graph had earned a warning before.
TEST(HostilePaths, RefusalAfterAWarningIsOneLine) {
  Scratch s;
  std::string warned = s.file("warned", "3 2\n1 2 4\n");  // edge 2 missing
  std::string result = s.file("result", kRightPaths);
  expect_one_line_refusals({{"missing result", warned, (s.dir() / "missing").string(), "1"},
                            {"source outside", warned, result, "10010"}},
                           s);
}

// A name or source holding a line break must not break the refusal in two.
TEST(HostilePaths, RefusalNamingALineBreakIsOneLine) {
  Scratch s;
  std::string graph = s.file("graph", kTriangle), result = s.file("result", kRightPaths);
  expect_one_line_refusals({{"result name", graph, (s.dir() / "two\nlines").string(), "1"},
                            {"graph name", (s.dir() / "two\nlines").string(), result, "1"},
                            {"source", graph, result, "-1\n2"}},
                           s);
}

// Bytes written `times` times.
struct Piece {
  std::string bytes;
  long times = 1;
};

// Runs the judge on `graph`, `result` and source 1, where "/dev/stdin" reads a
// pipe fed `pieces` in order (`pause_us` microseconds after each write). With a
// nonzero `limit_bytes` the judge runs through `prlimit --as=limit_bytes`.
Outcome run_piped(const std::string& graph, const std::string& result,
                  const std::vector<Piece>& pieces, const Scratch& scratch, long limit_bytes = 0,
                  int pause_us = 0) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  std::string out = (scratch.dir() / "stdout").string(), err = (scratch.dir() / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], 0);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> args{TARNWICK_BINARY, graph, result, "1"};
  if (limit_bytes > 0) {
    args.insert(args.begin(), {"prlimit", "--as=" + std::to_string(limit_bytes), "--"});
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  Outcome o;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[0]);
  if (spawned == 0) {
    // A judge that dies early closes the pipe: stop writing instead of dying of SIGPIPE.
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    auto put = [&](const std::string& bytes) {
      for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(pipe_fds[1], bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
      }
      if (pause_us > 0) usleep(pause_us);
      return true;
    };
    bool fed = true;
    for (const Piece& p : pieces) {
      for (long i = 0; fed && i < p.times; ++i) fed = put(p.bytes);
    }
    close(pipe_fds[1]);
    sigaction(SIGPIPE, &old, nullptr);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  } else {
    close(pipe_fds[1]);
  }
  o.out = slurp(out);
  o.err = slurp(err);
  return o;
}

// Numbers with signs, leading zeros, many digits, and one too large for 32 bits
// that ends the edge list. From 1: 2 is 2147483 + 10 away, 3 is 2147483 away;
// line 4 weighs 7 + 4 through vertex 0, where 0 is wanted.
const std::string kSplitGraph = "3 5\n-0 2 4\n2 3 +10\n1 3 2147483\n0 1 0007\n3 2 21474836480\n";
const std::string kSplitResult = "1\n1 3 2\n3\n0 2\n";

// Returns the outcome with the graph path in standard error replaced by $GRAPH.
Outcome anonymous(Outcome o, const std::string& graph) {
  o.err = replace_all(o.err, graph, "$GRAPH");
  return o;
}

// A graph read in pieces that split its numbers anywhere loads as one read whole.
TEST(HostileReads, NumbersSplitAcrossReads) {
  Scratch s;
  std::string result = s.file("result", kSplitResult);
  std::string whole = s.file("whole", kSplitGraph);
  Outcome expected = anonymous(run_judge({whole, result, "1"}, s), whole);
  ASSERT_EQ(expected.out, "Wrong answer in path 1 to 4\n");
  ASSERT_EQ(expected.err, "tarnwick: $GRAPH: warning: the edge list ends after 4 of 5 edges: "
                          "edge 5 meets a number too large for 32 bits\n");

  // A pipe written a byte at a time is read in pieces of a byte or a few.
  std::vector<Piece> bytes;
  for (char c : kSplitGraph) bytes.push_back({std::string(1, c)});
  Outcome trickled = anonymous(run_piped("/dev/stdin", result, bytes, s, 0, 300), "/dev/stdin");
  EXPECT_EQ(trickled.out, expected.out);
  EXPECT_EQ(trickled.err, expected.err);

  // A file is read 2^20 bytes at a time: put that boundary at every byte of the edges.
  const size_t header = kSplitGraph.find('\n');
  for (size_t at = header; at < kSplitGraph.size(); ++at) {
    std::string padded = kSplitGraph.substr(0, header) + std::string((1 << 20) - at, ' ') +
                         kSplitGraph.substr(header);
    std::string graph = s.file("padded", padded);
    Outcome o = anonymous(run_judge({graph, result, "1"}, s), graph);
    EXPECT_EQ(o.out, expected.out) << "boundary before byte " << at;
    EXPECT_EQ(o.err, expected.err) << "boundary before byte " << at;
  }
}

// Room for an ordinary run of the judge, and far less than 200 MB.
constexpr long kAddressSpace = 64L << 20;

// Skips the test where an address-space limit cannot be applied.
#ifdef TARNWICK_UNDER_ASAN
#define SKIP_WITHOUT_ADDRESS_LIMIT() \
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit here"
#else
#define SKIP_WITHOUT_ADDRESS_LIMIT()                                        \
  if (std::system("prlimit --version >/dev/null 2>&1") != 0) GTEST_SKIP() \
      << "no prlimit (util-linux)"
#endif

// A single 200 MB line is judged under the limit: the judge reads through a
// fixed buffer, so memory does not grow with the line.
TEST(HostileResources, LongLineUnderAddressSpaceLimit) {
  SKIP_WITHOUT_ADDRESS_LIMIT();
  Scratch s;
  std::string graph = s.file("graph", kTriangle);
  Outcome small = run_piped(graph, "/dev/stdin", {{kRightPaths}}, s, kAddressSpace);
  ASSERT_EQ(small.out, "Success\n") << "the limit leaves no room for any run: " << small.err;
  // Line 2: 100 million "1 " (200 MB, weight 0) then "2" (weight 4).
  const std::string megabyte = repeat("1 ", 1 << 19);
  Outcome o = run_piped(graph, "/dev/stdin", {{"1\n"}, {megabyte, 200}, {"2\n2 3\n"}}, s,
                        kAddressSpace);
  EXPECT_EQ(o.out, "Success\n") << o.err;
  EXPECT_EQ(o.status, 0);
  // The same line ending in 3 weighs 7, not 4: it really was read to its end.
  o = run_piped(graph, "/dev/stdin", {{"1\n"}, {megabyte, 200}, {"3\n"}}, s, kAddressSpace);
  EXPECT_EQ(o.out, kWrongAt2) << o.err;
}

// A graph file of a few bytes that announces 2^31 - 1 edges needs no more
// memory than the three it holds.
TEST(HostileResources, AnnouncedEdgeCountUnderAddressSpaceLimit) {
  SKIP_WITHOUT_ADDRESS_LIMIT();
  Scratch s;
  std::string graph = s.file("graph", "3 2147483647\n1 2 4\n2 3 1\n1 3 7\n");
  Outcome o = run_piped(graph, "/dev/stdin", {{kRightPaths}}, s, kAddressSpace);
  EXPECT_EQ(o.out, "Success\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "tarnwick: " + graph + ": warning: the edge list ends after 3 of 2147483647 "
                   "edges: edge 4 meets the end of the file\n");
}

// The exact pass needs an n x n table; where the machine cannot give it, the
// judge says so instead of dying.
TEST(HostileResources, TableTooLargeForTheAddressSpace) {
  SKIP_WITHOUT_ADDRESS_LIMIT();
  Scratch s;
  std::string graph = s.file("graph", "10009 1\n1 2 -1\n");
  Outcome o = run_piped(graph, "/dev/stdin", {{"1\n"}}, s, kAddressSpace);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "tarnwick: out of memory\n");
  EXPECT_EQ(o.status, 2);
}

// A graph with negative weights, large enough for the exact pass to take two
// threads, and a result file whose line k is "k" (the direct weight from 1).
struct NegativeCase {
  std::string graph, result;
};

NegativeCase negative_case(int32_t n) {
  std::mt19937 rng(77);
  NegativeCase c;
  c.graph = std::to_string(n) + " " + std::to_string(3 * n) + "\n";
  for (int32_t e = 0; e < 3 * n; ++e) {
    int32_t w = static_cast<int32_t>(rng() % 200) - (e % 50 == 0 ? 300 : 0);
    c.graph += std::to_string(1 + rng() % n) + " " + std::to_string(1 + rng() % n) + " " +
               std::to_string(w) + "\n";
  }
  for (int32_t k = 1; k <= n; ++k) c.result += std::to_string(k) + "\n";
  return c;
}

// Returns the verdict the plain pass gives, computed in this process.
std::string plain_verdict(const NegativeCase& c) {
  tarnwick::Graph g;
  tarnwick::LoadReport report;
  tarnwick::ByteReader graph(c.graph), result(c.result);
  EXPECT_TRUE(tarnwick::input(graph, &g, &report));
  tarnwick::Verdict v;
  EXPECT_TRUE(tarnwick::judge(result, g.Dist, tarnwick::solve_plain(g, 1), &v));
  return tarnwick::verdict_line(v);
}

// The whole command on the exact pass agrees with the plain pass, with both
// threads and with only the one a tight address space leaves room for.
TEST(HostileResources, ExactPassWithAndWithoutASecondThread) {
  NegativeCase c = negative_case(300);
  std::string expected = plain_verdict(c);
  ASSERT_NE(expected, "Success\n") << "the case should tell the passes apart";
  Scratch s;
  std::string graph = s.file("graph", c.graph), result = s.file("result", c.result);
  EXPECT_EQ(run_judge({graph, result, "1"}, s).out, expected);
  SKIP_WITHOUT_ADDRESS_LIMIT();
  // 8 MB cannot hold a second thread's stack.
  Outcome o = run_piped(graph, "/dev/stdin", {{c.result}}, s, 8L << 20);
  EXPECT_EQ(o.out, expected);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.status, 0);
}

// A verdict that cannot be written is not a verdict: the judge says why.
TEST(HostilePaths, StandardOutputFull) {
  Scratch s;
  std::string graph = s.file("graph", kTriangle), result = s.file("result", kRightPaths);
  std::string cmd = std::string(TARNWICK_BINARY) + " " + graph + " " + result + " 1 >/dev/full 2>" +
                    (s.dir() / "err").string();
  int status = std::system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(slurp(s.dir() / "err"), "tarnwick: standard output: No space left on device\n");
}

}  // namespace
