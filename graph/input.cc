#include "graph/input.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "graph/cpus.h"
#include "graph/parallel.h"

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

  // Takes numbers a[0..count) while wants_more(); returns how many it took.
  // The store is told of the cells of edges a few ahead (random writes into a
  // large table wait on memory; asking early lets several wait at once).
  template <typename Store>
  [[gnu::noinline]] size_t take_all(const int32_t* a, size_t count, Store& store) {
    constexpr size_t kAhead = 3 * 16;
    size_t i = 0;
    while (i < count && pending_ != 0 && wants_more()) take(a[i++], store);
    for (; i + 3 <= count && wants_more(); i += 3) {
      if (i + kAhead + 2 < count) store.prefetch(a[i + kAhead], a[i + kAhead + 1]);
      edge(a[i], a[i + 1], a[i + 2], store);
    }
    while (i < count && wants_more()) take(a[i++], store);
    return i;
  }

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

  [[gnu::noinline]] void refuse(int32_t id) {
    error_ = "edge " + std::to_string(next_) + " names vertex " + std::to_string(id) +
             ", outside 0.." + std::to_string(V - 1);
    stopped_ = true;
  }

  int64_t m_;
  bool m_too_big_;
  int64_t next_ = 1;  // the edge the next whole triple makes
  int32_t held_[3] = {0, 0, 0};
  int32_t pending_ = 0;  // numbers of edge next_ taken so far
  bool stopped_ = false;
  std::string warning_, error_;
};

// Returns true when the weights among 1..n are best a dense table: when it
// takes no more room than the neighbour lists of the most edges the file can
// hold (an edge takes at least six bytes, "1 2 3\n"; a list entry eight
// bytes each way). `bytes_left` is 0 when the size of the input is unknown.
bool choose_dense(const Graph& g, uint64_t bytes_left, Storage storage) {
  if (storage != Storage::kByDensity) return storage == Storage::kDense;
  if (g.n <= 0 || bytes_left == 0) return false;
  uint64_t edges = std::min<uint64_t>(std::max(g.m, 0), bytes_left / 6);
  uint64_t side = static_cast<uint64_t>(g.n) + 1;
  return side * side * sizeof(int32_t) <= edges * 2 * sizeof(Neighbour);
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

// Returns the number of digits at the start of the 8 bytes of x (first byte
// lowest), 8 when all are digits.
inline int leading_digits(uint64_t x) {
  uint64_t a = x ^ 0x3030303030303030u;  // digits become 0..9, nothing else does
  uint64_t other = (((a & 0x7f7f7f7f7f7f7f7fu) + 0x7676767676767676u) | a) & 0x8080808080808080u;
  return other == 0 ? 8 : __builtin_ctzll(other) / 8;
}

// Returns the value of the `len` (1..7) digits at the start of x.
inline uint32_t digits_value(uint64_t x, int len) {
  uint64_t v = ((x & 0x0f0f0f0f0f0f0f0fu) << (8 * (8 - len)));  // leading zeros first
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
       (((v >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >> 32;
  return static_cast<uint32_t>(v);
}

// Writes to out[] the numbers at the start of `bytes` that can be read without
// a second look: whitespace, an optional sign, and one to nine digits followed
// by another byte of `bytes`. Returns how many, with *used the bytes so read.
// Requires room in out[] for bytes.size() / 2 + 1 numbers.
[[gnu::noinline]] size_t scan_numbers(std::string_view bytes, int32_t* out, size_t* used) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  size_t count = 0;
  for (;;) {
    const char* q = p;
    while (q != end && is_space(static_cast<unsigned char>(*q))) ++q;
    if (q == end) break;
    bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    uint32_t value = 0;
    int len = 0;
    if (end - q > 8) {
      uint64_t x;
      std::memcpy(&x, q, sizeof x);
      len = leading_digits(x);
      if (len > 0 && len < 8) value = digits_value(x, len);
    }
    if (len == 0 || len == 8) {  // near the end, or a long number: byte by byte
      const char* digits = q;
      while (q != end && q - digits < 10 && is_digit(*q)) value = value * 10 + (*q++ - '0');
      len = static_cast<int>(q - digits);
      if (len == 0 || q == end || len == 10) break;
      q = digits;
    }
    q += len;
    out[count++] = negative ? -static_cast<int32_t>(value) : static_cast<int32_t>(value);
    p = q;
  }
  *used = static_cast<size_t>(p - begin);
  return count;
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

// Stores edges for thread t of `count`. In a dense table, an edge among 1..n
// is written once, at [low][high], and only by the thread that owns row low
// (rows go round the threads 64 at a time); the table is made symmetric once
// all are in. Every other edge is listed by thread 0 alone, in file order.
class ShareStore {
 public:
  ShareStore(DirectWeights::Builder* b, int32_t t, int32_t count) : b_(b), t_(t) {
    for (size_t k = 0; k < std::size(owner_); ++k) owner_[k] = static_cast<int32_t>(k % count);
  }
  void operator()(int32_t u, int32_t v, int32_t w) {
    if (b_->dense() && b_->inside(u) && b_->inside(v)) {
      if (u > v) std::swap(u, v);
      if (owns(u)) b_->put(u, v, w);
    } else if (t_ == 0) {
      b_->add_listed(u, v, w);
    }
  }
  void prefetch(int32_t u, int32_t v) const {
    if (!b_->dense() || !b_->inside(u) || !b_->inside(v)) return;
    if (u > v) std::swap(u, v);
    if (owns(u)) __builtin_prefetch(b_->cell(u, v), 1);
  }

 private:
  bool owns(int32_t row) const { return owner_[row >> 6] == t_; }

  DirectWeights::Builder* b_;
  int32_t t_;
  int32_t owner_[(V >> 6) + 1];
};

// Reads the edge list from `start`, the offset after the header, with
// `threads` threads: each round, thread t reads range t of the round, cut at
// reads' ends (cut_at); then every thread takes all the round's numbers in file
// order with its own copy of `edges`, so all stop alike, and stores the edges
// of its share. Leaves thread 0's copy in *edges.
void read_edges_in_ranges(const ByteReader& in, uint64_t start, EdgeList* edges,
                          DirectWeights::Builder& b, int32_t threads, size_t range_bytes) {
  const uint64_t end = in.split_end();
  const uint64_t ranges = (end - start + range_bytes - 1) / range_bytes;
  auto range_start = [&](uint64_t c) { return c >= ranges ? end : cut_at(in, start + c * range_bytes, end); };
  std::vector<Range> share;
  std::vector<EdgeList> copies;
  std::optional<std::barrier<>> sync;
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  auto prepare = [&](int32_t count) {
    share.resize(count);
    for (Range& r : share) {
      r.buffer.resize(std::min(kReadBuffer, range_bytes + 1));
      r.make_room(std::min(kReadBuffer, range_bytes) / 2 + 4);  // a number takes two bytes
    }
    copies.assign(count, *edges);
    sync.emplace(count);
  };
  auto work = [&](int32_t t, int32_t count) {
    ShareStore store{&b, t, count};
    EdgeList& mine = copies[t];
    for (uint64_t first = 0; first < ranges; first += count) {
      if (uint64_t c = first + t; c < ranges) {
        uint64_t lo = c == 0 ? start : range_start(c), hi = range_start(c + 1);
        read_range(in, lo, hi, hi == end, &share[t]);
      }
      sync->arrive_and_wait();
      try {
        for (uint64_t c = first; c < std::min(ranges, first + count) && mine.wants_more(); ++c) {
          const Range& r = share[c - first];
          mine.take_all(r.numbers.get(), r.count, store);
          if (!mine.wants_more()) break;
          if (r.error != 0) mine.fail(r.error);
          if (r.stop) mine.cut_short(*r.stop);
        }
      } catch (...) {  // out of memory for the lists, on thread 0
        failure = std::current_exception();
        failed = true;
      }
      sync->arrive_and_wait();
      if (!mine.wants_more() || failed) break;
    }
  };
  run_threads(threads, work, prepare);
  if (failure) std::rethrow_exception(failure);
  if (b.dense()) b.mirror_upper();
  *edges = std::move(copies[0]);
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
  const int32_t threads = tuning.threads > 0 ? tuning.threads : usable_cpus();
  const bool dense = choose_dense(*g, left, tuning.storage);
  DirectWeights::Builder b(g->n, dense, threads);
  EdgeList edges(*g, m_too_big);
  const bool split = observer == nullptr && in.error() == 0 && left > 0 && edges.wants_more() &&
                     (left >= kSplitAbove || tuning.split);
  // Room for the announced edges, but never for more than the file can hold.
  if (!dense) b.reserve(std::min<uint64_t>(std::max(g->m, 0), in.size_hint() / 6));
  if (split) {
    read_edges_in_ranges(in, in.offset(), &edges, b, threads, range_bytes(tuning));
  } else {
    const uint64_t side = static_cast<uint64_t>(std::max(g->n, 0)) + 1;
    const bool may_switch = !dense && left == 0 && tuning.storage == Storage::kByDensity && g->n > 0;
    read_edges_one_by_one(numbers, edges, b, may_switch ? side * side / 8 : 0);
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

}  // namespace detail

bool input(const char* path, Graph* g, LoadReport* report) {
  InputFile file;
  if (!file.open(path, &report->error)) return false;
  ByteReader in(file.fd());
  return input(in, g, report);
}

}  // namespace tarnwick
