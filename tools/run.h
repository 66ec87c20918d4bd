// The judge's command line and the order of a run's phases.
#ifndef TARNWICK_TOOLS_RUN_H_
#define TARNWICK_TOOLS_RUN_H_

namespace tarnwick {

// The usage line, printed on standard output for a wrong argument count.
inline constexpr char kUsage[] =
    "Usage: ./tarnwick input_graph your_output_result source_vertex_id\n";

// Runs the judge on argv: load the graph, take the source, solve, judge, print
// the verdict. Returns the exit status (cli/tool.h); messages go to standard
// output and error.
int run(int argc, const char* const* argv);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_RUN_H_
