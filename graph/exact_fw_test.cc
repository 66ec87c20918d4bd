// The exact pass against the plain triple loop, bit for bit.
#include "graph/exact_fw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "graph/apsp.h"
#include "graph/tables.h"

namespace tarnwick {
namespace {

using detail::ExactFWTuning;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Ways to draw one weight; each stresses a different part of the arithmetic.
enum class Regime { kSmall, kZeroOne, kNearInf, kHuge, kNegative, kExtreme, kAnything };
constexpr Regime kRegimes[] = {Regime::kSmall,    Regime::kZeroOne, Regime::kNearInf,
                               Regime::kHuge,     Regime::kNegative, Regime::kExtreme,
                               Regime::kAnything};

int32_t draw(std::mt19937& rng, Regime regime) {
  auto in = [&](int64_t lo, int64_t hi) {
    return static_cast<int32_t>(std::uniform_int_distribution<int64_t>(lo, hi)(rng));
  };
  static constexpr int32_t kEdges[] = {kMin, kMin + 1, -INF, -1, 0, 1, INF, kMax - 1, kMax};
  switch (regime) {
    case Regime::kSmall: return in(0, 100);
    case Regime::kZeroOne: return in(0, 1);
    case Regime::kNearInf: return in(INF - 5, INF + 5);
    case Regime::kHuge: return in(1 << 30, kMax);
    case Regime::kNegative: return in(-100, 1000);
    case Regime::kExtreme: return kEdges[in(0, std::size(kEdges) - 1)];
    case Regime::kAnything: return in(kMin, kMax);
  }
  return 0;
}

// Marks row 0, column 0 and the padding, which the pass must leave alone.
constexpr int32_t kUnused = 0x5a5a5a5a;

// A matrix as loaded from a graph: 0 on the diagonal, INF elsewhere, then
// m edges (self-loops included) stored both ways.
Matrix loaded_graph(std::mt19937& rng, int32_t n, int32_t m, Regime regime) {
  Matrix A(n);
  for (int32_t i = 0; i <= n; ++i) {
    for (size_t j = 0; j < A.stride(); ++j) {
      bool used = i >= 1 && j >= 1 && j <= static_cast<size_t>(n);
      A.row(i)[j] = !used ? kUnused : static_cast<size_t>(i) == j ? 0 : INF;
    }
  }
  std::uniform_int_distribution<int32_t> vertex(1, n);
  for (int32_t e = 0; e < m; ++e) {
    int32_t u = vertex(rng), v = vertex(rng), w = draw(rng, regime);
    A.at(u, v) = w;
    A.at(v, u) = w;
  }
  return A;
}

// A matrix with every entry of 1..n drawn, the diagonal included; not symmetric.
Matrix random_matrix(std::mt19937& rng, int32_t n, Regime regime) {
  Matrix A = loaded_graph(rng, n, 0, regime);
  for (int32_t i = 1; i <= n; ++i) {
    for (int32_t j = 1; j <= n; ++j) A.at(i, j) = draw(rng, regime);
  }
  return A;
}

Matrix copy_of(const Matrix& A) {
  Matrix B(A.n());
  std::memcpy(B.row(0), A.row(0), A.stride() * (A.n() + 1) * sizeof(int32_t));
  return B;
}

std::vector<int32_t> row_of(const Matrix& A, int32_t i) {
  return std::vector<int32_t>(A.row(i), A.row(i) + A.n() + 1);
}

// Expects exact_FW_row, with `tuning`, to leave in row `source` what block_FW
// left in `solved`, and to leave row 0, column 0 and the padding alone.
void expect_row_matches(const Matrix& loaded, const Matrix& solved, int32_t source,
                        const ExactFWTuning& tuning, const std::string& what) {
  Matrix A = copy_of(loaded);
  detail::exact_FW_row_tuned(A, source, tuning);
  ASSERT_EQ(row_of(A, source), row_of(solved, source)) << what << " source " << source;
  for (int32_t i = 0; i <= A.n(); ++i) {
    ASSERT_EQ(A.at(0, i), kUnused) << what;
    ASSERT_EQ(A.at(i, 0), kUnused) << what;
    for (size_t j = A.n() + 1; j < A.stride(); ++j) ASSERT_EQ(A.row(i)[j], kUnused) << what;
  }
}

// Every way of running the pass with one kind of kernel that the tests
// compare with block_FW: the portable kernels, or the AVX-512 ones.
std::vector<ExactFWTuning> tunings(bool portable) {
  std::vector<ExactFWTuning> all;
  for (int32_t block : {16, 48, 0}) all.push_back({block, block == 48 ? 2 : 1, portable});
  return all;
}

std::string describe(const ExactFWTuning& t, int32_t n, Regime regime, bool graph) {
  return "n=" + std::to_string(n) + " regime=" + std::to_string(static_cast<int>(regime)) +
         (graph ? " graph" : " dense") + " block=" + std::to_string(t.block) +
         " threads=" + std::to_string(t.threads) + (t.portable ? " portable" : " avx512");
}

// Where the CPU cannot run the AVX-512 kernels the pass quietly runs the
// portable ones: a test that asks for AVX-512 would cover nothing new.
#define SKIP_WITHOUT_AVX512()                   \
  if (!detail::exact_FW_has_avx512()) GTEST_SKIP() \
      << "this CPU has no AVX-512: its kernels are not tested here"

// Hundreds of small matrices, every source, every regime, every tuning of
// one kind of kernel.
void expect_small_matrices_match(bool portable) {
  std::mt19937 rng(portable ? 20240611 : 20240612);
  const std::vector<ExactFWTuning> all = tunings(portable);
  int32_t checked = 0;
  for (int32_t round = 0; round < 6; ++round) {
    for (int32_t n : {1, 2, 3, 5, 15, 16, 17, 31, 33, 47, 64}) {
      for (Regime regime : kRegimes) {
        for (bool graph : {true, false}) {
          Matrix loaded = graph ? loaded_graph(rng, n, 2 * n, regime) : random_matrix(rng, n, regime);
          Matrix solved = copy_of(loaded);
          block_FW(solved);
          const ExactFWTuning& t = all[checked++ % all.size()];
          for (int32_t s = 1; s <= n; ++s) expect_row_matches(loaded, solved, s, t, describe(t, n, regime, graph));
        }
      }
    }
  }
  EXPECT_GT(checked, 900);
}

TEST(ExactFWRow, PortableKernelsMatchPlainPassOnSmallMatrices) {
  expect_small_matrices_match(true);
}

TEST(ExactFWRow, Avx512KernelsMatchPlainPassOnSmallMatrices) {
  SKIP_WITHOUT_AVX512();
  expect_small_matrices_match(false);
}

// Larger graphs shaped like the real ones: sparse, negative edges, so values
// plunge and wrap around many times. Solved by the plain pass once.
struct LargerGraph {
  int32_t n;
  Regime regime;
  Matrix loaded, solved;
};

const std::vector<LargerGraph>& larger_graphs() {
  static const std::vector<LargerGraph> graphs = [] {
    struct {
      int32_t n, m;
      Regime regime;
    } cases[] = {{300, 3000, Regime::kNegative}, {517, 400, Regime::kSmall},
                 {1000, 5000, Regime::kNegative}};
    std::mt19937 rng(7);
    std::vector<LargerGraph> all;
    for (const auto& c : cases) {
      Matrix loaded = loaded_graph(rng, c.n, c.m, c.regime);
      Matrix solved = copy_of(loaded);
      block_FW(solved);
      all.push_back({c.n, c.regime, std::move(loaded), std::move(solved)});
    }
    return all;
  }();
  return graphs;
}

void expect_larger_graphs_match(const ExactFWTuning& t) {
  for (const LargerGraph& g : larger_graphs()) {
    for (int32_t s : {1, 2, g.n / 3, g.n / 2 + 1, g.n - 1, g.n}) {
      expect_row_matches(g.loaded, g.solved, s, t, describe(t, g.n, g.regime, true));
    }
  }
}

TEST(ExactFWRow, ChosenAndPortableKernelsMatchPlainPassOnLargerGraphs) {
  expect_larger_graphs_match(ExactFWTuning{});
  expect_larger_graphs_match(ExactFWTuning{0, 2, true});
}

TEST(ExactFWRow, Avx512KernelsMatchPlainPassOnLargerGraphs) {
  SKIP_WITHOUT_AVX512();
  expect_larger_graphs_match(ExactFWTuning{256, 2, false});
}

TEST(ExactFWRow, DefaultEntryPointMatchesPlainPass) {
  std::mt19937 rng(11);
  Matrix loaded = loaded_graph(rng, 200, 1000, Regime::kNegative);
  Matrix solved = copy_of(loaded);
  block_FW(solved);
  Matrix A = copy_of(loaded);
  exact_FW_row(A, 77);
  EXPECT_EQ(row_of(A, 77), row_of(solved, 77));
}

TEST(ExactFWRow, ReportsRisingProgressFromTheCallingThread) {
  std::mt19937 rng(3);
  Matrix A = loaded_graph(rng, 400, 2000, Regime::kSmall);
  std::vector<double> seen;
  const std::thread::id caller = std::this_thread::get_id();
  detail::exact_FW_row_tuned(A, 5, {64, 2, false}, [&](double done) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    seen.push_back(done);
  });
  ASSERT_FALSE(seen.empty());
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_GE(seen[i], i == 0 ? 0.0 : seen[i - 1]);
    EXPECT_LE(seen[i], 1.0);
  }
  EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

TEST(ExactFWRow, PassesOnAnExceptionFromProgress) {
  std::mt19937 rng(5);
  Matrix A = loaded_graph(rng, 300, 1000, Regime::kSmall);
  auto stop = [](double done) {
    if (done > 0.1) throw std::runtime_error("stop");
  };
  EXPECT_THROW(detail::exact_FW_row_tuned(A, 1, {32, 2, false}, stop), std::runtime_error);
}

}  // namespace
}  // namespace tarnwick
