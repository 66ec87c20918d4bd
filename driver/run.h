// The command line and the order of a run's phases.
#ifndef TARNWICK_DRIVER_RUN_H_
#define TARNWICK_DRIVER_RUN_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "graph/tables.h"

namespace tarnwick {

// The usage line, printed on standard output for a wrong argument count.
inline constexpr char kUsage[] =
    "Usage: ./tarnwick input_graph your_output_result source_vertex_id\n";

// Exit statuses.
inline constexpr int kJudged = 0;       // a verdict was printed, whatever it says
inline constexpr int kUsageError = 1;   // wrong number of arguments
inline constexpr int kCannotJudge = 2;  // an input cannot be read or does not fit

// Returns text with every control character written as an escape (\n, \t,
// \x01, \x7f), so that a message naming it stays on one line.
std::string printable(std::string_view text);

// Reads a source vertex id the way atoi does (leading whitespace, an optional
// sign, the digits up to the first other character; 0 when there is none) into
// *source. Returns false with *err set when the id is outside 0..V-1.
bool parse_source(const char* text, int32_t* source, std::string* err);

// Returns the warning a judgement from `source` earns when it is not a vertex
// of g ("source 0 is not a vertex of the graph (1..3): lines are compared with
// its direct weights"), or "" when it is one.
std::string source_warning(const Graph& g, int32_t source);

// Runs the judge on argv: load the graph, take the source, solve, judge, print
// the verdict. Returns the exit status; messages go to standard output and error.
int run(int argc, const char* const* argv);

}  // namespace tarnwick

#endif  // TARNWICK_DRIVER_RUN_H_
