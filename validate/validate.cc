// The findings about a test graph, heard from the load and read from what it built.
#include "validate/validate.h"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <set>
#include <utility>

#include "cli/escape.h"
#include "cli/tool.h"
#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/tables.h"
#include "validate/strict.h"

namespace tarnwick {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

// The kinds of finding; only the first few of each are shown.
enum Kind {
  kRefused, kJudgeWarning, kTrailing, kNotAVertex, kSelfLoop, kRepeated, kOddWeight,
  kExactPass, kUnreached, kMissingStep, kCount, kWeightRange, kDisconnected, kSource,
  kLayout, kStrict, kKinds
};

// The names the summary gives to findings not shown, by kind.
constexpr std::array<const char*, kKinds> kKindNames = {
    "refusals", "judge warnings", "trailing text", "ids not a vertex", "self-loops",
    "repeated pairs", "odd weights", "exact pass", "unreached vertices",
    "paths over missing edges", "counts", "weights out of range", "connectivity", "source",
    "test layout", "strict layout"};

// The offset of a spot already placed as the bytes went by.
constexpr uint64_t kPlaced = UINT64_MAX;

// Returns a spot already placed at `at`.
Spot placed(const Place& at) {
  Spot s = Spot::of_offset(kPlaced);
  s.at = at;
  return s;
}

// Collects findings into a Validation, showing the first few of each kind;
// those whose spot is not placed yet are placed by place().
class Findings {
 public:
  explicit Findings(Validation* v) : v_(v) {}
  // Counts one finding of `kind`. Returns true when it is to be shown (then
  // call show()), false when it is only counted.
  bool take(Kind kind, bool error) {
    ++(error ? v_->errors : v_->warnings);
    return ++count_[kind] <= kShownPerKind;
  }
  // Counts `more` findings of `kind`, past the few shown.
  void count(Kind kind, bool error, int64_t more) {
    (error ? v_->errors : v_->warnings) += more;
    count_[kind] += more;
  }
  void show(bool error, const Spot& at, std::string text) {
    if (at.offset != kPlaced) unplaced_.push_back({v_->findings.size(), at});
    v_->findings.push_back({error, at.at, std::move(text)});
  }
  // Places the findings not placed yet in `whole`, by the marks of its load,
  // and counts those not shown. Returns false with *err set when a read fails.
  bool place(const ByteReader& whole, std::span<const RangeMark> marks, std::string* err) {
    for (int kind = 0; kind < kKinds; ++kind) {
      if (count_[kind] > kShownPerKind) v_->hidden[kKindNames[kind]] = count_[kind] - kShownPerKind;
    }
    std::vector<Spot*> spots;
    for (auto& [i, spot] : unplaced_) spots.push_back(&spot);
    if (spots.empty()) return true;
    if (!place_spots(whole, marks, spots, err)) return false;
    for (auto& [i, spot] : unplaced_) v_->findings[i].at = spot.at;
    return true;
  }
  // Returns true while findings of `kind` are still shown.
  bool showing(Kind kind) const { return count_[kind] < kShownPerKind; }
  // Returns how many findings are shown so far.
  size_t shown() const { return v_->findings.size(); }
  // Adds `more` to the text of shown finding i.
  void amend(size_t i, const std::string& more) { v_->findings[i].text += more; }
  void add(Kind kind, bool error, const Spot& at, std::string text) {
    if (take(kind, error)) show(error, at, std::move(text));
  }

 private:
  Validation* v_;
  std::array<int64_t, kKinds> count_{};
  std::vector<std::pair<size_t, Spot>> unplaced_;  // finding, its spot
};

// Which pairs of ids 0..n have been given an edge: one bit per pair, so that
// even a complete graph takes only n^2 / 16 bytes. Pairs with an id above n
// (rare, and warned about) are kept in a set.
class PairSeen {
 public:
  explicit PairSeen(int32_t n)
      : n_(n), words_(((static_cast<uint64_t>(n) + 1) * (n + 2) / 2 + 63) / 64) {}
  // Marks the pair {a, b}. Returns true when it was marked before.
  bool mark(int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    if (b > n_) return !far_.insert({a, b}).second;
    const uint64_t i = bit(a, b), was = words_[i / 64] >> (i % 64) & 1;
    words_[i / 64] |= uint64_t{1} << (i % 64);
    return was != 0;
  }
  // Asks for the word of the pair {a, b} ahead of its mark.
  void prefetch(int32_t a, int32_t b) const {
    if (a > b) std::swap(a, b);
    if (a >= 0 && b <= n_) __builtin_prefetch(&words_[bit(a, b) / 64]);
  }

 private:
  static uint64_t bit(int32_t a, int32_t b) { return static_cast<uint64_t>(b) * (b + 1) / 2 + a; }

  int32_t n_;
  std::vector<uint64_t> words_;
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

// A repeated edge whose finding is shown; its words wait for the earlier edge.
struct Repeat {
  int64_t e = 0;
  size_t finding = 0;
  int32_t u = 0, v = 0, w = 0;
  bool error = false;
};

// One edge as read.
struct EdgeRead {
  int64_t e = 0;
  int32_t u = 0, v = 0, w = 0;
};

// The read that stopped the header or the edge list (no number there).
struct Stop {
  int64_t index = -1;  // as LoadObserver::number counts; -1 when none did
  Spot at = placed({});
  bool at_end = false;  // the file ended there
};

// Hears the loader and tells, edge by edge, what a test author rarely means,
// keeping a few bits per pair and a few bytes per vertex. An input that can be
// read again is heard edge by edge while it is read in ranges, and its
// findings placed once the load is done; any other is heard number by
// number, each placed as it is heard (LineTracker's contract).
class EdgeWatcher : public LoadObserver {
 public:
  EdgeWatcher(const GraphConstraints& want, GraphFile& file, Findings& found)
      : want_(want), file_(file), by_number_(!file.rereadable()), found_(found) {
    if (by_number_) lines_ = &file.lines();
  }

  void number(int64_t index, const Number& num) override;
  void edge(int64_t e, int32_t u, int32_t v, int32_t w) override;
  void edges(int64_t first, std::span<const int32_t> numbers,
             std::span<const uint8_t> again) override;
  // Whether pairs came again is asked of the loader while repeats are still
  // shown; the rest it counts (LoadReport::pairs_again).
  bool asks_again() const override { return repeats.size() < static_cast<size_t>(kShownPerKind); }
  // Returns the repeats the loader told edge by edge (each taken as a finding).
  int64_t told_again() const { return told_again_; }
  bool reads_numbers() const override { return by_number_; }
  // Read number by number: the u of the edge heard last, whole or not.
  int32_t u() const { return heard_u_; }
  // Returns where number `index` stands: a spot to place later, or, read
  // number by number, the place of that number of the edge heard last.
  Spot number_spot(int64_t index) const {
    return by_number_ ? heard_[(index - 2) % 3] : Spot::of_number(index);
  }
  // Returns where field 0, 1 or 2 (u, v, w) of edge r stands.
  Spot at(const EdgeRead& r, int64_t field) const { return number_spot(2 + 3 * (r.e - 1) + field); }
  // Returns where the text that starts at `offset` stands (read just now when
  // read number by number).
  Spot offset_spot(uint64_t offset) const {
    return by_number_ ? placed(lines_->place(offset)) : Spot::of_offset(offset);
  }

  // What the loader read of the header, and where things stand.
  int64_t n_read = 0, m_read = 0;
  bool has_n = false, has_m = false;
  Spot n_at = placed({}), m_at = placed({});
  Stop stop;
  std::optional<Spot> odd_weight_at;  // the first weight outside 0..2^30-1
  int64_t edges_heard = 0;
  std::vector<char> reached;        // by an edge between two distinct vertices of 1..n
  int64_t unreached_ = 0;           // vertices of 1..n not reached yet
  int64_t told_again_ = 0;          // repeats the loader told
  std::vector<Repeat> repeats;      // the repeated edges whose finding is shown
  std::vector<std::pair<size_t, EdgeRead>> odd_shown;  // shown odd weights: finding, edge
  std::optional<Components> parts;

 private:
  void header(int64_t index, const Number& num, const Spot& at);
  // Checks edge r; `again` tells whether its pair was given before, when the
  // loader knows (else the pair is marked here).
  void check_edge(const EdgeRead& r, uint8_t again);
  void check_ids(const EdgeRead& r);
  void check_pair(const EdgeRead& r, uint8_t again);
  // Notes that the edge r between two distinct vertices reaches both.
  void join(const EdgeRead& r) {
    reach(r.u), reach(r.v);
    if (parts) parts->join(r.u, r.v);
  }
  void reach(int32_t v) {
    unreached_ -= reached[v] == 0;
    reached[v] = 1;
  }
  // Returns true when the pair of edge r came before and is to be taken here:
  // as the loader told it, or as marked here when it cannot tell.
  bool again_of(const EdgeRead& r, uint8_t again) {
    if (again == kAgainUnknown) return seen_->mark(r.u, r.v);
    told_again_ += again == kAgainYes;
    return again == kAgainYes;
  }
  // Takes a repeat of edge r: shown while the first few, else counted.
  void take_repeat(const EdgeRead& r) {
    if (repeats.size() < static_cast<size_t>(kShownPerKind)) return repeated(r);
    found_.take(kRepeated, want_.simple);
  }
  void repeated(const EdgeRead& r);
  void check_weight(const EdgeRead& r);
  bool vertex(int32_t id) const { return id >= 1 && id <= n_; }
  // Returns true when a finding may stand at this number (field -1 for the
  // header): a first id while pairs are still shown (they are told there),
  // any number when odd.
  bool may_stand(int64_t field, const Number& num) const {
    if (field < 0 || num.read != Read::kNumber) return true;
    const int32_t x = num.value;
    if (field == 0) return !vertex(x) || found_.showing(kSelfLoop) || found_.showing(kRepeated);
    if (field == 1) return !vertex(x);
    return (want_.min_weight && x < *want_.min_weight) ||
           (want_.max_weight && x > *want_.max_weight) || x < 0 || x >= (1 << 30);
  }

  const GraphConstraints& want_;
  const bool plain_weights_ = !want_.min_weight && !want_.max_weight;  // no bound on weights
  GraphFile& file_;
  const bool by_number_;
  LineTracker* lines_ = nullptr;  // when read number by number
  Findings& found_;
  int32_t n_ = 0;
  std::optional<PairSeen> seen_;
  // Read number by number: where the numbers of the edge heard last stand, and its u.
  Spot heard_[3] = {placed({}), placed({}), placed({})};
  int32_t heard_u_ = 0;
};

void EdgeWatcher::number(int64_t index, const Number& num) {
  const int64_t field = index < 2 ? -1 : (index - 2) % 3;
  Spot at = by_number_ ? placed({}) : offset_spot(num.where);
  // Asked now, as the number is heard, and only where a finding may stand:
  // a place costs a call into the tracker.
  if (by_number_ && may_stand(field, num)) at = offset_spot(num.where);
  if (num.read != Read::kNumber) stop = {index, at, num.at_end};
  if (field < 0) return header(index, num, at);
  heard_[field] = at;
  if (field == 0) heard_u_ = num.value;
}

void EdgeWatcher::edge(int64_t e, int32_t u, int32_t v, int32_t w) {
  ++edges_heard;
  check_edge({e, u, v, w}, kAgainUnknown);
}

void EdgeWatcher::edges(int64_t first, std::span<const int32_t> numbers,
                        std::span<const uint8_t> again) {
  // The run of most edges, told as such: two vertices, a weight in range, the
  // loader telling (or counting) whether the pair came before; each takes a
  // few steps, and fewer once every vertex is reached.
  const bool plain_run = plain_weights_ && !parts && again.size() * 3 >= numbers.size();
  const uint32_t n = static_cast<uint32_t>(n_);
  for (size_t i = 0, k = 0; i + 3 <= numbers.size(); i += 3, ++k) {
    const int32_t u = numbers[i], v = numbers[i + 1], w = numbers[i + 2];
    const uint8_t told = k < again.size() ? again[k] : kAgainUnknown;
    const bool plain = plain_run && u != v && static_cast<uint32_t>(u - 1) < n &&
                       static_cast<uint32_t>(v - 1) < n && static_cast<uint32_t>(w) < (1u << 30);
    if (!plain) {
      check_edge({first + static_cast<int64_t>(k), u, v, w}, told);
      continue;
    }
    if (unreached_ > 0) reach(u), reach(v);
    // Pairs stored in lists are not told: they are looked up here.
    if (again_of({first + static_cast<int64_t>(k), u, v, w}, told)) {
      take_repeat({first + static_cast<int64_t>(k), u, v, w});
    }
  }
  edges_heard += static_cast<int64_t>(numbers.size() / 3);
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

void EdgeWatcher::header(int64_t index, const Number& num, const Spot& at) {
  const bool read = num.read != Read::kNoNumber;
  if (index == 0) {
    has_n = read, n_at = at;
    n_read = count_value(num);
    n_ = static_cast<int32_t>(std::clamp<int64_t>(n_read, 0, V - 1));
    seen_.emplace(n_);
    reached.assign(n_ + 1, 0);
    unreached_ = n_;
    if (want_.connected) parts.emplace(n_);
  } else {
    has_m = read, m_at = at;
    m_read = count_value(num);
  }
}

void EdgeWatcher::check_edge(const EdgeRead& r, uint8_t again) {
  const bool joins = vertex(r.u) && vertex(r.v) && r.u != r.v;
  if (joins && plain_weights_ && static_cast<uint32_t>(r.w) < (1u << 30)) [[likely]] {
    // Most edges: two vertices, a weight in range, nothing to tell but a repeat.
    if (again_of(r, again)) take_repeat(r);
  } else {
    check_ids(r);
    check_pair(r, again);
    check_weight(r);
  }
  if (joins) join(r);
}

void EdgeWatcher::check_ids(const EdgeRead& r) {
  for (int64_t field = 0; field < 2; ++field) {
    const int32_t id = field == 0 ? r.u : r.v;
    if (vertex(id)) continue;
    found_.add(kNotAVertex, false, at(r, field),
               "edge " + num(r.e) + " names " + num(id) + ", not a vertex of 1.." + num(n_) +
                   ": the judge stores it, but no shortest path uses it, and a result line "
                   "naming " + num(id) + " weighs this edge");
    if (r.u == r.v) break;
  }
}

void EdgeWatcher::check_pair(const EdgeRead& r, uint8_t again) {
  const bool error = want_.simple;
  // A self-loop at an id that is not a vertex is warned about as that id;
  // --simple forbids it all the same.
  if (r.u == r.v && (vertex(r.u) || error)) {
    found_.add(kSelfLoop, error, at(r, 0),
               "self-loop at " + std::string(vertex(r.u) ? "vertex " : "id ") + num(r.u) +
                   " (weight " + num(r.w) +
                   "): it replaces the vertex's diagonal 0, which a path written from source " +
                   num(r.u) + " weighs on its first step" + (error ? " (--simple)" : ""));
  }
  if (again_of(r, again)) take_repeat(r);
}

void EdgeWatcher::repeated(const EdgeRead& r) {
  const bool error = want_.simple;
  if (!found_.take(kRepeated, error)) return;
  // Worded once the earlier edge is found (see place_repeats).
  repeats.push_back({r.e, found_.shown(), r.u, r.v, r.w, error});
  found_.show(error, at(r, 0), "");
  // The edges the shown repeats repeat are all behind: a pipe need note no more.
  if (static_cast<int64_t>(repeats.size()) == kShownPerKind) file_.stop_noting();
}

void EdgeWatcher::check_weight(const EdgeRead& r) {
  if (want_.min_weight && r.w < *want_.min_weight) {
    found_.add(kWeightRange, true, at(r, 2),
               "weight " + num(r.w) + " is below the least allowed, " + num(*want_.min_weight));
  }
  if (want_.max_weight && r.w > *want_.max_weight) {
    found_.add(kWeightRange, true, at(r, 2),
               "weight " + num(r.w) + " is above the most allowed, " + num(*want_.max_weight));
  }
  if (!vertex(r.u) || !vertex(r.v) || (r.w >= 0 && r.w < (1 << 30))) return;
  if (!odd_weight_at) odd_weight_at = at(r, 2);
  if (!found_.take(kOddWeight, false)) return;
  odd_shown.push_back({found_.shown(), r});
  found_.show(false, at(r, 2),
              r.w < 0 ? "negative weight " + num(r.w) + ": the edge both ways is a negative cycle"
                      : "weight " + num(r.w) + " is 2^30 or more: sums of such weights can wrap");
}

// Returns true when the file is read as a test input: the judge's warnings
// are errors there.
bool as_test_input(const ValidateOptions& o) {
  return o.test_input || o.source.how == SourceGiven::How::kCarried;
}

// Returns the words for a test input that ends early: what it must hold.
std::string layout(const ValidateOptions& o) {
  return o.source.how == SourceGiven::How::kCarried
             ? "a test input holds n, m, the m edges, then the source"
             : "a test input holds n, m, then the m edges";
}

// Returns true when the edge list stopped at edge m, after its first number,
// at the end of the file: the source of a test input whose m is one too large.
bool one_edge_too_many(const EdgeWatcher& w) {
  const int64_t field = (w.stop.index - 2) % 3, e = (w.stop.index - 2) / 3 + 1;
  return w.stop.index >= 2 && field == 1 && w.stop.at_end && e == w.m_read;
}

// Tells the judge's warning about the file: an error in a test input.
void judge_warning(const EdgeWatcher& w, GraphFile& file, const LoadReport& report,
                   const ValidateOptions& o, Findings& f) {
  const std::string& warning = report.warning;
  if (!as_test_input(o)) {
    f.add(kJudgeWarning, false, w.stop.at, warning + " (the judge warns about this)");
  } else if (o.source.how == SourceGiven::How::kCarried && one_edge_too_many(w)) {
    // The edge's one number is read again (or was placed as it was heard).
    Spot u = w.number_spot(w.stop.index - 1);
    std::string ignored;
    if (!w.reads_numbers()) place_spots(file.reader(), report.ranges, {{&u}}, &ignored);
    f.add(kJudgeWarning, true, u,
          "the edge count is likely one too large: edge " + num(w.m_read) + " of " +
              num(w.m_read) + " is a single number, " + num(w.reads_numbers() ? w.u() : u.read.value) +
              ", then the file ends, so the source was read as the start of an edge (" +
              layout(o) + ")");
  } else {
    f.add(kJudgeWarning, true, w.stop.at,
          warning + " (the judge warns about this; " + layout(o) + ")");
  }
}

// Tells what the loader refused or warned about, where it happened.
void loader_findings(const EdgeWatcher& w, GraphFile& file, const Case& judging,
                     const ValidateOptions& o, Findings& f) {
  const LoadReport& report = judging.report();
  if (judging.fault() == Case::Fault::kGraph) {
    const Spot at = w.n_read >= V ? w.n_at : w.number_spot(report.fault_number);
    f.add(kRefused, true, at, report.error + " (the judge refuses this file)");
  }
  if (!report.warning.empty()) judge_warning(w, file, report, o, f);
}

// What follows a point of the file: numbers, then perhaps text.
struct Trailing {
  bool any = false;
  Spot at;  // of the first thing that follows
  int64_t numbers = 0;
  bool text = false;  // text that is not a number follows the numbers
};

// Reads `in` to its end (or to text that is not a number).
Trailing read_trailing(ByteReader& in, const EdgeWatcher& w) {
  Trailing t;
  Number x = read_number(in);
  if (x.read == Read::kNoNumber && x.at_end) return t;
  t.any = true;
  t.at = w.offset_spot(x.where);
  for (; x.read != Read::kNoNumber; x = read_number(in)) ++t.numbers;
  t.text = !x.at_end;
  return t;
}

// Returns "1 more number follows" or "3 more numbers follow".
std::string more_numbers(int64_t numbers) {
  return num(numbers) + (numbers == 1 ? " more number follows" : " more numbers follow");
}

// Returns "the 1 announced edge" or "the 3 announced edges" (m < 0 is none).
std::string the_edges(int64_t m, const char* announced) {
  m = std::max<int64_t>(m, 0);
  return "the " + num(m) + announced + (m == 1 ? " edge" : " edges");
}

// Tells what follows the m-th edge of a file without a carried source.
void after_edges(const Trailing& t, int64_t m, Findings& f) {
  if (!t.any) return;
  const std::string edges = " " + the_edges(m, " announced");
  std::string text;
  if (t.numbers > 0) {
    const int64_t whole = t.numbers / 3;
    text = more_numbers(t.numbers) + edges + " (" + num(whole) +
           (whole == 1 ? " whole edge" : " whole edges");
    if (t.numbers % 3 != 0) text += " and " + num(t.numbers % 3) + " more";
    text += ")";
    if (t.text) text += ", then text that is not a number";
  } else {
    text = "text that is not a number follows" + edges;
  }
  f.add(kTrailing, false, t.at, text + ": the judge never reads it; is the edge count right?");
}

// Tells what follows a carried source: nothing may.
void after_source(const Trailing& t, Findings& f) {
  if (!t.any) return;
  std::string text = t.numbers > 0 ? more_numbers(t.numbers) + " the source vertex"
                                   : "text that is not a number follows the source vertex";
  if (t.numbers > 0 && t.text) text += ", then text that is not a number";
  f.add(kLayout, true, t.at, text + ": a test input ends with the source");
}

// Tells a source that is not a vertex of g: an error unless allowed.
void non_vertex_source(const Graph& g, int32_t s, const char* how, const ValidateOptions& o,
                       const Spot& at, Findings& f) {
  const std::string text = "source " + num(s) + " is not a vertex of " +
                           (g.n >= 1 ? "1.." + num(g.n) : std::string("the graph, which has none"));
  if (o.allow_non_vertex_source) {
    f.add(kSource, false, at, text + ": the judge compares every line with its direct weights");
  } else {
    f.add(kSource, true, at, text + " (" + how + "; --allow-non-vertex-source permits it)");
  }
}

// Tells what is wrong with the source carried after the m-th edge, reads on
// and tells what follows it. Requires every edge read.
void carried_findings(ByteReader& in, const EdgeWatcher& w, const Case& judging,
                      const ValidateOptions& o, Findings& f, Validation* v) {
  const Number& s = judging.carried();
  const Spot at = w.offset_spot(s.where);  // before reading on
  if (s.read == Read::kNoNumber) {
    f.add(kLayout, true, at,
          s.at_end ? "no source vertex after " + the_edges(judging.graph().m, "") +
                         ": a test input ends with the source"
                   : "text that is not a number stands where the source vertex should be, "
                     "after " + the_edges(judging.graph().m, ""));
    return;
  }
  if (s.read == Read::kTooBig || !fits_tables(s.value)) {
    f.add(kLayout, true, at,
          "source " + count_text(count_value(s)) + " is outside 0.." + num(V - 1) +
              ": the judge cannot judge from it");
  } else if (judging.fault() == Case::Fault::kSource) {  // "1e3": the case's own reading
    f.add(kLayout, true, at,
          "the source vertex after the m-th edge is not a whole number: every tool refuses "
          "such a test");
    return;
  } else {
    v->carried = s.value;
    if (!row_is_solved(judging.graph(), s.value)) {
      non_vertex_source(judging.graph(), s.value, "the number after the m-th edge", o, at, f);
    }
  }
  after_source(read_trailing(in, w), f);
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

// Tells the counts that break the constraints, and a test input without a vertex.
void count_findings(const EdgeWatcher& w, const ValidateOptions& o, Findings& f) {
  auto check = [&f](int64_t value, const std::optional<int64_t>& low,
                    const std::optional<int64_t>& high, const Spot& at, const char* what) {
    const std::string text = std::string(what) + " " + count_text(value) + " is ";
    if (low && value < *low) f.add(kCount, true, at, text + "below the least allowed, " + num(*low));
    if (high && value > *high) {
      f.add(kCount, true, at, text + "above the most allowed, " + num(*high));
    }
  };
  const GraphConstraints& want = o.want;
  check(w.has_n ? w.n_read : 0, want.min_vertices, want.max_vertices, w.n_at, "the vertex count");
  check(w.has_m ? w.m_read : 0, want.min_edges, want.max_edges, w.m_at, "the edge count");
  if (o.test_input && w.has_n && w.n_read < 1) {
    f.add(kCount, true, w.n_at,
          "the vertex count is " + count_text(w.n_read) +
              ": a test input needs at least one vertex");
  }
}

// Tells that the judge will need the exact pass for this graph, and its cost.
void exact_pass_finding(const Graph& g, const EdgeWatcher& w, Findings& f) {
  if (weights_are_small(g) || !w.odd_weight_at) return;
  const int64_t n = g.n;
  std::string text = "weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = " +
                     num(n * n * n) + " steps for n = " + num(n) +
                     " (weights in range need one search, about (n + m) log n steps)";
  if (!weights_within(g, 0, std::numeric_limits<int32_t>::max())) {
    text += "; negative edges make every distance depend on its loop order";
  }
  f.add(kExactPass, false, *w.odd_weight_at, text);
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

// Returns true when the case is to solve the row of `source`: only for
// --source, and only by the search (its parents trace the paths).
bool traced(const ValidateOptions& o, const Graph& g, int32_t source) {
  return o.source.how == SourceGiven::How::kFlag && row_is_solved(g, source) &&
         weights_are_small(g);
}

// Tells, for --source, the vertices whose shortest path takes a missing edge.
void source_findings(const Case& judging, const EdgeWatcher& w, const ValidateOptions& o, Findings& f) {
  const Graph& g = judging.graph();
  const int32_t s = judging.source();
  if (!row_is_solved(g, s)) return non_vertex_source(g, s, "--source", o, w.n_at, f);
  if (!judging.solved()) {
    f.add(kSource, false, w.n_at,
          "--source " + num(s) + ": the exact pass decides these distances, so no path is traced");
    return;
  }
  const std::vector<int32_t>& parent = judging.parents();
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

// Tells everything about the graph as a whole, once the loader has built it.
void graph_findings(const Case& judging, EdgeWatcher& w, const ValidateOptions& o, Findings& f) {
  const Graph& g = judging.graph();
  // An odd weight that a later edge replaced is not the one the judge weighs.
  for (const auto& [i, r] : w.odd_shown) {
    if (g.Dist(r.u, r.v) != r.w) {
      f.amend(i, ", but a later edge " + num(r.u) + "-" + num(r.v) + " replaces it");
    }
  }
  exact_pass_finding(g, w, f);
  reach_findings(g, w, o.want, f);
  if (o.source.how == SourceGiven::How::kFlag && judging.source() >= 0) source_findings(judging, w, o, f);
}

// Returns the words of a repeated edge, given the edge it repeats.
std::string repeat_text(const Repeat& r, const EdgeQuery& before) {
  const std::string pair = "edge " + num(r.u) + "-" + num(r.v) + " given again, with ";
  const std::string where = " (before: line " + num(before.line) + ")";
  const std::string text =
      before.weight == r.w
          ? pair + "the same weight " + num(r.w) + where + ": the same edge twice"
          : pair + "weight " + num(r.w) + where + ": the later weight stands, not the smaller";
  return text + (r.error ? " (--simple)" : "");
}

// Words the shown repeated edges, naming the line of the edge each repeats,
// from the edges the report tells were loaded. Returns false with *err set.
bool place_repeats(GraphFile& file, const LoadReport& report, const std::vector<Repeat>& repeats,
                   Validation* v, std::string* err) {
  std::vector<EdgeQuery> queries;
  for (const Repeat& r : repeats) queries.push_back({r.u, r.v, r.e});
  if (!find_edge_lines(file, report, &queries, err)) return false;
  for (size_t i = 0; i < repeats.size(); ++i) {
    v->findings[repeats[i].finding].text = repeat_text(repeats[i], queries[i]);
  }
  return true;
}

// Tells what follows the edges: the carried source and nothing after it, or
// text the judge never reads.
void after_load(GraphFile& file, const EdgeWatcher& w, const Case& judging, const ValidateOptions& o,
                Findings& f, Validation* v) {
  if (judging.fault() == Case::Fault::kGraph || !judging.report().warning.empty()) return;
  if (o.source.how == SourceGiven::How::kCarried) {
    carried_findings(file.reader(), w, judging, o, f, v);
  } else {
    after_edges(read_trailing(file.reader(), w), judging.graph().m, f);
  }
}

}  // namespace

// A validation under way: the findings, and the watcher that hears the load.
class Validator::Watch {
 public:
  Watch(const ValidateOptions& options, GraphFile& file)
      : options_(options), file_(file), found_(&v_), watcher_(options_.want, file, found_) {
    if (!options.strict_layout) return;
    layout_.emplace(options.source.how == SourceGiven::How::kCarried);
    // An input read once is checked as the load reads it; a file, after it.
    if (!file.rereadable()) file.add_tap(&*layout_);
  }

  CaseOptions load_options() {
    CaseOptions o;
    o.observer = &watcher_;
    o.note_edges = true;  // a repeat's earlier edge: from what a pipe noted as it loaded
    o.read_on = true;     // what follows the edges, or the carried source
    o.tuning = options_.tuning;
    o.solve_if = [this](const Graph& g, int32_t s) { return traced(options_, g, s); };
    return o;
  }

  bool finish(const Case& judging, Validation* out, std::string* err) {
    after_load(file_, watcher_, judging, options_, found_, &v_);
    if (layout_ && !strict_findings(err)) return false;
    if (file_.reader().error() != 0) {
      *err = reason(file_.reader().error());
      return false;
    }
    loader_findings(watcher_, file_, judging, options_, found_);
    negative_counts(watcher_, found_);
    count_findings(watcher_, options_, found_);
    if (judging.fault() != Case::Fault::kGraph) graph_findings(judging, watcher_, options_, found_);
    // The repeats the loader counted and did not tell edge by edge.
    if (judging.report().pairs_again >= 0) {
      found_.count(kRepeated, options_.want.simple,
                   judging.report().pairs_again - watcher_.told_again());
    }
    if (!place_repeats(file_, judging.report(), watcher_.repeats, &v_, err)) return false;
    if (!found_.place(file_.reader(), judging.report().ranges, err)) return false;
    v_.n = judging.graph().n;
    v_.m = watcher_.has_m ? watcher_.m_read : 0;
    // An edge that names an id outside the tables was read, though not stored.
    const bool refused = judging.report().fault == LoadFault::kIdOutsideTables;
    v_.edges_read = watcher_.edges_heard + (refused ? 1 : 0);
    *out = std::move(v_);
    return true;
  }

 private:
  // Tells where the input leaves the strict layout: the whole file read again,
  // or the rest of an input read once. Returns false with *err set.
  bool strict_findings(std::string* err) {
    ByteReader& in = file_.reader();
    if (file_.rereadable()) {
      if (!check_whole(in, &*layout_, err)) return false;
    } else {
      while (in.peek() != -1) in.skip(in.window().size());
      layout_->finish();
    }
    for (const StrictLayout::Found& f : layout_->found()) found_.add(kStrict, true, placed(f.at), f.text);
    found_.count(kStrict, true, layout_->count() - static_cast<int64_t>(layout_->found().size()));
    return true;
  }

  ValidateOptions options_;
  GraphFile& file_;
  Validation v_;
  Findings found_;
  EdgeWatcher watcher_;
  std::optional<StrictLayout> layout_;
};

Validator::Validator(const ValidateOptions& options, GraphFile& file)
    : watch_(std::make_unique<Watch>(options, file)) {}

Validator::~Validator() = default;

CaseOptions Validator::load_options() { return watch_->load_options(); }

bool Validator::finish(const Case& judging, Validation* out, std::string* err) {
  return watch_->finish(judging, out, err);
}

bool validate(GraphFile& file, const ValidateOptions& options, Validation* out,
              std::string* err) {
  Validator validator(options, file);
  Case judging;
  judging.make(file, "", options.source, validator.load_options(), err);
  if (judging.fault() == Case::Fault::kSource && options.source.how == SourceGiven::How::kFlag) {
    return false;  // the flag is not an id (parse_source_flag)
  }
  return validator.finish(judging, out, err);
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
  if (v.carried >= 0) t += ", source " + num(v.carried);
  const std::string hidden =
      joined(v.hidden, ", ", [](const auto& kind) { return kind.first + " " + num(kind.second); });
  if (!hidden.empty()) t += " (more not shown: " + hidden + ")";
  return t + "\n";
}

}  // namespace

std::string validation_text(const std::string& name, const Validation& v) {
  const std::string shown = printable(name);
  std::vector<const Finding*> order;
  for (const Finding& f : v.findings) order.push_back(&f);
  std::stable_sort(order.begin(), order.end(), [](const Finding* a, const Finding* b) {
    return std::pair{a->at.line, a->at.column} < std::pair{b->at.line, b->at.column};
  });
  std::string t;
  for (const Finding* f : order) {
    t += shown + ":" + place_text(f->at) + ": " + (f->error ? "error: " : "warning: ") + f->text +
         "\n";
  }
  return t + summary(shown, v);
}

}  // namespace tarnwick
