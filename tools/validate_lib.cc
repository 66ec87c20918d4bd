#include "tools/validate_lib.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <numeric>
#include <set>
#include <tuple>
#include <utility>

#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/input.h"
#include "graph/tables.h"
#include "tools/places.h"

namespace tarnwick {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

// Calls f with a reader over the file from its start. Returns false with *err
// set to the system's reason when the file cannot be opened or read.
template <typename F>
bool read_with(const GraphBytes& file, F&& f, std::string* err) {
  if (file.path == nullptr && file.fd < 0) {
    ByteReader in(file.bytes);
    f(in);
    return true;
  }
  InputFile opened;
  if (file.path != nullptr && !opened.open(file.path, err)) return false;
  const int fd = file.path != nullptr ? opened.fd() : file.fd;
  if (file.path == nullptr && ::lseek(fd, file.start, SEEK_SET) < 0) {
    *err = reason(errno);
    return false;
  }
  ByteReader in(fd);
  f(in);
  if (in.error() == 0) return true;
  *err = reason(in.error());
  return false;
}

// The kinds of finding; only the first few of each are shown.
enum Kind {
  kRefused, kJudgeWarning, kTrailing, kNotAVertex, kSelfLoop, kRepeated, kOddWeight,
  kExactPass, kUnreached, kMissingStep, kCount, kWeightRange, kDisconnected, kSource, kKinds
};

// The names the summary gives to findings not shown, by kind.
constexpr std::array<const char*, kKinds> kKindNames = {
    "refusals", "judge warnings", "trailing text", "ids not a vertex", "self-loops",
    "repeated pairs", "odd weights", "exact pass", "unreached vertices",
    "paths over missing edges", "counts", "weights out of range", "connectivity", "source"};

// Collects findings into a Validation, showing the first few of each kind.
class Findings {
 public:
  explicit Findings(Validation* v) : v_(v) {}
  // Counts one finding of `kind`. Returns true when it is to be shown (then
  // call show()), false when it is only counted.
  bool take(Kind kind, bool error) {
    ++(error ? v_->errors : v_->warnings);
    if (++count_[kind] <= kShownPerKind) return true;
    ++v_->hidden[kKindNames[kind]];
    return false;
  }
  void show(bool error, uint64_t at, std::string text, uint64_t other = kNoPlace) {
    v_->findings.push_back({error, at, std::move(text), other});
  }
  // Returns how many findings are shown so far.
  size_t shown() const { return v_->findings.size(); }
  // Adds `more` to the text of shown finding i.
  void amend(size_t i, const std::string& more) { v_->findings[i].text += more; }
  void add(Kind kind, bool error, uint64_t at, std::string text) {
    if (take(kind, error)) show(error, at, std::move(text));
  }

 private:
  Validation* v_;
  std::array<int64_t, kKinds> count_{};
};

// Returns the pair {a, b} with the smaller id first.
std::pair<int32_t, int32_t> ordered(int32_t a, int32_t b) {
  return a < b ? std::pair{a, b} : std::pair{b, a};
}

// Which pairs of ids 0..n have been given an edge: one bit per pair, so that
// even a complete graph takes only n^2 / 16 bytes. Pairs with an id above n
// (rare, and warned about) are kept in a set.
class PairSeen {
 public:
  explicit PairSeen(int32_t n) : n_(n), bits_((static_cast<uint64_t>(n) + 1) * (n + 2) / 2) {}
  // Marks the pair {a, b}. Returns true when it was marked before.
  bool mark(int32_t a, int32_t b) {
    std::tie(a, b) = ordered(a, b);
    if (b > n_) return !far_.insert({a, b}).second;
    const uint64_t i = static_cast<uint64_t>(b) * (b + 1) / 2 + a;
    const bool was = bits_[i];
    bits_[i] = true;
    return was;
  }

 private:
  int32_t n_;
  std::vector<bool> bits_;
  std::set<std::pair<int32_t, int32_t>> far_;
};

// The parts of a union-find over vertices 1..n.
class Components {
 public:
  explicit Components(int32_t n) : up_(n + 1), count_(n) { std::iota(up_.begin(), up_.end(), 0); }
  void join(int32_t a, int32_t b) {
    a = find(a), b = find(b);
    if (a != b) up_[a] = b, --count_;
  }
  int32_t find(int32_t v) {
    while (up_[v] != v) v = up_[v] = up_[up_[v]];
    return v;
  }
  int32_t count() const { return count_; }

 private:
  std::vector<int32_t> up_;
  int32_t count_;
};

// A repeated edge whose finding is shown: the edge, its finding, its pair.
struct Repeat {
  int64_t e = 0;
  size_t finding = 0;
  std::pair<int32_t, int32_t> pair;
};

// One edge as read, with where each of its numbers stands.
struct EdgeRead {
  int64_t e = 0;
  int32_t u = 0, v = 0, w = 0;
  uint64_t u_at = 0, v_at = 0, w_at = 0;
};

// Hears the loader's numbers and tells, edge by edge, what a test author
// rarely means. Keeps a few bits per pair and a few bytes per vertex.
class EdgeWatcher : public LoadObserver {
 public:
  EdgeWatcher(const GraphConstraints& want, Findings& found) : want_(want), found_(found) {}

  void number(int64_t index, const Number& num) override;

  // What the loader read of the header, and where things stand.
  int64_t n_read = 0, m_read = 0;
  bool has_n = false, has_m = false;
  uint64_t n_at = 0, m_at = 0;
  uint64_t stop_at = 0;          // the read that stopped the header or the edge list
  uint64_t last_u_at = 0, last_v_at = 0;
  int32_t last_u = 0, last_v = 0;
  uint64_t odd_weight_at = kNoPlace;  // the first weight outside 0..2^30-1
  int64_t edges = 0;
  std::vector<char> reached;        // by an edge between two distinct vertices of 1..n
  std::vector<Repeat> repeats;      // the repeated edges whose finding is shown
  std::vector<std::pair<size_t, EdgeRead>> odd_shown;  // shown odd weights: finding, edge
  std::optional<Components> parts;

 private:
  void header(int64_t index, const Number& num);
  void edge(const EdgeRead& r);
  void check_ids(const EdgeRead& r);
  void check_pair(const EdgeRead& r);
  void check_weight(const EdgeRead& r);
  bool vertex(int32_t id) const { return id >= 1 && id <= n_; }

  const GraphConstraints& want_;
  Findings& found_;
  int32_t n_ = 0;
  std::optional<PairSeen> seen_;
  EdgeRead current_;
};

void EdgeWatcher::number(int64_t index, const Number& num) {
  if (num.read != Read::kNumber) stop_at = num.where;
  if (index < 2) return header(index, num);
  const int64_t field = (index - 2) % 3;
  if (field == 0) {
    current_ = EdgeRead{(index - 2) / 3 + 1};
    current_.u = last_u = num.value;
    current_.u_at = last_u_at = num.where;
  } else if (field == 1) {
    current_.v = last_v = num.value;
    current_.v_at = last_v_at = num.where;
  } else if (num.read == Read::kNumber) {
    current_.w = num.value;
    current_.w_at = num.where;
    edge(current_);
  }
}

// Returns a count as read: its value, 0 when there is none, and one step
// beyond the 32-bit range when it does not fit.
int64_t count_value(const Number& num) {
  if (num.read == Read::kNumber) return num.value;
  if (num.read == Read::kNoNumber) return 0;
  return num.negative ? int64_t{std::numeric_limits<int32_t>::min()} - 1
                      : int64_t{std::numeric_limits<int32_t>::max()} + 1;
}

// Returns a count as a finding writes it: its value, or the bound it passes.
std::string count_text(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min()) return "(less than -2147483648)";
  if (value > std::numeric_limits<int32_t>::max()) return "(more than 2147483647)";
  return num(value);
}

void EdgeWatcher::header(int64_t index, const Number& num) {
  const bool read = num.read != Read::kNoNumber;
  if (index == 0) {
    has_n = read, n_at = num.where;
    n_read = count_value(num);
    n_ = static_cast<int32_t>(std::clamp<int64_t>(n_read, 0, V - 1));
    seen_.emplace(n_);
    reached.assign(n_ + 1, 0);
    if (want_.connected) parts.emplace(n_);
  } else {
    has_m = read, m_at = num.where;
    m_read = count_value(num);
  }
}

void EdgeWatcher::edge(const EdgeRead& r) {
  ++edges;
  if (!fits_tables(r.u) || !fits_tables(r.v)) return;  // the loader refuses the file
  check_ids(r);
  check_pair(r);
  check_weight(r);
  if (vertex(r.u) && vertex(r.v) && r.u != r.v) {
    reached[r.u] = reached[r.v] = 1;
    if (parts) parts->join(r.u, r.v);
  }
}

void EdgeWatcher::check_ids(const EdgeRead& r) {
  for (auto [id, at] : {std::pair{r.u, r.u_at}, std::pair{r.v, r.v_at}}) {
    if (vertex(id)) continue;
    found_.add(kNotAVertex, false, at,
               "edge " + num(r.e) + " names " + num(id) + ", not a vertex of 1.." + num(n_) +
                   ": the judge stores it, but no shortest path uses it, and a result line "
                   "naming " + num(id) + " weighs this edge");
    if (r.u == r.v) break;
  }
}

void EdgeWatcher::check_pair(const EdgeRead& r) {
  const bool error = want_.simple;
  // A self-loop at an id that is not a vertex is warned about as that id;
  // --simple forbids it all the same.
  if (r.u == r.v && (vertex(r.u) || error)) {
    found_.add(kSelfLoop, error, r.u_at,
               "self-loop at " + std::string(vertex(r.u) ? "vertex " : "id ") + num(r.u) +
                   " (weight " + num(r.w) +
                   "): it replaces the vertex's diagonal 0, which a path written from source " +
                   num(r.u) + " weighs on its first step" + (error ? " (--simple)" : ""));
  }
  if (!seen_->mark(r.u, r.v) || !found_.take(kRepeated, error)) return;
  repeats.push_back({r.e, found_.shown(), ordered(r.u, r.v)});
  found_.show(error, r.u_at,
              "edge " + num(r.u) + "-" + num(r.v) + " given again, with weight " + num(r.w) +
                  " (before: line {}): the later weight stands, not the smaller" +
                  (error ? " (--simple)" : ""));
}

void EdgeWatcher::check_weight(const EdgeRead& r) {
  if (want_.min_weight && r.w < *want_.min_weight) {
    found_.add(kWeightRange, true, r.w_at,
               "weight " + num(r.w) + " is below the least allowed, " + num(*want_.min_weight));
  }
  if (want_.max_weight && r.w > *want_.max_weight) {
    found_.add(kWeightRange, true, r.w_at,
               "weight " + num(r.w) + " is above the most allowed, " + num(*want_.max_weight));
  }
  if (!vertex(r.u) || !vertex(r.v) || (r.w >= 0 && r.w < (1 << 30))) return;
  if (odd_weight_at == kNoPlace) odd_weight_at = r.w_at;
  if (!found_.take(kOddWeight, false)) return;
  odd_shown.push_back({found_.shown(), r});
  found_.show(false, r.w_at,
              r.w < 0 ? "negative weight " + num(r.w) + ": the edge both ways is a negative cycle"
                      : "weight " + num(r.w) + " is 2^30 or more: sums of such weights can wrap");
}

// Tells what the loader refused or warned about, where it happened.
void loader_findings(const EdgeWatcher& w, bool loaded, const LoadReport& report, Findings& f) {
  if (!loaded) {
    uint64_t at = w.n_read >= V ? w.n_at : !fits_tables(w.last_u) ? w.last_u_at : w.last_v_at;
    f.add(kRefused, true, at, report.error + " (the judge refuses this file)");
  }
  if (!report.warning.empty()) {
    f.add(kJudgeWarning, false, w.stop_at, report.warning + " (the judge warns about this)");
  }
}

// Reads on after the last edge the loader read and tells what follows, if anything.
void trailing_findings(ByteReader& in, int64_t m, Findings& f) {
  Number x = read_number(in);
  if (x.read == Read::kNoNumber && x.at_end) return;
  const uint64_t at = x.where;
  int64_t numbers = 0;
  for (; x.read != Read::kNoNumber; x = read_number(in)) ++numbers;
  const int64_t announced = std::max<int64_t>(m, 0);
  std::string text;
  if (numbers > 0) {
    text = num(numbers) + (numbers == 1 ? " more number follows" : " more numbers follow") +
           " the " + num(announced) + " announced " + (announced == 1 ? "edge" : "edges") +
           " (" + num(numbers / 3) + (numbers / 3 == 1 ? " whole edge" : " whole edges");
    if (numbers % 3 != 0) text += " and " + num(numbers % 3) + " more";
    text += ")";
    if (!x.at_end) text += ", then text that is not a number";
  } else {
    text = "text that is not a number follows the " + num(announced) + " announced " +
           (announced == 1 ? "edge" : "edges");
  }
  f.add(kTrailing, false, at, text + ": the judge never reads it; is the edge count right?");
}

// Tells a negative vertex or edge count, which the judge takes quietly as none.
void negative_counts(const EdgeWatcher& w, Findings& f) {
  if (w.has_n && w.n_read < 0) {
    f.add(kJudgeWarning, false, w.n_at,
          "a negative vertex count, " + count_text(w.n_read) + ": the judge reads it as no vertex");
  }
  if (w.has_n && w.n_read < V && w.has_m && w.m_read < 0) {
    f.add(kJudgeWarning, false, w.m_at,
          "a negative edge count, " + count_text(w.m_read) + ": the judge reads no edge");
  }
}

// Tells the counts that break the constraints.
void count_findings(const EdgeWatcher& w, const GraphConstraints& want, Findings& f) {
  auto check = [&f](int64_t value, const std::optional<int64_t>& low,
                    const std::optional<int64_t>& high, uint64_t at, const char* what) {
    if (low && value < *low) {
      f.add(kCount, true, at,
            std::string(what) + " " + count_text(value) + " is below the least allowed, " +
                num(*low));
    }
    if (high && value > *high) {
      f.add(kCount, true, at,
            std::string(what) + " " + count_text(value) + " is above the most allowed, " +
                num(*high));
    }
  };
  check(w.has_n ? w.n_read : 0, want.min_vertices, want.max_vertices, w.n_at, "the vertex count");
  check(w.has_m ? w.m_read : 0, want.min_edges, want.max_edges, w.m_at, "the edge count");
}

// Tells that the judge will need the exact pass for this graph, and its cost.
void exact_pass_finding(const Graph& g, const EdgeWatcher& w, Findings& f) {
  if (weights_are_small(g) || w.odd_weight_at == kNoPlace) return;
  const int64_t n = g.n;
  std::string text = "weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = " +
                     num(n * n * n) + " steps for n = " + num(n) +
                     " (weights in range need one search, about (n + m) log n steps)";
  if (!weights_within(g, 0, std::numeric_limits<int32_t>::max())) text += "; negative edges make every distance depend on its loop order";
  f.add(kExactPass, false, w.odd_weight_at, text);
}

// Tells the vertices that no edge reaches, and whether the graph is connected.
void reach_findings(const Graph& g, EdgeWatcher& w, const GraphConstraints& want, Findings& f) {
  for (int32_t v = 1; v <= g.n && g.n > 1; ++v) {
    if (w.reached[v]) continue;
    f.add(kUnreached, false, w.n_at,
          "no edge reaches vertex " + num(v) + ": its distances are sums of INF steps");
  }
  if (!want.connected || !w.parts || w.parts->count() <= 1) return;
  int32_t apart = 2;
  while (apart <= g.n && w.parts->find(apart) == w.parts->find(1)) ++apart;
  f.add(kDisconnected, true, w.n_at,
        "the graph is not connected (--connected): " + num(w.parts->count()) +
            " components; vertex " + num(apart) + " cannot be reached from vertex 1");
}

// Returns, for each vertex, whether the path to it that `parent` traces uses
// a step without an edge (weight INF).
std::vector<char> over_missing(const Graph& g, int32_t s, const std::vector<int32_t>& parent) {
  std::vector<char> state(g.n + 1, 0);  // 0 unknown, 1 no, 2 yes
  state[s] = 1;
  std::vector<int32_t> chain;
  for (int32_t v = 1; v <= g.n; ++v) {
    for (int32_t u = v; state[u] == 0; u = parent[u]) chain.push_back(u);
    while (!chain.empty()) {
      const int32_t u = chain.back();
      chain.pop_back();
      const bool missing = g.Dist(parent[u], u) == INF;
      state[u] = missing || state[parent[u]] == 2 ? 2 : 1;
    }
  }
  return state;
}

// Tells, for --source, the vertices whose shortest path takes a missing edge.
void source_findings(const Graph& g, const EdgeWatcher& w, int32_t s, Findings& f) {
  if (!row_is_solved(g, s)) {
    f.add(kSource, true, w.n_at,
          "source " + num(s) + " is not a vertex of 1.." + num(g.n) + " (--source)");
    return;
  }
  if (!weights_are_small(g)) {
    f.add(kSource, false, w.n_at,
          "--source " + num(s) + ": the exact pass decides these distances, so no path is traced");
    return;
  }
  std::vector<int32_t> parent;
  fast_source_row(g, s, &parent);
  std::vector<char> state = over_missing(g, s, parent);
  for (int32_t v = 1; v <= g.n; ++v) {
    // The source's own line weighs its diagonal, or a step out and back.
    const bool missing = v == s ? parent[s] != s && g.Dist(s, parent[s]) == INF : state[v] == 2;
    if (!missing) continue;
    f.add(kMissingStep, false, w.n_at,
          "from source " + num(s) + ", a shortest path to vertex " + num(v) +
              " takes a step without an edge (weight INF)");
  }
}

// Finds, for each shown repeated edge, where the edge it repeats stands.
class RepeatFinder : public LoadObserver {
 public:
  RepeatFinder(const std::vector<Repeat>& repeats, Validation* v) : repeats_(repeats), v_(v) {
    for (const Repeat& r : repeats_) last_[r.pair] = kNoPlace;
  }
  void number(int64_t index, const Number& num) override {
    if (index < 2) return;
    const int64_t field = (index - 2) % 3, e = (index - 2) / 3 + 1;
    if (field == 0) {
      // Edge e is known from the first reading: its pair has been given before.
      for (const Repeat& r : repeats_) {
        if (r.e == e) v_->findings[r.finding].other = last_[r.pair];
      }
    }
    if (num.read != Read::kNumber) return;
    if (field == 0) u_ = num.value, u_at_ = num.where;
    if (field == 1) v_id_ = num.value;
    if (field != 2) return;
    auto it = last_.find(ordered(u_, v_id_));
    if (it != last_.end()) it->second = u_at_;
  }

  // Returns the index of the last number to hear: the first id of the last repeated edge.
  int64_t last_index() const {
    int64_t e = 0;
    for (const Repeat& r : repeats_) e = std::max(e, r.e);
    return 2 + 3 * (e - 1);
  }

 private:
  const std::vector<Repeat>& repeats_;
  Validation* v_;
  std::map<std::pair<int32_t, int32_t>, uint64_t> last_;  // the shown pairs only
  int32_t u_ = 0, v_id_ = 0;
  uint64_t u_at_ = 0;
};

// Reads the file again as far as the last shown repeated edge, and names for
// each the place of the edge it repeats. The loader read every number up to
// there whole, so the file's numbers in order are the ones it heard; memory
// does not grow with the file. Returns false with *err set.
bool find_repeated(const GraphBytes& file, const std::vector<Repeat>& repeats, Validation* v,
                   std::string* err) {
  RepeatFinder finder(repeats, v);
  const int64_t last = finder.last_index();
  return read_with(file, [&](ByteReader& in) {
    for (int64_t i = 0; i <= last; ++i) finder.number(i, read_number(in));
  }, err);
}

// Tells everything about the graph as a whole, once the loader has built it.
void graph_findings(const Graph& g, EdgeWatcher& w, const GraphConstraints& want, Findings& f) {
  // An odd weight that a later edge replaced is not the one the judge weighs.
  for (const auto& [i, r] : w.odd_shown) {
    if (g.Dist(r.u, r.v) != r.w) f.amend(i, ", but a later edge " + num(r.u) + "-" + num(r.v) +
                                                " replaces it");
  }
  exact_pass_finding(g, w, f);
  reach_findings(g, w, want, f);
  if (want.source) source_findings(g, w, *want.source, f);
}

// Loads the graph through the watcher and tells everything the first reading
// can: the loader's verdict, trailing text, counts, and the graph as a whole.
void first_pass(ByteReader& in, const GraphConstraints& want, EdgeWatcher& watcher,
                Findings& found, Validation* v) {
  Graph g;
  LoadReport report;
  const bool loaded = input(in, &g, &report, &watcher);
  if (in.error() != 0) return;  // the caller reports the file as unreadable
  loader_findings(watcher, loaded, report, found);
  if (loaded && report.warning.empty()) trailing_findings(in, g.m, found);
  negative_counts(watcher, found);
  count_findings(watcher, want, found);
  if (loaded) graph_findings(g, watcher, want, found);
  v->n = g.n;
}

}  // namespace

bool validate(const GraphBytes& file, const GraphConstraints& want, Validation* out,
              std::string* err) {
  Validation v;
  Findings found(&v);
  EdgeWatcher watcher(want, found);
  if (!read_with(file, [&](ByteReader& in) { first_pass(in, want, watcher, found, &v); }, err)) {
    return false;
  }
  v.m = watcher.has_m ? watcher.m_read : 0;
  v.edges_read = watcher.edges;
  if (!watcher.repeats.empty() && !find_repeated(file, watcher.repeats, &v, err)) return false;
  *out = std::move(v);
  return true;
}

namespace {

// Returns "1 error" or "2 errors".
std::string counted(int64_t count, const char* one, const char* many) {
  return num(count) + " " + (count == 1 ? one : many);
}

// Returns the summary line.
std::string summary(const std::string& name, const Validation& v) {
  std::string t = name + ": " + counted(v.errors, "error", "errors") + ", " +
                  counted(v.warnings, "warning", "warnings") + "; " +
                  counted(v.n, "vertex", "vertices") + ", " +
                  counted(v.edges_read, "edge", "edges") + " read";
  std::string hidden;
  for (const auto& [kind, count] : v.hidden) {
    if (!hidden.empty()) hidden += ", ";
    hidden += kind + " " + num(count);
  }
  if (!hidden.empty()) t += " (more not shown: " + hidden + ")";
  return t + "\n";
}

}  // namespace

bool validation_text(const GraphBytes& file, const std::string& name, const Validation& v,
                     std::string* out, std::string* err) {
  std::vector<uint64_t> offsets;
  for (const Finding& f : v.findings) {
    offsets.push_back(f.at);
    offsets.push_back(f.other == kNoPlace ? f.at : f.other);
  }
  std::vector<Place> at;
  if (!read_with(file, [&](ByteReader& in) { at = places(in, offsets); }, err)) return false;
  std::vector<size_t> order(v.findings.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&v](size_t a, size_t b) { return v.findings[a].at < v.findings[b].at; });
  std::string t;
  for (size_t i : order) {
    const Finding& f = v.findings[i];
    std::string text = f.text;
    if (size_t brace = text.find("{}"); brace != std::string::npos) {
      text.replace(brace, 2, num(at[2 * i + 1].line));
    }
    t += name + ":" + place_text(at[2 * i]) + ": " + (f.error ? "error: " : "warning: ") + text +
         "\n";
  }
  *out = t + summary(name, v);
  return true;
}

}  // namespace tarnwick
