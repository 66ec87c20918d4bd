// End-to-end figures for the judge, side by side with the plain pass.
//
// Generates its graphs with tarnwick-gen (deterministic seeds) and correct
// result files with tarnwick-solve into a scratch folder, then prints:
//   - load, solve and judge in this process, plain pass against the fast paths,
//     for n = 2000, m = 10^4 with non-negative and with negative weights;
//   - whole runs of the tarnwick binary (wall time, peak resident memory) on
//     sparse graphs of 10^3 and 10^4 vertices, and on a small one;
//   - the loader's throughput on a large graph file, and tarnwick-validate's;
//   - the checker's throughput on a result file of long lines;
//   - with --big, the exact pass on 10^4 vertices with negative weights.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "check/judge.h"
#include "graph/apsp.h"
#include "graph/input.h"

namespace tarnwick {
const ToolInfo kBenchTool = {
    "judge_bench", "Usage: judge_bench [--big]\n",
    "Time whole runs of the judge (wall time, peak memory), load-solve-judge against\n"
    "the plain pass, and the graph loader, on graphs made by tarnwick-gen; with\n"
    "--big, also a whole run on 10000 vertices with negative weights (minutes).\n"};

namespace {

// Writes the reference solver's result for `graph` from source 1 and returns its path,
// or a one-line result when the solver declines (negative weights).
std::string model_result(const std::string& graph) {
  std::string path = graph + ".result";
  if (spawn({TARNWICK_SOLVE, graph, "1"}, path).status != 0) std::ofstream(path) << "1\n";
  return path;
}

// Returns the fastest of `runs` whole runs of the judge binary on `graph`.
Child whole_run(const std::string& graph, int runs) {
  return fastest({TARNWICK_BINARY, graph, model_result(graph), "1"}, runs);
}

// Loads the graph file at `path` into *g, which must be fresh; dies when it cannot.
void load(const std::string& path, Graph* g) {
  LoadReport report;
  if (!input(path.c_str(), g, &report)) die(path + ": " + report.error);
}

// Returns the verdict on the result file at `path`; dies when it cannot be read.
Verdict judge_file(const std::string& path, const DirectWeights& Dist, const SourceRow& row) {
  InputFile file;
  std::string err;
  Verdict v;
  if (!file.open(path.c_str(), &err)) die(path + ": " + err);
  ByteReader in(file.fd());
  if (!judge(in, Dist, row, &v)) die(path + ": cannot be read");
  return v;
}

// Loads, solves and judges in this process; returns the seconds taken (the
// tables freed afterwards) and the verdict.
double judge_in_process(const std::string& graph, const std::string& result, bool plain,
                        std::string* verdict) {
  Graph g;
  return timed([&] {
    load(graph, &g);
    *verdict = verdict_words(judge_file(result, g.Dist, plain ? solve_plain(g, 1) : solve(g, 1)));
  });
}

void side_by_side(const char* label, const std::string& graph) {
  std::string result = model_result(graph), plain_verdict, fast_verdict;
  double plain = judge_in_process(graph, result, true, &plain_verdict);
  double fast = best_of(5, [&] { return judge_in_process(graph, result, false, &fast_verdict); });
  std::printf("%-34s plain %8.3f s   fast %8.4f s   %7.0fx   verdicts %s\n", label, plain, fast,
              plain / fast, plain_verdict == fast_verdict ? "agree" : "DIFFER");
}

void growth(const ScratchFolder& b) {
  Child s = whole_run(b.generate("g1k", "1000 5000 1 1000 11 connected"), 5);
  Child l = whole_run(b.generate("g10k", "10000 50000 1 1000 12 connected"), 5);
  Child t = whole_run(b.generate("g3", "3 3 1 9 13 connected"), 5);
  std::printf("%-34s %8.4f s   peak %6.1f MiB\n", "whole run, n=10^3 m=5*10^3", s.seconds,
              s.peak_mib());
  std::printf("%-34s %8.4f s   peak %6.1f MiB   (%.1fx the 10^3 run)\n",
              "whole run, n=10^4 m=5*10^4", l.seconds, l.peak_mib(), l.seconds / s.seconds);
  std::printf("%-34s %8.4f s   peak %6.1f MiB\n", "whole run, n=3", t.seconds, t.peak_mib());
}

// Prints how fast `seconds` for `mb` megabytes is.
void print_rate(const char* label, double seconds, double mb) {
  std::printf("%-34s %8.3f s for %.0f MB: %5.0f MB/s\n", label, seconds, mb, mb / seconds);
}

// Reads every number of the file at `path`, one at a time.
void parse_only(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  ByteReader in(fd);
  int64_t sum = 0;
  for (Number num; (num = read_number(in)).read == Read::kNumber;) sum += num.value;
  close(fd);
  if (sum == 42) std::puts("");  // keeps the loop from being optimised away
}

// Returns the seconds taken to load the graph file at `path` (the tables freed afterwards).
double load_only(const std::string& path) {
  Graph g;
  return timed([&] { load(path, &g); });
}

void reading(const ScratchFolder& b) {
  std::string big = b.generate("dense", "10000 20000000 0 1000000 14");
  double mb = megabytes(big), parse = 1e9, loading = 1e9;
  for (int i = 0; i < 3; ++i) {
    parse = std::min(parse, timed([&] { parse_only(big); }));
    loading = std::min(loading, load_only(big));
  }
  print_rate("reading numbers, n=10^4 m=2*10^7", parse, mb);
  print_rate("loading into tables, same file", loading, mb);
  print_rate("tarnwick-validate, same file", fastest({TARNWICK_VALIDATE, big}, 3).seconds, mb);
}

// Returns the right result for `graph` with " 0" written 1000 times after the
// end of every path: steps to and from id 0 weigh 0, so every line stays right
// while the checker reads 2000 more bytes a line.
std::string padded_result(const std::string& graph) {
  std::ifstream in(model_result(graph));
  std::string padded = graph + ".padded", pad, line;
  for (int i = 0; i < 1000; ++i) pad += " 0";
  std::ofstream out(padded);
  while (std::getline(in, line)) out << line << pad << '\n';
  return padded;
}

// The checker alone (loading and solving left out) on long result lines.
void checking(const ScratchFolder& b) {
  std::string graph = b.generate("check10k", "10000 50000 1 1000 16 connected");
  std::string result = padded_result(graph);
  Graph g;
  load(graph, &g);
  SourceRow row = solve(g, 1);
  double best = best_of(5, [&] {
    return timed([&] {
      if (judge_file(result, g.Dist, row).kind != Verdict::kSuccess) {
        die("the padded result is not judged right");
      }
    });
  });
  print_rate("checking lines of 1000 tokens", best, megabytes(result));
}

void big_negative(const ScratchFolder& b) {
  Child c = whole_run(b.generate("neg10k", "10000 50000 -5 1000 15 connected"), 1);
  std::printf("%-34s %8.3f s   peak %6.1f MiB\n", "whole run, n=10^4 negative", c.seconds,
              c.peak_mib());
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  const BenchOptions options = bench_args(argc, argv);
  ScratchFolder b("judge-bench");
  // Whole runs first, while this process is small: a spawned child's peak
  // memory counts what it shared with this process before it started the judge.
  growth(b);
  if (options.big) big_negative(b);
  side_by_side("n=2000 m=10^4, weights 1..1000",
               b.generate("pos2k", "2000 10000 1 1000 1 connected"));
  side_by_side("n=2000 m=10^4, weights -5..1000",
               b.generate("neg2k", "2000 10000 -5 1000 2 connected"));
  reading(b);
  checking(b);
  return 0;
}
