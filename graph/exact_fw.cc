// How the pass is made fast without changing a single bit of row `source`.
//
// In the plain loop, row i is read by other rows only in pass k = i, as the
// pivot row. So a row other than source only needs passes 1..i; row source
// needs all n. In pass k, rows i > k read row k after its own update in that
// pass ("new"), rows i < k read it before ("old"): only row source ever needs
// the old one. We keep both copies of each pivot row, so the rows of a pass
// no longer depend on each other.
//
// Pivots are taken in blocks [k0, k1). Within row i, entry A[i][k] at the start
// of pass k (its "before" value) and after j = k (its "after" value) depend only
// on columns k0..k1-1 of row i; those are brought through the block exactly, one
// pass at a time. Every other column j then takes
//   A[i][j] = min(A[i][j], min over k of coef(k) + pivot_k[j])
// with coef = before for j < k0 and after for j >= k1: the terms do not depend
// on A[i][j], so their order does not matter and a register-tiled kernel can
// take them in any order.
//
// Each block runs in three steps, separated by barriers:
//   A. one thread: columns k0..k1-1 of the block's own rows (k0..k1-1), which
//      also yields their coefficients and both copies of each pivot there;
//   B. in chunks of columns: the block's own rows elsewhere, one after the other;
//   C. in groups of rows: every later row through the whole block.
// Row source also takes the old pivots of the block when it lies before them.
// The chunks and groups go to whichever thread asks first, so a thread that
// the rest of the machine slows down holds up the others little.
//
// Extra memory: two copies of the block's pivot rows and two coefficients per
// row and pivot, about 4 * block * stride entries in all.
#include "graph/exact_fw.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "graph/cpus.h"
#include "graph/tables.h"

namespace tarnwick {
namespace {

constexpr int32_t kLanes = 16;        // 32-bit entries in a 512-bit vector
constexpr int32_t kMaxBlock = 256;    // bounds the kernels' local arrays
constexpr int32_t kChunkCols = 64;    // columns taken together in step B
constexpr int32_t kPanelBytes = 512 * 1024;  // pivot rows' share of L2 in step C
constexpr int32_t kTileRows = 4;      // rows per register tile
constexpr int32_t kTileVecs = 4;      // vectors per register tile

// Consecutive pivot rows p in [begin, end), pivot p at base + p * stride,
// indexed by column. Pivot p belongs to pass k0 + p of the current block.
struct Pivots {
  const int32_t* base;
  size_t stride;
  int32_t begin, end;
  const int32_t* row(int32_t p) const { return base + static_cast<size_t>(p) * stride; }
};

// Returns the lanes of vector v (columns 16v..16v+15) whose column is in [lo, hi).
inline uint32_t lanes_in(int32_t v, int32_t lo, int32_t hi) {
  int32_t first = std::max(lo - kLanes * v, 0);
  int32_t last = std::min(hi - kLanes * v, kLanes);
  if (first >= last) return 0;
  return ((1u << last) - 1) & ~((1u << first) - 1);
}

// ---------------------------------------------------------------------------
// Portable kernels: the same arithmetic in plain C++.

// Applies passes k0 + p, p in piv, to columns [k0, k1) of each of the `count`
// rows r in the plain loop's order; records A[i][k] as each pass starts
// (before[r][p]) and after j = k (after[r][p]). Pivot rows must not be rows.
void block_columns_portable(int32_t* const* rows, int32_t count, Pivots piv, int32_t k0,
                            int32_t k1, int32_t* const* before, int32_t* const* after) {
  for (int32_t p = piv.begin; p < piv.end; ++p) {
    const int32_t* P = piv.row(p);
    const int32_t k = k0 + p;
    for (int32_t r = 0; r < count; ++r) {
      int32_t* row = rows[r];
      const int32_t a = row[k];
      for (int32_t j = k0; j < k; ++j) row[j] = std::min(row[j], wrap_add(a, P[j]));
      const int32_t a2 = std::min(a, wrap_add(a, P[k]));
      row[k] = a2;
      for (int32_t j = k + 1; j < k1; ++j) row[j] = std::min(row[j], wrap_add(a2, P[j]));
      before[r][p] = a;
      after[r][p] = a2;
    }
  }
}

// For each of the `count` rows r and each column j in [lo, hi):
// rows[r][j] = min(rows[r][j], coef[r][p] + pivot p's [j]) over every p in piv.
void outer_columns_portable(int32_t* const* rows, const int32_t* const* coef, int32_t count,
                            Pivots piv, int32_t lo, int32_t hi) {
  for (int32_t r = 0; r < count; ++r) {
    int32_t* C = rows[r];
    for (int32_t p = piv.begin; p < piv.end; ++p) {
      const int32_t c = coef[r][p];
      const int32_t* P = piv.row(p);
      for (int32_t j = lo; j < hi; ++j) C[j] = std::min(C[j], wrap_add(c, P[j]));
    }
  }
}

// ---------------------------------------------------------------------------
// AVX-512 kernels. 32-bit lanes add with wrap-around and take the signed
// minimum, exactly as wrap_add and "store t if t < A" do.

#define TARNWICK_AVX512 __attribute__((target("avx512f")))

// The lane-wise signed minimum. g++ 12 wrongly warns that the intrinsic's
// internal placeholder source may be uninitialised; it is never read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
TARNWICK_AVX512 inline __m512i min32(__m512i a, __m512i b) { return _mm512_min_epi32(a, b); }

// Broadcast of lane `lane` of x.
TARNWICK_AVX512 inline __m512i lane_of(__m512i x, int32_t lane) {
  return _mm512_maskz_permutexvar_epi32(0xffff, _mm512_set1_epi32(lane), x);
}

// Lane 0 of x.
TARNWICK_AVX512 inline int32_t first_lane(__m512i x) {
  return _mm512_cvtsi512_si32(x);
}

// One pass of block_columns_avx512 over one row. C and P start at column
// `base` (k0 rounded down to 16), the pass's pivot is at column base + d, and
// live[v] holds the lanes of vector v inside the block.
TARNWICK_AVX512 inline void block_pass_avx512(int32_t* C, const int32_t* P, int32_t d, int32_t vecs,
                                              const __mmask16* live, int32_t* before, int32_t* after) {
  const int32_t vd = d / kLanes, ld = d % kLanes;
  const __m512i a = lane_of(_mm512_loadu_si512(C + kLanes * vd), ld);
  const __m512i a2 = min32(a, _mm512_add_epi32(a, _mm512_set1_epi32(P[d])));
  *before = first_lane(a);
  *after = first_lane(a2);
  for (int32_t v = 0; v < vecs; ++v) {
    // Columns before k take the value before the pass, columns after k the one after.
    __m512i coef = v < vd ? a : a2;
    __mmask16 m = live[v];
    if (v == vd) {
      coef = _mm512_mask_blend_epi32(static_cast<__mmask16>((1u << ld) - 1), a2, a);
      m = static_cast<__mmask16>(m & ~(1u << ld));
    }
    __m512i c = _mm512_loadu_si512(C + kLanes * v);
    c = _mm512_mask_min_epi32(c, m, c, _mm512_add_epi32(coef, _mm512_loadu_si512(P + kLanes * v)));
    if (v == vd) c = _mm512_mask_mov_epi32(c, static_cast<__mmask16>(1u << ld), a2);
    _mm512_storeu_si512(C + kLanes * v, c);
  }
}

// block_columns_portable, vectorised over the block's columns. Lanes outside
// [k0, k1) are stored back unchanged, whole vectors at a time: a row must have
// one owner at a time. Each pass waits on the one before in the same
// row, so taking several rows at once lets the CPU overlap them.
TARNWICK_AVX512 void block_columns_avx512(int32_t* const* rows, int32_t count, Pivots piv,
                                          int32_t k0, int32_t k1, int32_t* const* before,
                                          int32_t* const* after) {
  const int32_t base = k0 & ~(kLanes - 1);
  const int32_t vecs = (k1 - base + kLanes - 1) / kLanes;
  __mmask16 live[kMaxBlock / kLanes + 1];
  for (int32_t v = 0; v < vecs; ++v) live[v] = static_cast<__mmask16>(lanes_in(v, k0 - base, k1 - base));
  for (int32_t p = piv.begin; p < piv.end; ++p) {
    const int32_t* P = piv.row(p) + base;
    for (int32_t r = 0; r < count; ++r) {
      block_pass_avx512(rows[r] + base, P, k0 + p - base, vecs, live, before[r] + p, after[r] + p);
    }
  }
}

// NR rows by NV vectors (from vector v on) held in registers through every
// pivot; stores back only the lanes in mask[q].
template <int NR, int NV>
TARNWICK_AVX512 void outer_tile(int32_t* const* rows, const int32_t* const* coef, Pivots piv,
                                int32_t v, const __mmask16* mask) {
  __m512i acc[NR][NV];
#pragma GCC unroll 16
  for (int r = 0; r < NR; ++r)
#pragma GCC unroll 16
    for (int q = 0; q < NV; ++q) acc[r][q] = _mm512_loadu_si512(rows[r] + kLanes * (v + q));
  for (int32_t p = piv.begin; p < piv.end; ++p) {
    const int32_t* P = piv.row(p) + kLanes * v;
    __m512i x[NV];
#pragma GCC unroll 16
    for (int q = 0; q < NV; ++q) x[q] = _mm512_loadu_si512(P + kLanes * q);
#pragma GCC unroll 16
    for (int r = 0; r < NR; ++r) {
      const __m512i c = _mm512_set1_epi32(coef[r][p]);
#pragma GCC unroll 16
      for (int q = 0; q < NV; ++q) {
        acc[r][q] = min32(acc[r][q], _mm512_add_epi32(x[q], c));
        // Tells the compiler the value must sit in a register here: without it,
        // g++ 12 interleaves the adds badly and adds a register copy per minimum.
        asm("" : "+v"(acc[r][q]));
      }
    }
  }
#pragma GCC unroll 16
  for (int r = 0; r < NR; ++r)
#pragma GCC unroll 16
    for (int q = 0; q < NV; ++q) _mm512_mask_storeu_epi32(rows[r] + kLanes * (v + q), mask[q], acc[r][q]);
}

// Runs outer_tile<.., NV> over all `count` rows: whole row tiles, then single rows.
template <int NV>
TARNWICK_AVX512 void outer_rows(int32_t* const* rows, const int32_t* const* coef, int32_t count,
                                Pivots piv, int32_t v, const __mmask16* mask) {
  int32_t r = 0;
  for (; r + kTileRows <= count; r += kTileRows) outer_tile<kTileRows, NV>(rows + r, coef + r, piv, v, mask);
  for (; r < count; ++r) outer_tile<1, NV>(rows + r, coef + r, piv, v, mask);
}

// outer_columns_portable, register-tiled: for each group of kTileVecs vectors,
// every row tile runs through all the pivots, which stay in cache meanwhile.
TARNWICK_AVX512 void outer_columns_avx512(int32_t* const* rows, const int32_t* const* coef,
                                          int32_t count, Pivots piv, int32_t lo, int32_t hi) {
  if (lo >= hi || piv.begin >= piv.end) return;
  const int32_t v_end = (hi + kLanes - 1) / kLanes;
  for (int32_t v = lo / kLanes; v < v_end; v += kTileVecs) {
    const int32_t vecs = std::min(kTileVecs, v_end - v);
    __mmask16 mask[kTileVecs];
    for (int32_t q = 0; q < vecs; ++q) mask[q] = static_cast<__mmask16>(lanes_in(v + q, lo, hi));
    if (vecs == kTileVecs) {
      outer_rows<kTileVecs>(rows, coef, count, piv, v, mask);
    } else {
      for (int32_t q = 0; q < vecs; ++q) outer_rows<1>(rows, coef, count, piv, v + q, mask + q);
    }
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef TARNWICK_AVX512

// ---------------------------------------------------------------------------
// The pass itself.

struct Kernels {
  void (*block_columns)(int32_t* const*, int32_t, Pivots, int32_t, int32_t, int32_t* const*,
                        int32_t* const*);
  void (*outer_columns)(int32_t* const*, const int32_t* const*, int32_t, Pivots, int32_t, int32_t);
};

constexpr Kernels kPortable{block_columns_portable, outer_columns_portable};
constexpr Kernels kAvx512{block_columns_avx512, outer_columns_avx512};

// A zeroed, 64-byte aligned array of int32.
class Buffer {
 public:
  explicit Buffer(size_t count) {
    size_t bytes = (count * sizeof(int32_t) + 63) / 64 * 64;
    data_.reset(static_cast<int32_t*>(std::aligned_alloc(64, std::max<size_t>(bytes, 64))));
    if (!data_) throw std::bad_alloc();
    std::memset(data_.get(), 0, bytes);
  }
  int32_t* get() const { return data_.get(); }

 private:
  struct Free {
    void operator()(int32_t* p) const { std::free(p); }
  };
  std::unique_ptr<int32_t[], Free> data_;
};

// A half-open range of indices.
struct Range {
  int32_t lo, hi;
};

// One run of the pass over a matrix, shared by its threads.
class RowPass {
 public:
  RowPass(Matrix& A, int32_t source, int32_t block, int32_t threads, const Kernels& kernels,
          const std::function<void(double)>& progress)
      : matrix_(A), n_(A.n()), stride_(A.stride()), source_(source), block_(block), threads_(threads),
        kern_(kernels), progress_(progress), sync_(threads),
        new_(static_cast<size_t>(block) * stride_), old_(static_cast<size_t>(block) * stride_),
        own_coef_(2 * static_cast<size_t>(block) * block), source_coef_(2 * static_cast<size_t>(block)),
        row_coef_(2 * (static_cast<size_t>(n_) + 1) * block),
        panel_cols_(std::max(kChunkCols, kPanelBytes / 4 / block / kChunkCols * kChunkCols)),
        group_rows_(std::clamp(n_ / (8 * threads), 16, 256) / kTileRows * kTileRows) {}

  // Runs the pass on T threads, the caller's included.
  void run();

 private:
  // Block of pivots [k0, k1); the first starts at 1, the others at multiples of K.
  Range first_block() const { return {1, std::min(n_ + 1, block_)}; }
  Range next_block(Range b) const { return {b.hi, std::min(n_ + 1, b.hi + block_)}; }

  void run_thread(int32_t t);
  void own_rows_block_columns(Range b);
  void own_rows_elsewhere(Range b);
  void own_rows_columns(Range b, Range cols, bool after);
  void later_rows(Range b);
  void later_rows_group(Range b, Range rows);
  void later_rows_columns(Range b, Range rows, Range cols, bool after);
  void report(Range b);

  // Index in the block of the first pivot row source takes from the old copies;
  // the block size when it takes none.
  int32_t source_first_old(Range b) const {
    if (source_ >= b.hi) return b.hi - b.lo;
    return source_ < b.lo ? 0 : source_ - b.lo + 1;
  }
  Pivots new_pivots(int32_t begin, int32_t end) const { return {new_.get(), stride_, begin, end}; }
  Pivots old_pivots(int32_t begin, int32_t end) const { return {old_.get(), stride_, begin, end}; }
  int32_t* new_row(int32_t p) { return new_.get() + static_cast<size_t>(p) * stride_; }
  int32_t* old_row(int32_t p) { return old_.get() + static_cast<size_t>(p) * stride_; }
  // Coefficients of the block's own row p: before (j < k0) or after (j >= k1).
  int32_t* own_coef(int32_t p, bool after) {
    return own_coef_.get() + (static_cast<size_t>(2 * p) + after) * block_;
  }
  int32_t* source_coef(bool after) { return source_coef_.get() + (after ? block_ : 0); }
  // Coefficients of a later row i: before (j < k0) or after (j >= k1).
  int32_t* row_coef(int32_t i, bool after) {
    return row_coef_.get() + (static_cast<size_t>(2 * i) + after) * block_;
  }

  Matrix& matrix_;
  const int32_t n_;
  const size_t stride_;
  const int32_t source_, block_, threads_;
  const Kernels kern_;
  const std::function<void(double)>& progress_;
  std::barrier<> sync_;
  std::atomic<bool> stop_{false};
  std::exception_ptr failure_;
  Buffer new_, old_;  // pivot rows of the block after / before their own pass
  Buffer own_coef_, source_coef_, row_coef_;
  const int32_t panel_cols_;  // columns per panel in step C
  const int32_t group_rows_;  // rows a thread takes at a time in step C
  // The next piece of work to hand out in steps B and C; reset in step A.
  std::atomic<int32_t> next_chunk_{0}, next_group_{0};
};

// Copies columns [lo, hi) of row `from` to row `to`.
void copy_columns(const int32_t* from, int32_t* to, int32_t lo, int32_t hi) {
  if (lo < hi) std::memcpy(to + lo, from + lo, static_cast<size_t>(hi - lo) * sizeof(int32_t));
}

void RowPass::run() {
  std::vector<std::jthread> workers;
  try {
    for (int32_t t = 1; t < threads_; ++t) workers.emplace_back([this, t] { run_thread(t); });
  } catch (const std::exception&) {
    // A thread that cannot be started leaves its share to the others: steps B
    // and C hand their work to whichever thread asks, and step A is thread 0's.
    for (int32_t t = static_cast<int32_t>(workers.size()) + 1; t < threads_; ++t) {
      sync_.arrive_and_drop();
    }
  }
  run_thread(0);
  for (std::jthread& w : workers) w.join();
  if (failure_) std::rethrow_exception(failure_);
}

void RowPass::run_thread(int32_t t) {
  for (Range b = first_block(); b.lo <= n_; b = next_block(b)) {
    if (t == 0) {
      own_rows_block_columns(b);
      next_chunk_.store(0, std::memory_order_relaxed);
      next_group_.store(0, std::memory_order_relaxed);
    }
    sync_.arrive_and_wait();
    if (stop_.load(std::memory_order_relaxed)) return;
    own_rows_elsewhere(b);
    sync_.arrive_and_wait();
    later_rows(b);
    sync_.arrive_and_wait();
    if (t == 0) report(b);
  }
}

// Step A: columns [k0, k1) of rows k0..k1-1, in order, and of row source.
void RowPass::own_rows_block_columns(Range b) {
  const int32_t size = b.hi - b.lo;
  for (int32_t p = 0; p < size; ++p) {
    int32_t* row = matrix_.row(b.lo + p);
    int32_t* before = own_coef(p, false);
    int32_t* after = own_coef(p, true);
    kern_.block_columns(&row, 1, new_pivots(0, p), b.lo, b.hi, &before, &after);
    copy_columns(row, old_row(p), b.lo, b.hi);
    // Its own pass reads the row as it was when the pass began.
    kern_.block_columns(&row, 1, old_pivots(p, p + 1), b.lo, b.hi, &before, &after);
    copy_columns(row, new_row(p), b.lo, b.hi);
  }
  const int32_t first = source_first_old(b);
  if (first < size) {
    int32_t* row = matrix_.row(source_);
    int32_t* before = source_coef(false);
    int32_t* after = source_coef(true);
    kern_.block_columns(&row, 1, old_pivots(first, size), b.lo, b.hi, &before, &after);
  }
}

// Step B: the columns outside [k0, k1) of the same rows, in chunks of
// kChunkCols columns handed out to whichever thread asks first (so that a
// thread slowed down by the rest of the machine simply takes fewer).
void RowPass::own_rows_elsewhere(Range b) {
  const int32_t before_chunks = b.lo > 1 ? (b.lo + kChunkCols - 1) / kChunkCols : 0;
  const int32_t first_after = b.hi / kChunkCols;
  const int32_t chunks = before_chunks + (n_ + kChunkCols) / kChunkCols - first_after;
  for (int32_t c; (c = next_chunk_.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
    const bool after = c >= before_chunks;
    const int32_t j = after ? first_after + c - before_chunks : c;
    const Range side = after ? Range{b.hi, n_ + 1} : Range{1, b.lo};
    const Range cols = {std::max(side.lo, j * kChunkCols), std::min(side.hi, (j + 1) * kChunkCols)};
    if (cols.lo < cols.hi) own_rows_columns(b, cols, after);
  }
}

// Columns `cols`, all before k0 or all from k1 on (`after`), of rows k0..k1-1
// and source.
void RowPass::own_rows_columns(Range b, Range cols, bool after) {
  const int32_t size = b.hi - b.lo;
  for (int32_t p = 0; p < size; ++p) {
    int32_t* row = matrix_.row(b.lo + p);
    const int32_t* coef = own_coef(p, after);
    kern_.outer_columns(&row, &coef, 1, new_pivots(0, p), cols.lo, cols.hi);
    copy_columns(row, old_row(p), cols.lo, cols.hi);
    kern_.outer_columns(&row, &coef, 1, old_pivots(p, p + 1), cols.lo, cols.hi);
    copy_columns(row, new_row(p), cols.lo, cols.hi);
  }
  const int32_t first = source_first_old(b);
  if (first < size) {
    int32_t* row = matrix_.row(source_);
    const int32_t* coef = source_coef(after);
    kern_.outer_columns(&row, &coef, 1, old_pivots(first, size), cols.lo, cols.hi);
  }
}

// Step C: rows k1..n through every pass of the block, in groups of
// group_rows_ rows handed out like the chunks of step B.
void RowPass::later_rows(Range b) {
  const int32_t count = n_ + 1 - b.hi;
  for (int32_t g; (g = next_group_.fetch_add(1, std::memory_order_relaxed)) * group_rows_ < count;) {
    const int32_t lo = b.hi + g * group_rows_;
    later_rows_group(b, {lo, std::min(n_ + 1, lo + group_rows_)});
  }
}

// First the block columns of `rows`, which yields their coefficients; then,
// panel by panel so that the panel of the pivot rows stays in cache, the rest.
void RowPass::later_rows_group(Range b, Range rows) {
  for (int32_t i = rows.lo; i < rows.hi; i += kTileRows) {
    const int32_t count = std::min(kTileRows, rows.hi - i);
    int32_t* row[kTileRows];
    int32_t* before[kTileRows];
    int32_t* after[kTileRows];
    for (int32_t r = 0; r < count; ++r) {
      row[r] = matrix_.row(i + r);
      before[r] = row_coef(i + r, false);
      after[r] = row_coef(i + r, true);
    }
    kern_.block_columns(row, count, new_pivots(0, b.hi - b.lo), b.lo, b.hi, before, after);
  }
  const Range sides[2] = {{1, b.lo}, {b.hi, n_ + 1}};
  for (bool after : {false, true}) {
    for (int32_t lo = sides[after].lo; lo < sides[after].hi;) {
      const int32_t hi = std::min(sides[after].hi, (lo / panel_cols_ + 1) * panel_cols_);
      later_rows_columns(b, rows, {lo, hi}, after);
      lo = hi;
    }
  }
}

// Columns `cols`, all before k0 or all from k1 on (`after`), of later rows `rows`.
void RowPass::later_rows_columns(Range b, Range rows, Range cols, bool after) {
  for (int32_t i = rows.lo; i < rows.hi; i += kTileRows) {
    const int32_t count = std::min(kTileRows, rows.hi - i);
    int32_t* row[kTileRows];
    const int32_t* coef[kTileRows];
    for (int32_t r = 0; r < count; ++r) {
      row[r] = matrix_.row(i + r);
      coef[r] = row_coef(i + r, after);
    }
    kern_.outer_columns(row, coef, count, new_pivots(0, b.hi - b.lo), cols.lo, cols.hi);
  }
}

// Tells progress_ the share of pivot-row work done once block b is through.
void RowPass::report(Range b) {
  if (!progress_) return;
  // Pass k costs about one row update for each row i >= k.
  auto rows_from = [](double m) { return m * (m + 1) / 2; };
  const double total = rows_from(n_), left = rows_from(n_ + 1 - b.hi);
  try {
    progress_((total - left) / total);
  } catch (...) {
    failure_ = std::current_exception();
    stop_ = true;
  }
}

// Returns the block size to use for n vertices.
int32_t choose_block(int32_t n, int32_t asked) {
  int32_t block = asked > 0 ? asked : (n <= 3000 ? 64 : 128);
  return std::clamp((block + kLanes - 1) / kLanes * kLanes, kLanes, kMaxBlock);
}

// Returns the number of threads to use for n vertices: the CPUs this process
// was given, but one below a few hundred vertices, where starting a thread
// costs more than it saves.
int32_t choose_threads(int32_t n, int32_t asked) {
  if (asked > 0) return asked;
  if (n < 256) return 1;
  return usable_cpus();
}

}  // namespace

namespace detail {

bool exact_FW_has_avx512() { return __builtin_cpu_supports("avx512f"); }

void exact_FW_row_tuned(Matrix& APSP, int32_t source, const ExactFWTuning& tuning,
                        const std::function<void(double)>& progress) {
  const int32_t n = APSP.n();
  const Kernels& kernels = !tuning.portable && exact_FW_has_avx512() ? kAvx512 : kPortable;
  RowPass pass(APSP, source, choose_block(n, tuning.block), choose_threads(n, tuning.threads),
               kernels, progress);
  pass.run();
}

}  // namespace detail

void exact_FW_row(Matrix& APSP, int32_t source, const std::function<void(double)>& progress) {
  detail::exact_FW_row_tuned(APSP, source, {}, progress);
}

}  // namespace tarnwick
