// The model answer: each vertex's path traced back through the search's
// parents. The source is left out of every line: the judge starts weighing
// at the source, and writing it first would add its diagonal entry, which a
// self-loop makes non-zero. Line `source` is "source" alone when the
// diagonal is the shortest way back, or "v source" when going out to v and
// back is cheaper.
#include "gen/answer.h"

#include <vector>

#include "graph/apsp.h"
#include "graph/fast_row.h"

namespace tarnwick {

bool answerable(const Graph& g, int32_t source) {
  return row_is_solved(g, source) && weights_are_small(g);
}

std::string no_answer_reason(const Case& judging, const std::string& graph_name) {
  if (std::string w = not_a_vertex(judging.graph(), judging.source()); !w.empty()) {
    return w + ": no path file is written";
  }
  if (!judging.parents().empty()) return "";
  return graph_name + ": " + kNoAnswerWeights +
         "; the distances of such graphs depend on the loop order, so no path file is written";
}

void write_answer(const Case& judging, OutBuffer& out) {
  const std::vector<int32_t>& parent = judging.parents();
  for (int32_t k = 1; k <= judging.graph().n; ++k) {
    std::vector<int32_t> path = path_from_parents(parent, judging.source(), k);
    for (size_t i = 1; i < path.size(); ++i) {
      if (i != 1) out.put(' ');
      out.number(path[i]);
    }
    out.put('\n');
  }
}

}  // namespace tarnwick
