// Where a byte offset stands in a text file, as editors count: line and column.
#ifndef TARNWICK_TOOLS_PLACES_H_
#define TARNWICK_TOOLS_PLACES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "graph/places.h"
#include "graph/reader.h"

namespace tarnwick {

// Returns the place of each offset in `offsets` (in any order) within the
// bytes `in` reads; an offset at or past the end is placed at the end. Reads
// `in` once, as far as the last offset; memory grows only with the offsets.
std::vector<Place> places(ByteReader& in, const std::vector<uint64_t>& offsets);

// As above for the file at `path`. Returns false with *err set to the
// system's reason when it cannot be read.
bool places(const char* path, const std::vector<uint64_t>& offsets, std::vector<Place>* out,
            std::string* err);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_PLACES_H_
