// tarnwick-explain: golden explanations on small files, a verdict whose line
// the file never reached, and a randomised comparison of explanations with
// the judge's own verdicts and a plain re-reading.
#include "explain/explain.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "check/case.h"
#include "check/judge.h"
#include "fuzz/reference.h"
#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/input.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

using tarnwick_test::Outcome;
using tarnwick_test::replace_all;
using tarnwick_test::run_program;
using tarnwick_test::Scratch;

// The README's three-vertex graph; the same with a self-loop of 3 on vertex 1.
constexpr char kGraph[] = "3 3\n1 2 4\n2 3 1\n1 3 7\n";
constexpr char kLoopGraph[] = "3 4\n1 2 4\n2 3 1\n1 3 7\n1 1 3\n";
// The same edges in a graph of 61 vertices, too many to draw whole.
constexpr char kBigLoopGraph[] = "61 4\n1 2 4\n2 3 1\n1 3 7\n1 1 3\n";

struct Golden {
  const char* name;
  std::string graph, result;
  std::vector<std::string> args;  // before the paths: options; after: source, line
  std::string out;
  std::string err = {};
  int status = 0;
};

void PrintTo(const Golden& c, std::ostream* os) { *os << c.name; }

// Runs tarnwick-explain: the case's arguments up to the first that is not an
// option, the graph and result paths, then the rest.
Outcome run_case(const Golden& c, Scratch& scratch) {
  std::vector<std::string> args;
  size_t i = 0;
  for (; i < c.args.size() && c.args[i].rfind("--", 0) == 0; ++i) args.push_back(c.args[i]);
  args.push_back(scratch.file("graph", c.graph));
  args.push_back(scratch.file("result", c.result));
  args.insert(args.end(), c.args.begin() + i, c.args.end());
  Outcome o = run_program(TARNWICK_EXPLAIN, args, scratch);
  o.err = replace_all(o.err, scratch.dir().string() + "/", "");
  return o;
}

constexpr char kUsage[] =
    "Usage: tarnwick-explain [--student] [--json | --dot] input_graph your_output_result "
    "source_vertex_id [line]\n";

// Line 2, "1 x 2", of a result file on kLoopGraph: its steps, and how it ends
// with its notes (the same for the instructor and the student).
const std::string kLoopSteps =
    "Line 2 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 1, weight 3: the source's self-loop, graph line 5\n"
    "  step 2: 1 to 1 (a token without a number repeats the last id), weight 3: the source's "
    "self-loop, graph line 5\n"
    "  step 3: 1 to 2, weight 4: edge 1-2, graph line 2\n";
const std::string kLoopEnd =
    "The path ends at 2, vertex 2 of this line.\n"
    "Note: step 1 walks the source's self-loop (weight 3): the path already starts at the "
    "source, so a line that writes it first pays the loop\n"
    "Note: step 2 reads the token \"x\", which holds no number and repeats the last id read, 1, "
    "and walks its self-loop\n";

// The JSON of "1 3" on line 3 of kGraph from source 1, up to its steps.
const std::string kJsonLine3 =
    R"({"verdict":"Wrong answer in path 1 to 3","source":1,"vertices":3,"lines":3,"read_to_end":true,)"
    R"("missing_lines":null,"line":3,"line_read":true,"steps":[{"index":1,"from":1,"to":1,)"
    R"("token":"1","repeats_last_id":false,"tail_ignored":false,"weight":0,"why":"diagonal",)"
    R"("graph_line":null},{"index":2,"from":1,"to":3,"token":"3","repeats_last_id":false,)"
    R"("tail_ignored":false,"weight":7,"why":"edge","graph_line":4}],)";

const Golden kGoldens[] = {
    // A file written as UTF-16, or after a byte-order mark, is named so; the
    // mark itself is shown as U+FEFF in a token.
    {"UTF-16", kGraph, std::string("\xff\xfe" "1\0\n\0" "2\0\n\0", 10), {"--student", "1"},
     "Wrong answer in path 1 to 2\n"
     "The file looks like UTF-16 text (it holds NUL bytes): the judge reads bytes, so a result "
     "file is written as plain ASCII.\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 0 (a token without a number repeats the last id), weight 0: 0 is not a "
     "vertex of the graph (1..3) and no edge joins the two: weight 0\n"
     "Total 0: not the shortest distance from 1 to 2.\n"
     "The path ends at 0, not at vertex 2 (the judge does not check the end).\n"
     "Note: step 1 reads the token \"\\x002\\x00\", which holds no number and stands for 0, as "
     "no id has been read yet\n"},
    {"a byte-order mark", kGraph, "\xef\xbb\xbf" "1 2\n2\n3\n", {"--student", "1", "1"},
     "Wrong answer in path 1 to 3\n"
     "The file starts with a byte-order mark (<U+FEFF>, the bytes EF BB BF), which the judge reads "
     "as part of line 1.\n"
     "(The verdict names line 3; line 1 is weighed as asked.)\n"
     "Line 1 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 0 (a token without a number repeats the last id), weight 0: 0 is not a "
     "vertex of the graph (1..3) and no edge joins the two: weight 0\n"
     "  step 2: 0 to 2, weight 0: 0 is not a vertex of the graph (1..3) and no edge joins the "
     "two: weight 0\n"
     "Total 0: right.\n"
     "The path ends at 2, not at vertex 1 (the judge does not check the end).\n"
     "Note: step 1 reads the token \"<U+FEFF>1\", which holds no number and stands for 0, as no "
     "id has been read yet\n"},
    // A pair given again with another weight: the later weight stands, and the
    // note names both lines (the same pair with the same weight needs none).
    {"a pair given twice", "3 5\n1 2 4\n2 3 1\n1 3 2\n1 3 7\n2 1 4\n", "1\n2\n3\n", {"1"},
     "Wrong answer in path 1 to 3\n"
     "Line 3 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 3, weight 7: edge 1-3, graph line 5\n"
     "Total 7, expected 5: difference +2.\n"
     "The path ends at 3, vertex 3 of this line.\n"
     "Note: edge 1-3 is given twice (graph lines 4 and 5): the later weight 7 stands, not 2\n"
     "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n"},
    {"a pair given three times", "3 5\n1 3 9\n1 2 4\n2 3 1\n1 3 2\n3 1 7\n", "1\n2\n3\n",
     {"--student", "1"},
     "Wrong answer in path 1 to 3\n"
     "Line 3 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 3, weight 7: edge 1-3, graph line 6\n"
     "Total 7: not the shortest distance from 1 to 3.\n"
     "The path ends at 3, vertex 3 of this line.\n"
     "Note: edge 1-3 is given 3 times (the last two on graph lines 5 and 6): the later weight 7 "
     "stands, not 2\n"},
    {"an edge, the diagonal and a shortest path", kGraph, "1\n1 2\n1 3\n", {"1"},
     "Wrong answer in path 1 to 3\n"
     "Line 3 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 1, weight 0: the source's own diagonal\n"
     "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\n"
     "Total 7, expected 5: difference +2.\n"
     "The path ends at 3, vertex 3 of this line.\n"
     "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n"},
    {"the source's self-loop and a repeated id", kLoopGraph, "1\n1 x 2\n", {"1"},
     "Wrong answer in path 1 to 2\n" +
         kLoopSteps + "Total 10, expected 4: difference +6.\n" + kLoopEnd +
     "A shortest path from 1 to 2: 1-2, weight 4 (as a line: \"2\").\n"
     "The file ends after line 2: line 3 is missing.\n"},
    {"a step without an edge weighs INF", "3 1\n1 2 4\n", "1\n2\n2 3\n", {"1"},
     "Wrong answer in path 1 to 3\n"
     "Line 3 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "  step 2: 2 to 3, weight 10000000: no edge: INF\n"
     "Total 10000004, expected 10000000: difference +4.\n"
     "The path ends at 3, vertex 3 of this line.\n"
     "A shortest path from 1 to 3: 1-3, weight 10000000 (as a line: \"3\").\n"},
    {"ids of 0 and outside the tables weigh 0", kGraph, "1\n0 10010 2\n", {"1"},
     "Wrong answer in path 1 to 2\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 0, weight 0: 0 is not a vertex of the graph (1..3) and no edge joins the two: weight 0\n"
     "  step 2: 0 to (an id outside 0..10009) (read from \"10010\"), weight 0: an id outside the "
     "tables: weight 0\n"
     "  step 3: (an id outside 0..10009) to 2, weight 0: an id outside the tables: weight 0\n"
     "Total 0, expected 4: difference -4.\n"
     "The path ends at 2, vertex 2 of this line.\n"
     "A shortest path from 1 to 2: 1-2, weight 4 (as a line: \"2\").\n"
     "The file ends after line 2: line 3 is missing.\n"},
    {"the exact pass decides: no path is invented", "3 3\n1 2 4\n2 3 -1\n1 3 7\n", "1\n2\n",
     {"1"},
     "Wrong answer in path 1 to 2\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "Total 4, expected 2: difference +2.\n"
     "The path ends at 2, vertex 2 of this line.\n"
     "The exact all-pairs pass decided this distance (a weight is negative or 2^30 or more, so "
     "distances follow the pass's loop order): no path is shown.\n"
     "The file ends after line 2: line 3 is missing.\n"},
    {"a line beyond n", kGraph, "1\n2\n2 3\n2\n", {"1"},
     "Wrong answer in path 1 to 4\n"
     "Line 4 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "Total 4, expected 0: difference +4.\n"
     "The path ends at 2, not at vertex 4 (the judge does not check the end).\n"
     "Note: line 4: the graph has 3 vertices; this line is compared with the direct weight "
     "from 1 to 4\n"},
    {"a source that is not a vertex", kGraph, "1 2\n", {"9"},
     "Wrong answer in path 9 to 1\n"
     "Line 1 as the judge weighs it, from source 9:\n"
     "  step 1: 9 to 1, weight 0: 9 is not a vertex of the graph (1..3) and no edge joins the two: weight 0\n"
     "  step 2: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "Total 4, expected 0: difference +4.\n"
     "The path ends at 2, not at vertex 1 (the judge does not check the end).\n"
     "The source is not a vertex of 1..3: the judge expects the direct weight from 9 to 1.\n"
     "The file ends after line 1: lines 2 to 3 are missing.\n",
     "tarnwick-explain: warning: source 9 is not a vertex of the graph (1..3): lines are compared "
     "with its direct weights\n"},
    {"a line asked for past the first wrong one", kGraph, "3\n2\n2 3\n", {"1", "3"},
     "Wrong answer in path 1 to 1\n"
     "(The verdict names line 1, where the judge stops; line 3 is weighed as asked.)\n"
     "Line 3 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "  step 2: 2 to 3, weight 1: edge 2-3, graph line 3\n"
     "Total 5, expected 5: right.\n"
     "The path ends at 3, vertex 3 of this line.\n"
     "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n"},
    {"a file that stops early", kGraph, "1\n2\n", {"1"},
     "Wrong answer in path 1 to 3\n"
     "Line 3 was never read: the file ends first.\n"
     "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n"
     "The file ends after line 2: line 3 is missing.\n"},
    {"a line asked for that the file lacks", kGraph, "1\n2\n2 3\n", {"1", "5"},
     "Success\n"
     "Line 5 is not in the file, which has 3 lines.\n"},
    {"a right line before the wrong one", kGraph, "1\n2\n3\n", {"1", "2"},
     "Wrong answer in path 1 to 3\n"
     "(The verdict names line 3; line 2 is weighed as asked.)\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "Total 4, expected 4: right.\n"
     "The path ends at 2, vertex 2 of this line.\n"
     "A shortest path from 1 to 2: 1-2, weight 4 (as a line: \"2\").\n"},
    {"an empty file", kGraph, "", {"1"}, "Empty file\nThe result file holds no line.\n"},
    {"json", kGraph, "1\n1 2\n1 3\n", {"--json", "1"},
     kJsonLine3 + R"("steps_not_shown":0,"total":7,"expected":5,"difference":2,"ends_at":3,)"
     R"("ends_at_line_vertex":true,"notes":[],)"
     R"("expected_from":"fast search","shortest_path":[1,2,3],"shortest_weight":5,"warnings":[]})"
     "\n"},
    {"json: a right line asked for, an id outside the tables", kGraph, "10010\n",
     {"--json", "1", "1"},
     R"({"verdict":"Wrong answer in path 1 to 2","source":1,"vertices":3,"lines":1,"read_to_end":true,)"
     R"("missing_lines":[2,3],"line":1,"line_read":true,"steps":[{"index":1,"from":1,)"
     R"("to":null,"token":"10010","repeats_last_id":false,"tail_ignored":false,"weight":0,)"
     R"("why":"outside the tables","graph_line":null}],"steps_not_shown":0,"total":0,)"
     R"("expected":0,"difference":0,"ends_at":null,)"
     R"("ends_at_line_vertex":false,"notes":[],"expected_from":"fast search","shortest_path":[1,1],)"
     R"("shortest_weight":0,"warnings":[]})"
     "\n"},
    {"dot", kGraph, "1 3\n", {"--dot", "1"},
     "digraph explanation {\n"
     "  label=\"Wrong answer in path 1 to 1: line 1 in red, a shortest path in green\";\n"
     "  node [shape=circle];\n"
     "  1 [style=filled, fillcolor=lightblue];\n"
     "  2;\n"
     "  3;\n"
     "  1 -> 2 [dir=none, color=grey60, label=\"4\"];\n"
     "  1 -> 3 [dir=none, color=grey60, label=\"7\"];\n"
     "  2 -> 3 [dir=none, color=grey60, label=\"1\"];\n"
     "  1 -> 1 [color=red, penwidth=2, fontcolor=red, label=\"1: 0\", constraint=false];\n"
     "  1 -> 3 [color=red, penwidth=2, fontcolor=red, label=\"2: 7\", constraint=false];\n"
     "  1 -> 1 [color=darkgreen, penwidth=2, constraint=false];\n"
     "}\n"},
    {"dot: a large graph's neighbourhood, a repeated step drawn once", kBigLoopGraph,
     "1\n2\n1 1 1 3\n", {"--dot", "1"},
     "digraph explanation {\n"
     "  label=\"Wrong answer in path 1 to 3: line 3 in red, a shortest path in green; 3 of the "
     "graph's 61 vertices\";\n"
     "  node [shape=circle];\n"
     "  1 [style=filled, fillcolor=lightblue];\n"
     "  2;\n"
     "  3 [peripheries=2];\n"
     "  1 -> 1 [dir=none, color=grey60, label=\"3\"];\n"
     "  1 -> 2 [dir=none, color=grey60, label=\"4\"];\n"
     "  1 -> 3 [dir=none, color=grey60, label=\"7\"];\n"
     "  2 -> 3 [dir=none, color=grey60, label=\"1\"];\n"
     "  1 -> 1 [color=red, penwidth=2, fontcolor=red, label=\"1: 3 (x3)\", constraint=false];\n"
     "  1 -> 3 [color=red, penwidth=2, fontcolor=red, label=\"4: 7\", constraint=false];\n"
     "  1 -> 2 [color=darkgreen, penwidth=2, constraint=false];\n"
     "  2 -> 3 [color=darkgreen, penwidth=2, constraint=false];\n"
     "}\n"},
    {"student: no expected distance, difference or shortest path", kLoopGraph, "1\n1 x 2\n",
     {"--student", "1"},
     "Wrong answer in path 1 to 2\n" +
         kLoopSteps + "Total 10: not the shortest distance from 1 to 2.\n" + kLoopEnd +
     "The file ends after line 2: line 3 is missing.\n"},
    {"student: tails passed over, a Windows line end, a trailing space", kGraph,
     "1\r\n1,2\r\n2\t3 \n", {"--student", "1", "2"},
     "Wrong answer in path 1 to 2\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 1 (read from \"1,2\\x0d\"), weight 0: the source's own diagonal\n"
     "Total 0: not the shortest distance from 1 to 2.\n"
     "The path ends at 1, not at vertex 2 (the judge does not check the end).\n"
     "Note: step 1 reads the token \"1,2\\x0d\" as 1: a number ends at its first byte that is "
     "not a digit and the rest of the token is passed over; only a space separates ids\n"},
    {"student: Windows line ends pass, a trailing space repeats an id", kGraph,
     "1\r\n2\r\n2 3 \n", {"--student", "1", "3"},
     "Success\n"
     "Line 3 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "  step 2: 2 to 3, weight 1: edge 2-3, graph line 3\n"
     "  step 3: 3 to 3 (a token without a number repeats the last id), weight 0: from a vertex "
     "to itself\n"
     "Total 5: right.\n"
     "The path ends at 3, vertex 3 of this line.\n"
     "Note: step 3 comes from a space at the end of the line: the empty token after it repeats "
     "the last id read, 3\n"},
    {"student: a blank last line past the graph's vertices", kGraph, "2\n2\n2 3\n\n",
     {"--student", "1", "4"},
     "Wrong answer in path 1 to 1\n"
     "(The verdict names line 1, where the judge stops; line 4 is weighed as asked.)\n"
     "Line 4 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 3 (a token without a number repeats the last id), weight 7: edge 1-3, "
     "graph line 4\n"
     "Total 7: not the weight the judge expects for this line.\n"
     "The path ends at 3, not at vertex 4 (the judge does not check the end).\n"
     "Note: line 4: the graph has 3 vertices; this line is compared with the direct weight "
     "from 1 to 4\n"
     "Note: line 4 is blank and the file's last: the file ends with an empty line (a line end "
     "after the line end of the line before), and its token without a number repeats the last "
     "id read, 3\n"},
    {"student: a blank line in the middle", kGraph, "1\n\n2 3\n", {"--student", "1"},
     "Wrong answer in path 1 to 2\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 1 (a token without a number repeats the last id), weight 0: the source's "
     "own diagonal\n"
     "Total 0: not the shortest distance from 1 to 2.\n"
     "The path ends at 1, not at vertex 2 (the judge does not check the end).\n"
     "Note: line 2 is blank: it still holds one token, without a number, which repeats the last "
     "id read, 1\n"},
    {"student: a Windows line end after a tab-led number", kLoopGraph, "1\n\t3\r\n",
     {"--student", "1", "2"},
     "Wrong answer in path 1 to 2\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 3 (read from \"\\t3\\x0d\"), weight 7: edge 1-3, graph line 4\n"
     "Total 7: not the shortest distance from 1 to 2.\n"
     "The path ends at 3, not at vertex 2 (the judge does not check the end).\n"
     "Note: step 1 reads the token \"\\t3\\x0d\" as 3: the carriage return of a Windows line "
     "end is passed over\n"
     "The file ends after line 2: line 3 is missing.\n"},
    {"student: a trailing space before a Windows line end", kGraph, "1\n2 \r\n",
     {"--student", "1", "2"},
     "Wrong answer in path 1 to 3\n"
     "(The verdict names line 3; line 2 is weighed as asked.)\n"
     "Line 2 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
     "  step 2: 2 to 2 (a token without a number repeats the last id), weight 0: from a vertex "
     "to itself\n"
     "Total 4: right.\n"
     "The path ends at 2, vertex 2 of this line.\n"
     "Note: step 2 comes from a space at the end of the line: the token after it, \"\\x0d\", "
     "repeats the last id read, 2\n"
     "The file ends after line 2: line 3 is missing.\n"},
    {"student: a token without a number before any id", kLoopGraph, "x 2\n",
     {"--student", "1"},
     "Wrong answer in path 1 to 1\n"
     "Line 1 as the judge weighs it, from source 1:\n"
     "  step 1: 1 to 0 (a token without a number repeats the last id), weight 0: 0 is not a "
     "vertex of the graph (1..3) and no edge joins the two: weight 0\n"
     "  step 2: 0 to 2, weight 0: 0 is not a vertex of the graph (1..3) and no edge joins the two: weight 0\n"
     "Total 0: not the shortest distance from 1 to 1.\n"
     "The path ends at 2, not at vertex 1 (the judge does not check the end).\n"
     "Note: step 1 reads the token \"x\", which holds no number and stands for 0, as no id has "
     "been read yet\n"
     "The file ends after line 1: lines 2 to 3 are missing.\n"},
    {"student json", kGraph, "1\n1 2\n1 3\n", {"--student", "--json", "1"},
     kJsonLine3 + R"("steps_not_shown":0,"total":7,"ends_at":3,"ends_at_line_vertex":true,"notes":[]})"
     "\n"},
    {"student: no drawing", kGraph, "1\n", {"--student", "--dot", "1"}, "",
     std::string("tarnwick-explain: --dot draws a shortest path: it is not for students\n") +
         kUsage,
     1},
    {"a graph the judge refuses", "10010 0\n", "1\n", {"1"}, "",
     "tarnwick-explain: graph: the vertex count is too large: at most 10009 vertices fit\n", 2},
    {"a source outside the tables", kGraph, "1\n", {"10010"}, "",
     "tarnwick-explain: source vertex id '10010' is outside 0..10009\n", 2},
    {"a line number that is none", kGraph, "1\n", {"1", "0"}, "",
     std::string("tarnwick-explain: line '0' is not a line number\n") + kUsage, 1},
    {"two formats", kGraph, "1\n", {"--json", "--dot", "1"}, "",
     std::string("tarnwick-explain: --json and --dot exclude each other\n") + kUsage, 1},
    {"an unknown option", kGraph, "1\n", {"--xml", "1"}, "",
     std::string("tarnwick-explain: unknown option '--xml'\n") + kUsage, 1},
    {"too many arguments", kGraph, "1\n", {"1", "2", "3"}, "", kUsage, 1},
};

class ExplainGolden : public testing::TestWithParam<Golden> {};

TEST_P(ExplainGolden, PrintsExactly) {
  Scratch scratch;
  const Golden& c = GetParam();
  Outcome o = run_case(c, scratch);
  EXPECT_EQ(o.out, c.out);
  EXPECT_EQ(o.err, c.err);
  EXPECT_EQ(o.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExplainGolden, testing::ValuesIn(kGoldens),
                         tarnwick_test::param_name<Golden>);

TEST(ExplainCli, HelpVersionAndMissingFiles) {
  Scratch scratch;
  Outcome help = run_program(TARNWICK_EXPLAIN, {"--help"}, scratch);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind(kUsage, 0), 0u);
  EXPECT_NE(help.out.find("--student  what a student may see"), std::string::npos);
  Outcome version = run_program(TARNWICK_EXPLAIN, {"--version"}, scratch);
  EXPECT_EQ(version.out, "tarnwick-explain 0.1.0\n");
  std::string graph = scratch.file("graph", kGraph);
  Outcome no_result = run_program(TARNWICK_EXPLAIN, {graph, "/nonexistent/r", "1"}, scratch);
  EXPECT_EQ(no_result.err, "tarnwick-explain: /nonexistent/r: No such file or directory\n");
  EXPECT_EQ(no_result.status, 2);
  Outcome none = run_program(TARNWICK_EXPLAIN, {}, scratch);
  EXPECT_EQ(none.err, kUsage);
  EXPECT_EQ(none.status, 1);
}

// A graph from a pipe is explained as the same graph from a file: the graph
// lines of the edges come from the bytes the judge read.
TEST(ExplainCli, GraphFromAPipe) {
  Scratch scratch;
  std::string graph = scratch.file("graph", kGraph);
  std::string result = scratch.file("result", "1\n1 3\n");
  Outcome from_file = run_program(TARNWICK_EXPLAIN, {graph, result, "1"}, scratch);
  ASSERT_NE(from_file.out.find("weight 7: edge 1-3, graph line 4\n"), std::string::npos)
      << from_file.out;
  const std::string explain = TARNWICK_EXPLAIN;
  Outcome piped = run_program(
      "/bin/sh", {"-c", "cat " + graph + " | exec " + explain + " /dev/stdin " + result + " 1"},
      scratch);
  EXPECT_EQ(piped.out, from_file.out);
  EXPECT_EQ(piped.status, 0) << piped.err;
}

// A graph of more than 1 MiB is read in ranges; its last edge is still found
// with its line (a wrong count of the edges read would make it "no edge: INF").
TEST(ExplainCli, LastEdgeOfAGraphReadInRanges) {
  Scratch scratch;
  const std::string gen = TARNWICK_GEN;
  Outcome g = run_program(gen.c_str(), {"--simple", "3000", "100000", "1", "1000", "3"}, scratch);
  ASSERT_GT(g.out.size(), size_t{1} << 20);
  const std::string graph = scratch.file("graph", g.out);
  std::string last = g.out.substr(g.out.rfind('\n', g.out.size() - 2) + 1);
  last.pop_back();  // "u v w"
  const std::string u = last.substr(0, last.find(' '));
  const std::string v = last.substr(u.size() + 1, last.rfind(' ') - u.size() - 1);
  const std::string result = scratch.file("result", v + "\n");
  Outcome o = run_program(TARNWICK_EXPLAIN, {graph, result, u, "1"}, scratch);
  EXPECT_NE(o.out.find("step 1: " + u + " to " + v + ", weight " + last.substr(last.rfind(' ') + 1) +
                       ": edge " + u + "-" + v + ", graph line 100001\n"),
            std::string::npos)
      << o.out;
}

// The verdict's line was never read: a file judged wrong for the lines it lacks.
TEST(ExplainText, VerdictLineNeverRead) {
  Explanation e;
  e.verdict = {Verdict::kWrongAnswer, 1, 3};
  e.verdict_line = verdict_line(e.verdict);
  e.source = 1;
  e.n = 4;
  e.lines = 2;
  e.line = 3;
  e.how = Expected::kFastSearch;
  e.shortest = {1, 2, 3};
  e.shortest_weight = 5;
  EXPECT_EQ(explanation_text(e),
            "Wrong answer in path 1 to 3\n"
            "Line 3 was never read: the file ends first.\n"
            "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n"
            "The file ends after line 2: lines 3 to 4 are missing.\n");
  EXPECT_EQ(explanation_json(e),
            R"({"verdict":"Wrong answer in path 1 to 3","source":1,"vertices":4,"lines":2,"read_to_end":true,)"
            R"("missing_lines":[3,4],"line":3,"line_read":false,"expected_from":"fast search",)"
            R"("shortest_path":[1,2,3],"shortest_weight":5,"warnings":[]})"
            "\n");
}

// An endless output wrong at an early line is explained once what is told is
// known: reading stops one line past n and the line explained (under
// timeout(1), so that reading on fails instead of hanging).
TEST(ExplainCommandLine, EndlessOutputIsExplainedOnceTheVerdictStands) {
  Scratch s;
  const std::string graph = s.file("graph", kGraph);
  struct {
    std::string command, out_has;
    int status;
  } const cases[] = {
      {"'" TARNWICK_EXPLAIN "' --json '" + graph + "' /dev/stdin 1",
       R"("lines":4,"read_to_end":false,"missing_lines":null,"line":2,)", 0},
      {"'" TARNWICK_EXPLAIN "' --json '" + graph + "' /dev/stdin 1 6",
       R"("lines":7,"read_to_end":false,"missing_lines":null,"line":6,)", 0},
      {"'" TARNWICK_EXPLAIN "' --student '" + graph + "' /dev/stdin 1",
       "Total 0: not the shortest distance from 1 to 2.\n", 0},
  };
  for (const auto& c : cases) {
    Outcome o = run_program("/bin/sh", {"-c", "yes 1 | timeout 20 " + c.command}, s);
    EXPECT_EQ(o.status, c.status) << c.command << o.err;
    EXPECT_NE(o.out.find(c.out_has), std::string::npos) << o.out;
  }
}

// A right line of ten million steps before the wrong one, explained under a
// 64 MB address-space limit: the steps of a line are kept up to a bound, and
// those not shown are counted with their weight.
TEST(ExplainResources, LongLineUnderAddressSpaceLimit) {
#ifdef TARNWICK_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  if (std::system("prlimit --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no prlimit";
  Scratch scratch;
  std::string long_line;
  for (int i = 0; i < 10000000; ++i) long_line += "1 ";
  const std::string graph = scratch.file("graph", kGraph);
  const std::string result = scratch.file("result", "1\n" + long_line + "2\n1 3\n");
  const std::string run = "exec prlimit --as=" + std::to_string(64L << 20) + " " +
                          TARNWICK_EXPLAIN + " " + graph + " " + result + " 1";
  Outcome wrong = run_program("/bin/sh", {"-c", run}, scratch);
  EXPECT_EQ(wrong.status, 0) << wrong.err;
  EXPECT_EQ(wrong.out.rfind("Wrong answer in path 1 to 3\nLine 3 as the judge weighs it", 0), 0u);
  Outcome asked = run_program("/bin/sh", {"-c", run + " 2"}, scratch);
  EXPECT_EQ(asked.status, 0) << asked.err;
  const std::string kept = "  step 20020: 1 to 1, weight 0: the source's own diagonal\n";
  EXPECT_NE(asked.out.find(kept +
                           "  (steps 20021 to 10000000 not shown: they weigh 0)\n"
                           "  step 10000001: 1 to 2, weight 4: edge 1-2, graph line 2\n"
                           "Total 4, expected 4: right.\n"),
            std::string::npos)
      << asked.out.substr(0, 300);
}

// A student sees the first steps asked for and the last, with the weight of
// those between; 20 by default, as the checker and Gradescope show them.
TEST(ExplainText, StudentStepsAreCut) {
  Scratch scratch;
  const std::string graph = scratch.file("graph", kLoopGraph);
  GraphFile file;
  Case c;
  CaseOptions options;
  options.note_edges = true;
  std::string err;
  ASSERT_TRUE(c.make(graph.c_str(), file, SourceGiven::argument("1"), options, &err)) << err;
  std::string line(2 * 30, ' ');
  for (size_t i = 0; i < line.size(); i += 2) line[i] = '1';
  line.back() = '\n';  // 30 steps round the source's self-loop, 3 each
  Explanation e;
  ResultFile in;
  in.assign(line);
  ASSERT_TRUE(explain({&c, &file, graph, 0}, in, "result", &e, &err)) << err;
  const struct {
    int64_t max_steps;
    std::string shown;
  } kCases[] = {
      {0, "  (steps 1 to 29 not shown: they weigh 87)\n  step 30: "},
      {2, "  step 2: 1 to 1, weight 3: the source's self-loop, graph line 5\n"
          "  (steps 3 to 29 not shown: they weigh 81)\n  step 30: "},
      {28, "  step 28: 1 to 1, weight 3: the source's self-loop, graph line 5\n"
           "  (step 29 not shown: it weighs 3)\n  step 30: "},
      {29, "  step 29: 1 to 1, weight 3: the source's self-loop, graph line 5\n  step 30: "},
  };
  for (const auto& k : kCases) {
    EXPECT_NE(student_text(e, k.max_steps).find(k.shown), std::string::npos) << k.max_steps;
  }
  EXPECT_NE(student_text(e).find("(steps 21 to 29 not shown: they weigh 27)"), std::string::npos);
}

TEST(ExplainText, NumbersBeyond64Bits) {
  EXPECT_EQ(int128_text(0), "0");
  EXPECT_EQ(int128_text(-42), "-42");
  __int128 big = static_cast<__int128>(1) << 100;
  EXPECT_EQ(int128_text(big), "1267650600228229401496703205376");
  EXPECT_EQ(int128_text(-big), "-1267650600228229401496703205376");
}

// A random graph file: small, with ids of 0 and above n now and then, and
// negative or large weights in some graphs.
std::string random_graph(std::mt19937& rng, int32_t* n) {
  *n = std::uniform_int_distribution<int32_t>(1, 7)(rng);
  const int m = std::uniform_int_distribution<int>(0, 14)(rng);
  const int kind = std::uniform_int_distribution<int>(0, 2)(rng);
  std::uniform_int_distribution<int32_t> id(0, *n + 1), small(0, 20), any(-9, 30);
  std::string text = std::to_string(*n) + " " + std::to_string(m) + "\n";
  for (int e = 0; e < m; ++e) {
    int32_t w = kind == 0 ? small(rng) : kind == 1 ? any(rng) : small(rng) << 26;
    text += std::to_string(id(rng)) + " " + std::to_string(id(rng)) + " ";
    text += std::to_string(w) + "\n";
  }
  return text;
}

// A random result file: mostly short paths over the ids, with odd tokens.
std::string random_result(std::mt19937& rng, int32_t n) {
  const char* odd[] = {"x", "", "-0", "10010", "+1", "\t2", "3\r"};
  std::string text;
  const int lines = std::uniform_int_distribution<int>(0, n + 2)(rng);
  std::uniform_int_distribution<int32_t> id(0, n + 1);
  for (int k = 1; k <= lines; ++k) {
    const int tokens = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int t = 0; t < tokens; ++t) {
      if (t != 0) text += ' ';
      text += rng() % 8 == 0 ? odd[rng() % 7] : std::to_string(id(rng));
    }
    if (k != lines || rng() % 2 == 0) text += '\n';
  }
  return text;
}

// Returns line `k` (from 1) of text.
std::string graph_line(const std::string& text, int64_t k) {
  std::istringstream in(text);
  std::string line;
  for (int64_t i = 0; i < k && std::getline(in, line); ++i) {
  }
  return line;
}

// Returns line k (from 1) of a result file, without its line end; *ended
// tells whether a line end follows it.
std::string result_line(const std::string& text, int64_t k, bool* ended) {
  size_t at = 0;
  for (int64_t i = 1; i < k; ++i) at = text.find('\n', at) + 1;
  const size_t end = text.find('\n', at);
  *ended = end != std::string::npos;
  return text.substr(at, *ended ? end - at : std::string::npos);
}

// The tokens of a result line, plainly: the pieces between spaces, empty ones
// dropped, but for a last one that a line end closes (after a space, or on an empty line).
std::vector<std::string> plain_tokens(const std::string& line, bool ended) {
  std::vector<std::string> tokens;
  std::string piece;
  for (char c : line) {
    if (c != ' ') {
      piece += c;
    } else if (!piece.empty()) {
      tokens.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty() || ended) tokens.push_back(piece);
  return tokens;
}

// Returns true when the token holds a number followed by bytes that are not read.
bool plain_tail(const std::string& token) {
  size_t i = token.find_first_not_of("\t\n\v\f\r");
  if (i == std::string::npos) return false;
  if (token[i] == '+' || token[i] == '-') ++i;
  const size_t digits = i;
  while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i;
  return i > digits && i < token.size();
}

// Checks what the student is told: the instructor's lines but the total,
// without the expected distance, the difference or a shortest path; and the
// tokens as the plain splitting of the line has them.
void check_student(const Explanation& e, const std::string& result) {
  const std::string student = student_text(e), full = explanation_text(e);
  std::istringstream lines(student);
  for (std::string l; std::getline(lines, l);) {
    for (const char* secret : {"expected", "difference", "shortest path", "as a line"}) {
      ASSERT_EQ(l.find(secret), std::string::npos) << l;
    }
    if (l.rfind("Total ", 0) != 0) {
      ASSERT_NE(full.find(l + "\n"), std::string::npos) << l;
    }
  }
  if (!e.line_read || e.line == 0) return;
  ASSERT_NE(student.find("Total " + int128_text(e.total)), std::string::npos);
  bool ended = false;
  const std::string line = result_line(result, e.line, &ended);
  const std::vector<std::string> tokens = plain_tokens(line, ended);
  ASSERT_EQ(tokens.size(), e.steps.size());
  for (size_t i = 0; i < tokens.size(); ++i) {
    ASSERT_EQ(e.steps[i].token, tokens[i].substr(0, kTokenKept));
    ASSERT_EQ(e.steps[i].step.tail_ignored, plain_tail(tokens[i])) << tokens[i];
  }
}

// Checks one explanation against the judge without an observer and against
// the plain re-reading: same verdict, steps weighed as Dist has them, a total
// that is their sum, and the distance the plain pass gives.
// Returns the explanation of `result` against the graph read through a pipe,
// which cannot be read twice: its graph lines come from what was noted as it loaded.
Explanation explained_through_pipe(const std::string& graph_text, const std::string& result,
                                   int32_t source, int64_t line) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    for (size_t at = 0; at < graph_text.size();) {
      ssize_t put = write(fds[1], graph_text.data() + at, graph_text.size() - at);
      if (put <= 0) break;
      at += static_cast<size_t>(put);
    }
    close(fds[1]);
  });
  GraphFile graph;
  graph.adopt(fds[0]);
  Case c;
  CaseOptions options;
  options.note_edges = true;
  std::string err;
  const bool made = c.make(graph, "pipe", SourceGiven::argument(std::to_string(source)), options, &err);
  writer.join();  // the loader stops at the m-th edge: the rest of the pipe is drained here
  Explanation e;
  ResultFile in;
  in.assign(result);
  EXPECT_TRUE(made && explain({&c, &graph, "pipe", line}, in, "result", &e, &err)) << err;
  close(fds[0]);
  return e;
}

void check_explanation(const std::string& graph_path, const std::string& graph_text,
                       const std::string& result, int32_t source, int64_t line) {
  GraphFile graph;
  Case c;
  CaseOptions options;
  options.note_edges = true;
  std::string err;
  ASSERT_TRUE(c.make(graph_path.c_str(), graph, SourceGiven::argument(std::to_string(source)),
                     options, &err)) << err;
  const Graph& g = c.graph();
  ResultFile judged_in;
  judged_in.assign(result);
  Verdict judged;
  ASSERT_TRUE(c.judge(judged_in, &judged, &err));
  ResultFile in;
  in.assign(result);
  Explanation e;
  ASSERT_TRUE(explain({&c, &graph, graph_path, line}, in, "result", &e, &err)) << err;
  ASSERT_EQ(e.verdict_line, verdict_line(judged));
  // The same lines named when the graph comes through a pipe.
  const Explanation piped = explained_through_pipe(graph_text, result, source, line);
  ASSERT_EQ(explanation_text(piped), explanation_text(e));
  reference::Graph ref = reference::load(graph_text);
  reference::Row ref_row(ref, source);
  reference::Verdict plain = reference::judge(result, ref_row);
  ASSERT_EQ(static_cast<int>(plain.kind), static_cast<int>(judged.kind));
  if (judged.kind == Verdict::kWrongAnswer) {
    ASSERT_EQ(plain.line, judged.line);
  }
  check_student(e, result);
  if (!e.line_read) return;
  __int128 sum = 0;
  for (const ExplainedStep& s : e.steps) {
    const int64_t from = s.step.from, to = s.step.to;
    ASSERT_EQ(s.step.weight, ref.dist(from, to));
    const bool edge = ref.edge.count({from, to}) != 0;
    const bool has_line = s.why == StepWhy::kEdge || s.why == StepWhy::kSelfLoop;
    ASSERT_EQ(edge, has_line) << static_cast<int>(s.why);
    ASSERT_EQ(has_line, s.graph_line >= 2);
    if (!edge) {
      ASSERT_EQ(s.step.weight, s.why == StepWhy::kNoEdge ? INF : 0);
    } else {
      // The graph line named holds this pair with the weight that stands.
      std::istringstream named(graph_line(graph_text, s.graph_line));
      int64_t u = -1, v = -1, w = -1;
      named >> u >> v >> w;
      ASSERT_TRUE((u == from && v == to) || (u == to && v == from)) << s.graph_line;
      ASSERT_EQ(w, s.step.weight);
    }
    sum += s.step.weight;
  }
  ASSERT_EQ(sum, e.total);
  ASSERT_EQ(e.expected, ref_row.at(e.line));
  const bool first_wrong = judged.kind == Verdict::kWrongAnswer && e.line == judged.line;
  if (first_wrong || line == 0) {
    ASSERT_NE(e.total, e.expected);
  }
  if (judged.kind != Verdict::kWrongAnswer || e.line < judged.line) {
    ASSERT_EQ(e.total, e.expected);
  }
  if (e.how == Expected::kFastSearch) {
    __int128 path = 0;
    for (size_t i = 1; i < e.shortest.size(); ++i) path += g.Dist(e.shortest[i - 1], e.shortest[i]);
    ASSERT_EQ(path, e.shortest_weight);
    ASSERT_EQ(e.shortest_weight, e.expected);
  }
}

TEST(ExplainRandom, AgreesWithTheJudge) {
  std::mt19937 rng(20261208);
  Scratch scratch;
  for (int round = 0; round < 600; ++round) {
    int32_t n = 0;
    const std::string graph_text = random_graph(rng, &n);
    const std::string graph = scratch.file("graph", graph_text);
    const std::string result = random_result(rng, n);
    const int32_t source = std::uniform_int_distribution<int32_t>(0, n + 1)(rng);
    const int64_t line = rng() % 2 == 0 ? 0 : std::uniform_int_distribution<int64_t>(1, n + 3)(rng);
    SCOPED_TRACE("graph:\n" + graph_text + "result:\n" + result + "source " +
                 std::to_string(source) + ", line " + std::to_string(line));
    check_explanation(graph, graph_text, result, source, line);
    if (testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace tarnwick
