// The loader: the header, then the edge list number by number or in ranges on every CPU.
#include "graph/input.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
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

// Reads numbers for the loader, telling the observer (when there is one) of
// the header's, of every one when it reads numbers, and of a read that
// stopped the edge list.
class NumberSource {
 public:
  NumberSource(ByteReader& in, LoadObserver* observer)
      : in_(in), observer_(observer), all_(observer != nullptr && observer->reads_numbers()) {}
  // Reads number `index` of the file (see LoadObserver::number).
  Number next(int64_t index) {
    Number num = read_number(in_);
    if (observer_ != nullptr && (all_ || index < 2 || num.read != Read::kNumber)) {
      observer_->number(index, num);
    }
    return num;
  }

 private:
  ByteReader& in_;
  LoadObserver* observer_;
  bool all_;  // the observer hears every number
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
    report->fault = LoadFault::kNoVertexCount;
    report->warning = "no vertex count: judging an empty graph";
    return true;
  }
  if ((n.read == Read::kTooBig && !n.negative) || n.value >= V) {
    report->fault = LoadFault::kTooManyVertices;
    report->error = "the vertex count is too large: at most " + std::to_string(V - 1) +
                    " vertices fit";
    return false;
  }
  g->n = n.value < 0 ? 0 : n.value;  // a negative count, too large or not, means no vertex
  Number m = in.next(1);
  if (m.read == Read::kNoNumber) {
    report->fault = LoadFault::kNoEdgeCount;
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

  // Ends the list at edge next_, whose end `id` (its u for field 0, else v)
  // cannot fit the tables.
  [[gnu::noinline]] void refuse(int32_t id, int64_t field) {
    fault_ = LoadFault::kIdOutsideTables;
    fault_number_ = 2 + 3 * (next_ - 1) + field;
    error_ = "edge " + std::to_string(next_) + " names vertex " + std::to_string(id) +
             ", outside 0.." + std::to_string(V - 1);
    stopped_ = true;
  }

  // Ends the list at edge next_, all m edges read and the last one ending
  // before offset `end`: nothing to tell.
  void complete(uint64_t end) {
    end_ = end;
    next_ = std::max<int64_t>(m_, 0) + 1;
    stopped_ = true;
  }

  // Ends the list at a read that found no number (num.read != Read::kNumber).
  void cut_short(const Number& num) {
    std::string announced = (m_too_big_ ? "more than " : "") + std::to_string(m_);
    fault_ = LoadFault::kEndsEarly;
    warning_ = "the edge list ends after " + std::to_string(next_ - 1) + " of " + announced +
               " edges: edge " + std::to_string(next_) + " meets " + why_cut_short(num);
    end_ = num.where;
    stopped_ = true;
  }

  // Ends the list at a read error (errno e).
  void fail(int e) {
    fault_ = LoadFault::kReadError;
    error_ = reason(e);
    stopped_ = true;
  }

  // Moves the outcome into *report; returns false when the graph is refused.
  bool report(LoadReport* report) {
    report->end = end_;
    report->edges = next_ - 1;
    if (fault_ != LoadFault::kNone) report->fault = fault_;
    report->fault_number = fault_number_;
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
      refuse(fits_tables(u) ? v : u, fits_tables(u) ? 1 : 0);
      return;
    }
    store(next_, u, v, w);
    ++next_;
  }

  int64_t m_;
  bool m_too_big_;
  int64_t next_ = 1;  // the edge the next whole triple makes
  int32_t held_[3] = {0, 0, 0};
  int32_t pending_ = 0;  // numbers of edge next_ taken so far
  bool stopped_ = false;
  uint64_t end_ = 0;
  LoadFault fault_ = LoadFault::kNone;
  int64_t fault_number_ = -1;
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

// Reads the edge list number by number from `bytes` (observer: hears each edge).
void read_edges_one_by_one(ByteReader& bytes, NumberSource& in, EdgeList& edges,
                           DirectWeights::Builder& b, size_t dense_after, LoadObserver* observer) {
  struct {
    DirectWeights::Builder& b;
    size_t dense_after;
    LoadObserver* observer;
    void operator()(int64_t e, int32_t u, int32_t v, int32_t w) {
      b.add(u, v, w);
      // An input of unknown size that turns out dense: lists would outgrow the table.
      if (dense_after != 0 && b.listed() == dense_after) b.make_dense();
      if (observer != nullptr) observer->edge(e, u, v, w);
    }
  } store{b, dense_after, observer};
  while (edges.wants_more()) {
    Number num = in.next(edges.index());
    if (num.read != Read::kNumber) {
      edges.cut_short(num);
      return;
    }
    edges.take(num.value, store);
  }
  edges.complete(bytes.offset());
}

// One thread's share of a round: the numbers of a range of the input.
struct InputRange {
  // Grows `numbers` to hold at least `more` numbers past the first `count`.
  void make_room(size_t more) {
    if (room >= count + more) return;
    room = std::max(count + more, 2 * room);
    auto bigger = std::make_unique_for_overwrite<int32_t[]>(room);
    std::copy(numbers.get(), numbers.get() + count, bigger.get());
    numbers = std::move(bigger);
  }

  std::vector<char> buffer;
  uint64_t lo = 0, hi = 0;             // the bytes read
  std::unique_ptr<int32_t[]> numbers;  // numbers[0..count) in file order
  size_t count = 0, room = 0;
  std::optional<Number> stop;  // the read that ended the range early
  int error = 0;               // errno of a failed read
};

// Reads the numbers of bytes [lo, hi) of `whole` into *r, its bytes heard by
// `tap` when set. Reaching hi between numbers ends the range quietly unless
// hi is the end of the input (last).
void read_range(const ByteReader& whole, uint64_t lo, uint64_t hi, bool last, InputRange* r,
                ByteTap* tap = nullptr) {
  r->lo = lo;
  r->hi = hi;
  r->count = 0;
  r->stop.reset();
  r->error = 0;
  ByteReader in(whole, lo, hi, r->buffer);
  if (tap != nullptr) in.tap(tap);
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

// Reads the edge list from `start`, the offset after the header (number 2 of
// the file), with `threads` threads. Each thread claims the next range of
// the input and reads its numbers on its own; the range is stored in its
// turn: ranges are stored one after another in file order, each by the
// thread that read it, while the other threads read on. So a later edge between the same
// two vertices wins, and the first event in file order (an end that cannot
// fit, the m-th edge, a read that is not a number, a read error) is the one
// worded with *edges; no range after it is stored. Edges among 1..n go to the
// dense table above its diagonal, which is made symmetric at the end; every
// other edge goes to the lists.
class RangedReading {
 public:
  // `observer`, when set, hears each edge stored and the read that stops the
  // list; each range stored is marked in *marks.
  RangedReading(const ByteReader& in, uint64_t start, int64_t m, EdgeList* edges,
                DirectWeights::Builder* b, size_t range_bytes, LoadObserver* observer,
                std::vector<RangeMark>* marks)
      : in_(in), start_(start), end_(in.split_end()), range_bytes_(range_bytes),
        ranges_((end_ - start + range_bytes - 1) / range_bytes), list_end_(2 + 3 * m), edges_(edges), b_(b),
        cells_up_to_(b->dense() ? b->n() : 0), observer_(observer), marks_(marks) {}

  void run(int32_t threads) {
    auto prepare = [&](int32_t count) {
      slots_.resize(static_cast<size_t>(count) * kSlots);
      for (Slot& slot : slots_) {
        slot.r.buffer.resize(std::min(kReadBuffer, range_bytes_ + 1));
        slot.r.make_room(std::min(kReadBuffer, range_bytes_) / 2 + 4);  // a number takes two bytes
      }
    };
    auto work = [&](int32_t t, int32_t) { serve(std::span(slots_).subspan(t * kSlots, kSlots)); };
    run_threads(threads, work, prepare);
    if (failure_) std::rethrow_exception(failure_);
    if (b_->dense()) b_->mirror_upper();
    if (last_count_ > 0) edges_->complete(end_of_list());
  }

  // Returns the edges stored in the dense table whose pair an earlier edge
  // gave, when an observer asked whether pairs came again; else -1.
  int64_t pairs_again() const {
    return asks_again_ && b_->dense() ? cell_edges_ - b_->cells_written() : -1;
  }

 private:
  // Ranges a thread may hold read and not yet stored: it reads ahead while
  // the range before its own waits for another thread.
  static constexpr size_t kSlots = 2;
  struct Slot {
    InputRange r;
    uint64_t c = 0;
    bool held = false;  // r holds range c, read and not yet stored
  };

  // One thread's work: until the list ends or every range is stored, stores
  // a range of its own whose turn it is, or else reads the next unclaimed
  // range into a free slot, or else waits for the turn to move.
  void serve(std::span<Slot> mine) {
    for (;;) {
      const uint64_t turn = turn_.load(std::memory_order_acquire);
      if (done_.load(std::memory_order_acquire)) return;
      if (store_due(mine, turn)) continue;
      if (read_next(mine)) continue;
      if (std::none_of(mine.begin(), mine.end(), [](const Slot& s) { return s.held; })) return;
      turn_.wait(turn, std::memory_order_acquire);
    }
  }

  // Stores the range whose turn it is when one of `mine` holds it, and passes
  // the turn on. Returns whether it did.
  bool store_due(std::span<Slot> mine, uint64_t turn) {
    for (Slot& slot : mine) {
      if (!slot.held || slot.c != turn) continue;
      slot.held = false;
      guard([&] { store(slot.r); });
      if (turn + 1 == ranges_) done_.store(true, std::memory_order_relaxed);  // the last range
      pass_turn(done_.load(std::memory_order_relaxed) ? ranges_ : turn + 1);
      return true;
    }
    return false;
  }

  // Reads the next unclaimed range into a free slot of `mine`. Returns false
  // when no slot is free or no range is left.
  bool read_next(std::span<Slot> mine) {
    auto free = std::find_if(mine.begin(), mine.end(), [](const Slot& s) { return !s.held; });
    if (free == mine.end() || next_.load(std::memory_order_relaxed) >= ranges_) return false;
    const uint64_t c = next_.fetch_add(1, std::memory_order_relaxed);
    if (c >= ranges_) return false;
    free->c = c;
    free->held = true;
    guard([&] {
      uint64_t hi = range_start(c + 1);
      read_range(in_, range_start(c), hi, hi == end_, &free->r);
    });
    return true;
  }

  // Moves the turn to range c and wakes the threads waiting for it.
  void pass_turn(uint64_t c) {
    turn_.store(c, std::memory_order_release);
    turn_.notify_all();
  }

  // Returns the offset where range c starts.
  uint64_t range_start(uint64_t c) const {
    if (c == 0) return start_;
    return c >= ranges_ ? end_ : cut_at(in_, start_ + c * range_bytes_, end_);
  }

  // Runs a step; a failure (out of memory) is kept for the caller, and no
  // range is read or stored after it.
  template <typename Step>
  void guard(Step step) {
    try {
      step();
    } catch (...) {
      std::lock_guard lock(failure_lock_);
      if (!failure_) failure_ = std::current_exception();
      done_.store(true);
      pass_turn(ranges_);  // no thread waits for a turn any more
    }
  }

  // Stores the edges whose numbers lie in *r, the range after those stored so
  // far, and words the event that ends it, if any. Runs in the range's turn.
  void store(const InputRange& r) {
    const int64_t g0 = stand_, after = g0 + static_cast<int64_t>(r.count);
    marks_->push_back({r.lo, g0});
    reads_again_ = asks_again_ && observer_->asks_again();
    const int64_t count = std::min(after, list_end_) - g0;  // numbers of r in the edge list
    const int32_t* a = r.numbers.get();  // a[i] is number g0 + i of the file
    int64_t i = 0;
    if (carried_count_ > 0) {  // an edge begun in an earlier range
      while (carried_count_ < 3 && i < count) carried_[carried_count_++] = a[i++];
      if (carried_count_ < 3) return finish(r, after);
      carried_count_ = 0;
      if (asks_again_) again_.resize(static_cast<size_t>(count / 3) + 1);
      if (!store_edge(carried_[0], carried_[1], carried_[2], g0 + i - 1, again(0))) return;
      tell(g0 + i - 3, carried_, 3);
    }
    if (asks_again_) again_.resize(static_cast<size_t>((count - i) / 3) + 1);
    const int64_t run = i;  // the edges stored from here on are told at once
    // A cell is asked for this many numbers ahead of its store; further when
    // its old value is read (a read waits for it, a write does not).
    const int64_t ahead = reads_again_ ? 3 * 256 : 3 * 16;
    for (; i + 3 <= count; i += 3) {
      if (i + ahead + 3 <= count) prefetch(a[i + ahead], a[i + ahead + 1]);
      if (!store_edge(a[i], a[i + 1], a[i + 2], g0 + i + 2, again((i - run) / 3))) break;
    }
    tell(g0 + run, a + run, i - run);
    if (i + 3 <= count) return;  // the list ended at a refused edge
    while (i < count) carried_[carried_count_++] = a[i++];
    finish(r, after);
  }

  // Tells the observer of the `count` numbers of whole edges at `numbers`,
  // the first being number `first` of the file, with whether each pair was
  // given before when it asks.
  void tell(int64_t first, const int32_t* numbers, int64_t count) {
    if (observer_ == nullptr || count <= 0) return;
    const size_t edges = static_cast<size_t>(count / 3);
    observer_->edges((first - 2) / 3 + 1, {numbers, static_cast<size_t>(count)},
                     again_.empty() ? std::span<const uint8_t>() : std::span(again_).first(edges));
  }

  // Returns where store_edge tells whether the k-th edge of a run was given
  // before (room is made for the run first), or nullptr when nobody asks.
  uint8_t* again(int64_t k) { return asks_again_ ? &again_[static_cast<size_t>(k)] : nullptr; }

  // Words the event that ends range r, whose numbers end before number
  // `after` of the file, if any; otherwise moves on to the next range.
  void finish(const InputRange& r, int64_t after) {
    const int64_t g0 = stand_;
    stand_ = after;
    if (after >= list_end_) {
      // Where the m-th edge ends is found once the threads are done.
      last_lo_ = r.lo, last_hi_ = r.hi, last_count_ = list_end_ - g0;
    } else if (r.error != 0) {
      edges_->fail(r.error);
    } else if (r.stop) {
      edges_->move_to((after - 2) / 3 + 1);
      edges_->cut_short(*r.stop);
      if (observer_ != nullptr) observer_->number(after, *r.stop);
    } else {
      return;
    }
    done_.store(true, std::memory_order_relaxed);
  }

  // Stores edge u-v of weight w, whose last number is number `last` of the
  // file, telling *again (when not null) whether its pair was given before.
  // Returns false, the list ended, when an end cannot fit the tables.
  bool store_edge(int32_t u, int32_t v, int32_t w, int64_t last, uint8_t* again) {
    if (!fits_tables(u) || !fits_tables(v)) [[unlikely]] {
      edges_->move_to((last - 4) / 3 + 1);
      edges_->refuse(fits_tables(u) ? v : u, fits_tables(u) ? 1 : 0);
      done_.store(true, std::memory_order_relaxed);
      return false;
    }
    if (!in_cells(u, v)) {
      b_->add_listed(u, v, w);
      if (again != nullptr) *again = kAgainUnknown;
      return true;
    }
    const int32_t low = std::min(u, v), high = std::max(u, v);
    if (again == nullptr) {
      b_->put(low, high, w);
    } else if (reads_again_) {
      *again = b_->put_again(low, high, w) ? kAgainYes : kAgainNo;
    } else {
      b_->put_counted(low, high, w);
      *again = kAgainCounted;
    }
    cell_edges_ += again != nullptr;
    return true;
  }

  // Returns the offset just past the m-th edge: its last number is number
  // last_count_ of the range last_lo_..last_hi_, read again on its own.
  uint64_t end_of_list() const {
    std::vector<char> buffer(std::min<uint64_t>(kReadBuffer, last_hi_ - last_lo_ + 1));
    ByteReader in(in_, last_lo_, last_hi_, buffer);
    for (int64_t i = 0; i < last_count_; ++i) read_number(in);
    return in.offset();
  }

  // Returns true when u-v has a cell in the dense table: both in 1..n.
  bool in_cells(int32_t u, int32_t v) const { return std::min(u, v) >= 1 && std::max(u, v) <= cells_up_to_; }

  // Asks for the cell of a coming edge u-v ahead of its store, when it has
  // one. Inlined, or g++ takes the call for one without effect and drops it.
  [[gnu::always_inline]] void prefetch(int32_t u, int32_t v) {
    if (in_cells(u, v)) __builtin_prefetch(b_->cell(std::min(u, v), std::max(u, v)), 1);
  }

  const ByteReader& in_;
  const uint64_t start_, end_;
  const size_t range_bytes_;
  const uint64_t ranges_;
  const int64_t list_end_;  // index of the first number after the m-th edge
  EdgeList* edges_;
  DirectWeights::Builder* b_;
  const int32_t cells_up_to_;  // n when the table is dense, else 0
  LoadObserver* const observer_;
  const bool asks_again_ = observer_ != nullptr && observer_->asks_again();
  bool reads_again_ = false;    // the range being stored reads each cell before its store
  int64_t cell_edges_ = 0;      // edges stored in the dense table, when asks_again_
  std::vector<uint8_t> again_;  // for the edges of the run being stored
  std::vector<RangeMark>* const marks_;
  std::vector<Slot> slots_;     // kSlots for each thread, in thread order
  // The storing side, touched only in a range's turn:
  int64_t stand_ = 2;  // index in the file of the first number of the next range
  int32_t carried_[3] = {0, 0, 0};  // numbers of an edge begun in an earlier range
  int32_t carried_count_ = 0;
  uint64_t last_lo_ = 0, last_hi_ = 0;
  int64_t last_count_ = 0;  // numbers of that range up to the m-th edge's end; 0 until known
  std::atomic<uint64_t> next_{0};  // the first range no thread has claimed
  std::atomic<uint64_t> turn_{0};  // the range whose turn it is to be stored
  std::atomic<bool> done_{false};  // the list has ended (or a thread failed)
  std::mutex failure_lock_;
  std::exception_ptr failure_;
};

// Returns the bytes each thread reads at a time.
size_t range_bytes(const LoadTuning& tuning) {
  return tuning.range_bytes > 0 ? tuning.range_bytes : kRangeBytes;
}

// Reads the graph as input() and input_tuned() describe.
bool load(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer,
          const LoadTuning& tuning) {
  const bool reads_numbers = observer != nullptr && observer->reads_numbers();
  bool m_too_big = false;
  NumberSource numbers(in, observer);
  if (!read_header(numbers, g, &m_too_big, report)) {
    if (in.error() != 0) {
      report->fault = LoadFault::kReadError;
      report->error = reason(in.error());
    }
    return false;
  }
  const uint64_t left = in.can_split() ? in.split_end() - std::min(in.offset(), in.split_end()) : 0;
  const bool dense = choose_dense(*g, left, tuning.storage);
  EdgeList edges(*g, m_too_big);
  const bool split = !reads_numbers && in.error() == 0 && left > 0 && edges.wants_more() &&
                     (left >= kSplitAbove || tuning.split);
  // A small graph needs no thread, nor the look at the machine that counts them.
  const bool threaded = split || (dense && g->n >= 1024);
  const int32_t threads = tuning.threads > 0 ? tuning.threads : threaded ? usable_cpus() : 1;
  DirectWeights::Builder b(g->n, dense, threads, split);  // the ranged reading mirrors
  // Room for the announced edges, but never for more than the file can hold.
  if (!dense) b.reserve(std::min<uint64_t>(std::max(g->m, 0), in.size_hint() / 6));
  if (split) {
    RangedReading reading(in, in.offset(), g->m, &edges, &b, range_bytes(tuning), observer,
                          &report->ranges);
    reading.run(threads);
    report->pairs_again = reading.pairs_again();
  } else {
    const uint64_t side = static_cast<uint64_t>(std::max(g->n, 0)) + 1;
    const bool may_switch = !dense && left == 0 && tuning.storage == Storage::kByDensity && g->n > 0;
    // Switched when the lists reach half the table, so that both never hold much more.
    const uint64_t switch_at = side * side * sizeof(int32_t) / 2 / kListBytesPerEdge;
    read_edges_one_by_one(in, numbers, edges, b, may_switch ? std::max<uint64_t>(switch_at, 1) : 0,
                          observer);
  }
  if (in.error() != 0) edges.fail(in.error());
  if (!edges.report(report)) return false;
  // The threads read the file on their own: `in` is moved to where they stopped.
  if (split && !in.seek(report->end)) {
    report->fault = LoadFault::kReadError;
    report->error = reason(in.error());
    return false;
  }
  g->Dist = b.build(g->n);
  return true;
}

}  // namespace

bool input(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer) {
  return load(in, g, report, observer, {});
}

namespace detail {

bool input_tuned(ByteReader& in, Graph* g, LoadReport* report, const LoadTuning& tuning,
                 LoadObserver* observer) {
  return load(in, g, report, observer, tuning);
}

int numbers_between(const ByteReader& whole, uint64_t lo, uint64_t hi,
                    std::vector<int32_t>* numbers, ByteTap* tap) {
  InputRange r;
  r.buffer.resize(std::min<uint64_t>(kReadBuffer, hi - lo + 1));
  read_range(whole, lo, hi, true, &r, tap);
  numbers->assign(r.numbers.get(), r.numbers.get() + r.count);
  return r.error;
}

int64_t read_numbers_in_ranges(const ByteReader& in, const LoadTuning& tuning, int64_t* sum) {
  const uint64_t end = in.split_end(), size = range_bytes(tuning);
  const uint64_t ranges = (end + size - 1) / size;
  std::vector<InputRange> share;
  std::vector<int64_t> counts, sums;
  auto prepare = [&](int32_t count) {
    share.resize(count);
    counts.assign(count, 0);
    sums.assign(count, 0);
    for (InputRange& r : share) r.buffer.resize(std::min(kReadBuffer, size + 1));
  };
  auto work = [&](int32_t t, int32_t count) {
    InputRange& r = share[t];
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
