// Where a byte offset stands in a text file, as editors count: line and column.
#ifndef TARNWICK_TOOLS_PLACES_H_
#define TARNWICK_TOOLS_PLACES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "graph/reader.h"

namespace tarnwick {

struct Place {
  int64_t line = 1;    // from 1; a line ends after each '\n'
  int64_t column = 1;  // from 1, in bytes
};

// Returns the place of each offset in `offsets` (in any order) within the
// bytes `in` reads; an offset at or past the end is placed at the end. Reads
// `in` once, as far as the last offset; memory grows only with the offsets.
std::vector<Place> places(ByteReader& in, const std::vector<uint64_t>& offsets);

// As above for the file at `path`. Returns false with *err set to the
// system's reason when it cannot be read.
bool places(const char* path, const std::vector<uint64_t>& offsets, std::vector<Place>* out,
            std::string* err);

// Returns "LINE:COLUMN".
inline std::string place_text(const Place& p) {
  return std::to_string(p.line) + ":" + std::to_string(p.column);
}

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_PLACES_H_
