// Checking a test graph before an exercise: everything the judge refuses or
// warns about, what it accepts but a test author rarely means, and the
// exercise's own constraints. The graph is loaded through the judge's own
// case (check/case.h), read once: places are counted as the bytes go by.
#ifndef TARNWICK_TOOLS_VALIDATE_LIB_H_
#define TARNWICK_TOOLS_VALIDATE_LIB_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/case.h"
#include "graph/graph_file.h"
#include "graph/input.h"
#include "graph/places.h"

namespace tarnwick {

// The exercise's constraints; a violated one is an error.
struct GraphConstraints {
  std::optional<int64_t> min_vertices, max_vertices;
  std::optional<int64_t> min_edges, max_edges;  // the announced edge count m
  std::optional<int64_t> min_weight, max_weight;
  bool connected = false;  // every vertex of 1..n reachable from vertex 1 by edges
  bool simple = false;     // no pair given twice, no self-loop
};

struct ValidateOptions {
  GraphConstraints want;
  // kFlag (--source S): tell the vertices whose shortest path from S takes a
  // missing edge. kCarried: the file is a test input, the source on the
  // number after the m-th edge, which must be its last number.
  SourceGiven source;
  bool test_input = false;               // a problem package's: judge warnings and n < 1 are errors
  bool allow_non_vertex_source = false;  // a source of 0 or above n is a warning, not an error
  bool strict_layout = false;            // --strict: the layout of validate/strict.h, or errors
  detail::LoadTuning tuning;             // the loader's knobs, for tests
};

struct Finding {
  bool error = false;  // otherwise a warning
  Place at;
  std::string text;
};

struct Validation {
  std::vector<Finding> findings;          // in the order found; the shown ones only
  int64_t errors = 0, warnings = 0;       // all of them, shown or not
  std::map<std::string, int64_t> hidden;  // kind -> findings beyond the shown few
  int32_t n = 0;
  int64_t m = 0;  // the announced edge count
  int64_t edges_read = 0;
  int32_t carried = -1;  // the carried source as read, when it fits the tables
};

// Findings of one kind shown before the rest are only counted.
inline constexpr int64_t kShownPerKind = 10;

// Validates a graph input as the judging case is made from it: it hears the
// load, then looks at what was loaded, reading the input once (a repeated
// pair's earlier edge is found as find_edge_lines finds it).
class Validator {
 public:
  // Watches `file` (open, nothing read yet) for `options`.
  Validator(const ValidateOptions& options, GraphFile& file);
  ~Validator();
  // Returns the options to make the case from the file with: hooks into the load.
  CaseOptions load_options();
  // Completes the findings once the case was made (or refused) from the file
  // with load_options(). Returns false with *err set to the system's reason
  // when the input cannot be read.
  bool finish(const Case& judging, Validation* out, std::string* err);

 private:
  class Watch;
  std::unique_ptr<Watch> watch_;
};

// Validates the graph input `file` (open, nothing read yet) through a case of
// its own. Returns false with *err set as Validator::finish does, or to the
// case's reason when a flag's source is not an id.
bool validate(GraphFile& file, const ValidateOptions& options, Validation* out, std::string* err);

// Returns the findings, one a line "NAME:LINE:COLUMN: error|warning: text" in
// file order, then the one-line summary; control characters in `name` are
// escaped, so that each finding stays on one line.
std::string validation_text(const std::string& name, const Validation& v);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_VALIDATE_LIB_H_
