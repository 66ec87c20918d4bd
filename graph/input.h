// The graph file loader.
//
// A graph file is a sequence of decimal integers separated by any whitespace:
// the vertex count n, the edge count m, then m edges "u v w". Each integer is
// read like scanf's "%d": leading whitespace, an optional sign, digits.
#ifndef TARNWICK_GRAPH_INPUT_H_
#define TARNWICK_GRAPH_INPUT_H_

#include <string>
#include <string_view>

#include "graph/reader.h"
#include "graph/tables.h"

namespace tarnwick {

// What kept a graph file from being loaded whole, as a value beside the words.
enum class LoadFault {
  kNone,
  kNoVertexCount,    // warned: judged as an empty graph
  kNoEdgeCount,      // warned: no edge read
  kEndsEarly,        // warned: the edge list ends before the m-th edge
  kTooManyVertices,  // refused: the vertex count does not fit the tables
  kIdOutsideTables,  // refused: an edge names an id outside them
  kReadError,        // refused: the input cannot be read
};

// What a load produced besides the graph.
struct LoadReport {
  LoadFault fault = LoadFault::kNone;
  std::string error;    // set when the judge cannot judge this graph ("reason", no path)
  std::string warning;  // set when the file is usable but defective ("reason", no path)
  // When every announced edge was read: the offset just past the m-th edge
  // (past the header when m <= 0), whichever way the file was read. When the
  // edge list ended early: where the read that ended it began.
  uint64_t end = 0;
  int64_t edges = 0;  // whole edges read (m when every edge was)
};

// Hears every number the loader reads, in file order, for tools that tell
// where in the file each thing stands (tarnwick-validate). Reading through an
// observer is never faster than without one.
class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  // Number `index` of the file as read: 0 is the vertex count, 1 the edge
  // count, 2 + 3 * (e - 1) + 0, 1, 2 are u, v and w of edge e. A read that
  // stopped the header or the edge list (num.read != Read::kNumber) is heard too.
  virtual void number(int64_t index, const Number& num) = 0;
};

// Reads a graph from `in` into *g (which must be fresh). Returns false when
// the graph cannot be judged, with report->error set; any warning is in
// report->warning either way. Reads nothing after the m-th edge; when every
// edge was read, `in` is left at report->end, so that what follows the m-th
// edge (a test input's source) is what `in` reads next. `observer`, when set,
// hears each number read.
bool input(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer = nullptr);

namespace detail {

// How the weights among 1..n are stored.
enum class Storage { kByDensity, kLists, kDense };

// Knobs of input(), so that tests, benchmarks and fuzz targets reach every path.
// A value of 0 (or false, or kByDensity) lets input() choose.
struct LoadTuning {
  Storage storage = Storage::kByDensity;
  int32_t threads = 0;     // threads reading the edge list, the caller's included
  size_t range_bytes = 0;  // bytes each thread reads at a time (even a few)
  bool split = false;      // read in ranges even an input too small to be worth it
};

// Same as input(in, g, report) without an observer, with the given knobs.
bool input_tuned(ByteReader& in, Graph* g, LoadReport* report, const LoadTuning& tuning);

// Reads every number of `in` from its start, in ranges as the loader does but
// storing nothing; returns how many it read, and their sum in *sum. Requires
// in.can_split() and an input of numbers and whitespace alone. For benchmarks:
// the loader's reading of numbers on its own.
int64_t read_numbers_in_ranges(const ByteReader& in, const LoadTuning& tuning, int64_t* sum);

}  // namespace detail

// Loads the graph file at `path` as above; an unreadable file is an error
// naming the system's reason.
bool input(const char* path, Graph* g, LoadReport* report);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_INPUT_H_
