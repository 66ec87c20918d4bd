// Weighing a line through the judge's observer, and finding the graph lines of its steps.
#include "explain/explain.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/tables.h"

namespace tarnwick {

namespace {

// Returns how a file whose first token's first bytes are `token` looks:
// UTF-16 (a byte-order mark FF FE or FE FF, or a NUL byte, as every other
// byte of ASCII text in UTF-16), or UTF-8 after a byte-order mark.
Explanation::Encoding encoding_of(std::string_view token) {
  using Encoding = Explanation::Encoding;
  const bool utf16_mark = token.starts_with("\xff\xfe") || token.starts_with("\xfe\xff");
  if (utf16_mark || token.find('\0') != std::string_view::npos) return Encoding::kUtf16;
  return token.starts_with("\xef\xbb\xbf") ? Encoding::kByteOrderMark : Encoding::kPlain;
}

// Keeps in *e the steps and the weight of one line as the checker weighs it:
// the wanted line, or (wanted 0) the first wrong one. Lets the checker read on
// past the verdict while the lines read change what is told.
class LineRecorder : public JudgeObserver {
 public:
  LineRecorder(int64_t wanted, Explanation* e) : wanted_(wanted), e_(e) {}

  void step(const WeighedStep& s) override {
    if (s.line == 1 && s.index == 1) e_->encoding = encoding_of(s.token);
    const bool no_id_yet = !id_read_ && s.repeated;
    id_read_ = id_read_ || !s.repeated;
    if (e_->line_read || (wanted_ != 0 && s.line != wanted_)) return;
    ExplainedStep kept{s, std::string(s.token), no_id_yet};
    kept.step.token = {};  // the checker's buffer: its bytes are copied out above
    if (static_cast<int64_t>(steps_.size()) < kKeptSteps) {
      steps_.push_back(std::move(kept));
      return;
    }
    if (tail_) ++not_kept_;
    tail_ = std::move(kept);
  }
  bool line_end(int64_t line, __int128 total, int32_t expected) override {
    e_->lines = line;
    wrong_ = wrong_ || total != expected;
    const bool keep = wanted_ == 0 ? total != expected : line == wanted_;
    if (!e_->line_read && keep) {
      e_->line_read = true;
      line_kept_ = line;
      if (tail_) steps_.push_back(std::move(*tail_));
      e_->steps = std::move(steps_);
      e_->steps_not_kept = not_kept_;
      e_->total = total;
      e_->expected = expected;
      e_->ends_at = e_->steps.empty() ? e_->source : e_->steps.back().step.to;
    }
    steps_.clear();
    tail_.reset();
    not_kept_ = 0;
    // Past line n and the line explained, no line changes what is told (lines
    // missing, a blank last line): the judge stops once the verdict stands.
    const bool done = wrong_ && e_->line_read && line > std::max<int64_t>(e_->n, line_kept_);
    if (done) e_->read_to_end = false;
    return !done;
  }

 private:
  int64_t wanted_;
  Explanation* e_;
  bool id_read_ = false;  // a token of the file has held a number
  bool wrong_ = false;    // a line has been weighed wrong: the verdict stands
  int64_t line_kept_ = 0;
  std::vector<ExplainedStep> steps_;   // the first kKeptSteps of the current line
  std::optional<ExplainedStep> tail_;  // its latest step past them
  int64_t not_kept_ = 0;
};

// Returns why step s weighs what it does, given whether an edge set its pair.
StepWhy why(const WeighedStep& s, bool has_edge, const Explanation& e) {
  if (s.to == kOutsideId || s.from == kOutsideId) return StepWhy::kOutsideTables;
  if (has_edge) return s.from == s.to ? StepWhy::kSelfLoop : StepWhy::kEdge;
  if (s.from == s.to) return StepWhy::kDiagonal;
  return e.is_vertex(s.from) && e.is_vertex(s.to) ? StepWhy::kNoEdge : StepWhy::kNotAVertex;
}

// Fills e->how and, for the fast search, a shortest path to e->line.
void find_shortest(const Case& judging, Explanation* e) {
  if (!row_is_solved(judging.graph(), e->source)) {
    e->how = Expected::kSourceNotAVertex;
  } else if (!e->is_vertex(e->line)) {
    e->how = Expected::kLineNotAVertex;
  } else if (judging.parents().empty()) {
    e->how = Expected::kExactPass;
  } else {
    const auto k = static_cast<int32_t>(e->line);
    e->how = Expected::kFastSearch;
    e->shortest_weight = judging.row().at(k);
    e->shortest = path_from_parents(judging.parents(), e->source, k);
  }
}

// Returns the vertices of 1..n that --dot draws (see Explanation::drawn).
std::vector<int32_t> drawn_vertices(const Explanation& e) {
  std::vector<int32_t> drawn;
  auto add = [&](int64_t id) {
    if (e.is_vertex(id)) drawn.push_back(static_cast<int32_t>(id));
  };
  if (e.n <= kDotMaxVertices) {
    for (int32_t v = 1; v <= e.n; ++v) add(v);
    return drawn;
  }
  add(e.source);
  add(e.line);
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

// Tells step s of e why it weighs what it does, from the answer q about its pair.
void tell_why(const EdgeQuery& q, const Explanation& e, ExplainedStep* s) {
  s->why = why(s->step, q.line != 0, e);
  s->graph_line = q.line;
  // A pair given again with another weight: the later weight stands, which
  // an author who meant the smaller does not expect.
  if (q.times > 1 && q.earlier_weight != q.weight) {
    s->pair_times = q.times;
    s->earlier_line = q.earlier_line;
    s->earlier_weight = q.earlier_weight;
  }
}

}  // namespace

bool weigh(const ExplainRequest& req, ResultFile& result, Explanation* e, std::string* why) {
  const Case& judging = *req.judging;
  e->n = judging.graph().n;
  e->source = judging.source();
  e->warnings = judging.warnings();
  LineRecorder recorder(req.line, e);
  if (!judging.judge(result, &e->verdict, why, &recorder)) return false;
  e->verdict_line = verdict_line(e->verdict);
  const bool wrong = e->verdict.kind == Verdict::kWrongAnswer;
  e->line = req.line != 0 ? req.line : wrong ? e->verdict.line : 0;
  if (e->line != 0) find_shortest(judging, e);
  keep_drawn(judging.graph(), e);
  return true;
}

bool add_graph_lines(const ExplainRequest& req, Explanation* e, std::string* err) {
  Explanation* const one[] = {e};
  return add_graph_lines(req, one, err);
}

bool add_graph_lines(const ExplainRequest& req, std::span<Explanation* const> es, std::string* err) {
  std::vector<EdgeQuery> queries;
  const int64_t edges = req.judging->report().edges;
  for (const Explanation* e : es) {
    for (const ExplainedStep& s : e->steps) {
      const bool outside = s.step.to == kOutsideId || s.step.from == kOutsideId;
      queries.push_back({s.step.from, s.step.to, outside ? 0 : edges + 1});
    }
  }
  if (!queries.empty() && !find_edge_lines(*req.graph, req.judging->report(), &queries, err)) {
    *err = req.graph_name + ": " + *err;
    return false;
  }
  const EdgeQuery* q = queries.data();
  for (Explanation* e : es) {
    for (ExplainedStep& s : e->steps) tell_why(*q++, *e, &s);
    e->steps_told = true;
  }
  return true;
}

bool explain(const ExplainRequest& req, ResultFile& result, const std::string& result_name,
             Explanation* out, std::string* err) {
  Explanation e;
  if (!weigh(req, result, &e, err)) {
    *err = result_name + ": " + *err;
    return false;
  }
  if (!add_graph_lines(req, &e, err)) return false;
  *out = std::move(e);
  return true;
}

}  // namespace tarnwick
