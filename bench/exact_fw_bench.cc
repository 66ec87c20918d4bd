// Times the plain pass (block_FW) against exact_FW_row on graphs with negative edges.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

#include "bench/bench_support.h"
#include "graph/apsp.h"
#include "graph/exact_fw.h"
#include "graph/matrix.h"
#include "graph/tables.h"

namespace tarnwick {
const ToolInfo kBenchTool = {
    "exact_fw_bench", "Usage: exact_fw_bench [--big]\n",
    "Time the plain all-pairs pass against the exact pass for one row, on a graph\n"
    "of 2000 vertices with negative edges; with --big, also the exact pass alone\n"
    "on 10000 vertices (seconds to minutes).\n"};

namespace {

// A matrix as loaded from a graph of n vertices and m random edges of weight
// in [-100, 1000], stored both ways; the same for the same arguments.
Matrix negative_graph(int32_t n, int32_t m, uint32_t seed) {
  Matrix A(n);
  for (int32_t i = 1; i <= n; ++i) {
    for (int32_t j = 1; j <= n; ++j) A.at(i, j) = i == j ? 0 : INF;
  }
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> vertex(1, n), weight(-100, 1000);
  for (int32_t e = 0; e < m; ++e) {
    int32_t u = vertex(rng), v = vertex(rng), w = weight(rng);
    A.at(u, v) = w;
    A.at(v, u) = w;
  }
  return A;
}

// Wall-clock and CPU seconds (all threads) of one run. On a shared machine the
// CPU time tells more about the code than the wall clock does.
struct Timing {
  double wall = 1e300, cpu = 1e300;
};

template <typename F>
Timing measure(F f) {
  std::clock_t cpu_start = std::clock();
  double wall = timed(f);
  return {wall, static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC};
}

// Returns the best of `runs` timings of exact_FW_row from `source`, each on a
// fresh negative_graph(n, m, seed); the last table it worked on in *last when given.
Timing time_exact(int32_t n, int32_t m, uint32_t seed, int32_t source, int runs,
                  Matrix* last = nullptr) {
  Timing best;
  for (int r = 0; r < runs; ++r) {
    Matrix B = negative_graph(n, m, seed);
    Timing t = measure([&] { exact_FW_row(B, source); });
    best = {std::min(best.wall, t.wall), std::min(best.cpu, t.cpu)};
    if (last != nullptr && r + 1 == runs) *last = std::move(B);
  }
  return best;
}

void compare_at_2000() {
  const int32_t n = 2000, source = 777;
  Matrix plain = negative_graph(n, 10000, 1), exact(0);
  Timing t_plain = measure([&] { block_FW(plain); });
  Timing t_exact = time_exact(n, 10000, 1, source, 5, &exact);
  bool same = std::equal(plain.row(source), plain.row(source) + n + 1, exact.row(source));
  std::printf("n=%d m=10000 negative edges, source %d (avx512: %s)\n", n, source,
              detail::exact_FW_has_avx512() ? "yes" : "no");
  std::printf("  block_FW      wall %8.3f s  cpu %8.3f s\n", t_plain.wall, t_plain.cpu);
  std::printf("  exact_FW_row  wall %8.3f s  cpu %8.3f s  (best of 5)\n", t_exact.wall,
              t_exact.cpu);
  std::printf("  wall-clock ratio %.0fx, row %s\n", t_plain.wall / t_exact.wall,
              same ? "identical" : "DIFFERS");
}

void big() {
  const int32_t n = 10000;
  Timing t = time_exact(n, 50000, 2, 4321, 1);
  std::printf("n=%d m=50000 negative edges\n  exact_FW_row  wall %8.3f s  cpu %8.3f s\n", n, t.wall,
              t.cpu);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  const tarnwick::BenchOptions options = tarnwick::bench_args(argc, argv);
  tarnwick::compare_at_2000();
  if (options.big) tarnwick::big();
  return 0;
}
