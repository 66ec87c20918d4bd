// Arbitrary bytes as a graph file: the loader must not crash, and what it
// loads must match the plain re-reading in reference.h, lookup for lookup;
// read in ranges by several threads, it must load the same; numbers scanned in
// blocks must be those read one by one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "graph/input.h"
#include "graph/reader.h"
#include "graph/scan.h"
#include "graph/tables.h"

namespace tarnwick {
namespace {

// The ids whose weights are compared pairwise: the edges of the tables and of
// the graph's vertices, plus the first id of each of the first 16 edges.
std::vector<int32_t> sample_ids(int32_t n, const reference::Graph& ref) {
  std::vector<int32_t> ids{-1, 0, 1, 2, n - 1, n, n + 1, V - 1, V};
  int taken = 0;
  for (auto e = ref.edge.begin(); e != ref.edge.end() && taken++ < 16; ++e) {
    ids.push_back(static_cast<int32_t>(e->first.first));
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// The edge list read in ranges of a few bytes by a few threads, in either
// storage (the knobs come from the input's last byte), must load what the
// number-by-number reading loads: the same messages and every sampled weight.
void check_ranges(std::string_view bytes, const Graph& plain, const LoadReport& plain_report,
                  bool plain_ok, const std::vector<int32_t>& ids, const Number& plain_after) {
  unsigned knob = bytes.empty() ? 0 : static_cast<unsigned char>(bytes.back());
  // A dense table only where it stays small: its size follows n, not the input.
  const bool dense = knob / 27 % 2 == 1 && plain.n <= 1000;
  using detail::Storage;
  const detail::LoadTuning tuning{.storage = dense ? Storage::kDense : Storage::kLists,
                                  .threads = 1 + static_cast<int32_t>(knob / 9 % 3),
                                  .range_bytes = 1 + knob % 9, .split = true};
  Graph g;
  LoadReport report;
  ByteReader in(bytes);
  bool ok = detail::input_tuned(in, &g, &report, tuning);
  require(ok == plain_ok, "ranges refuse exactly what the plain reading refuses");
  require(report.error == plain_report.error, "ranges word the same error");
  require(report.warning == plain_report.warning, "ranges word the same warning");
  if (!ok) return;
  require(g.n == plain.n && g.m == plain.m, "ranges read the same header");
  require(report.end == plain_report.end && report.edges == plain_report.edges,
          "ranges end the edge list at the same offset, after as many edges");
  if (report.warning.empty()) {
    // What follows the m-th edge (a test input's source) is read next either way.
    Number after = read_number(in);
    require(after.read == plain_after.read && after.value == plain_after.value &&
                after.where == plain_after.where,
            "ranges leave the reader just past the m-th edge");
  }
  for (int32_t a : ids) {
    for (int32_t b : ids) {
      require(g.Dist(a, b) == plain.Dist(a, b), "ranges load the same weights");
    }
  }
}

// Reading numbers as the ranges do, scan_numbers over the bytes (cut where the
// last byte says) and read_number for what it leaves, at every code level,
// must read what read_number alone reads, and stop at the same read.
void check_scan(std::string_view bytes) {
  std::vector<int32_t> plain;
  ByteReader alone(bytes);
  Number end = read_number(alone);
  for (; end.read == Read::kNumber; end = read_number(alone)) plain.push_back(end.value);
  const size_t cut = bytes.empty() ? 0 : static_cast<unsigned char>(bytes.back()) % 8 * 16;
  for (int level = 0; level <= 2; ++level) {
    std::vector<int32_t> got, out(bytes.size() / 2 + 1);
    ByteReader in(bytes);
    Number num;
    do {
      std::string_view w = cut == 0 ? in.window() : in.window().substr(0, cut);
      size_t used = 0;
      size_t count = detail::scan_numbers_at(level, w, out.data(), &used);
      got.insert(got.end(), out.begin(), out.begin() + static_cast<ptrdiff_t>(count));
      in.skip(used);
      num = read_number(in);
      if (num.read == Read::kNumber) got.push_back(num.value);
    } while (num.read == Read::kNumber);
    require(got == plain, "scanned numbers are those read_number reads");
    require(num.read == end.read && num.where == end.where && num.at_end == end.at_end &&
                num.negative == end.negative && in.offset() == alone.offset(),
            "scanning stops where read_number stops");
  }
}

// Hears nothing: reading through it takes the number-by-number path.
class Deaf : public LoadObserver {
  void number(int64_t, const Number&) override {}
};

}  // namespace

void fuzz_check(std::string_view bytes) {
  check_scan(bytes);
  Graph g;
  LoadReport report;
  ByteReader in(bytes);
  Deaf deaf;
  bool ok = input(in, &g, &report, &deaf);
  Number after;  // what the reader gives next, once every edge was read
  if (ok && report.warning.empty()) after = read_number(in);
  reference::Graph ref = reference::load(bytes);

  require(ok == report.error.empty(), "input() returns false exactly when it sets an error");
  require(ok == ref.ok, "the loader refuses exactly the graphs the plain reading refuses");
  if (!ok) {
    require(report.warning.empty(), "a refused graph carries no warning");
    check_ranges(bytes, g, report, ok, {}, after);
    return;
  }
  require(!report.warning.empty() == ref.warned, "a warning exactly when the file is defective");
  require(g.n >= 0 && g.n < V, "the vertex count fits the tables");
  require(g.n == ref.n && g.m == ref.m, "n and m as read plainly");
  require(g.Dist.n() == g.n, "the weights know the vertex count");

  std::vector<int32_t> ids = sample_ids(g.n, ref);
  check_ranges(bytes, g, report, ok, ids, after);
  for (int32_t a : ids) {
    for (int32_t b : ids) {
      require(g.Dist(a, b) == g.Dist(b, a), "Dist is symmetric");
      require(g.Dist(a, b) == ref.dist(a, b), "Dist matches the plain reading");
    }
  }
  // The rows of the sampled ids and of every id an edge names are sorted,
  // free of repeats, and hold exactly the edges given (with a dense table,
  // the edges that name an id outside 1..n).
  auto listed = [&](int64_t u, int64_t v) {
    auto inside = [&](int64_t id) { return id >= 1 && id <= g.n; };
    return !g.Dist.dense() || !inside(u) || !inside(v);
  };
  std::map<int64_t, size_t> given;  // edges per id
  for (const auto& [uv, w] : ref.edge) given[uv.first] += listed(uv.first, uv.second);
  for (int64_t id : ids) given.emplace(id, 0);
  for (const auto& [id, count] : given) {
    if (id < 0 || id >= V) continue;
    int32_t i = static_cast<int32_t>(id), before = -1;
    std::span<const Neighbour> row = g.Dist.row(i);
    require(row.size() == count, "a row holds every edge given for its id");
    for (const Neighbour& e : row) {
      require(e.to > before, "a row is in increasing id order without repeats");
      before = e.to;
      auto it = ref.edge.find({i, e.to});
      require(it != ref.edge.end() && it->second == e.w, "a stored edge was given, last one wins");
      require(listed(i, e.to), "a dense table lists only edges naming an id outside 1..n");
    }
  }
}

}  // namespace tarnwick
