// The model answer of a test: the result file that tarnwick-solve writes and
// tarnwick-testset keeps as NAME.ans, for the cases whose paths a search can
// trace.
#ifndef TARNWICK_GEN_ANSWER_H_
#define TARNWICK_GEN_ANSWER_H_

#include <cstdint>
#include <string>

#include "check/case.h"
#include "cli/out_buffer.h"
#include "graph/tables.h"

namespace tarnwick {

// Why a case whose source is a vertex has no model answer: the search cannot
// stand in for the pass, whose distances then depend on its loop order.
inline constexpr char kNoAnswerWeights[] =
    "a weight among vertices 1..n is negative or above 2^30-1";

// Returns true when `source` is a vertex of g and every weight among its
// vertices lies in 0..2^30-1: a case that CaseOptions::solve_if lets solve
// then has the parents that write_answer needs.
bool answerable(const Graph& g, int32_t source);

// Returns "" when `judging` has its model answer (answerable() let it solve),
// else why tarnwick-solve writes none, naming the graph as `graph_name`.
std::string no_answer_reason(const Case& judging, const std::string& graph_name);

// Writes the model answer of `judging`, which answerable() let solve: line k
// is a shortest path from the source to vertex k with the source left out.
// Requires judging.parents() not empty.
void write_answer(const Case& judging, OutBuffer& out);

}  // namespace tarnwick

#endif  // TARNWICK_GEN_ANSWER_H_
