// Line and column of offsets, counted as the bytes go by or from the marks of a load.
#include "graph/places.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

void LineTracker::count_to(size_t to) {
  const char* p = bytes_.data() + counted_;
  const char* end = bytes_.data() + to;
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
    if (nl == nullptr) break;
    ++line_;
    line_start_ = base_ + static_cast<uint64_t>(nl - bytes_.data()) + 1;
    p = nl + 1;
  }
  counted_ = std::max(counted_, to);
}

void LineTracker::take(uint64_t offset, std::string_view bytes) {
  count_to(bytes_.size());
  bytes_ = bytes;
  base_ = offset;
  counted_ = 0;
}

Place LineTracker::place(uint64_t offset) {
  if (offset >= base_) {
    count_to(static_cast<size_t>(std::min<uint64_t>(offset - base_, bytes_.size())));
  }
  return {line_, static_cast<int64_t>(offset - std::min(offset, line_start_)) + 1};
}

int64_t count_line_ends(std::string_view bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101, kLow7 = 0x7f7f7f7f7f7f7f7f;
  int64_t count = 0;
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t x;
    std::memcpy(&x, bytes.data() + i, 8);
    x ^= kOnes * '\n';  // a line end becomes a zero byte
    // A 1 in the low bit of each byte that is zero, summed into the top byte.
    const uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7) >> 7;
    count += static_cast<int64_t>(zero * kOnes >> 56);
  }
  for (; i < bytes.size(); ++i) count += bytes[i] == '\n';
  return count;
}

void LineEndCount::take(uint64_t offset, std::string_view bytes) {
  const int64_t more = count_line_ends(bytes);
  if (more == 0) return;
  count += more;
  const char* last = static_cast<const char*>(memrchr(bytes.data(), '\n', bytes.size()));
  line_start = offset + static_cast<uint64_t>(last - bytes.data()) + 1;
}

namespace {

// Counts the line ends of bytes [lo, hi) of `whole` into *ends. Returns the
// errno of a failed read, or 0.
int count_between(const ByteReader& whole, uint64_t lo, uint64_t hi, LineEndCount* ends,
                  std::vector<char>& buffer) {
  ByteReader in(whole, lo, hi, buffer);
  in.tap(ends);
  while (in.peek() >= 0) in.skip(in.window().size());
  return in.error();
}

// Counts the line ends before each of marks[0..up_to] that does not have them
// counted yet. Returns the errno of a failed read, or 0.
int count_lines(const ByteReader& whole, std::vector<RangeMark>& marks, size_t up_to,
                std::vector<char>& buffer) {
  for (size_t c = 0; c <= up_to; ++c) {
    if (marks[c].lines >= 0) continue;
    const uint64_t lo = c == 0 ? 0 : marks[c - 1].offset;
    LineEndCount ends;
    ends.count = c == 0 ? 0 : marks[c - 1].lines;
    ends.line_start = c == 0 ? 0 : marks[c - 1].line_start;
    if (int e = count_between(whole, lo, marks[c].offset, &ends, buffer); e != 0) return e;
    marks[c].lines = ends.count, marks[c].line_start = ends.line_start;
  }
  return 0;
}

// Returns the index of the mark whose range holds number `index`.
size_t range_of_number(std::span<const RangeMark> marks, int64_t index) {
  auto after = std::upper_bound(marks.begin(), marks.end(), index,
                                [](int64_t n, const RangeMark& m) { return n < m.first; });
  return after == marks.begin() ? 0 : static_cast<size_t>(after - marks.begin()) - 1;
}

// Returns the index of the mark whose range holds byte `offset`.
size_t range_of_offset(std::span<const RangeMark> marks, uint64_t offset) {
  auto after = std::upper_bound(marks.begin(), marks.end(), offset,
                                [](uint64_t o, const RangeMark& m) { return o < m.offset; });
  return after == marks.begin() ? 0 : static_cast<size_t>(after - marks.begin()) - 1;
}

// Returns a reader of `whole` from mark m to its end, through `buffer`.
ByteReader from_mark(const ByteReader& whole, const RangeMark& m, std::vector<char>& buffer) {
  return ByteReader(whole, std::min(m.offset, whole.split_end()), whole.split_end(), buffer);
}

// Gives each number spot of `run` (in the range of mark m, ascending) its
// offset. Returns the errno of a failed read, or 0.
int find_numbers(const ByteReader& whole, const RangeMark& m, std::span<Spot* const> run,
                 std::vector<char>& buffer) {
  ByteReader in = from_mark(whole, m, buffer);
  int64_t index = m.first;
  Number num;
  for (Spot* s : run) {
    while (index <= s->number && in.peek() >= 0) num = read_number(in), ++index;
    s->offset = index > s->number ? num.where : in.offset();
    if (index > s->number) s->read = num;
  }
  return in.error();
}

// Places the spots of `run` (in the range of mark m, ascending by offset).
// Returns the errno of a failed read, or 0.
int place_offsets(const ByteReader& whole, const RangeMark& m, std::span<Spot* const> run,
                  std::vector<char>& buffer) {
  ByteReader in = from_mark(whole, m, buffer);
  LineTracker lines(m.lines + 1, m.line_start);
  in.tap(&lines);
  for (Spot* s : run) {
    while (in.peek() >= 0 && in.offset() + in.window().size() <= s->offset) {
      in.skip(in.window().size());
    }
    s->at = lines.place(s->offset);
  }
  return in.error();
}

// Sorts `spots` by `key`, then calls work(mark, run) for each run of them that
// falls in one range (range(spot) its mark's index). Returns the first errno
// work returns, or 0.
template <typename Key, typename Range, typename Work>
int by_range(std::span<const RangeMark> marks, std::vector<Spot*> spots, Key key, Range range,
             Work work) {
  std::sort(spots.begin(), spots.end(), [&](Spot* a, Spot* b) { return key(*a) < key(*b); });
  for (size_t i = 0, j; i < spots.size(); i = j) {
    const size_t r = range(*spots[i]);
    for (j = i + 1; j < spots.size() && range(*spots[j]) == r;) ++j;
    if (int e = work(marks[r], std::span<Spot* const>(spots).subspan(i, j - i)); e != 0) return e;
  }
  return 0;
}

}  // namespace

bool place_spots(const ByteReader& whole, std::span<const RangeMark> given,
                 std::span<Spot* const> spots, std::string* err) {
  // The header, and any input read one number at a time, is read from the start.
  std::vector<RangeMark> marks = {RangeMark{0, 0, 0, 0}};
  marks.insert(marks.end(), given.begin(), given.end());
  std::vector<char> buffer(size_t{1} << 16);
  std::vector<Spot*> numbers;
  for (Spot* s : spots) {
    if (s->number >= 0) numbers.push_back(s);
  }
  auto find = [&](const RangeMark& m, std::span<Spot* const> run) {
    return find_numbers(whole, m, run, buffer);
  };
  auto place = [&](const RangeMark& m, std::span<Spot* const> run) {
    return place_offsets(whole, m, run, buffer);
  };
  int e = by_range(marks, numbers, [](const Spot& s) { return s.number; },
                   [&](const Spot& s) { return range_of_number(marks, s.number); }, find);
  size_t last = 0;
  for (const Spot* s : spots) last = std::max(last, range_of_offset(marks, s->offset));
  if (e == 0) e = count_lines(whole, marks, last, buffer);
  if (e == 0) {
    e = by_range(marks, {spots.begin(), spots.end()}, [](const Spot& s) { return s.offset; },
                 [&](const Spot& s) { return range_of_offset(marks, s.offset); }, place);
  }
  if (e != 0) *err = reason(e);
  return e == 0;
}

}  // namespace tarnwick
