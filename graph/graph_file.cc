// A graph input opened once, and its edges found again afterwards.
#include "graph/graph_file.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <span>
#include <utility>

#include "graph/cpus.h"
#include "graph/parallel.h"

namespace tarnwick {

// Notes each edge's ids and the line of its first number as the loader reads it.
class GraphFile::Noter : public LoadObserver {
 public:
  Noter(LineTracker& lines, GraphFile& file) : lines_(lines), file_(file) {}
  bool on = true;
  void number(int64_t index, const Number& num) override {
    if (index < 2 || num.read != Read::kNumber || !on) return;
    const int64_t field = (index - 2) % 3;
    if (field == 0) line_ = lines_.place(num.where).line, edge_.u = num.value;
    if (field == 1) edge_.v = num.value;
    if (field == 2) note(num.value);
  }

 private:
  // Notes the edge read, of weight w.
  void note(int32_t w) {
    edge_.w = w;
    const int64_t gap = line_ - last_line_;
    edge_.gap = gap < kFarGap ? static_cast<uint32_t>(gap) : kFarGap;
    if (gap >= kFarGap) file_.far_gaps_[file_.noted_.size()] = gap;
    file_.noted_.push_back(edge_);
    last_line_ = line_;
  }

  LineTracker& lines_;
  GraphFile& file_;
  Noted edge_;
  int64_t line_ = 0, last_line_ = 0;
};

// Hands the bytes the reader takes to each tap in turn.
class GraphFile::Taps : public ByteTap {
 public:
  std::vector<ByteTap*> all;
  void take(uint64_t offset, std::string_view bytes) override {
    for (ByteTap* tap : all) tap->take(offset, bytes);
  }
};

GraphFile::GraphFile() = default;
GraphFile::~GraphFile() = default;

void GraphFile::add_tap(ByteTap* tap) {
  if (!taps_) {
    taps_ = std::make_unique<Taps>();
    taps_->all.push_back(tap);
    reader_->tap(taps_.get());
    return;
  }
  taps_->all.push_back(tap);
  tap->take(reader_->offset(), reader_->window());
}

bool GraphFile::open(const char* path, std::string* err) {
  if (!file_.open(path, err)) return false;
  reader_.emplace(file_.fd());
  return true;
}

void GraphFile::adopt(int fd) { reader_.emplace(fd); }

void GraphFile::assign(std::string_view bytes) { reader_.emplace(bytes); }

void GraphFile::release() {
  reader_.reset();
  file_.close();
}

LineTracker& GraphFile::lines() {
  if (!lines_) {
    lines_.emplace();
    add_tap(&*lines_);
  }
  return *lines_;
}

LoadObserver* GraphFile::noter() {
  if (rereadable()) return nullptr;
  if (!noter_) noter_ = std::make_unique<Noter>(lines(), *this);
  return noter_.get();
}

void GraphFile::stop_noting() {
  if (noter_) static_cast<Noter*>(noter_.get())->on = false;
}

bool GraphFile::edges(int64_t count, const std::function<void(const Edge&)>& f) const {
  const size_t last = static_cast<size_t>(std::clamp<int64_t>(count, 0, noted_.size()));
  int64_t line = 0;
  for (size_t i = 0; i < last; ++i) {
    const Noted& n = noted_[i];
    line += n.gap != kFarGap ? n.gap : far_gaps_.at(i);
    f({static_cast<int64_t>(i) + 1, n.u, n.v, n.w, line});
  }
  return true;
}

namespace {

// Returns the key of the pair {a, b} (ids that fit the tables), either way round.
uint32_t pair_key(int32_t a, int32_t b) {
  return static_cast<uint32_t>(std::min(a, b)) << 16 | static_cast<uint32_t>(std::max(a, b));
}
static_assert(V <= (1 << 16), "a pair of ids packs into 32 bits");

// The queries by pair, for the edges of an input to look theirs up.
class QueryIndex {
 public:
  explicit QueryIndex(const std::vector<EdgeQuery>& queries) {
    for (size_t i = 0; i < queries.size(); ++i) {
      const EdgeQuery& q = queries[i];
      if (fits_tables(q.a) && fits_tables(q.b)) by_pair_.push_back({pair_key(q.a, q.b), i});
    }
    std::sort(by_pair_.begin(), by_pair_.end());
    // 64 bits a query or more, so that few edges pass the filter; sized to
    // the queries, since a handful of them is asked for each explanation.
    while (bits_ < 64 * queries.size() && bits_ < kMostBits) bits_ *= 2;
    seen_.assign(bits_ / 64, 0);
    for (const auto& [key, i] : by_pair_) seen_[key % bits_ / 64] |= uint64_t{1} << key % 64;
  }
  // Calls f(i) for each query i of the pair {u, v}.
  template <typename F>
  void each(int32_t u, int32_t v, F f) const {
    if (!fits_tables(u) || !fits_tables(v)) return;
    const uint32_t key = pair_key(u, v);
    if ((seen_[key % bits_ / 64] >> key % 64 & 1) == 0) return;  // most edges stop here
    auto it = std::lower_bound(by_pair_.begin(), by_pair_.end(), std::pair{key, size_t{0}});
    for (; it != by_pair_.end() && it->first == key; ++it) f(it->second);
  }

 private:
  static constexpr uint32_t kMostBits = 1 << 20;
  uint32_t bits_ = 1024;  // a power of 2
  std::vector<std::pair<uint32_t, size_t>> by_pair_;
  std::vector<uint64_t> seen_;
};

// The last two edges found for each query (numbers and weights; number 0
// for none), and how many there are.
struct Found {
  std::vector<int64_t> e, e2, times;
  std::vector<int32_t> w, w2;
  explicit Found(size_t queries)
      : e(queries, 0), e2(queries, 0), times(queries, 0), w(queries, 0), w2(queries, 0) {}
  void take(size_t i, int64_t edge, int32_t weight) {
    if (edge > e[i]) {
      e2[i] = e[i], w2[i] = w[i], e[i] = edge, w[i] = weight;
    } else if (edge > e2[i] && edge != e[i]) {
      e2[i] = edge, w2[i] = weight;
    }
  }
  // Takes what another search found, in other ranges.
  void merge(size_t i, const Found& other) {
    take(i, other.e[i], other.w[i]);
    take(i, other.e2[i], other.w2[i]);
    times[i] += other.times[i];
  }
};

// Searches the numbers `a` (from number `first` of the input, `next` the two
// numbers after them) for the edges of queries, up to edge `last`.
void search(const std::vector<int32_t>& a, int64_t first, const int32_t next[2], int64_t last,
            const QueryIndex& index, const std::vector<EdgeQuery>& queries, Found* found) {
  const int64_t count = static_cast<int64_t>(a.size());
  auto at = [&](int64_t i) { return i < count ? a[i] : next[i - count]; };
  for (int64_t i = first < 2 ? 2 - first : (3 - (first - 2) % 3) % 3; i < count; i += 3) {
    const int64_t e = (first + i - 2) / 3 + 1;
    if (e > last) return;
    index.each(a[i], at(i + 1), [&](size_t q) {
      if (e < queries[q].before) found->take(q, e, at(i + 2)), ++found->times[q];
    });
  }
}

// Finds the last edge of each query in `whole` (which can_split) by its
// ranges (`marks`), on every CPU given, counting the line ends of each range
// read into ends[c]. Returns the errno of a failed read, or 0.
int search_ranges(const ByteReader& whole, std::span<const RangeMark> marks, int64_t last,
                  const std::vector<EdgeQuery>& queries, Found* found,
                  std::vector<LineEndCount>* ends) {
  const QueryIndex index(queries);
  std::vector<Found> mine;
  std::atomic<size_t> next_range{0};
  std::atomic<int> error{0};
  ends->assign(marks.size(), {});
  auto work = [&](int32_t t, int32_t) {
    std::vector<int32_t> a, more;
    for (size_t c; (c = next_range.fetch_add(1)) < marks.size();) {
      if (marks[c].first > 2 + 3 * last) continue;
      const uint64_t end = whole.split_end();
      const uint64_t hi = c + 1 < marks.size() ? marks[c + 1].offset : end;
      int e = detail::numbers_between(whole, marks[c].offset, hi, &a, &(*ends)[c]);
      int32_t after[2] = {0, 0};  // an edge may go on into the next range
      if (e == 0 && hi < end) e = detail::numbers_between(whole, hi, std::min(hi + 64, end), &more);
      for (size_t k = 0; k < 2 && k < more.size() && hi < end; ++k) after[k] = more[k];
      if (e != 0) error = e;
      search(a, marks[c].first, after, last, index, queries, &mine[t]);
    }
  };
  // A graph read in one range (a small one) is searched on this thread alone.
  const int32_t threads = std::min<int64_t>(usable_cpus(), static_cast<int64_t>(marks.size()));
  run_threads(threads, work, [&](int32_t count) { mine.assign(count, Found(queries.size())); });
  for (const Found& f : mine) {
    for (size_t i = 0; i < queries.size(); ++i) found->merge(i, f);
  }
  return error;
}

// Counts the line ends before each range of `marks` from those of the header
// and of the ranges (`ends`, from a search that read them).
void count_lines_from_ends(const ByteReader& whole, const std::vector<LineEndCount>& ends,
                           std::vector<RangeMark>* marks) {
  std::vector<char> buffer(size_t{1} << 16);
  ByteReader header(whole, 0, (*marks)[0].offset, buffer);
  LineEndCount before;
  header.tap(&before);
  while (header.peek() >= 0) header.skip(header.window().size());
  for (size_t c = 0; c < marks->size(); ++c) {
    (*marks)[c].lines = before.count, (*marks)[c].line_start = before.line_start;
    before.count += ends[c].count;
    if (ends[c].count > 0) before.line_start = ends[c].line_start;
  }
}

}  // namespace

bool find_edge_lines(GraphFile& file, const LoadReport& report, std::vector<EdgeQuery>* queries,
                     std::string* err) {
  int64_t last = 0;
  for (const EdgeQuery& q : *queries) last = std::max(last, std::min(q.before - 1, report.edges));
  if (last <= 0) return true;
  if (!file.rereadable()) {  // what was noted of each edge as it was loaded
    const QueryIndex index(*queries);
    return file.edges(last, [&](const GraphFile::Edge& edge) {
      index.each(edge.u, edge.v, [&](size_t i) {
        EdgeQuery& q = (*queries)[i];
        if (edge.e >= q.before) return;
        if (q.line != 0) q.earlier_line = q.line, q.earlier_weight = q.weight;
        q.line = edge.line, q.weight = edge.w, ++q.times;
      });
    });
  }
  // A regular file, read again through what is open: the file is not opened twice.
  std::vector<RangeMark> marks = report.ranges;
  if (marks.empty()) marks.push_back({});
  Found found(queries->size());
  std::vector<LineEndCount> ends;
  if (int e = search_ranges(file.reader(), marks, last, *queries, &found, &ends); e != 0) {
    *err = reason(e);
    return false;
  }
  count_lines_from_ends(file.reader(), ends, &marks);
  // Each query's last edge and the one before it, placed: spots 2i and 2i + 1.
  std::vector<Spot> spots(2 * queries->size());
  std::vector<Spot*> wanted;
  for (size_t i = 0; i < queries->size(); ++i) {
    for (const auto& [k, e] : {std::pair{2 * i, found.e[i]}, std::pair{2 * i + 1, found.e2[i]}}) {
      spots[k].number = 2 + 3 * (e - 1);
      if (e != 0) wanted.push_back(&spots[k]);
    }
  }
  if (!place_spots(file.reader(), marks, wanted, err)) return false;
  for (size_t i = 0; i < queries->size(); ++i) {
    EdgeQuery& q = (*queries)[i];
    q.times = found.times[i];
    if (found.e[i] != 0) q.line = spots[2 * i].at.line, q.weight = found.w[i];
    if (found.e2[i] != 0) q.earlier_line = spots[2 * i + 1].at.line, q.earlier_weight = found.w2[i];
  }
  return true;
}

}  // namespace tarnwick
