// tarnwick-validate: one golden case per kind of finding, the constraints,
// the exit statuses (--kattis included) and the cap on findings of a kind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "check/case.h"
#include "graph/graph_file.h"

#include "tests/cli_support.h"
#include "validate/validate.h"

namespace tarnwick {
namespace {

using tarnwick_test::Outcome;
using tarnwick_test::replace_all;
using tarnwick_test::run_program;
using tarnwick_test::Scratch;

struct Golden {
  const char* name;
  std::string graph;
  std::vector<std::string> args;  // options before the path
  std::string out;
  int status = 0;
};

void PrintTo(const Golden& c, std::ostream* os) { *os << c.name; }

const Golden kGoldens[] = {
    {"a clean graph", "3 3\n1 2 4\n2 3 1\n1 3 7\n", {},
     "g: 0 errors, 0 warnings; 3 vertices, 3 edges read\n"},
    {"the judge refuses a vertex count", "10010 0\n", {},
     "g:1:1: error: the vertex count is too large: at most 10009 vertices fit (the judge refuses "
     "this file)\n"
     "g: 1 error, 0 warnings; 0 vertices, 0 edges read\n",
     3},
    {"the judge refuses a vertex count where it stands", "\n  10010 0\n", {},
     "g:2:3: error: the vertex count is too large: at most 10009 vertices fit (the judge refuses "
     "this file)\n"
     "g: 1 error, 0 warnings; 0 vertices, 0 edges read\n",
     3},
    {"the judge refuses an id", "3 1\n1 10010 4\n", {},
     "g:2:3: error: edge 1 names vertex 10010, outside 0..10009 (the judge refuses this file)\n"
     "g: 1 error, 0 warnings; 3 vertices, 1 edge read\n",
     3},
    {"the edge list ends early, where and why", "2 3\n\t1 2 3\r\n2 1 -1\r\n", {},
     "g:3:1: warning: edge 2-1 given again, with weight -1 (before: line 2): the later weight "
     "stands, not the smaller\n"
     "g:3:5: warning: negative weight -1: the edge both ways is a negative cycle\n"
     "g:3:5: warning: weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = 8 "
     "steps for n = 2 (weights in range need one search, about (n + m) log n steps); negative "
     "edges make every distance depend on its loop order\n"
     "g:4:1: warning: the edge list ends after 2 of 3 edges: edge 3 meets the end of the file "
     "(the judge warns about this)\n"
     "g: 0 errors, 4 warnings; 2 vertices, 2 edges read\n"},
    {"no vertex count", "", {},
     "g:1:1: warning: no vertex count: judging an empty graph (the judge warns about this)\n"
     "g: 0 errors, 1 warning; 0 vertices, 0 edges read\n"},
    {"no edge count", "1\n", {},
     "g:2:1: warning: no edge count after the vertex count: no edge read (the judge warns about "
     "this)\n"
     "g: 0 errors, 1 warning; 1 vertex, 0 edges read\n"},
    {"negative counts", "-3 -1\n", {},
     "g:1:1: warning: a negative vertex count, -3: the judge reads it as no vertex\n"
     "g:1:4: warning: a negative edge count, -1: the judge reads no edge\n"
     "g: 0 errors, 2 warnings; 0 vertices, 0 edges read\n"},
    {"counts beyond 32 bits are not quoted as numbers the file does not hold",
     "-99999999999 99999999999\n", {"--min-vertices", "1", "--max-edges", "5"},
     "g:1:1: warning: a negative vertex count, (less than -2147483648): the judge reads it as no "
     "vertex\n"
     "g:1:1: error: the vertex count (less than -2147483648) is below the least allowed, 1\n"
     "g:1:14: error: the edge count (more than 2147483647) is above the most allowed, 5\n"
     "g:2:1: warning: the edge list ends after 0 of more than 2147483647 edges: edge 1 meets the "
     "end of the file (the judge warns about this)\n"
     "g: 2 errors, 2 warnings; 0 vertices, 0 edges read\n",
     3},
    {"numbers after the last edge", "2 1\n1 2 4\n2 1 4\n1 2\n", {},
     "g:3:1: warning: 5 more numbers follow the 1 announced edge (1 whole edge and 2 more): the "
     "judge never reads it; is the edge count right?\n"
     "g: 0 errors, 1 warning; 2 vertices, 1 edge read\n"},
    {"text after the last edge", "2 1 1 2 4 end\n", {},
     "g:1:11: warning: text that is not a number follows the 1 announced edge: the judge never "
     "reads it; is the edge count right?\n"
     "g: 0 errors, 1 warning; 2 vertices, 1 edge read\n"},
    {"ids of 0 and above n", "2 2\n1 2 1\n0 3 5\n", {},
     "g:3:1: warning: edge 2 names 0, not a vertex of 1..2: the judge stores it, but no shortest "
     "path uses it, and a result line naming 0 weighs this edge\n"
     "g:3:3: warning: edge 2 names 3, not a vertex of 1..2: the judge stores it, but no shortest "
     "path uses it, and a result line naming 3 weighs this edge\n"
     "g: 0 errors, 2 warnings; 2 vertices, 2 edges read\n"},
    {"a self-loop", "2 2\n1 2 1\n2 2 6\n", {},
     "g:3:1: warning: self-loop at vertex 2 (weight 6): it replaces the vertex's diagonal 0, "
     "which a path written from source 2 weighs on its first step\n"
     "g: 0 errors, 1 warning; 2 vertices, 2 edges read\n"},
    {"a pair given twice names both lines", "3 3\n1 2 1\n2 3 1\n\n  2 1 9\n", {},
     "g:5:3: warning: edge 2-1 given again, with weight 9 (before: line 2): the later weight "
     "stands, not the smaller\n"
     "g: 0 errors, 1 warning; 3 vertices, 3 edges read\n"},
    {"a pair given twice, the later with a sign", "2 2\n1 2 1\n\n+2 1 9\n", {},
     "g:4:1: warning: edge 2-1 given again, with weight 9 (before: line 2): the later weight "
     "stands, not the smaller\n"
     "g: 0 errors, 1 warning; 2 vertices, 2 edges read\n"},
    {"a weight of 2^30", "2 1\n1 2 1073741824\n", {},
     "g:2:5: warning: weight 1073741824 is 2^30 or more: sums of such weights can wrap\n"
     "g:2:5: warning: weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = 8 "
     "steps for n = 2 (weights in range need one search, about (n + m) log n steps)\n"
     "g: 0 errors, 2 warnings; 2 vertices, 1 edge read\n"},
    {"odd weights that a later edge replaces", "2 2\n1 2 -1\n1 2 1073741824\n", {},
     "g:2:5: warning: negative weight -1: the edge both ways is a negative cycle, but a later edge "
     "1-2 replaces it\n"
     "g:2:5: warning: weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = 8 "
     "steps for n = 2 (weights in range need one search, about (n + m) log n steps)\n"
     "g:3:1: warning: edge 1-2 given again, with weight 1073741824 (before: line 2): the later "
     "weight stands, not the smaller\n"
     "g:3:5: warning: weight 1073741824 is 2^30 or more: sums of such weights can wrap\n"
     "g: 0 errors, 4 warnings; 2 vertices, 2 edges read\n"},
    {"a vertex no edge reaches, and paths over missing edges", "4 2\n1 2 3\n2 3 3\n",
     {"--source", "1"},
     "g:1:1: warning: no edge reaches vertex 4: its distances are sums of INF steps\n"
     "g:1:1: warning: from source 1, a shortest path to vertex 4 takes a step without an edge "
     "(weight INF)\n"
     "g: 0 errors, 2 warnings; 4 vertices, 2 edges read\n"},
    {"the source's own line out and back over a missing edge", "2 1\n1 1 30000000\n",
     {"--source", "1"},
     "g:1:1: warning: no edge reaches vertex 1: its distances are sums of INF steps\n"
     "g:1:1: warning: no edge reaches vertex 2: its distances are sums of INF steps\n"
     "g:1:1: warning: from source 1, a shortest path to vertex 1 takes a step without an edge "
     "(weight INF)\n"
     "g:1:1: warning: from source 1, a shortest path to vertex 2 takes a step without an edge "
     "(weight INF)\n"
     "g:2:1: warning: self-loop at vertex 1 (weight 30000000): it replaces the vertex's diagonal "
     "0, which a path written from source 1 weighs on its first step\n"
     "g: 0 errors, 5 warnings; 2 vertices, 1 edge read\n"},
    {"a source that is not a vertex", "2 1\n1 2 3\n", {"--source=3"},
     "g:1:1: error: source 3 is not a vertex of 1..2 (--source; --allow-non-vertex-source "
     "permits it)\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     3},
    {"a source with the exact pass", "2 1\n1 2 -3\n", {"--source", "1"},
     "g:1:1: warning: --source 1: the exact pass decides these distances, so no path is traced\n"
     "g:2:5: warning: negative weight -3: the edge both ways is a negative cycle\n"
     "g:2:5: warning: weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = 8 "
     "steps for n = 2 (weights in range need one search, about (n + m) log n steps); negative "
     "edges make every distance depend on its loop order\n"
     "g: 0 errors, 3 warnings; 2 vertices, 1 edge read\n"},
    {"count and weight bounds from below", "2 1\n1 2 3\n",
     {"--min-vertices", "3", "--max-edges=0", "--min-weight", "4"},
     "g:1:1: error: the vertex count 2 is below the least allowed, 3\n"
     "g:1:3: error: the edge count 1 is above the most allowed, 0\n"
     "g:2:5: error: weight 3 is below the least allowed, 4\n"
     "g: 3 errors, 0 warnings; 2 vertices, 1 edge read\n",
     3},
    {"count and weight bounds from above", "2 1\n1 2 3\n",
     {"--max-vertices", "1", "--min-edges", "2", "--max-weight", "2"},
     "g:1:1: error: the vertex count 2 is above the most allowed, 1\n"
     "g:1:3: error: the edge count 1 is below the least allowed, 2\n"
     "g:2:5: error: weight 3 is above the most allowed, 2\n"
     "g: 3 errors, 0 warnings; 2 vertices, 1 edge read\n",
     3},
    {"connected", "4 2\n1 2 3\n3 4 1\n", {"--connected"},
     "g:1:1: error: the graph is not connected (--connected): 2 components; vertex 3 cannot be "
     "reached from vertex 1\n"
     "g: 1 error, 0 warnings; 4 vertices, 2 edges read\n",
     3},
    {"simple", "2 3\n1 2 3\n1 2 3\n2 2 0\n", {"--simple"},
     "g:3:1: error: edge 1-2 given again, with the same weight 3 (before: line 2): the same edge "
     "twice (--simple)\n"
     "g:4:1: error: self-loop at vertex 2 (weight 0): it replaces the vertex's diagonal 0, which a "
     "path written from source 2 weighs on its first step (--simple)\n"
     "g: 2 errors, 0 warnings; 2 vertices, 3 edges read\n",
     3},
    {"simple: a self-loop at an id that is not a vertex", "2 2\n1 2 3\n0 0 1\n", {"--simple"},
     "g:3:1: warning: edge 2 names 0, not a vertex of 1..2: the judge stores it, but no shortest "
     "path uses it, and a result line naming 0 weighs this edge\n"
     "g:3:1: error: self-loop at id 0 (weight 1): it replaces the vertex's diagonal 0, which a "
     "path written from source 0 weighs on its first step (--simple)\n"
     "g: 1 error, 1 warning; 2 vertices, 2 edges read\n",
     3},
    {"strict: a valid test input", "2 1\n1 2 3\n2\n", {"--kattis", "--strict"},
     "g: 0 errors, 0 warnings; 2 vertices, 1 edge read, source 2\n", 42},
    {"strict: what the judge reads leniently", "2 1\n1  2 03\r\n2 \n\n", {"--kattis", "--strict"},
     "g:2:2: error: more than one space between numbers (--strict: one space separates them)\n"
     "g:2:6: error: '03' has a leading zero (--strict: written 3)\n"
     "g:2:8: error: a carriage return (--strict: a line ends with \\n alone)\n"
     "g:3:2: error: a space at the end of the line (--strict: a line ends with a number)\n"
     "g:4:1: error: a blank line (--strict: no line is empty)\n"
     "g: 5 errors, 0 warnings; 2 vertices, 1 edge read, source 2\n",
     43},
    {"strict: a plain graph, its findings among the others", "3 1\n+1 2 3\n", {"--strict"},
     "g:1:1: warning: no edge reaches vertex 3: its distances are sums of INF steps\n"
     "g:2:1: error: '+1' has a '+' sign (--strict: written 1)\n"
     "g: 1 error, 1 warning; 3 vertices, 1 edge read\n",
     3},
    {"kattis: valid, the source after the m-th edge", "2 1\n1 2 3\n2\n", {"--kattis"},
     "g: 0 errors, 0 warnings; 2 vertices, 1 edge read, source 2\n", 42},
    {"kattis: invalid", "2 1\n1 2 3\n1\n", {"--kattis", "--max-weight", "2"},
     "g:2:5: error: weight 3 is above the most allowed, 2\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read, source 1\n",
     43},
    {"kattis: no source", "2 1\n1 2 3\n\n", {"--kattis"},
     "g:4:1: error: no source vertex after the 1 edge: a test input ends with the source\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     43},
    {"kattis: text where the source should be", "2 1\n1 2 3\n-x\n", {"--kattis"},
     "g:3:1: error: text that is not a number stands where the source vertex should be, after "
     "the 1 edge\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     43},
    {"kattis: a source of 0", "2 1\n1 2 3\n 0\n", {"--kattis"},
     "g:3:2: error: source 0 is not a vertex of 1..2 (the number after the m-th edge; "
     "--allow-non-vertex-source permits it)\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read, source 0\n",
     43},
    {"kattis: a source above n, allowed", "2 1\n1 2 3 3", {"--kattis", "--allow-non-vertex-source"},
     "g:2:7: warning: source 3 is not a vertex of 1..2: the judge compares every line with its "
     "direct weights\n"
     "g: 0 errors, 1 warning; 2 vertices, 1 edge read, source 3\n",
     42},
    {"kattis: a source the judge refuses", "2 1\n1 2 3\n10010\n",
     {"--kattis", "--allow-non-vertex-source"},
     "g:3:1: error: source 10010 is outside 0..10009: the judge cannot judge from it\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     43},
    {"kattis: the source is not the last number", "2 1\n1 2 3\n1\n2 1 3\n", {"--kattis"},
     "g:4:1: error: 3 more numbers follow the source vertex: a test input ends with the source\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read, source 1\n",
     43},
    {"kattis: the edge count one too large swallows the source", "2 2\n1 2 3\n1\n",
     {"--kattis"},
     "g:3:1: error: the edge count is likely one too large: edge 2 of 2 is a single number, 1, "
     "then the file ends, so the source was read as the start of an edge (a test input holds n, "
     "m, the m edges, then the source)\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     43},
    {"kattis: an edge list cut short otherwise", "2 2\n1 2 3\n1 x\n", {"--kattis"},
     "g:3:3: error: the edge list ends after 1 of 2 edges: edge 2 meets text that is not a number "
     "(the judge warns about this; a test input holds n, m, the m edges, then the source)\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     43},
    {"kattis: an empty file", "", {"--kattis"},
     "g:1:1: error: no vertex count: judging an empty graph (the judge warns about this; a test "
     "input holds n, m, the m edges, then the source)\n"
     "g: 1 error, 0 warnings; 0 vertices, 0 edges read\n",
     43},
    {"kattis: random bytes", "\x7f\x01ELF\xff", {"--kattis"},
     "g:1:1: error: no vertex count: judging an empty graph (the judge warns about this; a test "
     "input holds n, m, the m edges, then the source)\n"
     "g: 1 error, 0 warnings; 0 vertices, 0 edges read\n",
     43},
    {"kattis: no vertex", "0 0\n1\n", {"--kattis", "--allow-non-vertex-source"},
     "g:1:1: error: the vertex count is 0: a test input needs at least one vertex\n"
     "g:2:1: warning: source 1 is not a vertex of the graph, which has none: the judge compares "
     "every line with its direct weights\n"
     "g: 1 error, 1 warning; 0 vertices, 0 edges read, source 1\n",
     43},
    {"kattis with --source: the file carries none", "2 1\n1 2 3\n", {"--kattis", "--source=1"},
     "g: 0 errors, 0 warnings; 2 vertices, 1 edge read\n", 42},
    {"a carried source after an edge cut by a number too large for 32 bits",
     "3 2\n1 2 4\n2 3 99999999999\n1\n", {"--carried-source"},
     "g:1:1: warning: no edge reaches vertex 3: its distances are sums of INF steps\n"
     "g:3:5: error: the edge list ends after 1 of 2 edges: edge 2 meets a number too large for "
     "32 bits (the judge warns about this; a test input holds n, m, the m edges, then the "
     "source)\n"
     "g: 1 error, 1 warning; 3 vertices, 1 edge read\n",
     3},
    {"a pair given three times names the latest earlier line", "3 3\n1 2 5\n1 2 5\n2 1 7\n", {},
     "g:1:1: warning: no edge reaches vertex 3: its distances are sums of INF steps\n"
     "g:3:1: warning: edge 1-2 given again, with the same weight 5 (before: line 2): the same "
     "edge twice\n"
     "g:4:1: warning: edge 2-1 given again, with weight 7 (before: line 3): the later weight "
     "stands, not the smaller\n"
     "g: 0 errors, 3 warnings; 3 vertices, 3 edges read\n"},
    {"numbers, then text, after the last edge", "2 1\n1 2 4\n3 4 x\n", {},
     "g:3:1: warning: 2 more numbers follow the 1 announced edge (0 whole edges and 2 more), "
     "then text that is not a number: the judge never reads it; is the edge count right?\n"
     "g: 0 errors, 1 warning; 2 vertices, 1 edge read\n"},
    {"a carried source that is not a whole number", "2 1\n1 2 3\n1e3\n", {"--carried-source"},
     "g:3:1: error: the source vertex after the m-th edge is not a whole number: every tool "
     "refuses such a test\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read\n",
     3},
    {"a carried source outside --kattis", "2 1\n1 2 3\n5\n", {"--carried-source"},
     "g:3:1: error: source 5 is not a vertex of 1..2 (the number after the m-th edge; "
     "--allow-non-vertex-source permits it)\n"
     "g: 1 error, 0 warnings; 2 vertices, 1 edge read, source 5\n",
     3},
};

class ValidateGolden : public testing::TestWithParam<Golden> {};

TEST_P(ValidateGolden, PrintsExactly) {
  Scratch scratch;
  const Golden& c = GetParam();
  std::vector<std::string> args = c.args;
  args.push_back(scratch.file("g", c.graph));
  Outcome o = run_program(TARNWICK_VALIDATE, args, scratch);
  EXPECT_EQ(replace_all(o.out, scratch.dir().string() + "/", ""), c.out);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidateGolden, testing::ValuesIn(kGoldens),
                         tarnwick_test::param_name<Golden>);

// Returns the options a golden case's arguments ask for, the way the tool
// reads them; false for arguments this reading does not know.
bool options_of(const std::vector<std::string>& args, ValidateOptions* o) {
  const std::pair<const char*, std::optional<int64_t> GraphConstraints::*> bounds[] = {
      {"--min-vertices", &GraphConstraints::min_vertices},
      {"--max-vertices", &GraphConstraints::max_vertices},
      {"--min-edges", &GraphConstraints::min_edges},
      {"--max-edges", &GraphConstraints::max_edges},
      {"--min-weight", &GraphConstraints::min_weight},
      {"--max-weight", &GraphConstraints::max_weight}};
  bool kattis = false, flagged = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const size_t eq = args[i].find('=');
    const std::string name = args[i].substr(0, eq);
    auto value = [&] { return eq != std::string::npos ? args[i].substr(eq + 1) : args[++i]; };
    auto bound = std::find_if(std::begin(bounds), std::end(bounds),
                              [&](const auto& b) { return name == b.first; });
    if (bound != std::end(bounds)) {
      o->want.*(bound->second) = std::stoll(value());
    } else if (name == "--source") {
      o->source = SourceGiven::flag(value()), flagged = true;
    } else if (name == "--carried-source") {
      o->source = SourceGiven::carried();
    } else if (name == "--kattis") {
      kattis = o->test_input = true;
    } else if (name == "--simple") {
      o->want.simple = true;
    } else if (name == "--connected") {
      o->want.connected = true;
    } else if (name == "--allow-non-vertex-source") {
      o->allow_non_vertex_source = true;
    } else if (name == "--strict") {
      o->strict_layout = true;
    } else {
      return false;
    }
  }
  if (kattis && !flagged) o->source = SourceGiven::carried();
  return true;
}

// Every golden case read in ranges of a few bytes on two threads, as the
// loader reads a large file: the loader tells the watcher each range's edges
// and the read that stopped the list, and findings are placed afterwards from
// the marks of the ranges. The findings are the goldens', found when the
// small file is read edge by edge, byte for byte, whether the edges go to a
// dense table (which tells repeated pairs as it stores them) or to lists
// (whose pairs the watcher looks up itself).
TEST(ValidateInRanges, SameFindingsAsTheGoldens) {
  Scratch scratch;
  int compared = 0;
  for (const Golden& c : kGoldens) {
    ValidateOptions options;
    if (!options_of(c.args, &options)) continue;
    const std::string path = scratch.file("g", c.graph);
    for (detail::LoadTuning tuning : {detail::LoadTuning{detail::Storage::kDense, 2, 1, true},
                                      detail::LoadTuning{detail::Storage::kDense, 2, 3, true},
                                      detail::LoadTuning{detail::Storage::kLists, 2, 5, true},
                                      detail::LoadTuning{detail::Storage::kByDensity, 1, 64, true}}) {
      options.tuning = tuning;
      GraphFile file;
      std::string err;
      ASSERT_TRUE(file.open(path.c_str(), &err)) << err;
      Validation v;
      ASSERT_TRUE(validate(file, options, &v, &err)) << c.name << ": " << err;
      EXPECT_EQ(validation_text("g", v), c.out)
          << c.name << ", ranges of " << tuning.range_bytes << " bytes";
    }
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

// Exactly as many findings of a kind as are shown hides none: the summary
// names nothing "not shown".
TEST(Validate, ExactlyTheShownFewHideNothing) {
  std::string text = "2 11\n";
  for (int i = 1; i <= 10; ++i) text += "1 1 " + std::to_string(i) + "\n";
  text += "1 2 1\n";
  GraphFile file;
  file.assign(text);
  Validation v;
  std::string err;
  ASSERT_TRUE(validate(file, {}, &v, &err));
  EXPECT_EQ(v.warnings, 19);  // 10 self-loops, 9 of them repeats of the first
  EXPECT_TRUE(v.hidden.empty());
  const std::string out = validation_text("g", v);
  EXPECT_TRUE(out.ends_with("\ng: 0 errors, 19 warnings; 2 vertices, 11 edges read\n")) << out;
}

constexpr char kUsage[] =
    "Usage: tarnwick-validate [constraints] [--source S | --carried-source] "
    "[--allow-non-vertex-source] [--kattis] [--strict] input_graph\n";

TEST(ValidateCli, WrongUseAndUnreadableFiles) {
  Scratch scratch;
  std::string graph = scratch.file("g", "2 1\n1 2 3\n");
  struct {
    std::vector<std::string> args;
    std::string err;
    int status;
  } cases[] = {
      {{}, kUsage, 1},
      {{graph, graph}, std::string("tarnwick-validate: one graph file at a time\n") + kUsage, 1},
      {{"--max-weight", graph},
       std::string("tarnwick-validate: --max-weight needs an integer, not '") + graph + "'\n" +
           kUsage,
       1},
      {{"--max-weight"},
       std::string("tarnwick-validate: --max-weight needs an integer\n") + kUsage,
       1},
      // Bounds that no graph meets are a slip in the flags: before, every weight was an error.
      {{"--min-weight", "5", "--max-weight=1", graph},
       std::string("tarnwick-validate: --min-weight 5 is above --max-weight 1\n") + kUsage,
       1},
      {{"--max-vertices", "-9223372036854775808", "--min-vertices", "9223372036854775807", graph},
       std::string("tarnwick-validate: --min-vertices 9223372036854775807 is above --max-vertices "
                   "-9223372036854775808\n") + kUsage,
       1},
      {{"--simple=1", graph},
       std::string("tarnwick-validate: --simple takes no value\n") + kUsage,
       1},
      {{"--source", "4294967296", graph},
       std::string("tarnwick-validate: source vertex id '4294967296' is outside 0..10009 (--source)\n") +
           kUsage,
       1},
      {{"--source=1", "--carried-source", graph},
       std::string("tarnwick-validate: --source and --carried-source: the source comes from one "
                   "of them\n") +
           kUsage,
       1},
      {{"/nonexistent/g"}, "tarnwick-validate: /nonexistent/g: No such file or directory\n", 2},
      // Neither valid nor invalid: an input validator that cannot read fails.
      {{"--kattis", "/nonexistent/g"},
       "tarnwick-validate: /nonexistent/g: No such file or directory\n", 2},
      {{"--kattis", scratch.dir().string()},
       "tarnwick-validate: " + scratch.dir().string() + ": Is a directory\n", 2},
  };
  for (const auto& c : cases) {
    Outcome o = run_program(TARNWICK_VALIDATE, c.args, scratch);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.out, "");
  }
  Outcome version = run_program(TARNWICK_VALIDATE, {"--version"}, scratch);
  EXPECT_EQ(version.out, "tarnwick-validate 0.1.0\n");
  Outcome help = run_program(TARNWICK_VALIDATE, {"--help"}, scratch);
  EXPECT_EQ(help.out.rfind(kUsage, 0), 0u);
}

// The ways a graph reaches the tool: a path, a path naming a pipe, standard
// input redirected from a file, a pipe on standard input. Each is a shell
// command run as `sh -c CMD VALIDATE GRAPH OPTIONS...`.
struct Way {
  const char* name;
  const char* command;
  const char* shown;  // the name findings give the graph ("" for its path)
};

const Way kWays[] = {
    {"a path", "v=$0 g=$1; shift; exec \"$v\" \"$@\" \"$g\"", ""},
    {"a pipe as a path", "v=$0 g=$1; shift; cat \"$g\" | \"$v\" \"$@\" /dev/stdin", "/dev/stdin"},
    {"standard input from a file", "v=$0 g=$1; shift; exec \"$v\" \"$@\" - < \"$g\"", "<stdin>"},
    {"a pipe on standard input", "v=$0 g=$1; shift; cat \"$g\" | \"$v\" \"$@\" -", "<stdin>"},
};

// Returns a graph of many lines, far longer than the reader's buffer, with
// findings far down: pairs given again (with the same weight and not; more
// than are shown, so that a pipe stops noting edges), then numbers after the
// last edge.
std::string long_graph() {
  const int distinct = 20000, again = 12;  // more than are shown
  std::string text = "300 " + std::to_string(distinct + again) + "\n";
  auto edge = [](int i, int w) {
    const int a = i / 150 + 1, b = a + 1 + i % 150;
    return std::to_string(a) + " " + std::to_string(b) + "   " + std::to_string(w) + "\n";
  };
  for (int i = 0; i < distinct; ++i) text += edge(i, 5);
  for (int i = 0; i < again; ++i) text += edge(i * 1600, i % 2 == 0 ? 5 : 6);
  return text + "\n\n1 2\n";
}

// The same findings, byte for byte, whichever way the graph comes; repeats
// name the earlier edge's line and weight from a pipe too (noted as it
// loaded) and from a file (read again through the open descriptor).
TEST(ValidateCli, SameFindingsWhicheverWayTheGraphComes) {
  struct Graph {
    const char* name;
    std::string text;
    std::vector<std::string> options;
  } graphs[] = {
      {"repeats and trailing text", "4 5\n1 2 4\n2 3 1\n\n2 1 4\n 3 3 -2\n1 2 9\n7 x\n", {}},
      {"a cut edge list", "3 3\n1 2 4\n2 1 5\n\n3 x\n", {"--simple"}},
      {"a carried source, then more", "3 2\n1 2 4\n2 1 4\n3\n4 5\n", {"--carried-source"}},
      {"strict", "3 2\n1 2 4 \n2  1 04\n\n3\n\n", {"--carried-source", "--strict"}},
      {"a long graph", long_graph(), {}},
      {"a long graph, strict", long_graph() + " \n", {"--strict"}},
  };
  for (const Graph& graph : graphs) {
    Scratch scratch;
    const std::string path = scratch.file("g", graph.text);
    std::string first;
    for (const Way& way : kWays) {
      std::vector<std::string> args = {"-c", way.command, TARNWICK_VALIDATE, path};
      args.insert(args.end(), graph.options.begin(), graph.options.end());
      Outcome o = run_program("/bin/sh", args, scratch);
      const std::string out = replace_all(o.out, *way.shown ? way.shown : path, "G");
      if (first.empty()) first = out;
      EXPECT_EQ(out, first) << graph.name << ", " << way.name << "\n" << o.err;
      EXPECT_EQ(o.err, "") << graph.name << ", " << way.name;
    }
    EXPECT_GT(std::count(first.begin(), first.end(), '\n'), 3) << graph.name << ":\n" << first;
  }
}

// A named FIFO can be opened once only: the graph is read from that one opening.
TEST(ValidateCli, ReadsANamedFifoOnce) {
  Scratch scratch;
  const std::string fifo = (scratch.dir() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string out = (scratch.dir() / "out").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {const_cast<char*>(TARNWICK_VALIDATE), const_cast<char*>(fifo.c_str()), nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, TARNWICK_VALIDATE, &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  {
    std::ofstream writer(fifo, std::ios::binary);  // waits for the tool to open its end
    writer << "2 3\n1 2 4\n\n2 1 4\n1 1 1\n";
  }
  int wstatus = 0;
  // A tool that opened the FIFO again would wait for a writer for ever.
  for (int tries = 0; waitpid(pid, &wstatus, WNOHANG) == 0; ++tries) {
    if (tries == 600) kill(pid, SIGKILL);
    usleep(100000);
  }
  ASSERT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), 0);
  EXPECT_EQ(replace_all(tarnwick_test::slurp(out), fifo, "F"),
            "F:4:1: warning: edge 2-1 given again, with the same weight 4 (before: line 2): the "
            "same edge twice\n"
            "F:5:1: warning: self-loop at vertex 1 (weight 1): it replaces the vertex's diagonal 0, "
            "which a path written from source 1 weighs on its first step\n"
            "F: 0 errors, 2 warnings; 2 vertices, 3 edges read\n");
}

// A file name with a line end is escaped: each finding stays on one line.
TEST(ValidateCli, EscapesTheFileName) {
  Scratch scratch;
  const std::string path = scratch.file("a\nb\tc", "2 1\n1 2 3\n4\n");
  Outcome o = run_program(TARNWICK_VALIDATE, {path}, scratch);
  const std::string shown = scratch.dir().string() + "/a\\nb\\tc";
  EXPECT_EQ(o.out, shown +
                       ":3:1: warning: 1 more number follows the 1 announced edge (0 whole edges "
                       "and 1 more): the judge never reads it; is the edge count right?\n" +
                       shown + ": 0 errors, 1 warning; 2 vertices, 1 edge read\n");
}

// Two edges 96 MB apart, the second repeating the first: validated under a
// 64 MB address-space limit, from a path, from a redirected standard input
// and from a pipe. Memory follows the graph, not the file.
TEST(ValidateResources, RepeatFarDownUnderAddressSpaceLimit) {
#ifdef TARNWICK_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  if (std::system("prlimit --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no prlimit";
  Scratch scratch;
  const std::string g =
      scratch.file("g", "2 2\n1 2 3" + std::string(96 << 20, ' ') + "\n2 1 4\n");
  const std::string limit = "--as=" + std::to_string(64L << 20);
  const std::string found =
      ":3:1: warning: edge 2-1 given again, with weight 4 (before: line 2): the later weight "
      "stands, not the smaller\n";
  Outcome path = run_program("/bin/sh", {"-c", "exec prlimit " + limit + " " +
                                                   TARNWICK_VALIDATE + " " + g},
                             scratch);
  EXPECT_EQ(path.out, g + found + g + ": 0 errors, 1 warning; 2 vertices, 2 edges read\n")
      << path.err;
  const std::string stdin_out =
      "<stdin>" + found + "<stdin>: 0 errors, 1 warning; 2 vertices, 2 edges read\n";
  Outcome in = run_program("/bin/sh", {"-c", "exec prlimit " + limit + " " +
                                                 TARNWICK_VALIDATE + " - < " + g},
                           scratch);
  EXPECT_EQ(in.out, stdin_out) << in.err;
  // A pipe is read once, never held whole.
  Outcome pipe = run_program("/bin/sh", {"-c", "cat " + g + " | prlimit " + limit + " " +
                                                   TARNWICK_VALIDATE + " -"},
                             scratch);
  EXPECT_EQ(pipe.out, stdin_out) << pipe.err;
}

// Three million copies of one edge through a pipe, under a 64 MB
// address-space limit: once the repeats shown are found, no edge is noted.
TEST(ValidateResources, PipeOfRepeatsUnderAddressSpaceLimit) {
#ifdef TARNWICK_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  if (std::system("prlimit --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no prlimit";
  Scratch scratch;
  Outcome o = run_program(
      "/bin/sh",
      {"-c", "{ echo 2 3000000; yes '1 2 3' | head -n 3000000; } | prlimit --as=" +
                 std::to_string(64L << 20) + " \"$0\" -",
       TARNWICK_VALIDATE},
      scratch);
  EXPECT_EQ(o.err, "");
  EXPECT_NE(o.out.find("<stdin>:12:1: warning: edge 1-2 given again, with the same weight 3 "
                       "(before: line 11): the same edge twice\n<stdin>: 0 errors, 2999999 "
                       "warnings; 2 vertices, 3000000 edges read (more not shown: repeated pairs "
                       "2999989)\n"),
            std::string::npos)
      << o.out;
}

// Only the first few findings of a kind are shown; the summary counts the rest.
TEST(Validate, ShowsTheFirstFewOfEachKind) {
  std::string text = "2 13\n";
  for (int i = 1; i <= 12; ++i) text += "1 1 " + std::to_string(i) + "\n";
  text += "1 2 1\n";
  GraphFile file;
  file.assign(text);
  Validation v;
  std::string err;
  ASSERT_TRUE(validate(file, {}, &v, &err));
  EXPECT_EQ(v.warnings, 23);
  EXPECT_EQ(v.findings.size(), 20u);
  const std::string out = validation_text("g", v);
  EXPECT_NE(out.find("g:11:1: warning: self-loop at vertex 1 (weight 10)"), std::string::npos);
  EXPECT_EQ(out.find("(weight 11)"), std::string::npos);
  EXPECT_NE(out.find("g: 0 errors, 23 warnings; 2 vertices, 13 edges read (more not shown: "
                     "repeated pairs 1, self-loops 2)\n"),
            std::string::npos);
}

// A complete graph of a few hundred vertices with one pair repeated at the
// very end: the repeat is found, naming the line of its first edge.
TEST(Validate, RepeatOnACompleteGraph) {
  const int n = 300;
  std::string text = std::to_string(n) + " " + std::to_string(n * (n - 1) / 2 + 1) + "\n";
  for (int u = 1; u <= n; ++u) {
    for (int v = u + 1; v <= n; ++v) text += std::to_string(u) + " " + std::to_string(v) + " 5\n";
  }
  text += "2 1 7\n";
  GraphFile file;
  file.assign(text);
  Validation v;
  std::string err;
  ASSERT_TRUE(validate(file, {}, &v, &err));
  EXPECT_EQ(validation_text("g", v), "g:44852:1: warning: edge 2-1 given again, with weight 7 (before: line 2): the "
                 "later weight stands, not the smaller\n"
                 "g: 0 errors, 1 warning; 300 vertices, 44851 edges read\n");
}

// Test inputs just under and just over the size from which the loader reads
// in ranges (1 MiB after the header), their source carried after the m-th
// edge: the source comes out right from the command line, from validate in
// process with tiny ranges on two threads, and from a case that reads in
// those ranges (validate's observer makes the loader read number by number).
TEST(ValidateCarriedSource, AtTheRangedReadingThreshold) {
  Scratch scratch;
  for (const char* m : {"79692", "79693"}) {
    const std::string gen = scratch.file("gen", "");
    Outcome made = run_program("/bin/sh", {"-c", std::string("\"$0\" 3000 ") + m +
                                                     " 1 1000 5 > \"$1\"; echo 17 >> \"$1\"",
                                           TARNWICK_GEN, gen},
                               scratch);
    ASSERT_EQ(made.status, 0) << made.err;
    const int64_t edge_bytes = static_cast<int64_t>(std::filesystem::file_size(gen)) -
                               static_cast<int64_t>(std::string("3000 ").size() + strlen(m));
    EXPECT_EQ(edge_bytes < (1 << 20), m == std::string("79692")) << edge_bytes;
    Outcome o = run_program("/bin/sh", {"-c", "exec \"$0\" --kattis < \"$1\"",
                                        TARNWICK_VALIDATE, gen},
                            scratch);
    EXPECT_EQ(o.status, 42) << o.out;
    EXPECT_NE(o.out.find(std::string(" vertices, ") + m + " edges read, source 17"),
              std::string::npos) << o.out;
    for (detail::LoadTuning tuning : {detail::LoadTuning{},
                                      detail::LoadTuning{detail::Storage::kByDensity, 2, 64, true}}) {
      GraphFile file;
      std::string err;
      ASSERT_TRUE(file.open(gen.c_str(), &err));
      ValidateOptions options;
      options.source = SourceGiven::carried();
      options.test_input = true;
      options.tuning = tuning;
      Validation v;
      ASSERT_TRUE(validate(file, options, &v, &err)) << err;
      EXPECT_EQ(v.errors, 0);
      EXPECT_EQ(v.carried, 17);
      GraphFile plain;
      ASSERT_TRUE(plain.open(gen.c_str(), &err));
      Case c;
      CaseOptions case_options;
      case_options.tuning = tuning;
      case_options.solve_if = [](const Graph&, int32_t) { return false; };
      ASSERT_TRUE(c.make(plain, "g", SourceGiven::carried(), case_options, &err)) << err;
      EXPECT_EQ(c.source(), 17);
    }
  }
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// The Kattis tools probe an input validator with a test input changed in each
// of these ways (problemtools, verifyproblem.py, _JUNK_MODIFICATIONS) and warn
// when it is accepted: --strict refuses every one, from a small input and
// from one read in ranges, while the inputs as written are valid.
TEST(ValidateCli, StrictRefusesWhatTheKattisToolsProbeWith) {
  Scratch scratch;
  const std::string gen = scratch.file("gen", "");
  Outcome made = run_program(
      "/bin/sh", {"-c", "\"$0\" 3000 79693 1 1000 5 > \"$1\"; echo 17 >> \"$1\"", TARNWICK_GEN, gen},
      scratch);
  ASSERT_EQ(made.status, 0) << made.err;
  std::string junk;
  for (int i = 0; i < 200; ++i) junk += static_cast<char>(' ' + (i * 37) % 95);
  const struct {
    const char* name;
    std::string (*change)(const std::string&, const std::string&);
  } changes[] = {
      {"as written", [](const std::string& t, const std::string&) { return t; }},
      {"spaces added where there already is whitespace",
       [](const std::string& t, const std::string&) {
         return std::regex_replace(t, std::regex("\\s"), "$& ");
       }},
      {"spaces added to the end of a line",
       [](const std::string& t, const std::string&) { return replace_all(t, "\n", "\n "); }},
      {"newlines added where there already are newlines",
       [](const std::string& t, const std::string&) { return replace_all(t, "\n", "\n\n"); }},
      {"leading zeros added to integers",
       [](const std::string& t, const std::string&) {
         return std::regex_replace(t, std::regex("(^|[^.]\\b)([0-9]+)\\b"), "$010000000000$2");
       }},
      {"random junk added to the end of the file",
       [](const std::string& t, const std::string& junk) { return t + junk; }},
  };
  for (const std::string& input : {std::string("3 3\n1 2 4\n2 3 1\n1 3 7\n1\n"), tarnwick_test::slurp(gen)}) {
    for (const auto& change : changes) {
      const std::string path = scratch.file("changed.in", change.change(input, junk));
      Outcome o = run_program("/bin/sh", {"-c", "exec \"$0\" --kattis --strict < \"$1\"",
                                          TARNWICK_VALIDATE, path},
                              scratch);
      EXPECT_EQ(o.status, &change == &changes[0] ? 42 : 43)
          << change.name << ", " << input.size() << " bytes\n" << o.out.substr(0, 2000);
    }
  }
}

}  // namespace
}  // namespace tarnwick
