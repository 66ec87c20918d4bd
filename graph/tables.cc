#include "graph/tables.h"

#include <algorithm>

namespace tarnwick {

void DirectWeights::Builder::add(int32_t u, int32_t v, int32_t w) {
  entries_.push_back({u, v, w});
  if (u != v) entries_.push_back({v, u, w});
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
  // Sorting by target, then stably by source, orders the entries by (from, to)
  // and keeps file order among repeats, so the last of each run is the one kept.
  std::vector<Entry> by_to;
  counting_sort(entries_, by_to, [](const Entry& e) { return e.to; });
  counting_sort(by_to, entries_, [](const Entry& e) { return e.from; });
  by_to = {};

  DirectWeights d;
  d.n_ = n;
  d.start_.assign(V + 1, 0);
  d.adj_.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    bool last_of_run = i + 1 == entries_.size() || entries_[i + 1].from != e.from ||
                       entries_[i + 1].to != e.to;
    if (!last_of_run) continue;
    d.adj_.push_back({e.to, e.w});
    ++d.start_[e.from + 1];
  }
  for (int32_t i = 0; i < V; ++i) d.start_[i + 1] += d.start_[i];
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
