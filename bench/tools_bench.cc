// The instructor tools at the judge's speed, measured side by side in one
// run on the same files, runs alternated, best of N:
//   - tarnwick-validate against the judge on a graph file;
//   - tarnwick-checker --kattis on a wrong team output (explained, with the
//     graph lines of its steps) against an accepted one;
//   - tarnwick-solve refusing a graph with negative weights against the judge
//     loading it from a source that is not a vertex (no pass at all).
//
// The graph is the 52 MB one (tarnwick-gen 3000 4000000 1 1000 7), and with
// --big also the 684 MB complete graph (10000 49995000 1 1000 7); files are
// written into a scratch folder under $TMPDIR and removed as it goes.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "graph/cpus.h"

namespace tarnwick {
const ToolInfo kBenchTool = {
    "tools_bench", "Usage: tools_bench [--big] [--runs N]\n",
    "Times tarnwick-validate, tarnwick-checker --kattis and tarnwick-solve against\n"
    "the judge on the same files, alternated, best of N runs (3).\n"};

namespace {

// Returns the processor's model name, as /proc/cpuinfo gives it.
std::string cpu_model() {
  const std::string info = slurp("/proc/cpuinfo");
  const size_t at = info.find("model name");
  if (at == std::string::npos) return "unknown";
  const size_t colon = info.find(':', at) + 2;
  return info.substr(colon, info.find('\n', colon) - colon);
}

// A command as named in the figures, the exit status expected of it, and the
// file it reads on standard input.
struct Command {
  const char* name;
  std::vector<std::string> args;
  int status = 0;
  std::string in = "/dev/null";
};

// Times two commands alternately, best of `runs` each, and prints `what`, both
// times and their ratio; dies when one ends with another status than expected.
void side_by_side(const char* what, const Command& a, const Command& b, int runs) {
  Child best[2];
  for (int i = 0; i < runs; ++i) {
    for (int which = 0; which < 2; ++which) {
      const Command& command = which == 0 ? a : b;
      std::vector<std::string> shell = {"/bin/sh", "-c", "exec \"$0\" \"$@\" < " + command.in};
      shell.insert(shell.end(), command.args.begin(), command.args.end());
      Child c = spawn(shell);
      if (c.status != command.status) die(command.args[0] + " ended otherwise");
      if (c.seconds < best[which].seconds) best[which] = c;
    }
  }
  std::printf("%-44s %s %7.3f s | %s %7.3f s | %.2fx\n", what, a.name, best[0].seconds, b.name,
              best[1].seconds, best[0].seconds / best[1].seconds);
}

// Measures the tools on the graph tarnwick-gen writes for gen_args.
void on_graph(const ScratchFolder& dir, const char* label, const std::string& gen_args, int runs) {
  const std::string input = dir.generate("t.in", gen_args + " --source 1");
  const std::string ans = dir.run(TARNWICK_SOLVE, "t.ans", {input});
  std::string wrong_line = "";
  for (int v = 3; v <= 102; ++v) wrong_line += std::to_string(v) + " ";
  const std::string wrong = dir.write("wrong", "1\n" + wrong_line + "2\n");
  std::printf("%s (%.0f MB)\n", label, megabytes(input));
  side_by_side("  validate / judge", {"validate", {TARNWICK_VALIDATE, "--carried-source", input}},
               {"judge", {TARNWICK_BINARY, input, ans, "1"}}, runs);
  const std::vector<std::string> checker = {TARNWICK_CHECKER, "--kattis", input, ans, dir.path("")};
  side_by_side("  checker --kattis: wrong / accepted", {"wrong", checker, 43, wrong},
               {"accepted", checker, 42, ans}, runs);
  std::filesystem::remove(input);
  std::filesystem::remove(ans);
}

// Measures tarnwick-solve's refusal of a graph with negative weights.
void refusal(const ScratchFolder& dir, int runs) {
  const std::string graph = dir.generate("negative", "4000 20000 -5 1000 7");
  const std::string result = dir.write("result", "1\n");
  std::printf("negative weights, n = 4000 (%.1f MB)\n", megabytes(graph));
  side_by_side("  solve's refusal / judge from source 0",
               {"solve", {TARNWICK_SOLVE, graph, "1"}, 2},
               {"judge", {TARNWICK_BINARY, graph, result, "0"}}, runs);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  const BenchOptions o = bench_args(argc, argv);
  std::printf("CPU: %s, %d usable\n", cpu_model().c_str(), usable_cpus());
  const ScratchFolder dir("tools-bench");
  on_graph(dir, "n = 3000, m = 4*10^6", "3000 4000000 1 1000 7", o.runs);
  if (o.big) on_graph(dir, "complete, n = 10^4", "10000 49995000 1 1000 7", o.runs);
  refusal(dir, o.runs);
  return 0;
}
