#include "graph/input.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "graph/cpus.h"
#include "graph/parallel.h"
#include "graph/scan.h"

namespace tarnwick {

namespace {

using detail::LoadTuning;
using detail::Storage;

// Inputs smaller than this are read on one thread, number by number.
constexpr uint64_t kSplitAbove = uint64_t{1} << 20;
// Bytes each thread reads in one round, and through how large a buffer.
constexpr size_t kRangeBytes = size_t{1} << 20;
constexpr size_t kReadBuffer = size_t{256} << 10;

// Reads numbers for the loader, telling the observer (when there is one) of each.
class NumberSource {
 public:
  NumberSource(ByteReader& in, LoadObserver* observer) : in_(in), observer_(observer) {}
  // Reads number `index` of the file (see LoadObserver::number).
  Number next(int64_t index) {
    Number num = read_number(in_);
    if (observer_ != nullptr) observer_->number(index, num);
    return num;
  }

 private:
  ByteReader& in_;
  LoadObserver* observer_;
};

// Returns what stopped an edge from being read whole.
const char* why_cut_short(const Number& num) {
  if (num.read == Read::kTooBig) return "a number too large for 32 bits";
  return num.at_end ? "the end of the file" : "text that is not a number";
}

// Reads the header into g->n and g->m; *m_too_big tells that the edge count did
// not fit in 32 bits. Returns false with report->error set when the vertex count
// cannot fit the tables.
bool read_header(NumberSource& in, Graph* g, bool* m_too_big, LoadReport* report) {
  Number n = in.next(0);
  if (n.read == Read::kNoNumber) {
    report->warning = "no vertex count: judging an empty graph";
    return true;
  }
  if ((n.read == Read::kTooBig && !n.negative) || n.value >= V) {
    report->error = "the vertex count is too large: at most " + std::to_string(V - 1) +
                    " vertices fit";
    return false;
  }
  g->n = n.value < 0 ? 0 : n.value;  // a negative count, too large or not, means no vertex
  Number m = in.next(1);
  if (m.read == Read::kNoNumber) {
    report->warning = "no edge count after the vertex count: no edge read";
  } else if (m.read == Read::kTooBig) {
    // More edges than any file can hold: read them all until the file ends.
    g->m = m.negative ? -1 : std::numeric_limits<int32_t>::max();
    *m_too_big = !m.negative;
  } else {
    g->m = m.value;
  }
  return true;
}

// The edge list as its numbers come, in file order: edge e is numbers
// 2 + 3 (e - 1) to 2 + 3 (e - 1) + 2 of the file. Hands each whole edge to a
// store, stops after the m-th edge, and words the first fault: an edge cut
// short (a warning; the edges before it stand) or an id that cannot fit the
// tables (an error).
class EdgeList {
 public:
  // Requires g.m read (m_too_big: more were announced than fit in 32 bits).
  EdgeList(const Graph& g, bool m_too_big) : m_(g.m), m_too_big_(m_too_big) {}

  // Returns true while the next number of the file belongs to the edge list.
  bool wants_more() const { return !stopped_ && next_ <= m_; }
  // Returns the index of the next number wanted, as LoadObserver counts.
  int64_t index() const { return 2 + 3 * (next_ - 1) + pending_; }

  // Takes the next number. Requires wants_more().
  template <typename Store>
  void take(int32_t x, Store& store) {
    held_[pending_++] = x;
    if (pending_ < 3) return;
    pending_ = 0;
    edge(held_[0], held_[1], held_[2], store);
  }

  // Places the list at edge e with nothing of it read yet (the numbers
  // before were taken elsewhere), so that a fault found there is worded here.
  void move_to(int64_t e) {
    next_ = e;
    pending_ = 0;
  }

  // Ends the list at edge next_, whose end `id` cannot fit the tables.
  // Ends the list at edge next_, whose end `id` cannot fit the tables.
  [[gnu::noinline]] void refuse(int32_t id) {
    error_ = "edge " + std::to_string(next_) + " names vertex " + std::to_string(id) +
             ", outside 0.." + std::to_string(V - 1);
    stopped_ = true;
  }

  // Ends the list at edge next_, all m edges read: nothing to tell.
  void complete() { stopped_ = true; }

  // Ends the list at a read that found no number (num.read != Read::kNumber).
  void cut_short(const Number& num) {
    std::string announced = (m_too_big_ ? "more than " : "") + std::to_string(m_);
    warning_ = "the edge list ends after " + std::to_string(next_ - 1) + " of " + announced +
               " edges: edge " + std::to_string(next_) + " meets " + why_cut_short(num);
    stopped_ = true;
  }

  // Ends the list at a read error (errno e).
  void fail(int e) {
    error_ = reason(e);
    stopped_ = true;
  }

  // Moves the outcome into *report; returns false when the graph is refused.
  bool report(LoadReport* report) {
    if (!error_.empty()) {
      report->error = std::move(error_);
      report->warning.clear();
      return false;
    }
    if (!warning_.empty()) report->warning = std::move(warning_);
    return true;
  }

 private:
  template <typename Store>
  void edge(int32_t u, int32_t v, int32_t w, Store& store) {
    if (!fits_tables(u) || !fits_tables(v)) [[unlikely]] {
      refuse(fits_tables(u) ? v : u);
      return;
    }
    store(u, v, w);
    ++next_;
  }

  int64_t m_;
  bool m_too_big_;
  int64_t next_ = 1;  // the edge the next whole triple makes
  int32_t held_[3] = {0, 0, 0};
  int32_t pending_ = 0;  // numbers of edge next_ taken so far
  bool stopped_ = false;
  std::string warning_, error_;
};

// Building neighbour lists takes this many bytes an edge at its peak: the
// edges in file order and sorted (12 bytes each), then both directions (8
// bytes each) while the sorted edges are still there.
constexpr uint64_t kListBytesPerEdge = 12 + 2 * sizeof(Neighbour);

// Returns true when the weights among 1..n are best a dense table: when it
// takes no more room than building the neighbour lists of the most edges the
// file can hold (an edge takes at least six bytes, "1 2 3\n"). `bytes_left`
// is 0 when the size of the input is unknown.
bool choose_dense(const Graph& g, uint64_t bytes_left, Storage storage) {
  if (storage != Storage::kByDensity) return storage == Storage::kDense;
  if (g.n <= 0 || bytes_left == 0) return false;
  uint64_t edges = std::min<uint64_t>(std::max(g.m, 0), bytes_left / 6);
  uint64_t side = static_cast<uint64_t>(g.n) + 1;
  return side * side * sizeof(int32_t) <= edges * kListBytesPerEdge;
}

// Reads the edge list number by number (observer: hears each).
void read_edges_one_by_one(NumberSource& in, EdgeList& edges, DirectWeights::Builder& b,
                           size_t dense_after) {
  struct {
    DirectWeights::Builder& b;
    size_t dense_after;
    void operator()(int32_t u, int32_t v, int32_t w) {
      b.add(u, v, w);
      // An input of unknown size that turns out dense: lists would outgrow the table.
      if (dense_after != 0 && b.listed() == dense_after) b.make_dense();
    }
  } store{b, dense_after};
  while (edges.wants_more()) {
    Number num = in.next(edges.index());
    if (num.read != Read::kNumber) {
      edges.cut_short(num);
      return;
    }
    edges.take(num.value, store);
  }
}

// One thread's share of a round: the numbers of a range of the input.
struct Range {
  // Grows `numbers` to hold at least `more` numbers past the first `count`.
  void make_room(size_t more) {
    if (room >= count + more) return;
    room = std::max(count + more, 2 * room);
    auto bigger = std::make_unique_for_overwrite<int32_t[]>(room);
    std::copy(numbers.get(), numbers.get() + count, bigger.get());
    numbers = std::move(bigger);
  }

  std::vector<char> buffer;
  std::unique_ptr<int32_t[]> numbers;  // numbers[0..count) in file order
  size_t count = 0, room = 0;
  std::optional<Number> stop;  // the read that ended the range early
  int error = 0;               // errno of a failed read
};

// Reads the numbers of bytes [lo, hi) of `whole` into *r. Reaching hi between
// numbers ends the range quietly unless hi is the end of the input (last).
void read_range(const ByteReader& whole, uint64_t lo, uint64_t hi, bool last, Range* r) {
  r->count = 0;
  r->stop.reset();
  r->error = 0;
  ByteReader in(whole, lo, hi, r->buffer);
  for (;;) {
    if (std::string_view w = in.window(); !w.empty()) {
      size_t used = 0;
      r->make_room(w.size() / 2 + 1);
      r->count += scan_numbers(w, r->numbers.get() + r->count, &used);
      in.skip(used);
    }
    Number num = read_number(in);
    if (num.read == Read::kNumber) {
      r->make_room(1);
      r->numbers[r->count++] = num.value;
    } else if (in.error() != 0) {
      r->error = in.error();
      return;
    } else {
      if (!num.at_end || last) r->stop = num;
      return;
    }
  }
}

// Returns the first offset p >= x of `whole`, below its end (in offsets,
// `end`), where a cut leaves every read of a number whole: before whitespace,
// or between a digit and a byte that is not one; `end` when there is none.
// A read there starts afresh, as it would after the number before it.
uint64_t cut_at(const ByteReader& whole, uint64_t x, uint64_t end) {
  if (x == 0 || x >= end) return std::min(x, end);
  char buffer[4096];
  ByteReader in(whole, x - 1, end, buffer);
  int before = in.peek();
  if (before < 0) return end;  // a read error: the range that reaches it tells
  in.skip();
  for (uint64_t p = x;; ++p) {
    int c = in.peek();
    if (c < 0 || is_space(c) || (is_digit(before) && !is_digit(c))) return c < 0 ? end : p;
    before = c;
    in.skip();
  }
}

// An edge handed from the thread that read it to the one that stores it.
struct Handed {
  uint32_t ends;  // low << 14 | high: both ends fit the tables
  int32_t w;
};
static_assert(V <= (1 << 14));

// What one thread made of its range of a round: the edges whose last number
// lies in it, sorted out by the thread that stores them, up to the first edge
// with an end that cannot fit the tables.
struct Sorted {
  std::vector<std::vector<Handed>> to;  // [s]: cells of thread s; [count]: for the lists
  int64_t bad_edge = 0;                 // that edge, or 0
  int32_t bad_id = 0;                   // its first end that cannot fit
};

// Reads the edge list from `start`, the offset after the header (number 2 of
// the file), with `threads` threads, in rounds. In a round, thread t:
//   1. reads the numbers of range t of the round (ranges cut at reads' ends);
//   2. once all have, knows where its numbers stand in the file, and sorts
//      out the edges whose last number it read: in a dense table an edge among
//      1..n goes, as [low][high], to the thread owning row low (rows go round
//      the threads 64 at a time); every other edge to thread 0 for the lists;
//   3. once all have, stores what it was handed, range by range in file order,
//      so the later of two edges between the same vertices wins.
// Between 2 and 3 one thread finds the first event in file order (an end that
// cannot fit, the m-th edge, a read that is not a number, a read error) and
// words it with *edges; no range after it is stored. A dense table is made
// symmetric at the end.
class RangedReading {
 public:
  RangedReading(const ByteReader& in, uint64_t start, int64_t m, EdgeList* edges,
                DirectWeights::Builder* b, size_t range_bytes)
      : in_(in), start_(start), end_(in.split_end()), range_bytes_(range_bytes),
        ranges_((end_ - start + range_bytes - 1) / range_bytes), list_end_(2 + 3 * m), edges_(edges), b_(b) {}

  void run(int32_t threads) {
    auto prepare = [&](int32_t count) { setup(count); };
    auto work = [&](int32_t t, int32_t) {
      for (uint64_t first = 0; !done_; first += count_) round(t, first);
    };
    run_threads(threads, work, prepare);
    if (failure_) std::rethrow_exception(failure_);
    if (b_->dense()) b_->mirror_upper();
  }

 private:
  void setup(int32_t count) {
    count_ = count;
    read_.resize(count);
    sorted_.resize(count);
    stand_.assign(count, 0);
    for (Range& r : read_) {
      r.buffer.resize(std::min(kReadBuffer, range_bytes_ + 1));
      r.make_room(std::min(kReadBuffer, range_bytes_) / 2 + 4);  // a number takes two bytes
    }
    for (Sorted& s : sorted_) s.to.resize(count + 1);
    for (size_t k = 0; k < std::size(owner_); ++k) owner_[k] = static_cast<int32_t>(k % count);
    cells_up_to_ = b_->dense() ? static_cast<uint32_t>(b_->n()) : 0;
    located_.emplace(count, Locate{this});
    decided_.emplace(count, Decide{this});
  }

  // Returns the offset where range c starts.
  uint64_t range_start(uint64_t c) const {
    if (c == 0) return start_;
    return c >= ranges_ ? end_ : cut_at(in_, start_ + c * range_bytes_, end_);
  }

  void round(int32_t t, uint64_t first) {
    guard([&] {
      Range& r = read_[t];
      r.count = 0;
      r.stop.reset();
      r.error = 0;
      if (uint64_t c = first + t; c < ranges_ && !failed_) {
        uint64_t hi = range_start(c + 1);
        read_range(in_, range_start(c), hi, hi == end_, &r);
      }
    });
    located_->arrive_and_wait();
    guard([&] { sort_out(t); });
    decided_->arrive_and_wait();
    guard([&] { store(t); });
  }

  // Runs a step unless a thread has failed; a failure (out of memory) is kept
  // for the caller, and every thread leaves at the end of the round.
  template <typename Step>
  void guard(Step step) {
    if (failed_) return;
    try {
      step();
    } catch (...) {
      std::lock_guard lock(failure_lock_);
      if (!failure_) failure_ = std::current_exception();
      failed_ = true;
    }
  }

  // Returns number g of the file. Requires it to lie in this round's ranges
  // up to t, or in the carried numbers just before them.
  int32_t number(int64_t g, int32_t t) const {
    for (int32_t k = t; k >= 0; --k) {
      if (g >= stand_[k]) return read_[k].numbers[g - stand_[k]];
    }
    return carried_[g - (stand_[0] - carried_count_)];
  }

  // Sorts out the edges whose last number lies in range t (step 2).
  void sort_out(int32_t t) {
    Sorted& out = sorted_[t];
    for (auto& v : out.to) v.clear();
    out.bad_edge = 0;
    const int64_t g0 = stand_[t], g1 = std::min<int64_t>(g0 + read_[t].count, list_end_);
    const int32_t* a = read_[t].numbers.get();  // a[g - g0] is number g of the file
    int64_t last = g0 + ((1 - g0) % 3 + 3) % 3;  // last numbers of edges: 4, 7, 10...
    for (; last < g1 && last - 2 < g0; last += 3) {  // an edge begun before the range
      if (!sort_edge(number(last - 2, t), number(last - 1, t), a[last - g0], last, &out)) return;
    }
    for (const int32_t* p = a + (last - g0); last < g1; last += 3, p += 3) {
      if (!sort_edge(p[-2], p[-1], p[0], last, &out)) return;
    }
  }

  // Sorts out edge u-v of weight w, whose last number is number `last` of the
  // file. Returns false when an end cannot fit the tables.
  bool sort_edge(int32_t u, int32_t v, int32_t w, int64_t last, Sorted* out) {
    if (!fits_tables(u) || !fits_tables(v)) [[unlikely]] {
      out->bad_edge = (last - 4) / 3 + 1;
      out->bad_id = fits_tables(u) ? v : u;
      return false;
    }
    const uint32_t low = static_cast<uint32_t>(std::min(u, v)), high = static_cast<uint32_t>(std::max(u, v));
    const bool cell = low != 0 && high <= cells_up_to_;  // both in 1..n, and dense
    out->to[cell ? owner_[low >> 6] : count_].push_back({low << 14 | high, w});
    return true;
  }

  // Finds the first event of the round and what comes next (between steps 2 and 3).
  void decide() {
    upto_ = count_ - 1;
    for (int32_t k = 0; k < count_ && !done_; ++k) {
      const Range& r = read_[k];
      const int64_t after = stand_[k] + static_cast<int64_t>(r.count);  // index of the read that stopped it
      done_ = true;
      upto_ = k;
      if (sorted_[k].bad_edge != 0) {
        edges_->move_to(sorted_[k].bad_edge);
        edges_->refuse(sorted_[k].bad_id);
      } else if (after >= list_end_) {
        edges_->complete();
      } else if (r.error != 0) {
        edges_->fail(r.error);
      } else if (r.stop) {
        edges_->move_to((after - 2) / 3 + 1);
        edges_->cut_short(*r.stop);
      } else {
        done_ = false;
      }
    }
    // The last range always stops (at the end of the input, if not before);
    // running out of ranges without a stop would be a fault here: end anyway.
    rounds_done_ += static_cast<uint64_t>(count_);
    if (failed_ || rounds_done_ >= ranges_) done_ = true;
    if (done_) return;
    // The numbers of an edge begun in this round, for the next one.
    const int64_t next = stand_[count_ - 1] + static_cast<int64_t>(read_[count_ - 1].count);
    int32_t keep = static_cast<int32_t>((next - 2) % 3), kept[2] = {0, 0};
    for (int32_t i = 0; i < keep; ++i) kept[i] = number(next - keep + i, count_ - 1);
    std::copy(kept, kept + 2, carried_);
    carried_count_ = keep;
    next_stand_ = next;
  }

  // Stores what thread t was handed in this round (step 3).
  void store(int32_t t) {
    for (int32_t k = 0; k <= upto_; ++k) {
      const std::vector<Handed>& cells = sorted_[k].to[t];
      const size_t size = cells.size();
      for (size_t i = 0; i < size; ++i) {
        if (i + 16 < size) {
          uint32_t ends = cells[i + 16].ends;
          __builtin_prefetch(b_->cell(ends >> 14, ends & 0x3fff), 1);
        }
        b_->put(cells[i].ends >> 14, cells[i].ends & 0x3fff, cells[i].w);
      }
      if (t != 0) continue;
      for (const Handed& e : sorted_[k].to[count_]) b_->add_listed(e.ends >> 14, e.ends & 0x3fff, e.w);
    }
  }

  // Completions of the two barriers of a round: run on one thread while the
  // others wait.
  struct Locate {
    RangedReading* r;
    void operator()() noexcept {
      r->stand_[0] = r->next_stand_;
      for (int32_t k = 1; k < r->count_; ++k) r->stand_[k] = r->stand_[k - 1] + r->read_[k - 1].count;
    }
  };
  struct Decide {
    RangedReading* r;
    void operator()() noexcept { r->decide(); }
  };

  const ByteReader& in_;
  const uint64_t start_, end_;
  const size_t range_bytes_;
  const uint64_t ranges_;
  const int64_t list_end_;  // index of the first number after the m-th edge
  EdgeList* edges_;
  DirectWeights::Builder* b_;
  int32_t count_ = 1;
  uint32_t cells_up_to_ = 0;  // n when the table is dense, else 0
  int32_t owner_[(V >> 6) + 1] = {};
  std::vector<Range> read_;
  std::vector<Sorted> sorted_;
  std::vector<int64_t> stand_;  // index in the file of the first number of each range
  int64_t next_stand_ = 2;
  int32_t carried_[2] = {0, 0};
  int32_t carried_count_ = 0;
  int32_t upto_ = 0;           // the last range of the round to store
  uint64_t rounds_done_ = 0;   // ranges of the rounds decided so far
  bool done_ = false;
  std::atomic<bool> failed_{false};
  std::mutex failure_lock_;
  std::exception_ptr failure_;
  std::optional<std::barrier<Locate>> located_;
  std::optional<std::barrier<Decide>> decided_;
};

void read_edges_in_ranges(const ByteReader& in, uint64_t start, int64_t m, EdgeList* edges,
                          DirectWeights::Builder& b, int32_t threads, size_t range_bytes) {
  RangedReading(in, start, m, edges, &b, range_bytes).run(threads);
}

// Returns the bytes each thread reads at a time.
size_t range_bytes(const LoadTuning& tuning) {
  return tuning.range_bytes > 0 ? tuning.range_bytes : kRangeBytes;
}

// Reads the graph as input() and input_tuned() describe.
bool load(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer,
          const LoadTuning& tuning) {
  bool m_too_big = false;
  NumberSource numbers(in, observer);
  if (!read_header(numbers, g, &m_too_big, report)) {
    if (in.error() != 0) report->error = reason(in.error());
    return false;
  }
  const uint64_t left = in.can_split() ? in.split_end() - std::min(in.offset(), in.split_end()) : 0;
  const bool dense = choose_dense(*g, left, tuning.storage);
  EdgeList edges(*g, m_too_big);
  const bool split = observer == nullptr && in.error() == 0 && left > 0 && edges.wants_more() &&
                     (left >= kSplitAbove || tuning.split);
  // A small graph needs no thread, nor the look at the machine that counts them.
  const bool threaded = split || (dense && g->n >= 1024);
  const int32_t threads = tuning.threads > 0 ? tuning.threads : threaded ? usable_cpus() : 1;
  DirectWeights::Builder b(g->n, dense, threads, split);  // the ranged reading mirrors
  // Room for the announced edges, but never for more than the file can hold.
  if (!dense) b.reserve(std::min<uint64_t>(std::max(g->m, 0), in.size_hint() / 6));
  if (split) {
    read_edges_in_ranges(in, in.offset(), g->m, &edges, b, threads, range_bytes(tuning));
  } else {
    const uint64_t side = static_cast<uint64_t>(std::max(g->n, 0)) + 1;
    const bool may_switch = !dense && left == 0 && tuning.storage == Storage::kByDensity && g->n > 0;
    // Switched when the lists reach half the table, so that both never hold much more.
    const uint64_t switch_at = side * side * sizeof(int32_t) / 2 / kListBytesPerEdge;
    read_edges_one_by_one(numbers, edges, b, may_switch ? std::max<uint64_t>(switch_at, 1) : 0);
  }
  if (in.error() != 0) edges.fail(in.error());
  if (!edges.report(report)) return false;
  g->Dist = b.build(g->n);
  return true;
}

}  // namespace

bool input(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer) {
  return load(in, g, report, observer, {});
}

namespace detail {

bool input_tuned(ByteReader& in, Graph* g, LoadReport* report, const LoadTuning& tuning) {
  return load(in, g, report, nullptr, tuning);
}

int64_t read_numbers_in_ranges(const ByteReader& in, const LoadTuning& tuning, int64_t* sum) {
  const uint64_t end = in.split_end(), size = range_bytes(tuning);
  const uint64_t ranges = (end + size - 1) / size;
  std::vector<Range> share;
  std::vector<int64_t> counts, sums;
  auto prepare = [&](int32_t count) {
    share.resize(count);
    counts.assign(count, 0);
    sums.assign(count, 0);
    for (Range& r : share) r.buffer.resize(std::min(kReadBuffer, size + 1));
  };
  auto work = [&](int32_t t, int32_t count) {
    Range& r = share[t];
    for (uint64_t c = t; c < ranges; c += count) {
      uint64_t lo = c == 0 ? 0 : cut_at(in, c * size, end), hi = c + 1 >= ranges ? end : cut_at(in, (c + 1) * size, end);
      read_range(in, lo, hi, false, &r);
      for (size_t i = 0; i < r.count; ++i) sums[t] += r.numbers[i];
      counts[t] += static_cast<int64_t>(r.count);
    }
  };
  run_threads(tuning.threads > 0 ? tuning.threads : usable_cpus(), work, prepare);
  *sum = 0;
  int64_t total = 0;
  for (size_t t = 0; t < counts.size(); ++t) {
    *sum += sums[t];
    total += counts[t];
  }
  return total;
}

}  // namespace detail

bool input(const char* path, Graph* g, LoadReport* report) {
  InputFile file;
  if (!file.open(path, &report->error)) return false;
  ByteReader in(file.fd());
  return input(in, g, report);
}

}  // namespace tarnwick
