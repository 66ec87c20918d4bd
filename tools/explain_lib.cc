#include "tools/explain_lib.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/input.h"
#include "graph/tables.h"
#include "tools/places.h"

namespace tarnwick {

std::string int128_text(__int128 v) {
  if (v == 0) return "0";
  const bool negative = v < 0;
  unsigned __int128 u = negative ? -static_cast<unsigned __int128>(v) : v;
  std::string digits;
  for (; u != 0; u /= 10) digits += static_cast<char>('0' + static_cast<int>(u % 10));
  if (negative) digits += '-';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

namespace {

// Keeps the steps and the weight of one line as the checker weighs it: the
// wanted line, or (wanted 0) the first wrong one. Lets the checker read to the
// end of the file, so that the lines can be counted.
class LineRecorder : public JudgeObserver {
 public:
  explicit LineRecorder(int64_t wanted) : wanted_(wanted) {}

  void step(const WeighedStep& s) override {
    if (done_ || (wanted_ != 0 && s.line != wanted_)) return;
    if (static_cast<int64_t>(current_.size()) < kKeptSteps) {
      current_.push_back(s);
      return;
    }
    if (has_tail_) ++not_kept_;
    tail_ = s;
    has_tail_ = true;
  }
  bool line_end(int64_t line, __int128 total, int32_t expected) override {
    lines = line;
    const bool keep = wanted_ == 0 ? total != expected : line == wanted_;
    if (!done_ && keep) {
      done_ = true;
      line_ = line;
      if (has_tail_) current_.push_back(tail_);
      steps = std::move(current_);
      steps_not_kept = not_kept_;
      this->total = total;
      this->expected = expected;
    }
    current_.clear();
    has_tail_ = false;
    not_kept_ = 0;
    return true;
  }
  // Returns the line kept, or 0.
  int64_t kept() const { return line_; }

  int64_t lines = 0;
  std::vector<WeighedStep> steps;  // the first kKeptSteps and the last
  int64_t steps_not_kept = 0;
  __int128 total = 0;
  int32_t expected = 0;

 private:
  int64_t wanted_;
  bool done_ = false;
  int64_t line_ = 0;
  std::vector<WeighedStep> current_;
  WeighedStep tail_;  // the latest step past the first kKeptSteps
  bool has_tail_ = false;
  int64_t not_kept_ = 0;
};

// The graph file, which is read more than once: from its path when it is a
// regular file, otherwise (a pipe) from a copy of its bytes made at the first reading.
struct GraphFile {
  const char* path = nullptr;
  bool in_memory = false;
  std::string bytes;
};

// Opens the graph file and, unless it is a regular file, reads it into memory.
// Returns false with *err set to the system's reason when it cannot.
bool open_graph(const char* path, GraphFile* file, std::string* err) {
  file->path = path;
  InputFile opened;
  if (!opened.open(path, err)) return false;
  struct stat st;
  if (::fstat(opened.fd(), &st) == 0 && S_ISREG(st.st_mode)) return true;
  file->in_memory = true;
  ByteReader in(opened.fd());
  while (in.peek() >= 0) {
    file->bytes.append(in.window());
    in.skip(in.window().size());
  }
  if (in.error() == 0) return true;
  *err = reason(in.error());
  return false;
}

// Calls f with a reader over the graph file from its start. Returns false with
// *err set to the system's reason when the file cannot be opened or read.
template <typename F>
bool read_graph(const GraphFile& file, F&& f, std::string* err) {
  if (file.in_memory) {
    ByteReader in(file.bytes);
    f(in);
    return true;
  }
  InputFile opened;
  if (!opened.open(file.path, err)) return false;
  ByteReader in(opened.fd());
  f(in);
  if (in.error() == 0) return true;
  *err = reason(in.error());
  return false;
}

using Pair = std::pair<int32_t, int32_t>;

// Returns the pair {a, b} with the smaller id first.
Pair key(int32_t a, int32_t b) { return a < b ? Pair{a, b} : Pair{b, a}; }

// Finds, for given pairs of ids, the offset of the last edge of the graph file
// between them (the one whose weight stands).
class EdgeFinder : public LoadObserver {
 public:
  explicit EdgeFinder(std::vector<std::pair<int32_t, int32_t>> pairs) : pairs_(std::move(pairs)) {
    std::sort(pairs_.begin(), pairs_.end());
    pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
    where_.assign(pairs_.size(), kNone);
  }
  void number(int64_t index, const Number& num) override {
    if (index < 2 || num.read != Read::kNumber) return;
    const int64_t field = (index - 2) % 3;
    if (field == 0) u_ = num.value, u_where_ = num.where;
    if (field == 1) v_ = num.value;
    if (field != 2) return;
    auto it = std::lower_bound(pairs_.begin(), pairs_.end(), key(u_, v_));
    if (it != pairs_.end() && *it == key(u_, v_)) where_[it - pairs_.begin()] = u_where_;
  }
  // Returns the offset of the last edge between a and b, or kNone.
  uint64_t where(int32_t a, int32_t b) const {
    auto it = std::lower_bound(pairs_.begin(), pairs_.end(), key(a, b));
    return it != pairs_.end() && *it == key(a, b) ? where_[it - pairs_.begin()] : kNone;
  }
  static constexpr uint64_t kNone = ~uint64_t{0};

 private:
  std::vector<std::pair<int32_t, int32_t>> pairs_;
  std::vector<uint64_t> where_;
  int32_t u_ = 0, v_ = 0;
  uint64_t u_where_ = 0;
};

// Returns why step s weighs what it does, given whether an edge set its pair.
StepWhy why(const WeighedStep& s, bool has_edge, int32_t n) {
  if (s.to == kOutsideId || s.from == kOutsideId) return StepWhy::kOutsideTables;
  if (has_edge) return s.from == s.to ? StepWhy::kSelfLoop : StepWhy::kEdge;
  if (s.from == s.to) return StepWhy::kDiagonal;
  auto vertex = [n](int32_t id) { return id >= 1 && id <= n; };
  return vertex(s.from) && vertex(s.to) ? StepWhy::kNoEdge : StepWhy::kNotAVertex;
}

// Returns the offset of the last edge of the graph file at graph_path between
// each step's two ids, or EdgeFinder::kNone, in step order. Returns false with
// *err set when the file cannot be read.
bool find_edge_offsets(const GraphFile& graph, const Explanation& e, std::vector<uint64_t>* at,
                       std::string* err) {
  std::vector<Pair> pairs;
  for (const ExplainedStep& s : e.steps) {
    if (s.step.to != kOutsideId && s.step.from != kOutsideId) {
      pairs.push_back(key(s.step.from, s.step.to));
    }
  }
  at->assign(e.steps.size(), EdgeFinder::kNone);
  if (pairs.empty()) return true;
  EdgeFinder finder(std::move(pairs));
  const bool read = read_graph(graph, [&finder](ByteReader& in) {
    Graph scratch;
    LoadReport report;
    input(in, &scratch, &report, &finder);
  }, err);
  if (!read) return false;
  for (size_t i = 0; i < e.steps.size(); ++i) {
    const WeighedStep& s = e.steps[i].step;
    if (s.to != kOutsideId && s.from != kOutsideId) (*at)[i] = finder.where(s.from, s.to);
  }
  return true;
}

// Reads the graph file again to tell, for each step, why it weighs what it
// does and the graph line of the edge that set its weight. Returns false with
// *err set when it cannot.
bool find_edges(const GraphFile& graph, Explanation* e, std::string* err) {
  std::vector<uint64_t> at;
  if (!find_edge_offsets(graph, *e, &at, err)) return false;
  std::vector<uint64_t> offsets;
  for (size_t i = 0; i < e->steps.size(); ++i) {
    e->steps[i].why = why(e->steps[i].step, at[i] != EdgeFinder::kNone, e->n);
    if (at[i] != EdgeFinder::kNone) offsets.push_back(at[i]);
  }
  if (offsets.empty()) return true;
  std::vector<Place> found;
  if (!read_graph(graph, [&](ByteReader& in) { found = places(in, offsets); }, err)) return false;
  size_t next = 0;
  for (ExplainedStep& s : e->steps) {
    if (s.why == StepWhy::kEdge || s.why == StepWhy::kSelfLoop) s.graph_line = found[next++].line;
  }
  return true;
}

// Fills e->how and, for the fast search, a shortest path to e->line.
void find_shortest(const Graph& g, Explanation* e) {
  const int64_t k = e->line;
  if (!row_is_solved(g, e->source)) {
    e->how = Expected::kSourceNotAVertex;
  } else if (k < 1 || k > g.n) {
    e->how = Expected::kLineNotAVertex;
  } else if (!weights_are_small(g)) {
    e->how = Expected::kExactPass;
  } else {
    e->how = Expected::kFastSearch;
    std::vector<int32_t> parent;
    std::vector<int32_t> row = fast_source_row(g, e->source, &parent);
    e->shortest_weight = row[k];
    const int32_t s = e->source;
    auto& path = e->shortest;
    if (k == s) {
      path = parent[s] == s ? std::vector<int32_t>{s, s} : std::vector<int32_t>{s, parent[s], s};
      return;
    }
    for (int32_t v = static_cast<int32_t>(k); v != s; v = parent[v]) path.push_back(v);
    path.push_back(s);
    std::reverse(path.begin(), path.end());
  }
}

// Keeps the edges among ids 0..n of a small graph, for drawing.
void keep_small_graph(const Graph& g, Explanation* e) {
  if (g.n > kDotMaxVertices) return;
  for (int32_t u = 0; u <= g.n; ++u) {
    for (int32_t v = u; v <= g.n; ++v) {
      const int32_t w = g.Dist(u, v);
      const bool no_edge = u == v || u == 0 ? w == 0 : w == INF;
      if (!no_edge) e->edges.push_back({u, v, w});
    }
  }
}

// Fills *e from the recorder after judging.
void take_line(const LineRecorder& rec, Explanation* e) {
  e->lines = rec.lines;
  e->line_read = rec.kept() != 0;
  if (!e->line_read) return;
  e->total = rec.total;
  e->expected = rec.expected;
  e->ends_at = e->source;
  e->steps_not_kept = rec.steps_not_kept;
  for (const WeighedStep& s : rec.steps) {
    e->steps.push_back({s, StepWhy::kNoEdge, 0});
    e->ends_at = s.to;
  }
}

// Loads the graph, solves and judges as the judge does, and fills *e with the
// verdict, the weighed line, a shortest path and a small graph's edges.
// Returns false with *err set when the judge could not judge.
bool judge_and_weigh(const ExplainRequest& req, const GraphFile& graph, ByteReader& result,
                     Explanation* e, std::string* err) {
  Graph g;
  LoadReport report;
  bool loaded = false;
  if (!read_graph(graph, [&](ByteReader& in) { loaded = input(in, &g, &report); }, err)) {
    report.error = *err;
  }
  if (!loaded) {
    *err = std::string(req.graph_path) + ": " + report.error;
    return false;
  }
  e->n = g.n;
  SourceRow APSP = solve(g, req.source);
  LineRecorder recorder(req.line);
  if (!judge(result, g.Dist, APSP, &e->verdict, &recorder)) {
    *err = "result file: " + reason(result.error());
    return false;
  }
  e->verdict_text = verdict_line(e->verdict);
  take_line(recorder, e);
  const bool wrong = e->verdict.kind == Verdict::kWrongAnswer;
  e->line = req.line != 0 ? req.line : wrong ? e->verdict.line : 0;
  if (e->line != 0) find_shortest(g, e);
  keep_small_graph(g, e);
  return true;
}

}  // namespace

bool explain(const ExplainRequest& req, ByteReader& result, Explanation* out, std::string* err) {
  Explanation e;
  e.source = req.source;
  GraphFile graph;
  if (!open_graph(req.graph_path, &graph, err)) {
    *err = std::string(req.graph_path) + ": " + *err;
    return false;
  }
  if (!judge_and_weigh(req, graph, result, &e, err)) return false;
  // The graph is freed by now, before it is read again for the graph lines.
  if (!find_edges(graph, &e, err)) {
    *err = std::string(req.graph_path) + ": " + *err;
    return false;
  }
  *out = std::move(e);
  return true;
}

bool explain(const ExplainRequest& req, const char* result_path, Explanation* out,
             std::string* err) {
  InputFile file;
  if (!file.open(result_path, err)) {
    *err = std::string(result_path) + ": " + *err;
    return false;
  }
  ByteReader in(file.fd());
  if (explain(req, in, out, err)) return true;
  if (err->rfind("result file: ", 0) == 0) *err = result_path + err->substr(11);
  return false;
}

}  // namespace tarnwick
