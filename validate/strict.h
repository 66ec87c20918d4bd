// The strict layout of a test input, byte by byte: what the judge reads
// leniently (any white space between numbers, signs, leading zeros) written
// one way only, so that an input validator can refuse every other way.
#ifndef TARNWICK_VALIDATE_STRICT_H_
#define TARNWICK_VALIDATE_STRICT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graph/places.h"
#include "graph/reader.h"

namespace tarnwick {

// Hears the bytes of a graph input and finds where they leave the strict
// layout: "n m" on the first line, each edge "u v w" alone on its line, then
// (when the source is carried) the source alone on the last; one space
// between numbers; every line, the last included, ending in '\n' alone; no
// blank line; no '+' and no leading zero ("-0" neither). What is not a number
// at all is left to the validator's other findings.
class StrictLayout : public ByteTap {
 public:
  struct Found {
    Place at;
    std::string text;
  };

  // `carried_source`: a line holding the source follows the edges.
  explicit StrictLayout(bool carried_source) : carried_(carried_source) {}

  void take(uint64_t offset, std::string_view bytes) override;
  // Tells the end of the input. Requires every byte taken.
  void finish();

  // Returns the first findings, at most `kKept`, in file order.
  const std::vector<Found>& found() const { return found_; }
  // Returns how many findings there are, kept or not.
  int64_t count() const { return count_; }

  static constexpr size_t kKept = 10;

 private:
  // Takes the bytes of a token from bytes[i] on; returns the index past them.
  size_t token_bytes(uint64_t offset, std::string_view bytes, size_t i);
  void space(unsigned char c, int64_t column);
  void close_line(int64_t column);
  void end_token();
  void check_line();
  // Returns true when the next line is to hold one whole edge, at a line start.
  bool edge_next() const;
  // Returns the first bytes of the token, at most kHeadKept of them.
  std::string token_text() const;

  bool carried_;
  std::vector<Found> found_;
  int64_t count_ = 0;

  int64_t line_ = 1;
  uint64_t line_start_ = 0;      // the offset of the line's first byte
  uint64_t end_ = 0;             // the offset past the bytes taken
  unsigned char before_ = '\n';  // the byte taken last
  int64_t space_column_ = 0;     // the first of the spaces just taken
  // The token being read: where it starts and what it is made of. Its first
  // bytes are kept for a message: a view of the bytes taken last, copied
  // into `head_` when the token goes on past them.
  bool in_token_ = false;
  int64_t token_column_ = 0;
  std::string_view view_;
  std::string head_;
  bool integer_ = true;    // a sign (or none) and digits, and nothing else
  int64_t digits_ = 0;     // its digits
  int64_t zeros_ = 0;      // its digits that are leading zeros
  char sign_ = 0;          // '+', '-' or none
  // Numbers of the file and of this line.
  int64_t tokens_ = 0, line_first_token_ = 0;
  int64_t m_ = -1;  // the edge count, once read as a plain number
};

// Reads every byte of the input that `whole` reads from its start, through a
// buffer of its own, into `layout`, and finishes it. Requires
// whole.can_split(). Returns false with *err set to the system's reason when
// a read fails.
bool check_whole(const ByteReader& whole, StrictLayout* layout, std::string* err);

}  // namespace tarnwick

#endif  // TARNWICK_VALIDATE_STRICT_H_
