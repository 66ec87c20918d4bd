// tarnwick-solve: writes a result file that the judge accepts, for graphs
// whose weights are small enough that the distances do not depend on the
// order of the all-pairs loops.
//
//   tarnwick-solve input_graph source_vertex_id
//
// Line k of the output is a shortest path from the source to vertex k, the
// source itself left out: the judge starts weighing at the source, and
// writing it first would add its diagonal entry, which a self-loop makes
// non-zero. Line `source` is "source" alone when the diagonal is the
// shortest way back, or "v source" when going out to v and back is cheaper.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.h"
#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/input.h"
#include "graph/reader.h"
#include "graph/tables.h"
#include "tools/cli.h"
#include "tools/out_buffer.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kTool = {
    "tarnwick-solve",
    "Usage: tarnwick-solve input_graph source_vertex_id\n",
    "Write to standard output a result file that the tarnwick judge accepts: line k\n"
    "holds a shortest path from the source to vertex k, for every vertex k of the graph.\n"
    "Only graphs whose weights among vertices 1..n lie in 0..2^30-1 are solved.\n"
    "\n"
    "  input_graph        a graph file, read the way the judge reads it\n"
    "  source_vertex_id   a vertex of the graph, 1 to n\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"};

// Prints "tarnwick-solve: message" on standard error, on one line.
void complain(const std::string& message) { cannot(kTool, message); }

// Loads the graph at path into *g. Returns false after printing why when the
// judge could not judge it either; a warning is printed and loading goes on.
bool load(const char* path, Graph* g) {
  LoadReport report;
  bool loaded = input(path, g, &report);
  if (!report.warning.empty()) complain(std::string(path) + ": warning: " + report.warning);
  if (!loaded) complain(std::string(path) + ": " + report.error);
  return loaded;
}

// Reads the source the way the judge does into *source. Returns false after
// printing why when it is not a vertex of g.
bool take_source(const Graph& g, const char* text, int32_t* source) {
  std::string err;
  if (parse_source(text, source, &err) && row_is_solved(g, *source)) return true;
  complain("source vertex id '" + std::string(text) + "' is not a vertex of the graph (1.." +
           std::to_string(g.n) + ")");
  return false;
}

// Appends the vertices after the source on the path to k, in order, to
// *path (cleared first), following parents as fast_source_row sets them.
void path_to(const std::vector<int32_t>& parent, int32_t source, int32_t k,
             std::vector<int32_t>* path) {
  path->clear();
  if (k == source) {
    if (parent[source] != source) path->push_back(parent[source]);
    path->push_back(source);
    return;
  }
  for (int32_t v = k; v != source; v = parent[v]) path->push_back(v);
  std::reverse(path->begin(), path->end());
}

// Writes the n path lines. Returns false after printing why when output fails.
bool write_paths(const std::vector<int32_t>& parent, int32_t source, int32_t n) {
  OutBuffer out(stdout);
  std::vector<int32_t> path;
  for (int32_t k = 1; k <= n; ++k) {
    path_to(parent, source, k, &path);
    for (size_t i = 0; i < path.size(); ++i) {
      if (i != 0) out.put(' ');
      out.number(path[i]);
    }
    out.put('\n');
  }
  int error_number = 0;
  if (out.finish(&error_number)) return true;
  complain("standard output: " + reason(error_number));
  return false;
}

int solve_main(int argc, char** argv) {
  int answered = answer_help_or_version(kTool, argc, argv);
  if (answered >= 0) return answered;
  if (argc != 3) return wrong_use(kTool);
  Graph g;
  int32_t source = 0;
  if (!load(argv[1], &g) || !take_source(g, argv[2], &source)) return kToolCannot;
  if (!weights_are_small(g)) {
    return cannot(kTool, std::string(argv[1]) +
                             ": a weight among vertices 1..n is negative or above 2^30-1; the "
                             "distances of such graphs depend on the loop order, so no path "
                             "file is written");
  }
  std::vector<int32_t> parent;
  fast_source_row(g, source, &parent);
  return write_paths(parent, source, g.n) ? kToolOk : kToolCannot;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) { return tarnwick::solve_main(argc, argv); }
