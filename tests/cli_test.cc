// Golden cases for the whole command: graph file, result file and source in,
// exact standard output and exit status out.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/cli_support.h"

namespace {

using namespace tarnwick_test;

const char kUsage[] = "Usage: ./tarnwick input_graph your_output_result source_vertex_id\n";
// Three vertices; edges 1-2 of weight 4, 2-3 of weight 1, 1-3 of weight 7.
const char kTriangle[] = "3 3\n1 2 4\n2 3 1\n1 3 7\n";

// The warning after the verdict when the source is not one of the n vertices.
std::string not_a_vertex(const std::string& source, const std::string& n) {
  return "tarnwick: warning: source " + source + " is not a vertex of the graph (1.." + n +
         "): lines are compared with its direct weights\n";
}
const char kNoVertices[] =
    "tarnwick: warning: source 1 is not a vertex of the graph (it has none): lines are compared "
    "with its direct weights\n";

// Returns a result file whose line k is "k", for k from 1 to n: right from
// source 1 in a graph of n vertices without edges.
std::string each_vertex(int n) {
  std::string r;
  for (int k = 1; k <= n; ++k) r += std::to_string(k) + "\n";
  return r;
}

struct Case {
  const char* name;
  std::string graph;
  std::string result;
  std::string source;
  std::string out;
  int status = 0;
  std::string err = "";  // expected standard error; "*" accepts any
};

// Names a case in test listings (instead of a dump of its bytes).
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Golden : public testing::TestWithParam<Case> {};

TEST_P(Golden, PrintsTheVerdict) {
  const Case& c = GetParam();
  Scratch s;
  Judged j = judge_texts(c.graph, c.result, c.source, s);
  EXPECT_EQ(j.outcome.out, c.out);
  EXPECT_EQ(j.outcome.status, c.status);
  if (c.err != "*") {
    EXPECT_EQ(j.outcome.err,
              replace_all(replace_all(c.err, "$GRAPH", j.graph), "$RESULT", j.result));
  }
}

std::string name_of(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// The judgement itself: how result lines are read and weighed.
INSTANTIATE_TEST_SUITE_P(Checker, Golden, testing::Values(
    Case{"RightPaths", kTriangle, "1\n1 2\n1 2 3\n", "1", "Success\n"},
    Case{"PathsWithoutTheSource", kTriangle, "1\n2\n2 3\n", "1", "Success\n"},
    Case{"FirstWrongLineNamed", kTriangle, "1\n1 2\n1 3\n", "1", "Wrong answer in path 1 to 3\n"},
    Case{"OnlyTheFirstWrongLine", kTriangle, "1\n3\n1 3\n", "1", "Wrong answer in path 1 to 2\n"},
    Case{"EmptyFile", kTriangle, "", "1", "Empty file\n"},
    Case{"EndpointNotCompared", "3 2\n1 2 5\n1 3 5\n", "1\n3\n2\n", "1", "Success\n"},
    Case{"SpaceBeforeLineEnd", kTriangle, "1 \n1 2 \n 1  2   3 \n", "1", "Success\n"},
    Case{"CarriageReturnLineEnds", kTriangle, "1\r\n1 2\r\n1 2 3\r\n", "1", "Success\n"},
    Case{"TabDoesNotSeparate", kTriangle, "1\n1\t2\n", "1", "Wrong answer in path 1 to 2\n"},
    Case{"LeadingTabSkipped", kTriangle, "1\n\t2\n2 3\n", "1", "Success\n"},
    Case{"BlankLineRepeatsLastId", kTriangle, "1\n1 2\n1 2 3\n\n", "1",
         "Wrong answer in path 1 to 4\n"},
    Case{"FinalSpacesWithoutLineEnd", kTriangle, "1\n1 2\n1 2 3\n   ", "1", "Success\n"},
    Case{"LineBeyondNComparedWithZero", kTriangle, "1\n1 2\n1 2 3\n1\n", "1", "Success\n"},
    Case{"IdsZeroAndAboveNWithoutEdgesWeighNothing", kTriangle, "0\n2 7\n2 3 0\n", "1", "Success\n"},
    Case{"TokenWithoutNumberRepeatsLastId", kTriangle, "1\n2 x\nx 3\n", "1", "Success\n"},
    Case{"NumberPrefixOfToken", kTriangle, "1\n2abc\n2;3\n", "1", "Wrong answer in path 1 to 3\n"},
    Case{"SignsAndLeadingZeros", kTriangle, "-0\n+2\n002 0003\n", "1", "Success\n"},
    Case{"LoneSignsHoldNoNumber", kTriangle, "1\n2 + -\n2 3\n", "1", "Success\n"},
    Case{"FirstTokenWithoutNumberReadsZero", "1 0\n", "x\n", "1", "Success\n"},
    Case{"UnreachableWeighsInf", "3 1\n1 2 4\n", "1\n2\n3\n", "1", "Success\n"},
    Case{"SelfLoopAtSourceCounts", "2 2\n1 1 3\n1 2 4\n", "1\n1 2\n", "1",
         "Wrong answer in path 1 to 2\n"},
    Case{"DiagonalRelaxedOutAndBack", "2 2\n1 1 10\n1 2 2\n", "2 1\n2\n", "1", "Success\n"},
    Case{"DiagonalRelaxedRejectsLoop", "2 2\n1 1 10\n1 2 2\n", "1\n", "1",
         "Wrong answer in path 1 to 1\n"},
    Case{"NegativeEdgeCycle", "2 1\n1 2 -1\n", "2 1\n2 1 2\n", "1", "Success\n"},
    Case{"NegativeEdgeLowersInf", "3 1\n1 2 -1\n", "2 1\n2 1 2\n2 1 2 1 3\n", "1", "Success\n"},
    Case{"SourceTwo", kTriangle, "2 1\n2\n3\n", "2", "Success\n"},
    Case{"SourceAboveNUsesDirectWeights", "3 1\n9 2 6\n", "0\n2\n3\n", "9", "Success\n",
         0, not_a_vertex("9", "3")},
    Case{"SourceZero", kTriangle, "0\n5\n3\n", "0", "Success\n", 0, not_a_vertex("0", "3")},
    Case{"SourceZeroOfOneVertex", "1 0\n", "0\n", "0", "Success\n", 0, not_a_vertex("0", "1")}),
    name_of);

// A chain of n vertices, i joined to i + 1 with weight 1, and the first
// `lines` lines of its right answer from vertex 1: "1", "1 2", "1 2 3"...
std::string chain(int n) {
  std::string g = std::to_string(n) + " " + std::to_string(n - 1) + "\n";
  for (int i = 1; i < n; ++i) g += std::to_string(i) + " " + std::to_string(i + 1) + " 1\n";
  return g;
}
std::string chain_answer(int lines) {
  std::string r, path;
  for (int k = 1; k <= lines; ++k) {
    if (k > 1) path += ' ';
    path += std::to_string(k);
    r += path + '\n';
  }
  return r;
}

// Line k must exist for every vertex k: a file whose lines are all right but
// that stops early is wrong at its first missing line.
INSTANTIATE_TEST_SUITE_P(ResultLength, Golden, testing::Values(
    Case{"FewerLinesThanVertices", kTriangle, "1\n1 2\n", "1", "Wrong answer in path 1 to 3\n"},
    Case{"OneLineOfABigGraph", "10009 0\n", "1\n", "1", "Wrong answer in path 1 to 2\n"},
    Case{"HalfARightAnswer", chain(40), chain_answer(20), "1", "Wrong answer in path 1 to 21\n"},
    Case{"WholeRightAnswer", chain(40), chain_answer(40), "1", "Success\n"},
    Case{"CrlfStoppingEarly", kTriangle, "1\r\n1 2\r\n", "1", "Wrong answer in path 1 to 3\n"},
    Case{"SingleBlankLine", kTriangle, "\n", "1", "Wrong answer in path 1 to 2\n"},
    Case{"NLinesWithoutFinalLineEnd", kTriangle, "1\n1 2\n1 2 3", "1", "Success\n"},
    Case{"FewerLinesWithoutFinalLineEnd", kTriangle, "1\n1 2", "1",
         "Wrong answer in path 1 to 3\n"},
    Case{"WrongLineBeforeTheEnd", kTriangle, "1\n3\n", "1", "Wrong answer in path 1 to 2\n"},
    Case{"EmptyGraphAsksForNoLine", "0 0\n", "0\n", "0", "Success\n", 0,
         "tarnwick: warning: source 0 is not a vertex of the graph (it has none): lines are "
         "compared with its direct weights\n"},
    Case{"SourceAboveNStoppingEarly", "3 1\n9 2 6\n", "0\n2\n", "9",
         "Wrong answer in path 9 to 3\n", 0, not_a_vertex("9", "3")}),
    name_of);

// The command line: argument count, the source argument, exit statuses.
INSTANTIATE_TEST_SUITE_P(CommandLine, Golden, testing::Values(
    Case{"SourceWithTrailingText", kTriangle, "2 1\n2\n3\n", "2x", "Success\n"},
    Case{"SourceWithoutDigitsIsZero", kTriangle, "0\n5\n3\n", "x", "Success\n", 0,
         not_a_vertex("0", "3")},
    Case{"SourceWithLeadingSpaces", kTriangle, "2 1\n2\n3\n", "  \t2", "Success\n"},
    Case{"WrongAnswerStillExitsZero", kTriangle, "3\n", "1", "Wrong answer in path 1 to 1\n", 0}),
    name_of);

// The graph file: layout, counts and repeated edges.
INSTANTIATE_TEST_SUITE_P(Loader, Golden, testing::Values(
    Case{"GraphOnOneLine", "3 3 1 2 4 2 3 1 1 3 7", "1\n2\n2 3\n", "1", "Success\n"},
    Case{"LaterEdgeWins", "2 2\n1 2 5\n2 1 3\n", "1\n2\n", "1", "Success\n"},
    Case{"LaterEdgeWinsEvenWhenHeavier", "2 2\n1 2 3\n2 1 5\n", "1\n2\n", "1", "Success\n"},
    Case{"NegativeEdgeCountReadsNoEdge", "3 -1\n1 9 4\n", "9\n2\n3\n", "1", "Success\n"},
    Case{"TextAfterTheEdgesIgnored", "3 1\n1 2 4\ngarbage 1 3 1\n", "1\n2\n3\n", "1", "Success\n"},
    Case{"NegativeVertexCountIsEmpty", "-3 1\n1 2 4\n", "0\n2\n", "1", "Success\n", 0,
         kNoVertices},
    Case{"EdgeAboveNSeenByChecker", "2 2\n1 2 4\n2 9 3\n", "1\n2 9 2\n", "1",
         "Wrong answer in path 1 to 2\n"},
    Case{"EmptyGraphFile", "", "0\n", "1", "Success\n", 0,
         "tarnwick: $GRAPH: warning: no vertex count: judging an empty graph\n" +
             std::string(kNoVertices)},
    Case{"OnlyVertexCount", "3", "1\n3\n3\n", "1", "Success\n", 0,
         "tarnwick: $GRAPH: warning: no edge count after the vertex count: no edge read\n"}),
    name_of);

// A line of the three-vertex graph's line 2 (distance 4) padded to `tokens` tokens.
std::string long_line(int tokens) { return repeat("1 ", tokens - 1) + "2\n"; }

// Lines past the tables' last row, all weighing 0 from vertex 1.
std::string many_lines(int count) { return "1\n2\n2 3\n" + repeat("0\n", count - 3); }

// The triangle, and vertex 0 joined to 1, 2 and 3 with weights 1, 3 and 2.
const char kWithVertexZero[] = "3 6\n1 2 4\n2 3 1\n1 3 7\n0 1 1\n0 2 3\n0 3 2\n";

const char kOutOfRange[] = "tarnwick: source vertex id '%' is outside 0..10009\n";

// Where the judge departs from a fixed-buffer, 32-bit, unchecked reading.
INSTANTIATE_TEST_SUITE_P(Soundness, Golden, testing::Values(
    Case{"LongLineJudgedWhole", kTriangle, "1\n" + long_line(3000) + "2 3\n", "1", "Success\n"},
    Case{"LongLineOfExactly999Bytes", kTriangle, "1\n" + repeat("0", 998) + "2\n1 2 3\n", "1",
         "Success\n"},
    Case{"WeightsAreSummedExactly", "1 2\n1 5 2147483647\n1 6 1\n", "5 1 6 1\n", "1",
         "Wrong answer in path 1 to 1\n"},
    Case{"HugeIdWeighsNothing", kTriangle, "1\n2 99999999999999999999999999999\n2 3\n", "1",
         "Success\n"},
    Case{"NegativeIdWeighsNothing", kTriangle, "1\n2 -1 -2147483649\n2 3\n", "1", "Success\n"},
    Case{"IdVWeighsNothing", kTriangle, "10010\n2 10010 10009\n2 3\n", "1", "Success\n"},
    Case{"LinesPastTheTables", kTriangle, many_lines(10100), "1", "Success\n"},
    Case{"LinePastTheTablesComparedWithZero", kTriangle, many_lines(10100) + "2\n", "1",
         "Wrong answer in path 1 to 10101\n"},
    // An id of V or more is outside the tables, not vertex V - 1, whatever edge 10009 has.
    Case{"IdVIsNotVMinusOne", "3 4\n1 2 4\n2 3 1\n1 3 7\n1 10009 100\n", "10010\n2\n2 3\n",
         "1", "Success\n"},
    // Vertex 0 with edges: "-0" is vertex 0 (line 2 weighs 1 + 3 through it),
    // and an id outside the tables is not (line 3 ends there, line 4 is beyond n).
    Case{"MinusZeroIsVertexZero", kWithVertexZero, "1\n-0 2\n2 3\n", "1", "Success\n"},
    Case{"IdOutsideIsNotVertexZero", kWithVertexZero, "1\n2\n2 3 -1\n4294967296\n", "1",
         "Success\n"},
    Case{"SourceVMinusOneIsJudged", kTriangle, "0\n0\n0\n", "10009", "Success\n", 0,
         not_a_vertex("10009", "3")},
    Case{"SourceV", kTriangle, "1\n", "10010", "", 2, replace_all(kOutOfRange, "%", "10010")},
    Case{"SourceNegative", kTriangle, "1\n", "-1", "", 2, replace_all(kOutOfRange, "%", "-1")},
    Case{"SourceOverflowing", kTriangle, "1\n", "4294967297", "", 2,
         replace_all(kOutOfRange, "%", "4294967297")},
    Case{"VertexCountV", "10010 0\n", "1\n", "1", "", 2,
         "tarnwick: $GRAPH: the vertex count is too large: at most 10009 vertices fit\n"},
    Case{"VertexCountOverflowing", "99999999999 0\n", "1\n", "1", "", 2,
         "tarnwick: $GRAPH: the vertex count is too large: at most 10009 vertices fit\n"},
    Case{"VertexCountVMinusOneNoEdges", "10009 0\n", each_vertex(10009), "1", "Success\n"},
    Case{"EdgeIdOutsideTables", "3 2\n1 2 4\n2 10010 1\n", "1\n", "1", "", 2,
         "tarnwick: $GRAPH: edge 2 names vertex 10010, outside 0..10009\n"},
    Case{"EdgeIdNegative", "3 1\n-1 2 4\n", "1\n", "1", "", 2,
         "tarnwick: $GRAPH: edge 1 names vertex -1, outside 0..10009\n"},
    Case{"BadGraphBeforeBadSource", "3 1\n1 20000 4\n", "1\n", "-5", "", 2,
         "tarnwick: $GRAPH: edge 1 names vertex 20000, outside 0..10009\n"},
    Case{"EdgeListEndsAtEndOfFile", "3 3\n1 2 4\n2 3 1\n", "1\n2\n2 3\n", "1", "Success\n", 0,
         "tarnwick: $GRAPH: warning: the edge list ends after 2 of 3 edges: edge 3 meets the end "
         "of the file\n"},
    Case{"HalfEdgeDroppedNotMixed", "3 2\n1 2 4\n3\n", "1\n2\n3\n", "1", "Success\n", 0,
         "tarnwick: $GRAPH: warning: the edge list ends after 1 of 2 edges: edge 2 meets the end "
         "of the file\n"},
    Case{"EdgeListEndsAtText", "3 3\n1 2 4\n2 3 x\n1 3 7\n", "1\n2\n3\n", "1", "Success\n", 0,
         "tarnwick: $GRAPH: warning: the edge list ends after 1 of 3 edges: edge 2 meets text "
         "that is not a number\n"},
    Case{"EdgeListEndsAtHugeNumber", "3 2\n1 2 4\n2 3 2147483648\n", "1\n2\n3\n", "1",
         "Success\n", 0,
         "tarnwick: $GRAPH: warning: the edge list ends after 1 of 2 edges: edge 2 meets a number "
         "too large for 32 bits\n"},
    Case{"HugeEdgeCount", "3 2147483647\n1 2 4\n2 3 1\n1 3 7\n", "1\n2\n2 3\n", "1",
         "Success\n", 0,
         "tarnwick: $GRAPH: warning: the edge list ends after 3 of 2147483647 edges: edge 4 meets "
         "the end of the file\n"},
    Case{"Int32ExtremesInGraph", "2 2\n1 9 2147483647\n1 8 -2147483648\n", "9 8\n", "1",
         "Wrong answer in path 1 to 1\n"}),
    name_of);

TEST(CommandLine, WrongArgumentCountPrintsUsage) {
  Scratch s;
  std::string missing = (s.dir() / "missing").string();
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {}, {missing}, {missing, missing}, {missing, missing, "1", "1"}}) {
    Outcome o = run_judge(args, s);
    EXPECT_EQ(o.out, kUsage) << args.size() << " arguments";
    EXPECT_EQ(o.err, "") << "no file may be opened";
    EXPECT_EQ(o.status, 1);
  }
}

TEST(CommandLine, UnreadableFilesCannotBeJudged) {
  Scratch s;
  std::string graph = s.file("graph", kTriangle), result = s.file("result", "1\n");
  std::string missing = (s.dir() / "missing").string(), dir = s.dir().string();
  struct {
    std::string graph, result, source, err;
  } cases[] = {
      {missing, result, "1", "tarnwick: " + missing + ": No such file or directory\n"},
      {dir, result, "1", "tarnwick: " + dir + ": Is a directory\n"},
      {graph, missing, "1", "tarnwick: " + missing + ": No such file or directory\n"},
      {graph, dir, "1", "tarnwick: " + dir + ": Is a directory\n"},
      // The source is checked before the result file is opened.
      {graph, missing, "-1", "tarnwick: source vertex id '-1' is outside 0..10009\n"},
  };
  for (const auto& c : cases) {
    Outcome o = run_judge({c.graph, c.result, c.source}, s);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.status, 2);
  }
}

TEST(CommandLine, DevNullIsAnEmptyFile) {
  Scratch s;
  Outcome o = run_judge({"/dev/null", "/dev/null", "1"}, s);
  EXPECT_EQ(o.out, "Empty file\n");
  EXPECT_EQ(o.status, 0);
}

TEST(CommandLine, UnreadablePermissionIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  Scratch s;
  std::string graph = s.file("graph", kTriangle);
  chmod(graph.c_str(), 0);
  Outcome o = run_judge({graph, graph, "1"}, s);
  EXPECT_EQ(o.err, "tarnwick: " + graph + ": Permission denied\n");
  EXPECT_EQ(o.status, 2);
}

TEST(CommandLine, BundledExamples) {
  Scratch s;
  std::string dir = std::string(TARNWICK_SOURCE_DIR) + "/examples/";
  EXPECT_EQ(run_judge({dir + "graph.txt", dir + "result-right.txt", "1"}, s).out, "Success\n");
  EXPECT_EQ(run_judge({dir + "graph.txt", dir + "result-wrong.txt", "1"}, s).out,
            "Wrong answer in path 1 to 3\n");
}

}  // namespace
