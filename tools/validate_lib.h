// Checking a test graph before an exercise: everything the judge refuses or
// warns about, what it accepts but a test author rarely means, and the
// exercise's own constraints. The graph is read by the judge's own loader.
#ifndef TARNWICK_TOOLS_VALIDATE_LIB_H_
#define TARNWICK_TOOLS_VALIDATE_LIB_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graph/reader.h"

namespace tarnwick {

// The exercise's constraints; a violated one is an error.
struct GraphConstraints {
  std::optional<int64_t> min_vertices, max_vertices;
  std::optional<int64_t> min_edges, max_edges;  // the announced edge count m
  std::optional<int64_t> min_weight, max_weight;
  bool connected = false;        // every vertex of 1..n reachable from vertex 1 by edges
  bool simple = false;           // no pair given twice, no self-loop
  std::optional<int32_t> source;  // tell the vertices whose shortest path uses a missing edge
};

// The graph file, readable more than once: a path, an open file that can seek
// (standard input redirected from a file), or bytes in memory.
struct GraphBytes {
  const char* path = nullptr;  // when set; otherwise `fd`, then `bytes`
  int fd = -1;                 // when set: read from offset `start` each time
  int64_t start = 0;
  std::string_view bytes;
};

inline constexpr uint64_t kNoPlace = ~uint64_t{0};

struct Finding {
  bool error = false;  // otherwise a warning
  uint64_t at = 0;     // byte offset in the file
  std::string text;    // may hold "{}", replaced by the line of `other`
  uint64_t other = kNoPlace;
};

struct Validation {
  std::vector<Finding> findings;        // in the order found; the shown ones only
  int64_t errors = 0, warnings = 0;     // all of them, shown or not
  std::map<std::string, int64_t> hidden;  // kind -> findings beyond the shown few
  int32_t n = 0;
  int64_t m = 0;  // the announced edge count
  int64_t edges_read = 0;
};

// Findings of one kind shown before the rest are only counted.
inline constexpr int64_t kShownPerKind = 10;

// Validates the graph file. Returns false with *err set to the system's
// reason when it cannot be read.
bool validate(const GraphBytes& file, const GraphConstraints& want, Validation* out,
              std::string* err);

// Returns the findings, one a line "NAME:LINE:COLUMN: error|warning: text" in
// file order, then the one-line summary. Reads the file again for the lines.
// Returns false with *err set when it cannot.
bool validation_text(const GraphBytes& file, const std::string& name, const Validation& v,
                     std::string* out, std::string* err);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_VALIDATE_LIB_H_
