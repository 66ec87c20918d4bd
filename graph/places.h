// Where a byte offset stands in a text file, as editors count: line and
// column, found as the bytes go by, so that nothing is read twice.
#ifndef TARNWICK_GRAPH_PLACES_H_
#define TARNWICK_GRAPH_PLACES_H_

#include <cstdint>
#include <string>
#include <string_view>

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

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_PLACES_H_
