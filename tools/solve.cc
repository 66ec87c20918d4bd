// tarnwick-solve: writes a result file that the judge accepts, for graphs
// whose weights are small enough that the distances do not depend on the
// order of the all-pairs loops.
//
//   tarnwick-solve input_graph [source_vertex_id]
//
// Line k of the output is a shortest path from the source to vertex k, the
// source itself left out: the judge starts weighing at the source, and
// writing it first would add its diagonal entry, which a self-loop makes
// non-zero. Line `source` is "source" alone when the diagonal is the
// shortest way back, or "v source" when going out to v and back is cheaper.
// Without a source argument, the source is the number after the m-th edge
// (a test input's layout).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "check/case.h"
#include "cli/out_buffer.h"
#include "cli/tool.h"
#include "graph/fast_row.h"
#include "graph/graph_file.h"
#include "graph/reader.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kTool = {
    "tarnwick-solve",
    "Usage: tarnwick-solve input_graph [source_vertex_id]\n",
    "Write to standard output a result file that the tarnwick judge accepts: line k\n"
    "holds a shortest path from the source to vertex k, for every vertex k of the graph.\n"
    "Only graphs whose weights among vertices 1..n lie in 0..2^30-1 are solved.\n"
    "\n"
    "  input_graph        a graph file, read the way the judge reads it\n"
    "  source_vertex_id   a vertex of the graph, 1 to n; without it, the number\n"
    "                     after the m-th edge of input_graph (a test input)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"};

// Writes the n path lines, each without the source in front. Returns the
// exit status.
int write_paths(const std::vector<int32_t>& parent, int32_t source, int32_t n) {
  OutBuffer out(stdout);
  for (int32_t k = 1; k <= n; ++k) {
    std::vector<int32_t> path = path_from_parents(parent, source, k);
    for (size_t i = 1; i < path.size(); ++i) {
      if (i != 1) out.put(' ');
      out.number(path[i]);
    }
    out.put('\n');
  }
  int error_number = 0;
  if (out.finish(&error_number)) return kExitOk;
  return cannot(kTool, "standard output: " + reason(error_number));
}

int solve_main(int argc, char** argv) {
  int answered = answer_help_or_version(kTool, argc, argv);
  if (answered >= 0) return answered;
  if (argc != 2 && argc != 3) return wrong_use(kTool);
  // A graph file whose name starts with "--" is given as ./--name.
  if (std::string_view(argv[1]).starts_with("--")) {
    return wrong_use(kTool, "unknown option '" + std::string(argv[1]) + "'");
  }
  const SourceGiven source = argc == 3 ? SourceGiven::argument(argv[2]) : SourceGiven::carried();
  GraphFile file;
  Case c;
  std::string why;
  const bool made = c.make(argv[1], file, source, {}, &why);
  if (c.fault() != Case::Fault::kGraph && !c.report().warning.empty()) {
    cannot(kTool, std::string(argv[1]) + ": warning: " + c.report().warning);
  }
  if (!made) return cannot(kTool, why);
  if (std::string w = not_a_vertex(c.graph(), c.source()); !w.empty()) {
    return cannot(kTool, w + ": no path file is written");
  }
  if (c.parents().empty()) {
    return cannot(kTool, std::string(argv[1]) +
                             ": a weight among vertices 1..n is negative or above 2^30-1; the "
                             "distances of such graphs depend on the loop order, so no path "
                             "file is written");
  }
  return write_paths(c.parents(), c.source(), c.graph().n);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::solve_main, argc, argv);
}
