#include "graph/tables.h"

#include <algorithm>

namespace tarnwick {

void DirectWeights::Builder::add(int32_t u, int32_t v, int32_t w) {
  entries_.push_back({std::min(u, v), std::max(u, v), w});
}

namespace {

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

int32_t DirectWeights::operator()(int32_t i, int32_t j) const {
  if (!fits_tables(i) || !fits_tables(j)) return 0;
  std::span<const Neighbour> r = row(i);
  auto it = std::lower_bound(r.begin(), r.end(), j,
                             [](const Neighbour& a, int32_t id) { return a.to < id; });
  if (it != r.end() && it->to == j) return it->w;
  bool both_vertices = i >= 1 && i <= n_ && j >= 1 && j <= n_;
  return both_vertices && i != j ? INF : 0;
}

}  // namespace tarnwick
