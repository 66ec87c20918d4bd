// Big graph files end to end, this build against another build of the judge
// (say, an older one), side by side in one run; and the reading of numbers
// and the exact pass on one thread against all.
//
// Generates its graphs with tarnwick-gen into a scratch folder under $TMPDIR
// (at most about 0.9 GB at a time, removed as it goes) and prints, best of N
// runs (default 3) since the machine may be shared:
//   - whole runs on each file: wall time, MB/s, peak resident memory, for this
//     judge on all usable CPUs, on one (TARNWICK_THREADS=1), and the baseline;
//   - the numbers of a file read in ranges alone, on one thread and on all;
//   - with --big, the 684 MB complete graph and the exact pass (n = 10^4,
//     negative weights) on one thread and on all;
//   - the loader alone, in this process, on one thread and on all.
// --plot FILE writes "MB tarnwick-seconds baseline-seconds" lines for bench/plot.sh.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "graph/cpus.h"
#include "graph/input.h"

namespace tarnwick {
const ToolInfo kBenchTool = {
    "load_bench", "Usage: load_bench [--big] [--baseline PATH] [--runs N] [--plot FILE]\n",
    "Time whole runs of the judge on big graph files made by tarnwick-gen, on every\n"
    "usable CPU and on one, against the judge at PATH (another build) side by side;\n"
    "the reading of numbers and the loader alone; with --big, also the 684 MB\n"
    "complete graph and the exact pass on 10000 vertices (minutes, about 0.9 GB of\n"
    "scratch files under $TMPDIR). Each figure is the best of N runs (default 3).\n"};

namespace {

class Bench {
 public:
  // The result file given to every run: its verdict does not matter, only the run.
  explicit Bench(const BenchOptions& o)
      : o_(o), dir_("load-bench"), result_(dir_.write("result", "1\n")) {}

  // Writes the graph tarnwick-gen writes for gen_args and returns its path.
  std::string graph(const std::string& name, const std::string& gen_args) {
    return dir_.generate(name, gen_args);
  }

  // Returns the best of the runs of `judge` on `graph`.
  Child best(const std::string& judge, const std::string& graph, const char* threads) {
    return fastest({judge, graph, result_, "1"}, o_.runs, threads);
  }

  // Prints whole runs on `graph` (then removes it): all CPUs, one, the baseline.
  void whole_runs(const char* label, const std::string& graph) {
    double mb = megabytes(graph), base = 0;
    Child all = best(TARNWICK_BINARY, graph, ""), one = best(TARNWICK_BINARY, graph, "1");
    std::printf("%-30s %7.1f MB  all CPUs %7.3f s %6.0f MB/s %6.1f MiB | 1 CPU %7.3f s (%.2fx)",
                label, mb, all.seconds, mb / all.seconds, all.peak_mib(), one.seconds,
                one.seconds / all.seconds);
    if (!o_.baseline.empty()) {
      Child b = best(o_.baseline, graph, "");
      base = b.seconds;
      std::printf(" | baseline %7.3f s %6.1f MiB: %.1fx faster", b.seconds, b.peak_mib(),
                  b.seconds / all.seconds);
    }
    std::printf("\n");
    std::fflush(stdout);
    if (o_.plot != nullptr) std::fprintf(o_.plot, "%.1f %.4f %.4f\n", mb, all.seconds, base);
    std::filesystem::remove(graph);
  }

  // Returns the best seconds that timed(tuning) returns with one thread and
  // with all usable CPUs.
  template <typename Timed>
  std::array<double, 2> one_and_all(Timed timed) {
    std::array<double, 2> seconds = {1e9, 1e9};
    for (int i = 0; i < o_.runs; ++i) {
      for (int k = 0; k < 2; ++k) {
        const detail::LoadTuning tuning{.threads = k == 0 ? 1 : usable_cpus()};
        seconds[k] = std::min(seconds[k], timed(tuning));
      }
    }
    return seconds;
  }

  // Prints how fast the numbers of `graph` are read in ranges, on one thread and on all.
  void numbers_alone(const std::string& graph) {
    int fd = open(graph.c_str(), O_RDONLY);
    ByteReader in(fd);
    double mb = megabytes(graph);
    std::array<double, 2> seconds = one_and_all([&](const detail::LoadTuning& tuning) {
      int64_t sum = 0;
      double seconds = timed([&] { detail::read_numbers_in_ranges(in, tuning, &sum); });
      return seconds + (sum == 42 ? 1e-9 : 0);
    });
    close(fd);
    std::printf("%-30s %7.1f MB  1 CPU %6.0f MB/s | %d CPUs %6.0f MB/s (%.2fx)\n",
                "reading numbers alone", mb, mb / seconds[0], usable_cpus(), mb / seconds[1],
                seconds[0] / seconds[1]);
  }

  // Prints how long loading `graph` takes in this process, on one thread and on all.
  void loader_alone(const char* label, const std::string& graph) {
    std::array<double, 2> seconds = one_and_all([&](const detail::LoadTuning& tuning) {
      InputFile file;
      std::string err;
      if (!file.open(graph.c_str(), &err)) die(graph + ": " + err);
      ByteReader in(file.fd());
      Graph g;
      LoadReport report;
      return timed([&] {
        if (!detail::input_tuned(in, &g, &report, tuning)) die(graph + ": " + report.error);
      });
    });
    std::printf("%-30s loader alone: 1 CPU %7.3f s | %d CPUs %7.3f s (%.2fx)\n", label, seconds[0],
                usable_cpus(), seconds[1], seconds[0] / seconds[1]);
  }

  // Prints whole runs with negative weights (the exact pass) on one thread and on all.
  void exact_pass(const char* label, const std::string& graph) {
    Child all = best(TARNWICK_BINARY, graph, ""), one = best(TARNWICK_BINARY, graph, "1");
    std::printf("%-30s all CPUs %7.3f s %6.1f MiB | 1 CPU %7.3f s (%.2fx)\n", label, all.seconds,
                all.peak_mib(), one.seconds, one.seconds / all.seconds);
    std::filesystem::remove(graph);
  }

 private:
  BenchOptions o_;
  ScratchFolder dir_;
  std::string result_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  const BenchOptions options = bench_args(argc, argv);
  Bench b(options);
  b.whole_runs("n=3", b.graph("tiny", "3 3 1 9 13 connected"));
  b.whole_runs("sparse n=10^4 m=5*10^4", b.graph("sparse", "10000 50000 1 1000 12 connected"));
  b.whole_runs("n=3000 m=4*10^6", b.graph("g52", "3000 4000000 1 1000 5"));
  std::string repeated = b.graph("repeated", "2000 10000000 1 1000 9");
  b.numbers_alone(repeated);
  b.whole_runs("repeated n=2000 m=10^7", repeated);
  b.whole_runs("n=10^4 m=2*10^7", b.graph("half", "10000 20000000 1 1000 14"));
  if (options.big) {
    b.whole_runs("complete n=10^4", b.graph("complete", "10000 49995000 1 1000 7"));
    b.exact_pass("n=10^4 negative (exact pass)",
                 b.graph("neg10k", "10000 50000 -5 1000 15 connected"));
  }
  b.exact_pass("n=3000 negative (exact pass)",
               b.graph("neg3k", "3000 20000 -5 1000 16 connected"));
  // Last: loading in this process makes it large, and a spawned child's peak
  // memory would count what it shared with it.
  std::string again = b.graph("repeated", "2000 10000000 1 1000 9");
  b.loader_alone("repeated n=2000 m=10^7", again);
  std::filesystem::remove(again);
  if (options.plot != nullptr) std::fclose(options.plot);
  return 0;
}
