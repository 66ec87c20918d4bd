// The graph file loader.
//
// A graph file is a sequence of decimal integers separated by any whitespace:
// the vertex count n, the edge count m, then m edges "u v w". Each integer is
// read like scanf's "%d": leading whitespace, an optional sign, digits.
#ifndef TARNWICK_GRAPH_INPUT_H_
#define TARNWICK_GRAPH_INPUT_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// What LoadObserver::edges tells of a pair: new, given before, not known (a
// pair stored in lists), or counted by the loader (LoadReport::pairs_again).
inline constexpr uint8_t kAgainNo = 0, kAgainYes = 1, kAgainUnknown = 2, kAgainCounted = 3;

// Where one range of a graph input read in ranges begins, so that a number
// found later is read again from there, not from the start of the file.
struct RangeMark {
  uint64_t offset = 0;      // its first byte
  int64_t first = 0;        // the index of its first number (as LoadObserver counts)
  int64_t lines = -1;       // the line ends before it, once counted (see place_spots)
  uint64_t line_start = 0;  // once counted: where the line holding its first byte begins
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
  // For kIdOutsideTables: the index of the id at fault (as LoadObserver counts).
  int64_t fault_number = -1;
  // When an observer asked whether pairs came again, of a dense table read in
  // ranges: the edges stored in it whose pair an earlier edge gave; else -1.
  int64_t pairs_again = -1;
  // The ranges of the edge list, in file order, when it was read in ranges;
  // otherwise empty (the edge list was read one number at a time).
  std::vector<RangeMark> ranges;
};

// Hears what the loader reads, in file order, for tools that tell where in
// the file each thing stands (tarnwick-validate). Every call comes from one
// thread at a time, in file order, though not always the same thread.
class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  // Number `index` of the file as read: 0 is the vertex count, 1 the edge
  // count, 2 + 3 * (e - 1) + 0, 1, 2 are u, v and w of edge e. A read that
  // stopped the header or the edge list (num.read != Read::kNumber) is heard
  // too. The edge list's numbers are heard only when reads_numbers().
  virtual void number(int64_t index, const Number& num) = 0;
  // Edge e (from 1) as stored: heard after its numbers, in every reading.
  virtual void edge(int64_t /*e*/, int32_t /*u*/, int32_t /*v*/, int32_t /*w*/) {}
  // Edges first, first + 1, ... as stored, `numbers` their u v w in turn:
  // the ranged reading tells a range's edges at once, and, while asks_again(),
  // `again[k]` tells whether the pair of edge first + k was given by an
  // earlier edge (kAgainUnknown for a pair stored in lists); once asks_again()
  // has said no, pairs in the dense table are kAgainCounted. By default each
  // edge is told to edge().
  virtual void edges(int64_t first, std::span<const int32_t> numbers,
                     std::span<const uint8_t> /*again*/) {
    for (size_t i = 0; i + 3 <= numbers.size(); i += 3) {
      edge(first++, numbers[i], numbers[i + 1], numbers[i + 2]);
    }
  }
  // Returns true when edges() is to be told `again` for the coming range: a
  // dense table tells it as it stores (reading each cell first); once this
  // says no, the loader only counts such pairs, in LoadReport::pairs_again.
  virtual bool asks_again() const { return false; }
  // Returns true when number() is to hear every number of the edge list: the
  // input is then read one number at a time, never in ranges.
  virtual bool reads_numbers() const { return true; }
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

// Same as input(in, g, report, observer), with the given knobs.
bool input_tuned(ByteReader& in, Graph* g, LoadReport* report, const LoadTuning& tuning,
                 LoadObserver* observer = nullptr);

// Sets *numbers to the numbers of bytes [lo, hi) of `whole` (which can_split),
// read as the ranged reading reads them, up to text that is not a number;
// `tap`, when set, hears the bytes read. Returns the errno of a failed read,
// or 0. For tools that search an input again once it is loaded.
int numbers_between(const ByteReader& whole, uint64_t lo, uint64_t hi,
                    std::vector<int32_t>* numbers, ByteTap* tap = nullptr);

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
