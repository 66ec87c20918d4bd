// Where a byte offset stands in a text file, as editors count: line and
// column, found as the bytes go by, so that nothing is read twice; or, once
// a load is done, from the marks of its ranges, reading again only those.
#ifndef TARNWICK_GRAPH_PLACES_H_
#define TARNWICK_GRAPH_PLACES_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graph/input.h"
#include "graph/reader.h"

namespace tarnwick {

struct Place {
  int64_t line = 1;    // from 1; a line ends after each '\n'
  int64_t column = 1;  // from 1, in bytes
};

// Returns "LINE:COLUMN".
inline std::string place_text(const Place& p) {
  return std::to_string(p.line) + ":" + std::to_string(p.column);
}

// Counts the lines of the bytes a reader takes (tap it before the first read)
// and places offsets in them. Memory does not grow with the input.
class LineTracker : public ByteTap {
 public:
  LineTracker() = default;
  // Counts on from the start of `line`, which begins at offset `line_start`
  // (for a reader that starts in the middle of an input).
  LineTracker(int64_t line, uint64_t line_start) : line_(line), line_start_(line_start) {}

  void take(uint64_t offset, std::string_view bytes) override;

  // Returns the place of `offset`. Requires the offsets asked for to come in
  // increasing order, each in the bytes taken last or, when before them, in a
  // run of bytes without a line end that reaches them (a number that a read
  // began before a refill, as read_number's Number::where gives it). An
  // offset past the bytes taken so far is placed on the last line counted.
  Place place(uint64_t offset);

 private:
  // Counts the line ends of the bytes taken last, up to `to` of them.
  void count_to(size_t to);

  std::string_view bytes_;
  uint64_t base_ = 0;   // the offset of bytes_[0]
  size_t counted_ = 0;  // bytes_[0..counted_) are counted
  int64_t line_ = 1;
  uint64_t line_start_ = 0;  // the offset of the current line's first byte
};

// Returns how many line ends ('\n') `bytes` holds.
int64_t count_line_ends(std::string_view bytes);

// Counts the line ends of the bytes a reader takes (tap it before the first
// read), and notes where the line after the last of them starts.
class LineEndCount : public ByteTap {
 public:
  void take(uint64_t offset, std::string_view bytes) override;
  int64_t count = 0;
  uint64_t line_start = 0;  // just past the last line end; 0 while there is none
};

// A number of a graph input, or one of its bytes, placed once the load is
// done: by its index (as LoadObserver counts), or else by its offset.
struct Spot {
  int64_t number = -1;  // the index of a number, or -1 for a byte offset
  uint64_t offset = 0;  // the offset; set for a number once it is placed
  Place at;             // where it stands, once placed
  Number read;          // for a number: the read there, once placed

  // Returns the spot of number `index`.
  static Spot of_number(int64_t index) {
    Spot s;
    s.number = index;
    return s;
  }
  // Returns the spot of byte `offset`.
  static Spot of_offset(uint64_t offset) {
    Spot s;
    s.offset = offset;
    return s;
  }
};

// Places each of `spots` in the input `whole`, which can be read again from
// its start (ByteReader::can_split), reading again only the ranges they fall
// in, from the marks of the load (none: from the start of the input), and
// the line ends before them where the marks do not count them. A number past
// the input's last is placed at its end. Returns false with *err set to the
// system's reason when a read fails.
bool place_spots(const ByteReader& whole, std::span<const RangeMark> marks,
                 std::span<Spot* const> spots, std::string* err);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_PLACES_H_
