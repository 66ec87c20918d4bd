// The direct weights: neighbour lists or a dense table, built in file order.
#include "graph/tables.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "graph/parallel.h"

namespace tarnwick {

void DirectWeights::Builder::add_listed(int32_t u, int32_t v, int32_t w) {
  entries_.push_back({std::min(u, v), std::max(u, v), w});
}

namespace {

// Returns room for `count` entries, uninitialised; a large table on huge
// pages where the system offers them (it is written all over), a small one
// not (a huge page would cost more memory than the table).
std::shared_ptr<int32_t[]> allocate_cells(size_t count) {
  constexpr size_t kHuge = size_t{2} << 20;
  const bool huge = count * sizeof(int32_t) >= 4 * kHuge;
  const size_t align = huge ? kHuge : 64;
  size_t bytes = (count * sizeof(int32_t) + align - 1) / align * align;
  void* p = std::aligned_alloc(align, bytes);
  if (p == nullptr) throw std::bad_alloc();
  if (huge) ::madvise(p, bytes, MADV_HUGEPAGE);  // only a hint
  return std::shared_ptr<int32_t[]>(static_cast<int32_t*>(p), [](int32_t* q) { std::free(q); });
}

// Fills rows lo..hi-1 of an (n + 1)-wide table as loaded with no edge: 0 on
// the diagonal, in row 0 and column 0, INF elsewhere; with upper_only, only
// from the diagonal on (the cells below it are written later, once).
void fill_rows(int32_t* cells, int32_t n, int32_t lo, int32_t hi, bool upper_only) {
  const size_t stride = static_cast<size_t>(n) + 1;
  for (int32_t i = lo; i < hi; ++i) {
    int32_t* row = cells + i * stride;
    std::fill(row + (upper_only ? i : 0), row + stride, i == 0 ? 0 : INF);
    row[0] = 0;
    row[i] = 0;
  }
}

// Returns the first of the rows 0..rows-1 that thread t of count fills: equal
// shares of cells, of the whole rows or of the triangle from the diagonal on.
int32_t fill_share(int32_t rows, int32_t t, int32_t count, bool upper_only) {
  if (t >= count) return rows;
  if (!upper_only) return static_cast<int32_t>(int64_t{rows} * t / count);
  return static_cast<int32_t>(rows * (1 - std::sqrt(1 - static_cast<double>(t) / count)));
}

// Sorts `from` into `to` by key(entry), stably, for keys in 0..V-1.
template <typename T, typename Key>
void counting_sort(const std::vector<T>& from, std::vector<T>& to, Key key) {
  std::vector<uint32_t> offset(V + 1, 0);
  for (const T& e : from) ++offset[key(e) + 1];
  for (int32_t i = 0; i < V; ++i) offset[i + 1] += offset[i];
  to.resize(from.size());
  for (const T& e : from) to[offset[key(e)]++] = e;
}

}  // namespace

DirectWeights::Builder::Builder(int32_t n, bool dense, int32_t threads, bool mirror_later)
    : n_(n), threads_(std::max(threads, 1)), upper_only_(dense && mirror_later) {
  if (dense) make_dense();
}

void DirectWeights::Builder::make_dense() {
  if (dense()) return;
  stride_ = static_cast<size_t>(n_) + 1;
  cells_ = allocate_cells(stride_ * stride_);
  int32_t* cells = cells_.get();
  const int32_t rows = n_ + 1, n = n_;
  // Each thread touches its own rows first; a small table is not worth a thread.
  int32_t threads = rows < 1024 ? 1 : threads_;
  const bool upper_only = upper_only_;
  run_threads(threads, [cells, rows, n, upper_only](int32_t t, int32_t count) {
    fill_rows(cells, n, fill_share(rows, t, count, upper_only),
              fill_share(rows, t + 1, count, upper_only), upper_only);
  });
  std::vector<Entry> listed;
  for (const Entry& e : entries_) {
    if (inside(e.low) && inside(e.high)) {
      put(e.low, e.high, e.w);
      put(e.high, e.low, e.w);
    } else {
      listed.push_back(e);
    }
  }
  entries_ = std::move(listed);
}

bool DirectWeights::Builder::keep_first(int32_t i, int32_t j, bool now) {
  const uint64_t key = static_cast<uint64_t>(i) * stride_ + static_cast<uint64_t>(j);
  return now ? !first_kept_.insert(key).second : first_kept_.count(key) > 0;
}

void DirectWeights::Builder::mirror_upper() {
  // Tiles of 64 x 64: the reads of a tile's rows and the writes of its columns
  // stay in cache. Tile row r goes to thread r % count.
  constexpr int32_t kTile = 64;
  int32_t* cells = cells_.get();
  const size_t stride = stride_;
  const int32_t n = n_, tiles = n_ / kTile + 1;
  std::vector<int32_t> least, most;  // [t]: of the cells thread t copied
  std::vector<int64_t> changed;      // [t]: of those, not at their first value
  auto prepare = [&](int32_t count) {
    least.assign(count, std::numeric_limits<int32_t>::max());
    most.assign(count, std::numeric_limits<int32_t>::min());
    changed.assign(count, 0);
  };
  run_threads(n_ < 1024 ? 1 : threads_, [&](int32_t t, int32_t count) {
    int32_t lo = least[t], hi = most[t];
    int64_t moved = 0;
    for (int32_t ti = t; ti < tiles; ti += count) {
      for (int32_t tj = ti; tj < tiles; ++tj) {
        for (int32_t i = ti * kTile; i < std::min((ti + 1) * kTile, n + 1); ++i) {
          const int32_t* row = cells + i * stride;
          const int32_t first = std::max(tj * kTile, i + 1), last = std::min((tj + 1) * kTile, n + 1);
          for (int32_t j = first; j < last; ++j) cells[j * stride + i] = row[j];
          if (i == 0) continue;  // row 0 is no vertex's
          if (tj == ti) {  // the diagonal, once
            lo = std::min(lo, row[i]);
            hi = std::max(hi, row[i]);
            moved += row[i] != 0;
          }
          for (int32_t j = first; j < last; ++j) {
            lo = std::min(lo, row[j]);
            hi = std::max(hi, row[j]);
            moved += row[j] != INF;
          }
        }
      }
    }
    least[t] = lo;
    most[t] = hi;
    changed[t] = moved;
  }, prepare);
  least_ = *std::min_element(least.begin(), least.end());
  most_ = *std::max_element(most.begin(), most.end());
  for (int64_t moved : changed) changed_ += moved;
  range_known_ = true;
}

int64_t DirectWeights::Builder::cells_written() const {
  int64_t written = changed_;
  for (uint64_t key : first_kept_) {  // written with their first value, and so still
    const int32_t i = static_cast<int32_t>(key / stride_), j = static_cast<int32_t>(key % stride_);
    written += cells_[key] == (i == j ? 0 : INF);
  }
  return written;
}

DirectWeights DirectWeights::Builder::build(int32_t n) {
  // Sorting by the higher end, then stably by the lower, orders the edges by
  // vertex pair and keeps file order among repeats: the last of a run wins.
  std::vector<Entry> by_high;
  counting_sort(entries_, by_high, [](const Entry& e) { return e.high; });
  counting_sort(by_high, entries_, [](const Entry& e) { return e.low; });
  by_high = {};
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    bool last = i + 1 == entries_.size() || entries_[i + 1].low != e.low ||
                entries_[i + 1].high != e.high;
    if (last) entries_[kept++] = e;
  }
  entries_.resize(kept);

  DirectWeights d;
  d.n_ = n;
  d.stride_ = stride_;
  d.cells_ = std::move(cells_);
  d.range_known_ = range_known_ && d.cells_ != nullptr;
  d.least_ = least_;
  d.most_ = most_;
  range_known_ = false;
  d.start_.assign(V + 1, 0);
  for (const Entry& e : entries_) {
    ++d.start_[e.low + 1];
    if (e.low != e.high) ++d.start_[e.high + 1];
  }
  for (int32_t i = 0; i < V; ++i) d.start_[i + 1] += d.start_[i];
  // Walking the pairs in order fills every row in increasing id order: row x
  // first hears from the lower ends below x, then its own pairs upwards.
  std::vector<uint32_t> next(d.start_.begin(), d.start_.end() - 1);
  d.adj_.resize(d.start_[V]);
  for (const Entry& e : entries_) {
    d.adj_[next[e.low]++] = {e.high, e.w};
    if (e.low != e.high) d.adj_[next[e.high]++] = {e.low, e.w};
  }
  entries_ = {};
  return d;
}

std::span<const Neighbour> DirectWeights::row(int32_t i) const {
  if (start_.empty()) return {};
  return {adj_.data() + start_[i], adj_.data() + start_[i + 1]};
}

int32_t DirectWeights::listed(int32_t i, int32_t j) const {
  if (!fits_tables(i) || !fits_tables(j)) return 0;
  std::span<const Neighbour> r = row(i);
  auto it = std::lower_bound(r.begin(), r.end(), j,
                             [](const Neighbour& a, int32_t id) { return a.to < id; });
  if (it != r.end() && it->to == j) return it->w;
  bool both_vertices = i >= 1 && i <= n_ && j >= 1 && j <= n_;
  return both_vertices && i != j ? INF : 0;
}

}  // namespace tarnwick
