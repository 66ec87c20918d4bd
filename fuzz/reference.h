// Plain re-readings of the graph and result files, written apart from the
// judge's own streaming readers so that the fuzz targets can compare the two.
// Everything here is slow and simple on purpose: whole strings, std::map, and
// a dense all-pairs pass that only small graphs can afford.
#ifndef TARNWICK_FUZZ_REFERENCE_H_
#define TARNWICK_FUZZ_REFERENCE_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::reference {

// Ids that fit the tables are 0..kV-1; kInf joins two distinct unlinked vertices.
inline constexpr int64_t kV = 10010;
inline constexpr int64_t kInf = 10000000;
// Stands for any id read from a result file that does not fit the tables.
inline constexpr int64_t kOutside = -1;

// Keeps the fuzzer's coverage and comparison tracing out of this file: it is
// the yardstick, not the code under test, and tracing it would halve the speed.
#if defined(__clang__)
#define TARNWICK_REFERENCE [[gnu::noinline, clang::no_sanitize("coverage")]]
#else
#define TARNWICK_REFERENCE
#endif

// Stops the fuzzer with a message when `holds` is false.
inline void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

// One integer read from the front of some text the way "%d" reads it.
struct Scan {
  bool number = false;  // at least one digit was read
  bool fits32 = false;  // ... and the value fits in 32 bits
  bool negative = false;
  int64_t value = 0;  // set when fits32
  size_t next = 0;    // offset just past what was read
};

// The bytes "%d" skips before a number.
inline constexpr std::string_view kSkipped = " \t\n\v\f\r";

// Reads one integer of `text` starting at offset `from`.
TARNWICK_REFERENCE inline Scan scan(std::string_view text, size_t from) {
  Scan s;
  size_t i = from;
  while (i < text.size() && kSkipped.find(text[i]) != kSkipped.npos) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) s.negative = text[i++] == '-';
  size_t first = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  s.next = i;
  if (i == first) return s;
  s.number = true;
  // Compare the significant digits, as text, with the largest magnitude 32 bits hold.
  std::string_view digits = text.substr(first, i - first);
  while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
  std::string_view most = s.negative ? "2147483648" : "2147483647";
  s.fits32 = digits.size() < most.size() || (digits.size() == most.size() && digits <= most);
  if (!s.fits32) return s;
  for (char c : digits) s.value = s.value * 10 + (c - '0');
  if (s.negative) s.value = -s.value;
  return s;
}

// A graph file as read by the plain reading rules.
struct Graph {
  bool ok = true;       // false when the judge must refuse the file
  bool warned = false;  // a usable but defective file
  int64_t n = 0, m = 0;
  std::map<std::pair<int64_t, int64_t>, int64_t> edge;  // both directions; last one given wins

  // Returns the direct weight between ids i and j.
  TARNWICK_REFERENCE int64_t dist(int64_t i, int64_t j) const {
    if (i < 0 || i >= kV || j < 0 || j >= kV) return 0;
    auto it = edge.find({i, j});
    if (it != edge.end()) return it->second;
    return i != j && i >= 1 && i <= n && j >= 1 && j <= n ? kInf : 0;
  }
};

// Reads a graph file: n, m, then m edges "u v w"; stops quietly at the first
// edge that is cut short.
TARNWICK_REFERENCE inline Graph load(std::string_view text) {
  Graph g;
  Scan n = scan(text, 0);
  if (!n.number) {
    g.warned = true;
    return g;
  }
  if (!n.negative && (!n.fits32 || n.value >= kV)) {
    g.ok = false;
    return g;
  }
  g.n = n.negative ? 0 : n.value;
  Scan m = scan(text, n.next);
  if (!m.number) {
    g.warned = true;
    return g;
  }
  g.m = m.fits32 ? m.value : m.negative ? -1 : std::numeric_limits<int32_t>::max();
  size_t at = m.next;
  for (int64_t e = 1; e <= g.m; ++e) {
    Scan u = scan(text, at);
    Scan v = scan(text, u.next);
    Scan w = scan(text, v.next);
    if (!u.number || !u.fits32 || !v.number || !v.fits32 || !w.number || !w.fits32) {
      g.warned = true;
      return g;
    }
    if (u.value < 0 || u.value >= kV || v.value < 0 || v.value >= kV) {
      g.ok = false;
      return g;
    }
    g.edge[{u.value, v.value}] = w.value;
    g.edge[{v.value, u.value}] = w.value;
    at = w.next;
  }
  return g;
}

// The row of the all-pairs result the checker compares with.
class Row {
 public:
  // Runs the plain pass (32-bit, wrapping) over the whole graph. Only for small n.
  TARNWICK_REFERENCE Row(const Graph& g, int64_t source) : g_(g), source_(source) {
    if (source < 1 || source > g.n) return;
    const int64_t size = g.n + 1;
    std::vector<int32_t> d(size * size, 0);
    for (int64_t i = 1; i <= g.n; ++i) {
      for (int64_t j = 1; j <= g.n; ++j) d[i * size + j] = static_cast<int32_t>(g.dist(i, j));
    }
    for (int64_t k = 1; k <= g.n; ++k) {
      for (int64_t i = 1; i <= g.n; ++i) {
        for (int64_t j = 1; j <= g.n; ++j) {
          uint32_t sum =
              static_cast<uint32_t>(d[i * size + k]) + static_cast<uint32_t>(d[k * size + j]);
          int32_t t = static_cast<int32_t>(sum);
          if (t < d[i * size + j]) d[i * size + j] = t;
        }
      }
    }
    row_.assign(d.begin() + source * size, d.begin() + (source + 1) * size);
  }

  // Returns the weight line k of a result file must have.
  TARNWICK_REFERENCE int64_t at(int64_t k) const {
    if (k < 0 || k >= kV) return 0;
    if (!row_.empty() && k >= 1 && k <= g_.n) return row_[k];
    return g_.dist(source_, k);
  }
  int64_t source() const { return source_; }
  const Graph& graph() const { return g_; }

 private:
  const Graph& g_;
  int64_t source_;
  std::vector<int32_t> row_;
};

struct Verdict {
  enum Kind { kSuccess, kEmptyFile, kWrongAnswer };
  Kind kind = kEmptyFile;
  int64_t line = 0;  // for kWrongAnswer
};

// Judges a whole result file against row: lines split at '\n', tokens at ' ',
// each path weighed exactly from the source; line k must weigh row.at(k). A
// file of right lines that stops before line n is wrong at its first missing line.
TARNWICK_REFERENCE inline Verdict judge(std::string_view file, const Row& row) {
  if (file.empty()) return Verdict{};
  const Graph& g = row.graph();
  int64_t last_id = 0;
  int64_t line_no = 0;
  for (size_t start = 0, end; start < file.size(); start = end) {
    end = file.find('\n', start);
    end = end == std::string_view::npos ? file.size() : end + 1;
    std::string_view line = file.substr(start, end - start);  // '\n' is in its last token
    ++line_no;
    __int128 weight = 0;
    int64_t previous = row.source();
    for (size_t p = 0, q = 0; q != std::string_view::npos; p = q + 1) {
      q = line.find(' ', p);
      std::string_view token = line.substr(p, q - p);
      if (token.empty()) continue;
      Scan s = scan(token, 0);
      if (s.number) last_id = s.fits32 && s.value >= 0 && s.value < kV ? s.value : kOutside;
      weight += g.dist(previous, last_id);
      previous = last_id;
    }
    if (weight != row.at(line_no)) return Verdict{Verdict::kWrongAnswer, line_no};
  }
  // Line k must exist for every vertex k.
  if (line_no < g.n) return Verdict{Verdict::kWrongAnswer, line_no + 1};
  return Verdict{Verdict::kSuccess};
}

}  // namespace tarnwick::reference

#endif  // TARNWICK_FUZZ_REFERENCE_H_
