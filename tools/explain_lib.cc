#include "tools/explain_lib.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/input.h"
#include "graph/tables.h"

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
    const bool no_id_yet = !id_read_ && s.repeated;
    id_read_ = id_read_ || !s.repeated;
    if (done_ || (wanted_ != 0 && s.line != wanted_)) return;
    if (static_cast<int64_t>(current_.size()) < kKeptSteps) {
      current_.push_back(kept(s, no_id_yet));
      return;
    }
    if (has_tail_) ++not_kept_;
    tail_ = kept(s, no_id_yet);
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
  std::vector<ExplainedStep> steps;  // the first kKeptSteps and the last
  int64_t steps_not_kept = 0;
  __int128 total = 0;
  int32_t expected = 0;

 private:
  int64_t wanted_;
  bool done_ = false;
  bool id_read_ = false;  // a token of the file has held a number
  int64_t line_ = 0;
  // Returns s with its token's bytes copied out of the checker's buffer.
  static ExplainedStep kept(const WeighedStep& s, bool no_id_yet) {
    ExplainedStep e{s, std::string(s.token), no_id_yet, StepWhy::kNoEdge, 0};
    e.step.token = {};
    return e;
  }

  std::vector<ExplainedStep> current_;
  ExplainedStep tail_;  // the latest step past the first kKeptSteps
  bool has_tail_ = false;
  int64_t not_kept_ = 0;
};

// Returns why step s weighs what it does, given whether an edge set its pair.
StepWhy why(const WeighedStep& s, bool has_edge, int32_t n) {
  if (s.to == kOutsideId || s.from == kOutsideId) return StepWhy::kOutsideTables;
  if (has_edge) return s.from == s.to ? StepWhy::kSelfLoop : StepWhy::kEdge;
  if (s.from == s.to) return StepWhy::kDiagonal;
  auto vertex = [n](int32_t id) { return id >= 1 && id <= n; };
  return vertex(s.from) && vertex(s.to) ? StepWhy::kNoEdge : StepWhy::kNotAVertex;
}

// Tells, for each step, why it weighs what it does and the graph line of the
// edge that set its weight, from the edges of the graph input. Returns false
// with *err set when the input cannot be read again.
bool find_edges(GraphFile& graph, int64_t edges, Explanation* e, std::string* err) {
  std::vector<EdgeQuery> queries;
  for (const ExplainedStep& s : e->steps) {
    const bool outside = s.step.to == kOutsideId || s.step.from == kOutsideId;
    queries.push_back({s.step.from, s.step.to, outside ? 0 : edges + 1});
  }
  if (!find_edge_lines(graph, edges, &queries, err)) return false;
  for (size_t i = 0; i < e->steps.size(); ++i) {
    ExplainedStep& s = e->steps[i];
    s.why = why(s.step, queries[i].line != 0, e->n);
    s.graph_line = queries[i].line;
  }
  return true;
}

// Fills e->how and, for the fast search, a shortest path to e->line.
void find_shortest(const Case& c, Explanation* e) {
  const int64_t k = e->line;
  if (!row_is_solved(c.graph(), e->source)) {
    e->how = Expected::kSourceNotAVertex;
  } else if (k < 1 || k > c.graph().n) {
    e->how = Expected::kLineNotAVertex;
  } else if (c.parents().empty()) {
    e->how = Expected::kExactPass;
  } else {
    e->how = Expected::kFastSearch;
    e->shortest_weight = c.row().at(k);
    e->shortest = path_from_parents(c.parents(), e->source, static_cast<int32_t>(k));
  }
}

// Returns the vertices of 1..n that --dot draws (see Explanation::drawn).
std::vector<int32_t> drawn_vertices(const Explanation& e) {
  std::vector<int32_t> drawn;
  auto add = [&](int32_t id) {
    if (id >= 1 && id <= e.n) drawn.push_back(id);
  };
  if (e.n <= kDotMaxVertices) {
    for (int32_t v = 1; v <= e.n; ++v) add(v);
    return drawn;
  }
  add(e.source);
  if (e.line <= e.n) add(static_cast<int32_t>(e.line));
  for (const ExplainedStep& s : e.steps) add(s.step.to);
  for (int32_t v : e.shortest) add(v);
  std::sort(drawn.begin(), drawn.end());
  drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
  return drawn;
}

// Keeps the vertices to draw and, when they are few, the edges among them and id 0.
void keep_drawn(const Graph& g, Explanation* e) {
  e->drawn = drawn_vertices(*e);
  if (e->drawn.size() > static_cast<size_t>(kDotMaxVertices)) return;
  std::vector<int32_t> ids = {0};
  ids.insert(ids.end(), e->drawn.begin(), e->drawn.end());
  for (size_t i = 0; i < ids.size(); ++i) {
    for (size_t j = i; j < ids.size(); ++j) {
      const int32_t u = ids[i], v = ids[j], w = g.Dist(u, v);
      const bool no_edge = u == v || u == 0 ? w == 0 : w == INF;
      if (!no_edge) e->edges.push_back({u, v, w});
    }
  }
}

// Fills *e from the recorder after judging.
void take_line(LineRecorder& rec, Explanation* e) {
  e->lines = rec.lines;
  e->line_read = rec.kept() != 0;
  if (!e->line_read) return;
  e->total = rec.total;
  e->expected = rec.expected;
  e->ends_at = e->source;
  e->steps_not_kept = rec.steps_not_kept;
  e->steps = std::move(rec.steps);
  if (!e->steps.empty()) e->ends_at = e->steps.back().step.to;
}

}  // namespace

bool weigh(const ExplainRequest& req, ByteReader& result, Explanation* e) {
  const Case& c = *req.c;
  e->n = c.graph().n;
  e->source = c.source();
  e->warnings = c.warnings();
  LineRecorder recorder(req.line);
  if (!c.judge(result, &e->verdict, &recorder)) return false;
  e->verdict_text = verdict_line(e->verdict);
  take_line(recorder, e);
  const bool wrong = e->verdict.kind == Verdict::kWrongAnswer;
  e->line = req.line != 0 ? req.line : wrong ? e->verdict.line : 0;
  if (e->line != 0) find_shortest(c, e);
  keep_drawn(c.graph(), e);
  return true;
}

bool add_graph_lines(const ExplainRequest& req, Explanation* e, std::string* err) {
  e->steps_told = find_edges(*req.graph, req.c->report().edges, e, err);
  if (e->steps_told) return true;
  *err = req.graph_name + ": " + *err;
  return false;
}

bool explain(const ExplainRequest& req, ByteReader& result, const std::string& result_name,
             Explanation* out, std::string* err) {
  Explanation e;
  if (!weigh(req, result, &e)) {
    *err = result_name + ": " + reason(result.error());
    return false;
  }
  if (!add_graph_lines(req, &e, err)) return false;
  *out = std::move(e);
  return true;
}

}  // namespace tarnwick
