// tarnwick-validate.cc: tarnwick-validate 0.1.0, of tarnwick, the judge of the
// single-source shortest-path exercise, as one self-contained C++20 file.
// It is the checker of test graphs as a problem package's input validator:
// tarnwick-validate --kattis whatever its flags (the input on standard input,
// exit 42 valid, 43 invalid), the package's input_validator_flags after it.
// Made from the sources of commit 7c0b4b577b4544f9ad3d3624a3d2a46a16baeaba, with changes not yet committed.
//
// Compile it alone (no other file, no include path), with any of:
//   g++ -O2 -std=gnu++20 -pthread tarnwick-validate.cc -o tarnwick-validate
//   g++ -g -O2 -std=gnu++23 -static -o tarnwick-validate tarnwick-validate.cc -lrt -Wl,--whole-archive -lpthread -Wl,--no-whole-archive
//   g++ -Wall -O2 -std=gnu++20 tarnwick-validate.cc -o run
//   clang++ -O2 -std=gnu++20 -pthread tarnwick-validate.cc -o tarnwick-validate
//
// Made by cmake/SingleFile.cmake at build time: change the sources, not this file.
#define TARNWICK_VERSION "0.1.0"
#define TARNWICK_DEFAULT_SYSTEM "kattis"

// ---- tools/validate.cc ----
// tarnwick-validate: checks a test graph before an exercise, reading it the
// way the judge does, and reports one finding a line in the form compilers
// use, then a summary. It runs after the case, whose load it watches, and
// tells a refused graph as a finding of its own.
#include <optional>
#include <string>
#include <string_view>

// ---- validate/command_line.h ----
// tarnwick-validate's command line read into what it checks: the
// constraints, where the source comes from, the layout, and the one graph.
#ifndef TARNWICK_VALIDATE_COMMAND_LINE_H_
#define TARNWICK_VALIDATE_COMMAND_LINE_H_

#include <string>
#include <vector>

// ---- cli/options.h ----
// The one option grammar of the tools (the judge keeps its own fixed command
// line): "--name", "--name=VALUE" and "--name VALUE", options anywhere among
// the operands, "--" ending them. A value option takes the next argument
// whatever it holds ("--min-weight -5"). An argument that starts with '-' and
// then a byte that is not a digit is an option, so that "-5" is an operand,
// and so is "-" (standard input); an option a tool does not take is named.
#ifndef TARNWICK_CLI_OPTIONS_H_
#define TARNWICK_CLI_OPTIONS_H_

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One option a tool takes.
struct OptionSpec {
  const char* name;   // "--format"
  const char* value;  // what its value is, for messages ("a format"); nullptr for a flag
};

// A command line as the grammar reads it.
struct Args {
  std::string program;                        // argv[0]
  std::vector<std::string> operands;          // the arguments that are not options, in order
  std::map<std::string, std::string> values;  // each value option given: its last value
  std::set<std::string> flags;                // each flag given

  // Returns true when the flag or value option `name` was given.
  bool has(const std::string& name) const { return flags.count(name) + values.count(name) > 0; }
  // Returns the value of option `name`, or nullptr when it was not given.
  const std::string* value(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

// Reads argv[1..argc) by the grammar into *args, taking the `options` given
// and, as operands, the `words` that look like options (testlib's "-appes").
// Returns false with *why set on wrong use: "unknown option '-x'", "--format
// needs a format", "--simple takes no value"; *args then holds what came before.
bool read_args(std::span<const OptionSpec> options, std::span<const std::string_view> words,
               int argc, const char* const* argv, Args* args, std::string* why);

// Returns the option called `name` among `options`, or nullptr.
const OptionSpec* find_option(std::span<const OptionSpec> options, std::string_view name);

// Returns true when text is a whole decimal number: an optional sign, then
// digits only. With `value` given, also requires it to fit in 64 bits and
// stores it there.
bool whole_number(std::string_view text, int64_t* value = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_OPTIONS_H_
// ---- validate/validate.h ----
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

// ---- check/case.h ----
// One judging case: the graph loaded, the source taken and its row solved,
// once, in the judge's order (the graph first, then the source). The judge
// and every tool go through it, so that they load, take the source, solve
// and warn alike.
#ifndef TARNWICK_CHECK_CASE_H_
#define TARNWICK_CHECK_CASE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// ---- check/judge.h ----
// The result file checker.
//
// Line k of a result file is a path from the source to vertex k: vertex ids
// separated by spaces (only the space character separates them). Each path is
// weighed with the direct weights, starting at the source, and the weight is
// compared with the shortest distance to vertex k. Line k must exist for every
// vertex k: a file that stops before line n is wrong at its first missing line.
#ifndef TARNWICK_CHECK_JUDGE_H_
#define TARNWICK_CHECK_JUDGE_H_

#include <cstdint>
#include <string>
#include <string_view>

// ---- graph/apsp.h ----
// The all-pairs shortest-path pass, and the one row of its result that the
// checker reads.
#ifndef TARNWICK_GRAPH_APSP_H_
#define TARNWICK_GRAPH_APSP_H_

#include <cstdint>
#include <functional>
#include <vector>

// ---- graph/matrix.h ----
// A dense square table of 32-bit weights for vertices 0..n, used by the
// all-pairs pass. Row 0 and column 0 are stored but never used by the pass.
#ifndef TARNWICK_GRAPH_MATRIX_H_
#define TARNWICK_GRAPH_MATRIX_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarnwick {

class Matrix {
 public:
  // Reserves an (n + 1) x (n + 1) table filled with 0. Requires n >= 0.
  // Each row starts on a 64-byte boundary and is padded to a multiple of 16 entries.
  explicit Matrix(int32_t n);

  // Returns the largest index of a row or column.
  int32_t n() const { return n_; }
  // Returns the distance in entries between the starts of two consecutive rows.
  size_t stride() const { return stride_; }
  // Returns row i: row(i)[j] is entry [i][j]. Requires 0 <= i <= n.
  int32_t* row(int32_t i) { return data_.get() + static_cast<size_t>(i) * stride_; }
  const int32_t* row(int32_t i) const { return data_.get() + static_cast<size_t>(i) * stride_; }
  // Returns entry [i][j]. Requires 0 <= i, j <= n.
  int32_t& at(int32_t i, int32_t j) { return row(i)[j]; }
  int32_t at(int32_t i, int32_t j) const { return row(i)[j]; }

 private:
  struct Free {
    void operator()(int32_t* p) const;
  };
  int32_t n_;
  size_t stride_;
  std::unique_ptr<int32_t[], Free> data_;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_MATRIX_H_
// ---- graph/tables.h ----
// The state every phase of a run shares: the table sizes, the direct weights
// of the graph as loaded (Dist) and the 32-bit arithmetic the tables use.
#ifndef TARNWICK_GRAPH_TABLES_H_
#define TARNWICK_GRAPH_TABLES_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_set>
#include <vector>

namespace tarnwick {

// Vertex ids that fit the tables are 0 to V - 1; the vertices of a graph are 1 to n.
inline constexpr int32_t V = 10010;
// The weight between two distinct vertices that no edge joins. An ordinary number
// in every sum: nothing treats it specially.
inline constexpr int32_t INF = 10000000;

// Returns a + b modulo 2^32, read back as signed (two's complement wrap-around).
inline int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Returns true when id can index the tables (0 to V - 1).
inline bool fits_tables(int64_t id) { return id >= 0 && id < V; }

// One stored direction of an edge: the weight from a row's vertex to `to`.
struct Neighbour {
  int32_t to;
  int32_t w;
};

// The direct weights as loaded: Dist(i, j) is the weight of the last edge given
// between i and j (a self-loop included); otherwise INF between two distinct
// vertices of 1..n and 0 everywhere else (the diagonal, id 0, ids above n, and
// ids outside the tables). Stored one of two ways, which answer every lookup
// alike: neighbour lists (one sorted list per id), or a dense (n + 1) x (n + 1)
// table for the pairs of 1..n with lists for the edges that name any other id.
class DirectWeights {
 public:
  // Collects edges in file order before build().
  class Builder {
   public:
    // Collects every edge into neighbour lists.
    Builder() = default;
    // With dense = true, writes the edges among 1..n straight into a dense
    // table, filled first by up to `threads` threads, and collects the others
    // into lists; with dense = false, as Builder(). With mirror_later, the
    // cells below the diagonal are left unwritten: only put() above it or on
    // it, then mirror_upper() before build(). Requires 0 <= n < V.
    Builder(int32_t n, bool dense, int32_t threads = 1, bool mirror_later = false);
    // Makes room for `edges` edges (a hint; memory is only reserved, not touched).
    void reserve(size_t edges) { entries_.reserve(edges); }
    // Records edge u-v of weight w, both ways. Requires u and v to fit the tables.
    void add(int32_t u, int32_t v, int32_t w) {
      if (dense() && inside(u) && inside(v)) {
        put(u, v, w);
        put(v, u, w);
      } else {
        add_listed(u, v, w);
      }
    }
    // Records edge u-v of weight w in the lists, whatever the storage. Requires
    // u and v to fit the tables, and one of them outside 1..n when dense().
    void add_listed(int32_t u, int32_t v, int32_t w);
    // Writes w at [i][j] of the dense table only. Requires dense() and i, j in
    // 1..n; threads that write at once must write different rows.
    void put(int32_t i, int32_t j, int32_t w) { *cell(i, j) = w; }
    // Writes w at [i][j] as put() does. Returns true when put_again() wrote
    // there before (exactly, even when that weight was the cell's first value:
    // such cells are kept aside, and are rare). Requires as put().
    bool put_again(int32_t i, int32_t j, int32_t w) {
      int32_t* at = cell(i, j);
      const int32_t first = i == j ? 0 : INF;
      bool again = *at != first;
      if (w == first) {
        again = keep_first(i, j, true) || again;  // the write is kept, whatever came before
      } else if (!again && !first_kept_.empty()) {
        again = keep_first(i, j, false);
      }
      *at = w;
      return again;
    }
    // Writes w at [i][j] as put() does, keeping count of the cells written
    // with their first value as put_again() does, without reading the cell.
    void put_counted(int32_t i, int32_t j, int32_t w) {
      if (w == (i == j ? 0 : INF)) keep_first(i, j, true);
      *cell(i, j) = w;
    }
    // Returns how many cells of the table put_again() and put_counted() have
    // written (each cell once, however often). Requires mirror_upper() done
    // and every put through them.
    int64_t cells_written() const;
    // Returns the address of [i][j] of the dense table. Requires as put().
    int32_t* cell(int32_t i, int32_t j) { return cells_.get() + static_cast<size_t>(i) * stride_ + j; }
    // Copies [i][j] to [j][i] for all i < j of the dense table, with up to
    // the threads given at construction, noting on the way the least and the
    // greatest weight among 1..n (see DirectWeights::dense_range). Requires
    // dense(), and no put() after it.
    void mirror_upper();
    // Switches to a dense table for the pairs of 1..n, moving the edges among
    // them collected so far (file order kept). Requires n given at construction.
    void make_dense();
    // Returns true when the edges among 1..n go to a dense table.
    bool dense() const { return cells_ != nullptr; }
    // Returns the number of edges collected into lists so far.
    size_t listed() const { return entries_.size(); }
    // Returns the vertex count given at construction.
    int32_t n() const { return n_; }
    // Returns true when id is a vertex of 1..n.
    bool inside(int32_t id) const { return id >= 1 && id <= n_; }
    // Returns the weights for vertices 1..n; a later edge between the same two
    // vertices replaces an earlier one. Requires n to be the n given at
    // construction when dense(). Leaves the builder empty.
    DirectWeights build(int32_t n);

   private:
    struct Entry {
      int32_t low, high, w;  // one entry per edge, low <= high
    };
    // Returns whether [i][j] was written with its first value before, and notes it now when `now`.
    bool keep_first(int32_t i, int32_t j, bool now);
    int32_t n_ = 0;
    int32_t threads_ = 1;
    bool upper_only_ = false;  // the cells below the diagonal wait for mirror_upper()
    bool range_known_ = false;  // set by mirror_upper(): least_, most_ hold
    int32_t least_ = 0, most_ = 0;
    int64_t changed_ = 0;  // set by mirror_upper(): cells on or above the diagonal not at their first value
    size_t stride_ = 0;
    std::shared_ptr<int32_t[]> cells_;
    std::vector<Entry> entries_;
    std::unordered_set<uint64_t> first_kept_;  // cells put_again() wrote with their first value
  };

  // An empty graph: every lookup is 0.
  DirectWeights() = default;

  // Returns the direct weight from i to j; 0 when either id is outside 0..V-1.
  int32_t operator()(int32_t i, int32_t j) const {
    if (dense() && i >= 1 && i <= n_ && j >= 1 && j <= n_) return dense_row(i)[j];
    return listed(i, j);
  }

  // Returns the listed neighbours of vertex i in increasing id order, without
  // duplicates: every edge of i when stored as lists, and only the edges that
  // name an id outside 1..n when dense(). Requires i to fit the tables.
  std::span<const Neighbour> row(int32_t i) const;

  // Returns true when the weights among 1..n are a dense table.
  bool dense() const { return cells_ != nullptr; }
  // Returns row i of the dense table: entry j is Dist(i, j) for j in 1..n
  // (entry 0 is 0). Requires dense() and 1 <= i <= n.
  const int32_t* dense_row(int32_t i) const { return cells_.get() + static_cast<size_t>(i) * stride_; }

  // Returns true, with the least and the greatest weight among 1..n (the
  // diagonal included) in *least and *most, when the table is dense and was
  // made symmetric by Builder::mirror_upper(), which notes them; false
  // otherwise (the caller then looks at the rows). With n = 0, *least > *most.
  bool dense_range(int32_t* least, int32_t* most) const {
    *least = least_;
    *most = most_;
    return range_known_;
  }

  // Returns the vertex count n given to build() (0 for an empty graph).
  int32_t n() const { return n_; }

 private:
  int32_t listed(int32_t i, int32_t j) const;

  int32_t n_ = 0;
  std::vector<uint32_t> start_;  // V + 1 offsets into adj_ once built
  std::vector<Neighbour> adj_;
  size_t stride_ = 0;
  std::shared_ptr<const int32_t[]> cells_;  // (n + 1) x (n + 1) when dense
  bool range_known_ = false;                // least_, most_: see dense_range()
  int32_t least_ = 0, most_ = 0;
};

// A loaded graph: the vertex count, the edge count the header announced, and
// the direct weights.
struct Graph {
  int32_t n = 0;
  int32_t m = 0;
  DirectWeights Dist;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_TABLES_H_

namespace tarnwick {

// Returns APSP as loaded, over vertices 1..n: entry [i][j] is Dist(i, j).
// Requires 0 <= g.n < V.
Matrix load_APSP(const Graph& g);

// The plain pass (its name notwithstanding, no blocks: the blocked exact pass is
// exact_FW_row), kept as the reference every faster path is tested against:
// for k, then i, then j over 1..n, APSP[i][j] = APSP[i][k] + APSP[k][j] (32-bit,
// wrapping) whenever that is strictly less. In place; the diagonal is relaxed too.
void block_FW(Matrix& APSP);

// Row `source` of APSP after the pass, for every line number the checker can
// ask about. Entries outside 1..n keep their loaded value, Dist(source, k).
class SourceRow {
 public:
  // `row` holds entries 0..n of the solved row when source is in 1..n, and is
  // empty otherwise (the pass never touches such a row). Requires g to outlive this.
  SourceRow(const Graph& g, int32_t source, std::vector<int32_t> row);

  // Returns APSP[source][k] after the pass; 0 for k outside 0..V-1.
  int32_t at(int64_t k) const;

  int32_t source() const { return source_; }

 private:
  const Graph* g_;
  int32_t source_;
  std::vector<int32_t> row_;
};

// Returns true when source names a vertex whose row the pass rewrites (1..n).
inline bool row_is_solved(const Graph& g, int32_t source) {
  return source >= 1 && source <= g.n;
}

// Returns row `source` of APSP after the pass, computed by the plain pass.
// Requires source to fit the tables.
SourceRow solve_plain(const Graph& g, int32_t source);

// Returns row `source` of APSP after the pass, by the fastest exact means:
// no pass at all when the row is not one the pass rewrites, a single-source
// search when no sum can wrap and no cycle is negative, otherwise the pass in
// its exact order. `progress`, when set, hears the share done of a long pass.
// `parent`, when set, gets the search's parents (see fast_source_row) when the
// search ran, and is left empty otherwise. Requires source to fit the tables.
SourceRow solve(const Graph& g, int32_t source,
                const std::function<void(double)>& progress = {},
                std::vector<int32_t>* parent = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_APSP_H_
// ---- graph/reader.h ----
// Byte-at-a-time reading of a file or of bytes in memory, through a fixed buffer,
// so that memory does not grow with the size of the input.
#ifndef TARNWICK_GRAPH_READER_H_
#define TARNWICK_GRAPH_READER_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Hears the bytes a reader takes from its input, in order, each before any of
// it is consumed (for counting lines as the bytes go by).
class ByteTap {
 public:
  virtual ~ByteTap() = default;
  // `bytes` start at `offset` (as ByteReader::offset() counts) and stay valid
  // until the next call, which comes (with no bytes) before they are overwritten.
  virtual void take(uint64_t offset, std::string_view bytes) = 0;
};

class ByteReader {
 public:
  // Reads the given bytes, which must outlive the reader.
  explicit ByteReader(std::string_view bytes);
  // Reads the open file descriptor fd (not closed by the reader).
  explicit ByteReader(int fd);
  // Reads bytes [begin, end) of the input `whole` reads (offsets as offset()
  // counts them), through `buffer` when that input is a file; offset() goes on
  // from begin. Requires whole.can_split(), begin <= end <= whole.split_end(),
  // and `buffer` (not empty) to outlive the reader. Safe on several threads at
  // once: `whole` is only read.
  ByteReader(const ByteReader& whole, uint64_t begin, uint64_t end, std::span<char> buffer);
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Returns the next byte (0..255) without consuming it, or -1 at the end of
  // the input or after a read error.
  int peek() {
    if (p_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(*p_);
  }
  // Consumes the byte peek() returned. Requires peek() != -1.
  void skip() { ++p_; }

  // Returns the bytes already buffered and not yet consumed (possibly none).
  std::string_view window() const { return {p_, static_cast<size_t>(end_ - p_)}; }
  // Consumes the first `count` bytes of window().
  void skip(size_t count) { p_ += count; }

  // Returns the errno of the read that failed, or 0 when every read succeeded.
  int error() const { return error_; }

  // Returns how many bytes the whole input holds when that is known (bytes in
  // memory, a regular file), or 0 when it is not (a pipe, a terminal).
  size_t size_hint() const { return size_hint_; }

  // Returns true when any range of the input can be read on its own (bytes in
  // memory, a regular file), so that threads can share it out.
  bool can_split() const { return split_end_ > 0; }
  // Returns the offset of the end of the input when can_split().
  uint64_t split_end() const { return split_end_; }

  // Returns how many bytes have been consumed since the start of the input.
  uint64_t offset() const { return base_ + static_cast<uint64_t>(p_ - begin_); }

  // Moves to `offset` (as offset() counts), so that the next byte read is the
  // one there. Requires can_split(), offset <= split_end(), and a reader made
  // on the whole input (not a range). Returns false with error() set when the
  // file cannot seek.
  bool seek(uint64_t offset);

  // Reads nothing at or past `offset` (as offset() counts): the input seems
  // to end there. For a reader of a whole descriptor; bytes already buffered stay.
  void stop_at(uint64_t offset) { stop_ = offset; }

  // Hands `tap` the bytes buffered from offset() on, then every later read's,
  // as they come. Requires `tap` to outlive the reader; nullptr stops it.
  void tap(ByteTap* tap) {
    tap_ = tap;
    if (tap_ != nullptr) tap_->take(offset(), window());
  }

 private:
  bool refill();
  bool refill_range();
  void retire_window();

  int fd_ = -1;
  int error_ = 0;
  size_t size_hint_ = 0;
  std::vector<char> buffer_;
  std::span<char> window_;        // what refill() reads into
  std::string_view memory_;       // the whole input when it is bytes in memory
  uint64_t split_end_ = 0;        // offset of the input's end when it can be split
  uint64_t origin_ = 0;           // file offset of offset() 0
  uint64_t next_ = 0;             // offset of the next byte to read at (ranges only)
  uint64_t limit_ = 0;            // offset of the end of a range
  uint64_t stop_ = UINT64_MAX;    // offset where reading a descriptor stops (stop_at)
  bool range_ = false;            // reads a range with pread
  ByteTap* tap_ = nullptr;
  uint64_t base_ = 0;             // offset of begin_ in the input
  const char* begin_ = nullptr;  // start of the bytes p_ walks
  const char* p_ = nullptr;
  const char* end_ = nullptr;
};

// The outcome of reading one integer the way "%d" does.
enum class Read { kNumber, kNoNumber, kTooBig };

struct Number {
  Read read = Read::kNoNumber;
  bool negative = false;
  bool at_end = false;  // kNoNumber because the input ended before any text
  int32_t value = 0;    // set only for kNumber
  uint64_t where = 0;   // offset of its first byte after the leading whitespace
                        // (for kNoNumber: of the text that is not a number, or the end)
};

// Reads one integer from `in`: leading whitespace, an optional sign, decimal
// digits. Returns kNoNumber at the end of the input or before text that is not
// a number (a lone sign is consumed), kTooBig when the digits do not fit in
// 32 bits (all of them are consumed).
Number read_number(ByteReader& in);

// A file opened read-only, closed when this goes away.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens path. Returns false with *err set to the system's reason ("No such
  // file or directory") when it cannot. Requires that nothing is open yet.
  // Without wait_for_writer a FIFO is opened at once, writer or not (reads
  // then wait for a writer that is there, and find none that is not).
  bool open(const char* path, std::string* err, bool wait_for_writer = true);
  // Opens `name` relative to the open folder `dir` (AT_FDCWD: as open()),
  // with `flags` added (O_NOFOLLOW), as open() does otherwise.
  bool open_at(int dir, const char* name, int flags, std::string* err, bool wait_for_writer);
  // Returns the open file's descriptor. Requires a successful open().
  int fd() const { return fd_; }
  // Closes the file, if one is open.
  void close();

 private:
  int fd_ = -1;
};

// Returns the system's reason for errno value e.
std::string reason(int e);

// Returns true for the bytes scanf's "%d" skips before a number: space, \t, \n, \v, \f, \r.
inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Returns true for '0' to '9'.
inline bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_READER_H_

namespace tarnwick {

struct Verdict {
  enum Kind { kSuccess, kEmptyFile, kWrongAnswer };
  Kind kind = kEmptyFile;
  int32_t source = 0;
  int64_t line = 0;  // for kWrongAnswer: the first line that differs or is missing
  bool missing = false;  // for kWrongAnswer: line is missing (the file stopped before line n)
};

// Returns the verdict as printed on standard output, without its line end.
std::string verdict_words(const Verdict& v);

// Returns the verdict as printed on standard output, line end included.
inline std::string verdict_line(const Verdict& v) { return verdict_words(v) + "\n"; }

// An id read from a result file that cannot index the tables. It weighs 0 to
// and from every vertex, like the ids above n.
inline constexpr int32_t kOutsideId = -1;

// One step of a path as the checker weighs it: one token of a line.
struct WeighedStep {
  int64_t line = 0;       // the line of the result file, from 1
  int64_t index = 0;      // the token's place in its line, from 1
  int32_t from = 0;       // the previous vertex; the source for the first step
  int32_t to = 0;         // the id the token stands for, or kOutsideId
  bool repeated = false;  // the token holds no number: `to` is the last id read before
  bool tail_ignored = false;  // bytes after the token's number were passed over ("1,2", "3\t4")
  int32_t weight = 0;     // Dist(from, to), added to the line's weight
  // The token's bytes without the space or line end that ended it, cut at
  // kTokenKept bytes; valid only during JudgeObserver::step.
  std::string_view token;
};

// The most bytes of a token that WeighedStep::token holds.
inline constexpr size_t kTokenKept = 40;

// Hears the checker weigh a result file, for tools that explain a verdict.
// Judging with an observer gives the same verdict as without one.
class JudgeObserver {
 public:
  virtual ~JudgeObserver() = default;
  // Step `s` has just been added to the weight of its line.
  virtual void step(const WeighedStep& s) = 0;
  // Line `line` has ended, weighing `total` (exactly, without wrapping) where
  // `expected` is the shortest distance. Once a line has been found wrong,
  // reading goes on only while this returns true (the verdict names the first
  // wrong line either way); returning false at every line stops where the judge does.
  virtual bool line_end(int64_t line, __int128 total, int32_t expected) = 0;
};

// Judges the result file read from `in` against the direct weights and the
// solved row. Reads nothing after the first wrong line (unless `observer`
// asks to go on). Returns false when a read fails (in.error() then tells why);
// *out is set only on success. `observer`, when set, hears every step and line end.
bool judge(ByteReader& in, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out,
           JudgeObserver* observer = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_JUDGE_H_
// ---- check/result_file.h ----
// A result file opened once, whatever it is: a path (a regular file, a pipe,
// a FIFO, a device), a name below a folder that must not lead out of it, or
// an open descriptor such as standard input. Every front end opens result
// files here alone. A FIFO can be opened without waiting for
// a writer, and a file of more bytes than a cap is refused, so that no file
// stalls or floods the one judging it.
#ifndef TARNWICK_CHECK_RESULT_FILE_H_
#define TARNWICK_CHECK_RESULT_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>


namespace tarnwick {

// How a result file is opened and how much of it is read.
struct ResultLimits {
  // False: a FIFO is opened without waiting for a writer, and one that no
  // program writes into holds nothing (a grader must not stall on it).
  bool wait_for_writer = true;
  // A file of more bytes than this is not judged ("larger than N bytes").
  uint64_t max_bytes = UINT64_MAX;
};

// Where opening a file below a folder stopped (ResultFile::open_below).
enum class BelowFault {
  kNone,
  kFolder,   // the folder itself cannot be opened (ENOENT, ENOTDIR, ...)
  kOutside,  // the name leads out: "..", an absolute name, a symbolic link on the way
  kFile,     // the file, or a folder on the way, cannot be opened
};

// Opens the folder at path, not through a symbolic link as its last
// component. Returns its descriptor, or -1 with errno kept and *fault set
// (kOutside for a link, else kFolder).
int open_own_folder(const std::string& path, BelowFault* fault);

class ResultFile {
 public:
  ResultFile() = default;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  // Opens the file at path. Returns false with *why set to the system's
  // reason (errno in error()) when it cannot. Call once.
  bool open(const std::string& path, const ResultLimits& limits, std::string* why);
  // Opens `inside`, a relative name ("out/t1.txt"), below the folder at
  // `folder`, one component at a time through open descriptors, so that what
  // is judged is what was checked: never through a symbolic link (the
  // folder's own included), a ".." or an absolute name. Returns false with
  // *why set ("leads outside the folder", or the system's reason) and
  // below_fault() telling where. Call once.
  bool open_below(const std::string& folder, std::string_view inside, const ResultLimits& limits,
                  std::string* why);
  // Returns where open_below() stopped, or kNone.
  BelowFault below_fault() const { return below_fault_; }
  // Reads the open descriptor fd (not closed here) from where it stands. Call once.
  void adopt(int fd, const ResultLimits& limits);
  // Reads `bytes`, which must outlive this, as a regular file. Call once.
  void assign(std::string_view bytes);

  // Returns the reader of the file's bytes. Requires open() or adopt().
  ByteReader& reader() { return *reader_; }
  // Returns the errno behind the last failure told, or 0 (too large).
  int error() const { return error_; }

  // Returns "" when the file is within the cap so far, else "larger than N
  // bytes". A regular file is told by its size, before any read.
  std::string over_cap() const;
  // Returns "" when the whole file is within the cap, else as over_cap(). A
  // file whose size is not known (a pipe, a device) is read on to tell, no
  // further than the cap.
  std::string read_to_cap();

  // Moves back to the start of a regular file, so that it is read again
  // through the same descriptor. Returns false when it cannot (not a regular
  // file, or the seek fails).
  bool rewind();

 private:
  InputFile file_;
  std::optional<ByteReader> reader_;
  ResultLimits limits_;
  bool regular_ = false;
  uint64_t size_ = 0;  // a regular file's, when it was opened
  int error_ = 0;
  BelowFault below_fault_ = BelowFault::kNone;

  // Notes that open_below() stopped at `fault` for errno e. Returns false.
  bool stop(BelowFault fault, int e, std::string* why);
};

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_RESULT_FILE_H_
// ---- graph/graph_file.h ----
// A graph input opened once: a file by path, an open descriptor (standard
// input), or bytes in memory. The loader reads it once; a tool that points
// back into it (the graph line of an edge) searches it again. A regular file,
// or bytes in memory, is then read again through what is already open, never
// opened a second time, in the ranges the loader marked, on every CPU given;
// any other input (a pipe, a FIFO, a terminal) hands back what was noted of
// each edge as it was loaded, so that its bytes are never kept.
#ifndef TARNWICK_GRAPH_GRAPH_FILE_H_
#define TARNWICK_GRAPH_GRAPH_FILE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <deque>
#include <vector>

// ---- graph/input.h ----
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
// ---- graph/places.h ----
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

namespace tarnwick {

class GraphFile {
 public:
  GraphFile();
  ~GraphFile();
  GraphFile(const GraphFile&) = delete;
  GraphFile& operator=(const GraphFile&) = delete;

  // Opens the file at path. Returns false with *err set to the system's
  // reason when it cannot. Requires nothing open yet (as for adopt, assign).
  bool open(const char* path, std::string* err);
  // Reads the open descriptor fd (not closed here) from where it stands.
  void adopt(int fd);
  // Reads `bytes`, which must outlive this.
  void assign(std::string_view bytes);

  // Returns the reader the loader reads. Requires one of the above first.
  ByteReader& reader() { return *reader_; }

  // Returns true when the input can be read again from its start through
  // what is open: a regular file or bytes in memory.
  bool rereadable() const { return reader_->can_split(); }

  // Closes the input and frees its buffer: nothing more will be read.
  void release();

  // Returns the counter of the reader's lines, tapped on it at the first
  // call, which must come before anything is read.
  LineTracker& lines();

  // Adds `tap` to hear every byte the reader takes, beside the line counter:
  // from the bytes buffered and not yet consumed on. Requires `tap` to outlive this.
  void add_tap(ByteTap* tap);

  // Returns an observer to load through when edges() will be asked for and
  // the input cannot be read again (it notes each edge's ids and line), or
  // nullptr when there is nothing to note. Call before loading; LoadObserver
  // hooks of a tool's own go through Tee.
  LoadObserver* noter();

  struct Edge {
    int64_t e = 0;     // from 1, in file order
    int32_t u = 0, v = 0, w = 0;
    int64_t line = 0;  // the line where the edge's first number stands
  };
  // Stops noting edges (see noter()) while the load goes on, when no edge
  // from here on will be asked for: edges() then hands back those noted.
  void stop_noting();

  // Hands f the first `count` edges noted as they were loaded, in file order
  // (at most the edges the loader read). Requires !rereadable() and noter()
  // loaded through. Returns true.
  bool edges(int64_t count, const std::function<void(const Edge&)>& f) const;

 private:
  class Noter;
  class Taps;
  // An edge noted as it was loaded, in 16 bytes; its number is its place in
  // noted_, plus 1. Its line is the line of the edge before it plus `gap`,
  // or, when gap is kFarGap, plus far_gaps_ at its place.
  struct Noted {
    uint32_t gap = 0;
    int32_t u = 0, v = 0, w = 0;
  };
  static constexpr uint32_t kFarGap = ~uint32_t{0};

  InputFile file_;
  std::optional<ByteReader> reader_;
  std::optional<LineTracker> lines_;
  std::unique_ptr<Taps> taps_;
  std::deque<Noted> noted_;  // for an input that cannot be read again; grows by chunks, never copied
  std::map<size_t, int64_t> far_gaps_;  // gaps of kFarGap lines or more
  std::unique_ptr<LoadObserver> noter_;
};

// A question about the edges of a graph input: the line and the weight of
// the last edge between ids a and b (either way round) among edges 1 to
// before - 1, and of the one before it.
struct EdgeQuery {
  int32_t a = 0, b = 0;
  int64_t before = 0;
  int64_t line = 0;    // the answer; 0 when there is no such edge
  int32_t weight = 0;  // that edge's weight, when there is one
  int64_t times = 0;   // how many such edges there are
  int64_t earlier_line = 0;    // the line of the one before the last; 0 when none
  int32_t earlier_weight = 0;  // its weight
};

// Answers every query of *queries from the edges `report` tells were loaded
// from `file` (searched again in the ranges it marks, or, for an input that
// cannot be read again, as noted). Returns false with *err set when it cannot.
bool find_edge_lines(GraphFile& file, const LoadReport& report, std::vector<EdgeQuery>* queries,
                     std::string* err);

// Hands everything heard to two observers in turn (either may be nullptr),
// each number when either reads numbers.
class Tee : public LoadObserver {
 public:
  Tee(LoadObserver* first, LoadObserver* second) : first_(first), second_(second) {}
  void number(int64_t index, const Number& num) override {
    if (first_ != nullptr) first_->number(index, num);
    if (second_ != nullptr) second_->number(index, num);
  }
  void edge(int64_t e, int32_t u, int32_t v, int32_t w) override {
    if (first_ != nullptr) first_->edge(e, u, v, w);
    if (second_ != nullptr) second_->edge(e, u, v, w);
  }
  void edges(int64_t first, std::span<const int32_t> numbers,
             std::span<const uint8_t> again) override {
    if (first_ != nullptr) first_->edges(first, numbers, again);
    if (second_ != nullptr) second_->edges(first, numbers, again);
  }
  bool asks_again() const override {
    return (first_ != nullptr && first_->asks_again()) ||
           (second_ != nullptr && second_->asks_again());
  }
  bool reads_numbers() const override {
    return (first_ != nullptr && first_->reads_numbers()) ||
           (second_ != nullptr && second_->reads_numbers());
  }

 private:
  LoadObserver* first_;
  LoadObserver* second_;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_GRAPH_FILE_H_

namespace tarnwick {

// How a front end was given its source vertex.
struct SourceGiven {
  enum class How {
    kArgument,  // the judge's argument: read as atoi reads it ("2x" is 2, "x" is 0)
    kFlag,      // a --source flag: a whole decimal id and nothing else
    kCarried,   // the first number after the m-th edge of the graph input
    kNone,      // no source: the graph is loaded and nothing is solved
  };
  How how = How::kNone;
  std::string text;  // for kArgument and kFlag

  static SourceGiven argument(std::string text) { return {How::kArgument, std::move(text)}; }
  static SourceGiven flag(std::string text) { return {How::kFlag, std::move(text)}; }
  static SourceGiven carried() { return {How::kCarried, ""}; }
};

// Reads a source argument the way atoi does (leading whitespace, an optional
// sign, the digits up to the first other character; 0 when there is none)
// into *source. Returns false with *err set when the id is outside 0..V-1.
bool parse_source(std::string_view text, int32_t* source, std::string* err);

// Reads a --source value, a whole decimal id from 0 to V - 1, into *source.
// Returns false with *err set otherwise.
bool parse_source_flag(std::string_view text, int32_t* source, std::string* err);

// Returns "" when `text` is a whole decimal id (an optional sign, then digits
// and nothing else), else why not, with how the judge would read it: "source
// vertex id '2x' is not a whole number (the judge would read it as 2)". For
// tools that take a source operand but have no atoi-reading command line to keep.
std::string not_whole_source(std::string_view text);

// Returns "source 0 is not a vertex of the graph (1..3)" (or "... (it has
// none)") when `source` is not a vertex of g, and "" when it is one.
std::string not_a_vertex(const Graph& g, int32_t source);

// Returns the warning a judgement from `source` earns when it is not a vertex
// of g ("source 0 is not a vertex of the graph (1..3): lines are compared with
// its direct weights"), or "" when it is one.
std::string source_warning(const Graph& g, int32_t source);

struct CaseOptions {
  LoadObserver* observer = nullptr;       // hears every number the loader reads
  bool note_edges = false;               // GraphFile::edges() will be asked for
  bool read_on = false;                  // the graph input is read on afterwards
  std::function<void(double)> progress;  // hears the share done of a long pass
  detail::LoadTuning tuning;             // the loader's knobs, for tests
  // When set, the row is solved only if this returns true for the graph and
  // the source (a fuzz target skips the exact pass on large graphs).
  std::function<bool(const Graph&, int32_t source)> solve_if;
};

class Case {
 public:
  // What kept a case from being made.
  enum class Fault { kNone, kGraph, kSource };

  Case() = default;
  Case(const Case&) = delete;  // the solved row points to the graph
  Case& operator=(const Case&) = delete;

  // Loads the graph from `file` (called graph_name in messages), takes the
  // source as given and solves its row. Returns false with *why set, one
  // line, when the judge could not judge: "GRAPH: reason" for the graph, the
  // reason alone for a source given on the command line. Unless the options
  // ask for more of it, `file` is released before the row is solved, so that
  // its buffer is not held through the pass. Call once.
  bool make(GraphFile& file, std::string_view graph_name, const SourceGiven& source,
            const CaseOptions& options, std::string* why);

  // Opens the graph file at `path` into `file` (an unreadable file is a fault
  // of the graph, "PATH: reason"), then as above with the path as its name.
  bool make(const char* path, GraphFile& file, const SourceGiven& source,
            const CaseOptions& options, std::string* why);

  // Which input kept the case from being made.
  Fault fault() const { return fault_; }

  // Returns "" when the graph was read and has a vertex, else why a test on
  // it cannot judge anything: "no vertex count: a test graph needs at least
  // one vertex" (or "a vertex count of 0 or less: ..."); on no vertex every
  // answer would be accepted. Asked of a graph that was read (no kGraph fault).
  std::string vertexless() const;

  const Graph& graph() const { return g_; }
  const LoadReport& report() const { return report_; }
  // The read of a carried source (for tools that tell where it stands).
  const Number& carried() const { return carried_; }

  // Returns true when a source was taken and its row solved (a source taken
  // and not solved, see CaseOptions::solve_if, has source() >= 0).
  bool solved() const { return row_.has_value(); }
  // The source taken, or -1 when none was.
  int32_t source() const { return taken_; }
  const SourceRow& row() const { return *row_; }
  // The fast search's parents (see fast_source_row), or empty when the row
  // did not come from it.
  const std::vector<int32_t>& parents() const { return parents_; }

  // Returns the warnings the judge prints after its verdict, in its order and
  // words: "GRAPH: warning: ..." for the graph, "warning: source ..." for the
  // source.
  std::vector<std::string> warnings() const;

  // Judges the result file against this case; `observer`, when set, hears
  // every step (for tools that explain a verdict). Returns false with *why
  // set when the file cannot be judged: the system's reason for a failed
  // read, or "larger than N bytes" (see ResultLimits). Requires solved().
  bool judge(ResultFile& result, Verdict* out, std::string* why,
             JudgeObserver* observer = nullptr) const;

 private:
  bool take_source(GraphFile& file, const SourceGiven& source, int32_t* id, std::string* why);

  Graph g_;
  LoadReport report_;
  std::string graph_name_;
  Number carried_;
  int32_t taken_ = -1;
  std::optional<SourceRow> row_;
  std::vector<int32_t> parents_;
  Fault fault_ = Fault::kNone;
};

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_CASE_H_

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

namespace tarnwick {

struct ValidateCommand {
  ValidateOptions options;
  bool kattis = false;  // a problem package's input validator: exit 42 or 43
  std::string path;     // the graph file; empty: standard input
};

// Returns the options tarnwick-validate takes.
std::vector<OptionSpec> validate_options();

// Reads args into *out, as with --kattis when `kattis_always`. Returns false
// with *why set when the command line is wrong use (an empty *why: the usage
// says it).
bool read_validate_command(const Args& args, bool kattis_always, ValidateCommand* out,
                           std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_VALIDATE_COMMAND_LINE_H_
// ---- tools/front.h ----
// The front every tool stands on. A tool is one entry: its words (name,
// usage, help), the options it takes and the stage it runs after, as ninja
// plugs each of its tools in after the stage it needs. The front reads the
// command line by the one grammar (cli/options.h), answers --help and
// --version, tells wrong use, makes the judging case for a tool that runs
// after it (with a progress line through any long pass), tells a refusal in
// one line, and tells the judge's warnings after the tool's output.
#ifndef TARNWICK_TOOLS_FRONT_H_
#define TARNWICK_TOOLS_FRONT_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---- cli/progress.h ----
// A self-updating progress line for long all-pairs passes, shown on a terminal.
//
// On a terminal, once the work has gone on for about a second, the line
//   tarnwick: all-pairs pass 42% done, about 13 s left
// is drawn and redrawn in place (carriage return, erase to end of line) a few
// times a second, then erased before anything else is printed. Nothing is ever
// written when the file descriptor is not a terminal, or when TERM is "dumb".
// Writes go straight to the descriptor (::write), so no stdio buffer is
// involved, and standard output is never touched. Not thread-safe: one caller
// at a time.
#ifndef TARNWICK_CLI_PROGRESS_H_
#define TARNWICK_CLI_PROGRESS_H_

#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

class ProgressLine {
 public:
  // A clock: returns seconds since any fixed moment, never going back.
  using Clock = std::function<double()>;

  // Seconds of work before the line first shows, and between two redraws.
  static constexpr double kDelay = 1.0;
  static constexpr double kRedrawInterval = 0.25;

  // Shows progress on fd only when fd is a terminal, and only once the work
  // has gone on for about a second.
  explicit ProgressLine(int fd = 2);

  // The same, timed by `now` instead of the steady clock.
  ProgressLine(int fd, Clock now);

  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Takes the share of work done (0..1); redraws at most a few times a second.
  void update(double done);

  // Erases the line if it was ever drawn. Idempotent.
  void clear();

  ~ProgressLine();

 private:
  void draw(const std::string& text);

  int fd_;
  Clock now_;
  bool enabled_;       // fd is a terminal that understands the erase sequence
  double start_;       // when the work began, by now_
  double last_draw_ = 0;
  bool drawn_ = false;  // the line is on the screen now
};

// A tool's progress line, set up once: it hands each long pass the hook the
// pass reports to, and erases the line before the tool writes anything else.
class Progress {
 public:
  // Returns a hook for a long pass's share done (0..1). The line, on standard
  // error, is timed from the first report after construction or end().
  // Requires this to outlive the hook.
  std::function<void(double)> hook();
  // Erases the line if it was drawn; the next report starts a new one.
  void end() { line_.reset(); }

 private:
  std::optional<ProgressLine> line_;
};

// Returns the progress text for `done` (0..1) after `elapsed` seconds, without
// the carriage return or erase sequence.
std::string progress_text(double done, double elapsed);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_PROGRESS_H_
// ---- cli/tool.h ----
// What every front end shares on its command line: the exit statuses, one-line
// messages on standard error, --help and --version, checked writes to
// standard output, and a main that turns a failure no code path expected
// (out of memory) into one line instead of an abort.
#ifndef TARNWICK_CLI_TOOL_H_
#define TARNWICK_CLI_TOOL_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>


namespace tarnwick {

// Exit statuses. The judge and every tool: 0 done, 1 wrong use, 2 cannot.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWrongUse = 1;
inline constexpr int kExitCannot = 2;
// tarnwick-validate: the file was read and breaks a rule.
inline constexpr int kExitErrorsFound = 3;
// Kattis and DOMjudge validators: accepted, and wrong (or an invalid input).
inline constexpr int kExitKattisAccepted = 42;
inline constexpr int kExitKattisWrong = 43;
// testlib checkers: accepted, wrong answer, presentation error, judge failure.
inline constexpr int kExitTestlibOk = 0;
inline constexpr int kExitTestlibWrong = 1;
inline constexpr int kExitTestlibPresentation = 2;
inline constexpr int kExitTestlibFail = 3;

struct ToolInfo {
  const char* name;     // "tarnwick-gen": the program name in every message
  const char* usage;    // "Usage: tarnwick-gen ...\n", line end included
  const char* summary;  // what --help prints after the usage line, line ends included
};

// Returns the project's version, "0.1.0" (CMake's project version).
const char* tarnwick_version();

// Returns write(item) for each of items, with sep between them.
template <typename Items, typename Write>
std::string joined(const Items& items, std::string_view sep, Write write) {
  std::string t;
  bool first = true;
  for (const auto& item : items) {
    if (!first) t += sep;
    t += write(item);
    first = false;
  }
  return t;
}

// Prints "NAME: message" on standard error, on one line (control characters
// escaped).
void say(std::string_view name, std::string_view message);

// Answers a "--help" or "--version" argument, if any comes before a "--"
// and is not the value of one of the value `options` given as "--name VALUE":
// prints the usage and summary, or "NAME VERSION", on standard output and
// returns kExitOk (kExitCannot, told as `cannot` does, when standard output
// fails). Returns -1 when there is neither.
int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv,
                           std::span<const OptionSpec> options = {});

// Prints "NAME: why" (when why is not empty) and the usage line on standard
// error. Returns kExitWrongUse.
int wrong_use(const ToolInfo& tool, const std::string& why = "");

// Prints "NAME: reason" on standard error. Returns kExitCannot.
int cannot(const ToolInfo& tool, const std::string& reason);

// Writes text to standard output and flushes it. Returns false with *err set
// to the system's reason when any of it cannot be written.
bool write_out(std::string_view text, std::string* err);

// Writes text into the file at path, made when missing and emptied first when
// it is there. Never waits: what is not a regular file (a FIFO, a device) is
// refused. Returns false with *err set to "PATH: reason" when it cannot.
bool write_file(const std::string& path, std::string_view text, std::string* err);

// Reads the whole regular file at path into *text. Never waits: what is not
// a regular file (a FIFO, a folder, a device) is refused, as a dangling link
// is ("No such file or directory"). Returns false with *err set to "PATH:
// reason" ("PATH: not a regular file") when it cannot.
bool read_file(const std::string& path, std::string* text, std::string* err);

// Writes text to standard output. Returns kExitOk, or kExitCannot once it has
// said "NAME: standard output: reason".
int print(const ToolInfo& tool, std::string_view text);

// What a front end's main runs: argc and argv in, the exit status out.
using MainBody = std::function<int(int argc, char** argv)>;
// Turns a failure that no code path handled ("out of memory", or an
// exception's own words) into an exit status, once it is told.
using FailureHandler = std::function<int(const std::string& reason)>;

// Returns body(argc, argv), with a standard descriptor that came closed held
// so that using it fails as on a closed one (no file opened takes its
// number). When body throws, the failure is told in one
// line "NAME: reason" and kExitCannot is returned, or, with `failed` set,
// failed(reason) is (a judging system's own way of telling it).
int guarded_main(std::string_view name, const MainBody& body, int argc, char** argv,
                 const FailureHandler& failed = {});

}  // namespace tarnwick

#endif  // TARNWICK_CLI_TOOL_H_

namespace tarnwick {

enum class Stage {
  kAfterFlags,  // nothing is loaded: the tool works from its command line (tarnwick-gen)
  kAfterCase,   // the graph is loaded, the source taken and its row solved
  kPerTest,     // the tool makes the case of each test it judges (Front::progress)
};

// The case a tool that runs after it asks for.
struct CaseRequest {
  std::string graph;  // the graph file's path
  SourceGiven source;
  bool from_stdin = false;      // the graph comes on standard input instead, named <stdin>
  bool tells_refusals = false;  // a graph or source refused is the tool's to tell, not a failure
  bool warns = true;            // the front tells the case's warnings after the tool's output
};

class Front;

class Tool {
 public:
  Tool(const ToolInfo& info, std::vector<OptionSpec> options,
       std::vector<std::string_view> words = {})
      : info_(info), options_(std::move(options)), words_(std::move(words)) {}
  virtual ~Tool() = default;

  // Takes the command line as the grammar read it, before anything is read.
  // Returns false on wrong use, with *why set (or left empty: the usage says it).
  virtual bool take(const Args& args, std::string* why) = 0;
  // Returns the stage the tool runs after, once take() has succeeded.
  virtual Stage stage() const = 0;
  // For kAfterCase: returns the case to make.
  virtual CaseRequest request() const { return {}; }
  // For kAfterCase: returns the options of the load, given the graph input
  // opened and not yet read (a hook into the load, for tools that watch it).
  virtual CaseOptions load_options(GraphFile&) { return {}; }
  // Runs the tool and writes its output; for kAfterCase the case is made.
  // Returns the exit status; a refusal goes through Front::refuse.
  virtual int run(Front& front) = 0;

  // Tells wrong use, given the command line as far as it was read; returns
  // the exit status. By default "NAME: why" (when why is not empty) and the
  // usage on standard error, exit status 1.
  virtual int wrong_use(const Args&, const std::string& why) const {
    return tarnwick::wrong_use(info_, why);
  }
  // Tells a failure no code path expected ("out of memory"); returns the
  // exit status. By default one line "NAME: why", exit status 2.
  virtual int failed(const std::string& why) const { return cannot(info_, why); }
  // Returns false for the judge, whose command line is fixed: every argument
  // is an operand, and --help and --version are none.
  virtual bool reads_options() const { return true; }

  const ToolInfo& info() const { return info_; }
  const std::vector<OptionSpec>& options() const { return options_; }
  const std::vector<std::string_view>& words() const { return words_; }

 private:
  ToolInfo info_;
  std::vector<OptionSpec> options_;
  std::vector<std::string_view> words_;
};

// What the front gives a running tool.
class Front {
 public:
  explicit Front(const Tool& tool) : tool_(tool) {}
  Front(const Front&) = delete;
  Front& operator=(const Front&) = delete;

  // For kAfterCase: the graph input, and the case made from it.
  GraphFile graph;
  Case judging;

  // Returns the hook a long pass reports its share done to: a progress line
  // on standard error, when it is a terminal.
  std::function<void(double)> progress() { return progress_.hook(); }
  // Erases the progress line, before the tool writes anything else.
  void end_progress() { progress_.end(); }

  // Writes text to standard output. Returns kExitOk, or refuses.
  int print(std::string_view text);
  // Tells `reason` in one line "NAME: reason" and marks the run refused: no
  // warning follows. Returns kExitCannot.
  int refuse(const std::string& reason);
  // Returns true once refuse() was called.
  bool refused() const { return refused_; }
  // Tells each warning on standard error, "NAME: warning".
  void warn(const std::vector<std::string>& warnings) const;

 private:
  const Tool& tool_;
  Progress progress_;
  bool refused_ = false;
};

// Runs `tool` on the command line in a guarded main: a failure no code path
// expected is told through Tool::failed. Returns the exit status.
int run_tool(Tool& tool, int argc, char** argv);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_FRONT_H_

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-validate",
    "Usage: tarnwick-validate [constraints] [--source S | --carried-source] "
    "[--allow-non-vertex-source] [--kattis] [--strict] input_graph\n",
    "Reads a graph file the way tarnwick does and reports, one a line as\n"
    "FILE:LINE:COLUMN: error|warning: text, what the judge refuses or warns about\n"
    "and what it accepts but a test author rarely means; then a summary.\n"
    "Constraints (a violated one is an error):\n"
    "  --min-vertices N, --max-vertices N   bounds on the vertex count n\n"
    "  --min-edges M, --max-edges M         bounds on the announced edge count m\n"
    "  --min-weight W, --max-weight W       the range of every weight\n"
    "  --connected                          every vertex reachable from vertex 1\n"
    "  --simple                             no pair given twice, no self-loop\n"
    "The source:\n"
    "  --source S        tell the vertices whose shortest path from S takes a missing edge\n"
    "  --carried-source  the number after the m-th edge is the source, the file's last\n"
    "  --allow-non-vertex-source   a source of 0 or above n is a warning, not an error\n"
    "  --kattis          a problem package's input validator: the input on standard\n"
    "                    input (no path), its source carried (unless --source), n >= 1,\n"
    "                    the judge's warnings are errors; exit 42 valid, 43 invalid\n"
    "  --strict          the input is written one way only: \"n m\", then each edge\n"
    "                    \"u v w\" and the source alone on a line; one space between\n"
    "                    numbers; every line ends with \\n; no blank line, no '+',\n"
    "                    no leading zero\n"
    "Exit status: 0 no error, 3 errors found, 2 the file cannot be read, 1 wrong use.\n"};

// Whether --kattis is always on: a single-file source made to be a problem
// package's input validator (cmake/SingleFile.cmake) defines
// TARNWICK_DEFAULT_SYSTEM as "kattis", and is called with the package's
// flags alone.
#ifdef TARNWICK_DEFAULT_SYSTEM
constexpr bool kKattisByDefault = std::string_view(TARNWICK_DEFAULT_SYSTEM) == "kattis";
#else
constexpr bool kKattisByDefault = false;
#endif

class Validate final : public Tool {
 public:
  Validate() : Tool(kInfo, validate_options()) {}

  bool take(const Args& args, std::string* why) override {
    return read_validate_command(args, kKattisByDefault, &c_, why);
  }
  Stage stage() const override { return Stage::kAfterCase; }
  CaseRequest request() const override {
    CaseRequest request{c_.path, c_.options.source, c_.path.empty()};
    request.tells_refusals = true;  // a refused graph is a finding
    request.warns = false;          // the judge's warnings are findings too
    return request;
  }
  CaseOptions load_options(GraphFile& file) override {
    validator_.emplace(c_.options, file);
    return validator_->load_options();
  }

  int run(Front& front) override {
    const std::string name = c_.path.empty() ? "<stdin>" : c_.path;
    Validation v;
    std::string why;
    if (!validator_->finish(front.judging, &v, &why)) return front.refuse(name + ": " + why);
    if (int status = front.print(validation_text(name, v)); status != kExitOk) return status;
    // An input validator exits 42 or 43 only for a file it has read: one that
    // cannot be read is a failure of its own (Kattis problem package format,
    // 2025-09, "Exit Codes for Input Validator Programs": 42 accepts, 43
    // rejects, any other code is a validator that failed to operate).
    if (c_.kattis) return v.errors > 0 ? kExitKattisWrong : kExitKattisAccepted;
    return v.errors > 0 ? kExitErrorsFound : kExitOk;
  }

 private:
  ValidateCommand c_;
  std::optional<Validator> validator_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Validate validate;
  return tarnwick::run_tool(validate, argc, argv);
}

// ---- tools/front.cc ----
// The shared front: a tool's command line read, its case made, its refusals
// and the judge's warnings told, in one order for every tool.

#include <cstdio>

namespace tarnwick {

int Front::print(std::string_view text) {
  std::string err;
  if (write_out(text, &err)) return kExitOk;
  return refuse("standard output: " + err);
}

int Front::refuse(const std::string& reason) {
  refused_ = true;
  return cannot(tool_.info(), reason);
}

void Front::warn(const std::vector<std::string>& warnings) const {
  for (const std::string& warning : warnings) say(tool_.info().name, warning);
}

namespace {

// Reads the command line into *args: by the grammar, or for the judge every
// argument as an operand. Returns false with *why set on wrong use.
bool read_command_line(const Tool& tool, int argc, char** argv, Args* args, std::string* why) {
  if (tool.reads_options()) return read_args(tool.options(), tool.words(), argc, argv, args, why);
  args->program = argv[0];
  args->operands.assign(argv + 1, argv + argc);
  return true;
}

// Makes the case a tool runs after, and runs the tool. Returns the exit status.
int run_after_case(Tool& tool, Front& front) {
  const CaseRequest request = tool.request();
  std::string why;
  if (request.from_stdin) {
    front.graph.adopt(0);  // read where it stands, once: a pipe is never copied
  } else if (!front.graph.open(request.graph.c_str(), &why)) {
    return front.refuse(request.graph + ": " + why);
  }
  CaseOptions options = tool.load_options(front.graph);
  options.progress = front.progress();
  const std::string name = request.from_stdin ? "<stdin>" : request.graph;
  const bool made = front.judging.make(front.graph, name, request.source, options, &why);
  front.end_progress();
  if (!made && !request.tells_refusals) return front.refuse(why);
  const int status = tool.run(front);
  // A judged run's warnings come after its output; a refused run says one thing, why.
  if (request.warns && !front.refused()) front.warn(front.judging.warnings());
  return status;
}

// Runs the tool on its command line. Returns the exit status.
int run_body(Tool& tool, int argc, char** argv) {
  if (tool.reads_options()) {
    const int status = answer_help_or_version(tool.info(), argc, argv, tool.options());
    if (status >= 0) return status;
  }
  Args args;
  std::string why;
  if (!read_command_line(tool, argc, argv, &args, &why) || !tool.take(args, &why)) {
    return tool.wrong_use(args, why);
  }
  Front front(tool);
  if (tool.stage() == Stage::kAfterCase) return run_after_case(tool, front);
  return tool.run(front);
}

}  // namespace

int run_tool(Tool& tool, int argc, char** argv) {
  return guarded_main(
      tool.info().name, [&tool](int c, char** v) { return run_body(tool, c, v); }, argc, argv,
      [&tool](const std::string& why) { return tool.failed(why); });
}

}  // namespace tarnwick

// ---- cli/tool.cc ----
// The messages, exit statuses and guarded main every front end shares.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

// ---- cli/escape.h ----
// Text made safe for each place the tools write it: a terminal line, a CSV
// field, a JSON string, XML and HTML, testlib's result file. Every escape the
// tools use lives here, so that each kind of output is escaped one way.
#ifndef TARNWICK_CLI_ESCAPE_H_
#define TARNWICK_CLI_ESCAPE_H_

#include <string>
#include <string_view>

namespace tarnwick {

// Returns text with every control character written as an escape (\n, \t,
// \x01, \x7f), so that a message naming it stays on one line.
std::string printable(std::string_view text);

// Returns text as printable() writes it, and besides every byte from 0x80 and
// '%' as \xNN: plain printable ASCII, which every release of CMS shows as
// it is (old ones format the message with '%', new ones reject some UTF-8).
std::string ascii_line(std::string_view text);

// Returns text as valid UTF-8 that reads back to its bytes one way: each
// backslash doubled and each byte that is not part of valid UTF-8 as \xNN
// (so that two names differing only in such bytes stay apart).
std::string exact_text(std::string_view text);

// Returns text for a line of a tool's text output: exact_text's, with control
// characters escaped as printable() does, so that every name reads back one way.
std::string text_field(std::string_view text);

// Returns `field` as one CSV field: as it is, or quoted with its quotes doubled
// when it holds a comma, a quote, a carriage return or a line end.
std::string csv_field(std::string_view field);

// Returns `text` as a JSON string, quotes included. Valid UTF-8 is kept;
// quotes, backslashes and control characters are escaped; each byte that is
// not part of valid UTF-8 becomes U+FFFD.
std::string json_string(std::string_view text);

// Returns `text` with each byte that is not part of valid UTF-8 replaced by
// U+FFFD, so that the result is valid UTF-8 (as json_string reads it).
std::string valid_utf8(std::string_view text);

// Returns true when `text` is valid UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool is_utf8(std::string_view text);

// Returns true when `text` is valid UTF-8 holding no control character (C0,
// DEL or C1) and no noncharacter (U+FFFE): text that YAML, XML, HTML and a
// terminal line all hold as it is, with nothing to escape but their quotes.
bool plain_text(std::string_view text);

// Returns the bytes of text as lower-case hexadecimal.
std::string hex(std::string_view text);

// Returns hex(text) when text is not valid UTF-8, else "" (a name's exact
// bytes beside its escaped text).
std::string hex_unless_utf8(std::string_view text);

// Returns text with & < > " (and ' when `apostrophe`) as XML character
// references, every other byte as it is.
std::string xml_references(std::string_view text, bool apostrophe);

// Returns text made safe for XML and HTML: as text_field writes it (valid
// UTF-8, no control characters), & < > " ' as character references, and
// U+FFFE and U+FFFF, which XML forbids, as \ufffe and \uffff.
std::string markup_text(std::string_view text);

// Returns text for an HTML page: as text_field writes it (backslashes
// doubled, control characters escaped), & < > " ' as references, and each
// byte that is no character a page may hold (not UTF-8, a C1 control, a
// noncharacter such as U+FFFE) as \xNN.
std::string html_text(std::string_view text);

// Returns text for a <pre>: each line as html_text writes it, the line ends kept.
std::string html_lines(std::string_view text);

// Returns text as a YAML double-quoted scalar (" and \ escaped).
std::string yaml_string(std::string_view text);

// Returns text with LaTeX's special characters escaped, for running text.
std::string latex_text(std::string_view text);

// Returns text quoted for the POSIX shell: in single quotes, each ' as '\''.
std::string shell_quoted(std::string_view text);

// Returns text as testlib's InStream::xmlSafeWrite writes it into a result
// file: &, <, > and " as entities, bytes 0 to 31 as '.'; and each byte from
// 0x80 as \xNN, which testlib passes through into a file it declares
// windows-1251 (where 0x98 is no character, so the file would not parse).
// Every other byte as it is.
std::string testlib_xml(std::string_view text);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_ESCAPE_H_

namespace tarnwick {

const char* tarnwick_version() { return TARNWICK_VERSION; }

void say(std::string_view name, std::string_view message) {
  std::string line = std::string(name) + ": " + printable(message) + "\n";
  std::fputs(line.c_str(), stderr);
}

bool write_out(std::string_view text, std::string* err) {
  errno = 0;
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  ok = std::fflush(stdout) == 0 && ok;
  if (!ok) *err = reason(errno != 0 ? errno : EIO);
  return ok;
}

namespace {

// Writes all of text to fd. Returns 0, or the system's error number.
int write_whole(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

}  // namespace

bool write_file(const std::string& path, std::string_view text, std::string* err) {
  // Opened without waiting (a FIFO with no reader fails at once) and emptied
  // only once it is known to be a regular file.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) {
    *err = path + ": " + (errno == ENXIO ? "not a regular file" : reason(errno));
    return false;
  }
  struct stat st;
  int e = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? -1 : 0;
  if (e == 0) e = ::ftruncate(fd, 0) != 0 ? errno : 0;
  if (e == 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (e == 0) e = write_whole(fd, text);
  if (::close(fd) != 0 && e == 0) e = errno;
  if (e != 0) *err = path + ": " + (e < 0 ? "not a regular file" : reason(e));
  return e == 0;
}

namespace {

// Reads all that is left of fd onto *text. Returns 0, or the system's error number.
int read_whole(int fd, std::string* text) {
  char buffer[1 << 14];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : 0;
    text->append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

bool read_file(const std::string& path, std::string* text, std::string* err) {
  // Opened without waiting (a FIFO with no writer opens at once), then read
  // only once it is known to be a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *err = path + ": " + reason(errno);
    return false;
  }
  struct stat st;
  int e = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? -1 : 0;
  if (e == 0) e = read_whole(fd, text);
  ::close(fd);
  if (e != 0) *err = path + ": " + (e < 0 ? "not a regular file" : reason(e));
  return e == 0;
}

int print(const ToolInfo& tool, std::string_view text) {
  std::string err;
  if (write_out(text, &err)) return kExitOk;
  return cannot(tool, "standard output: " + err);
}

int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv,
                           std::span<const OptionSpec> options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    // "--min-weight --help": the next argument is the option's value, whatever it holds.
    if (const OptionSpec* o = find_option(options, argv[i]); o != nullptr && o->value != nullptr) {
      ++i;
      continue;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      return print(tool, std::string(tool.usage) + tool.summary);
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      return print(tool, std::string(tool.name) + " " + tarnwick_version() + "\n");
    }
  }
  return -1;
}

int wrong_use(const ToolInfo& tool, const std::string& why) {
  if (!why.empty()) say(tool.name, why);
  std::fputs(tool.usage, stderr);
  return kExitWrongUse;
}

int cannot(const ToolInfo& tool, const std::string& reason) {
  say(tool.name, reason);
  return kExitCannot;
}

namespace {

// Keeps the numbers 0, 1 and 2 taken: a standard descriptor that came closed
// is opened on /dev/null the wrong way round (standard input for writing),
// so that using it fails as on a closed one, and no file opened later takes
// its number (the graph file read again as the team's output).
void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_NOCTTY);
    if (held >= 0 && held != fd) ::close(held);
  }
}

}  // namespace

int guarded_main(std::string_view name, const MainBody& body, int argc, char** argv,
                 const FailureHandler& failed) {
  hold_standard_descriptors();
  std::string why;
  try {
    return body(argc, argv);
  } catch (const std::bad_alloc&) {
    // A graph too large for the memory this process may have.
    why = "out of memory";
  } catch (const std::exception& e) {
    why = e.what();
  }
  if (failed) return failed(why);
  say(name, why);
  return kExitCannot;
}

}  // namespace tarnwick

// ---- cli/options.cc ----
// The option grammar: one reading of a tool's command line.

#include <algorithm>
#include <charconv>

namespace tarnwick {

namespace {

// Returns true when arg is to be read as an option: '-' and then a byte that
// is not a digit ("-x", "--name"), unless it is one of `words`.
bool looks_like_option(std::string_view arg, std::span<const std::string_view> words) {
  if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) return false;
  return std::find(words.begin(), words.end(), arg) == words.end();
}

}  // namespace

const OptionSpec* find_option(std::span<const OptionSpec> options, std::string_view name) {
  for (const OptionSpec& o : options) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

bool read_args(std::span<const OptionSpec> options, std::span<const std::string_view> words,
               int argc, const char* const* argv, Args* args, std::string* why) {
  args->program = argc > 0 ? argv[0] : "";
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_end || !looks_like_option(arg, words)) {
      args->operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name(arg.substr(0, eq));
    const OptionSpec* taken = find_option(options, name);
    if (taken == nullptr) {
      *why = "unknown option '" + std::string(arg) + "'";
    } else if (taken->value == nullptr && eq != std::string_view::npos) {
      *why = name + " takes no value";
    } else if (taken->value == nullptr) {
      args->flags.insert(name);
    } else if (eq != std::string_view::npos) {
      args->values[name] = arg.substr(eq + 1);
    } else if (i + 1 < argc) {
      args->values[name] = argv[++i];
    } else {
      *why = name + " needs " + taken->value;
    }
    if (!why->empty()) return false;
  }
  return true;
}

bool whole_number(std::string_view text, int64_t* value) {
  const size_t start = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (text.size() == start || text.find_first_not_of("0123456789", start) != text.npos) {
    return false;
  }
  const char* const first = text.data() + (text[0] == '+' ? 1 : 0);
  return value == nullptr ||
         std::from_chars(first, text.data() + text.size(), *value).ec == std::errc();
}

}  // namespace tarnwick

// ---- cli/progress.cc ----
// Drawing, redrawing and erasing the progress line on a terminal.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace tarnwick {

std::function<void(double)> Progress::hook() {
  return [this](double done) {
    if (!line_) line_.emplace();
    line_->update(done);
  };
}

namespace {

// Moves to the start of the line; erases from there to its end.
constexpr char kReturn[] = "\r";
constexpr char kEraseToEnd[] = "\x1b[K";

double steady_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Returns true when fd is a terminal that can take the erase sequence.
bool is_capable_terminal(int fd) {
  if (::isatty(fd) != 1) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

// Writes all of `text` to fd, retrying after signals; gives up on any error,
// since a progress line is never worth failing a run for.
void write_all(int fd, const std::string& text) {
  size_t at = 0;
  while (at < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + at, text.size() - at);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    at += static_cast<size_t>(wrote);
  }
}

// Returns "about 13 s left" or "about 4 min left" for `seconds` to go.
std::string time_left(double seconds) {
  long s = std::max(1L, std::lround(seconds));
  if (s < 60) return "about " + std::to_string(s) + " s left";
  return "about " + std::to_string(std::lround(seconds / 60)) + " min left";
}

}  // namespace

std::string progress_text(double done, double elapsed) {
  if (!(done > 0)) done = 0;  // NaN too
  if (done > 1) done = 1;
  int percent = static_cast<int>(std::floor(done * 100));
  std::string text = "tarnwick: all-pairs pass " + std::to_string(percent) + "% done";
  if (done > 0 && done < 1) text += ", " + time_left(elapsed * (1 - done) / done);
  return text;
}

ProgressLine::ProgressLine(int fd) : ProgressLine(fd, steady_seconds) {}

ProgressLine::ProgressLine(int fd, Clock now)
    : fd_(fd), now_(std::move(now)), enabled_(is_capable_terminal(fd)), start_(now_()) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::update(double done) {
  if (!enabled_) return;
  double t = now_();
  if (t - start_ < kDelay) return;
  if (drawn_ && t - last_draw_ < kRedrawInterval) return;
  last_draw_ = t;
  draw(progress_text(done, t - start_));
}

void ProgressLine::clear() {
  if (!drawn_) return;
  drawn_ = false;
  write_all(fd_, std::string(kReturn) + kEraseToEnd);
}

void ProgressLine::draw(const std::string& text) {
  drawn_ = true;
  write_all(fd_, kReturn + text + kEraseToEnd);
}

}  // namespace tarnwick

// ---- cli/escape.cc ----
// The escapes of every kind of output, one function each.

#include <algorithm>
#include <cstdio>

namespace tarnwick {

namespace {

// Returns the length of the valid UTF-8 sequence at the start of s, or 0.
size_t utf8_length(std::string_view s) {
  auto byte = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
  unsigned c = byte(0);
  if (c < 0x80) return 1;
  size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
  // The allowed range of the second byte rules out overlong forms, surrogates
  // and code points above U+10FFFF.
  unsigned low = 0x80, high = 0xbf;
  if (c < 0xc2 || c > 0xf4) return 0;
  if (c == 0xe0) low = 0xa0;
  if (c == 0xed) high = 0x9f;
  if (c == 0xf0) low = 0x90;
  if (c == 0xf4) high = 0x8f;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  }
  return length;
}

}  // namespace

std::string valid_utf8(std::string_view text) {
  std::string out;
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    if (step == 0) {
      out += "\xef\xbf\xbd";
      step = 1;
    } else {
      out += text.substr(i, step);
    }
  }
  return out;
}

// Each byte replaced makes the text longer: only valid UTF-8 comes back the same.
bool is_utf8(std::string_view text) { return valid_utf8(text) == text; }

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (step == 0) {
      out += "\\ufffd";
      step = 1;
    } else if (c == '"' || c == '\\') {
      out += {'\\', static_cast<char>(c)};
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += text.substr(i, step);
    }
  }
  return out + "\"";
}

namespace {

// Appends c to out as \xNN.
void append_hex_escape(unsigned char c, std::string* out) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", c);
  *out += hex;
}

// Returns text with control characters escaped, and each byte for which
// `also` holds as \xNN.
template <typename Also>
std::string escaped(std::string_view text, Also also) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f || also(c)) {
      append_hex_escape(c, &out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string printable(std::string_view text) {
  return escaped(text, [](unsigned char) { return false; });
}

std::string ascii_line(std::string_view text) {
  return escaped(text, [](unsigned char c) { return c >= 0x80 || c == '%'; });
}

std::string exact_text(std::string_view text) {
  std::string out;
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    if (step == 0) {
      append_hex_escape(static_cast<unsigned char>(text[i]), &out);
      step = 1;
    } else {
      if (text[i] == '\\') out += '\\';
      out += text.substr(i, step);
    }
  }
  return out;
}

std::string text_field(std::string_view text) { return printable(exact_text(text)); }

std::string csv_field(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string hex(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

std::string hex_unless_utf8(std::string_view text) { return is_utf8(text) ? "" : hex(text); }

std::string xml_references(std::string_view text, bool apostrophe) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += apostrophe ? "&#39;" : "'"; break;
      default: out += c;
    }
  }
  return out;
}

std::string markup_text(std::string_view text) {
  // text_field leaves valid UTF-8 without control characters; of what XML 1.0
  // forbids (its production Char) only U+FFFE and U+FFFF are left.
  std::string out = xml_references(text_field(text), true);
  for (size_t at = 0; (at = out.find("\xef\xbf", at)) != std::string::npos;) {
    const unsigned char last = static_cast<unsigned char>(out[at + 2]);
    if (last == 0xbe || last == 0xbf) {
      out.replace(at, 3, last == 0xbe ? "\\ufffe" : "\\uffff");
    } else {
      at += 3;
    }
  }
  return out;
}

std::string testlib_xml(std::string_view text) {
  std::string dotted;
  for (unsigned char c : text) {
    if (c >= 0x80) {
      append_hex_escape(c, &dotted);
    } else {
      dotted += c <= 31 ? '.' : static_cast<char>(c);
    }
  }
  return xml_references(dotted, false);
}

namespace {

// Returns the code point of one valid UTF-8 character.
char32_t code_point(std::string_view c) {
  static const unsigned char kLeadBits[] = {0x7f, 0x1f, 0x0f, 0x07};
  char32_t cp = static_cast<unsigned char>(c[0]) & kLeadBits[c.size() - 1];
  for (size_t i = 1; i < c.size(); ++i) cp = cp << 6 | (static_cast<unsigned char>(c[i]) & 0x3f);
  return cp;
}

// Returns true when a page may hold the character as it is: no C1 control
// and no noncharacter (U+FDD0 to U+FDEF, U+FFFE, U+FFFF and their kin in
// every plane), which HTML's parser counts as errors in the input stream.
bool page_character(char32_t cp) {
  return !(cp >= 0x80 && cp <= 0x9f) && !(cp >= 0xfdd0 && cp <= 0xfdef) &&
         (cp & 0xfffe) != 0xfffe;
}

}  // namespace

std::string html_text(std::string_view text) {
  const std::string plain = text_field(text);
  const std::string_view all = plain;
  std::string out;
  for (size_t i = 0, step; i < all.size(); i += step) {
    const size_t length = utf8_length(all.substr(i));
    step = std::max<size_t>(length, 1);
    const std::string_view c = all.substr(i, step);
    if (length > 0 && page_character(code_point(c))) {
      out += xml_references(c, true);
      continue;
    }
    for (const char byte : c) append_hex_escape(static_cast<unsigned char>(byte), &out);
  }
  return out;
}

bool plain_text(std::string_view text) {
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    if (step == 0) return false;
    const char32_t cp = code_point(text.substr(i, step));
    if (cp < 0x20 || cp == 0x7f || !page_character(cp)) return false;
  }
  return true;
}

std::string html_lines(std::string_view text) {
  std::string out;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    out += html_text(text.substr(start, end - start)) + "\n";
  }
  return out + html_text(text.substr(start));
}

std::string yaml_string(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string latex_text(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\textbackslash{}"; break;
      case '~': out += "\\textasciitilde{}"; break;
      case '^': out += "\\textasciicircum{}"; break;
      case '{': case '}': case '$': case '&': case '#': case '_': case '%':
        out += '\\';
        out += c;
        break;
      default: out += c;
    }
  }
  return out;
}

std::string shell_quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace tarnwick

// ---- cli/whole_file.cc ----
// Files written whole, through a temporary file renamed over the name.
// ---- cli/whole_file.h ----
// A file written whole: its bytes go into a temporary file beside it, renamed
// over its name once complete, so that a reader never meets half of it and a
// failed write leaves the old file as it was.
#ifndef TARNWICK_CLI_WHOLE_FILE_H_
#define TARNWICK_CLI_WHOLE_FILE_H_

#include <functional>
#include <string>

// ---- cli/out_buffer.h ----
// Buffered output for the instructor tools, which print millions of numbers:
// lines are built in one large buffer and handed to fwrite in big chunks.
#ifndef TARNWICK_CLI_OUT_BUFFER_H_
#define TARNWICK_CLI_OUT_BUFFER_H_

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace tarnwick {

class OutBuffer {
 public:
  // Writes to `out`, which must stay open while this lives (it is not closed here).
  explicit OutBuffer(std::FILE* out) : out_(out), buffer_(kCapacity + kSlack) {}

  // Appends v in decimal.
  void number(int64_t v) {
    if (used_ > kCapacity) drain();
    used_ = std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), v).ptr -
            buffer_.data();
  }

  // Appends one character.
  void put(char c) {
    if (used_ > kCapacity) drain();
    buffer_[used_++] = c;
  }

  // Appends the bytes of `text`.
  void text(std::string_view text) {
    for (char c : text) put(c);
  }

  // Writes out everything appended so far and flushes the stream. Returns
  // false, with *error_number set to the failing write's errno, when any write
  // since construction failed.
  bool finish(int* error_number) {
    drain();
    if (std::fflush(out_) != 0) fail();
    *error_number = errno_;
    return errno_ == 0;
  }

 private:
  static constexpr size_t kCapacity = size_t{1} << 20;
  static constexpr size_t kSlack = 32;  // room for one number past kCapacity

  void drain() {
    if (used_ != 0 && std::fwrite(buffer_.data(), 1, used_, out_) != used_) fail();
    used_ = 0;
  }

  void fail() {
    if (errno_ == 0) errno_ = errno != 0 ? errno : EIO;
  }

  std::FILE* out_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  int errno_ = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_CLI_OUT_BUFFER_H_

namespace tarnwick {

// A file written whole: a temporary file beside it, ".NAME.XXXXXX", renamed
// over it once complete and removed when it is not.
class WholeFile {
 public:
  WholeFile(const std::string& dir, const std::string& name)
      : path_(dir + "/" + name), temporary_(dir + "/." + name + ".XXXXXX") {}
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  ~WholeFile();

  // Makes the temporary file and fills it through `fill`, with the mode a new
  // file gets (0666 less the umask, or 0777 less it when `executable`).
  // Returns false with *why set ("PATH: reason").
  bool write(const std::function<void(OutBuffer&)>& fill, std::string* why,
             bool executable = false);
  // Renames the temporary file over the path. Returns false with *why set.
  bool keep(std::string* why);

  const std::string& path() const { return path_; }
  const std::string& temporary() const { return temporary_; }

 private:
  std::string path_, temporary_;
  bool made_ = false;
};

// Writes `text` whole into the file `name` of `dir`. Returns false with *why set.
bool write_whole_text(const std::string& dir, const std::string& name, const std::string& text,
                      std::string* why, bool executable = false);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_WHOLE_FILE_H_

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>


namespace tarnwick {
namespace {

// Returns the mode a file made now gets: `full` less the umask.
mode_t new_file_mode(mode_t full) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return full & ~mask;
}

}  // namespace

WholeFile::~WholeFile() {
  if (made_) ::unlink(temporary_.c_str());
}

bool WholeFile::write(const std::function<void(OutBuffer&)>& fill, std::string* why,
                      bool executable) {
  const int fd = ::mkstemp(temporary_.data());
  made_ = fd >= 0;
  std::FILE* stream = made_ ? ::fdopen(fd, "wb") : nullptr;
  int error = stream == nullptr ? errno : 0;
  if (stream == nullptr && made_) ::close(fd);
  if (stream != nullptr) {
    OutBuffer out(stream);
    fill(out);
    out.finish(&error);
    const mode_t mode = new_file_mode(executable ? 0777 : 0666);
    if (error == 0 && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)) error = errno;
    if (std::fclose(stream) != 0 && error == 0) error = errno;
  }
  if (error != 0) *why = path_ + ": " + reason(error);
  return error == 0;
}

bool WholeFile::keep(std::string* why) {
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
    *why = path_ + ": " + reason(errno);
    return false;
  }
  made_ = false;
  return true;
}

bool write_whole_text(const std::string& dir, const std::string& name, const std::string& text,
                      std::string* why, bool executable) {
  WholeFile file(dir, name);
  return file.write([&text](OutBuffer& out) { out.text(text); }, why, executable) &&
         file.keep(why);
}

}  // namespace tarnwick

// ---- graph/tables.cc ----
// The direct weights: neighbour lists or a dense table, built in file order.

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

// ---- graph/parallel.h ----
// Running one piece of work on several threads at once.
#ifndef TARNWICK_GRAPH_PARALLEL_H_
#define TARNWICK_GRAPH_PARALLEL_H_

#include <cstdint>
#include <functional>

namespace tarnwick {

// Runs work(t, count) for t = 0..count-1 on `count` threads (the caller's is
// t = 0) and returns once all are done; `count` is at most `threads` (at least
// 1): a thread that cannot be started is left out before any work begins, so
// every call sees the same count.
// `prepare`, when set, is called once with the count before any work starts;
// when it throws, no work runs and the exception reaches the caller. `work`
// must not throw. Requires threads >= 1.
void run_threads(int32_t threads, const std::function<void(int32_t t, int32_t count)>& work,
                 const std::function<void(int32_t count)>& prepare = {});

namespace detail {

// Returns the most threads (the caller's included) that one call of
// run_threads has run work on since the last reset, for tests of the count.
int32_t most_threads_run();
// Sets most_threads_run() back to 0.
void reset_most_threads_run();

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_PARALLEL_H_

namespace tarnwick {

void DirectWeights::Builder::add_listed(int32_t u, int32_t v, int32_t w) {
  entries_.push_back({std::min(u, v), std::max(u, v), w});
}

namespace {

// Returns room for `count` entries, uninitialised; a large table on huge
// pages where the system offers them (it is written all over), a small one
// not (a huge page would cost more memory than the table).
std::shared_ptr<int32_t[]> allocate_cells(size_t count) {
  constexpr size_t kHuge = size_t{2} << 20;
  const bool huge = count * sizeof(int32_t) >= 4 * kHuge;
  const size_t align = huge ? kHuge : 64;
  size_t bytes = (count * sizeof(int32_t) + align - 1) / align * align;
  void* p = std::aligned_alloc(align, bytes);
  if (p == nullptr) throw std::bad_alloc();
  if (huge) ::madvise(p, bytes, MADV_HUGEPAGE);  // only a hint
  return std::shared_ptr<int32_t[]>(static_cast<int32_t*>(p), [](int32_t* q) { std::free(q); });
}

// Fills rows lo..hi-1 of an (n + 1)-wide table as loaded with no edge: 0 on
// the diagonal, in row 0 and column 0, INF elsewhere; with upper_only, only
// from the diagonal on (the cells below it are written later, once).
void fill_rows(int32_t* cells, int32_t n, int32_t lo, int32_t hi, bool upper_only) {
  const size_t stride = static_cast<size_t>(n) + 1;
  for (int32_t i = lo; i < hi; ++i) {
    int32_t* row = cells + i * stride;
    std::fill(row + (upper_only ? i : 0), row + stride, i == 0 ? 0 : INF);
    row[0] = 0;
    row[i] = 0;
  }
}

// Returns the first of the rows 0..rows-1 that thread t of count fills: equal
// shares of cells, of the whole rows or of the triangle from the diagonal on.
int32_t fill_share(int32_t rows, int32_t t, int32_t count, bool upper_only) {
  if (t >= count) return rows;
  if (!upper_only) return static_cast<int32_t>(int64_t{rows} * t / count);
  return static_cast<int32_t>(rows * (1 - std::sqrt(1 - static_cast<double>(t) / count)));
}

// Sorts `from` into `to` by key(entry), stably, for keys in 0..V-1.
template <typename T, typename Key>
void counting_sort(const std::vector<T>& from, std::vector<T>& to, Key key) {
  std::vector<uint32_t> offset(V + 1, 0);
  for (const T& e : from) ++offset[key(e) + 1];
  for (int32_t i = 0; i < V; ++i) offset[i + 1] += offset[i];
  to.resize(from.size());
  for (const T& e : from) to[offset[key(e)]++] = e;
}

}  // namespace

DirectWeights::Builder::Builder(int32_t n, bool dense, int32_t threads, bool mirror_later)
    : n_(n), threads_(std::max(threads, 1)), upper_only_(dense && mirror_later) {
  if (dense) make_dense();
}

void DirectWeights::Builder::make_dense() {
  if (dense()) return;
  stride_ = static_cast<size_t>(n_) + 1;
  cells_ = allocate_cells(stride_ * stride_);
  int32_t* cells = cells_.get();
  const int32_t rows = n_ + 1, n = n_;
  // Each thread touches its own rows first; a small table is not worth a thread.
  int32_t threads = rows < 1024 ? 1 : threads_;
  const bool upper_only = upper_only_;
  run_threads(threads, [cells, rows, n, upper_only](int32_t t, int32_t count) {
    fill_rows(cells, n, fill_share(rows, t, count, upper_only),
              fill_share(rows, t + 1, count, upper_only), upper_only);
  });
  std::vector<Entry> listed;
  for (const Entry& e : entries_) {
    if (inside(e.low) && inside(e.high)) {
      put(e.low, e.high, e.w);
      put(e.high, e.low, e.w);
    } else {
      listed.push_back(e);
    }
  }
  entries_ = std::move(listed);
}

bool DirectWeights::Builder::keep_first(int32_t i, int32_t j, bool now) {
  const uint64_t key = static_cast<uint64_t>(i) * stride_ + static_cast<uint64_t>(j);
  return now ? !first_kept_.insert(key).second : first_kept_.count(key) > 0;
}

void DirectWeights::Builder::mirror_upper() {
  // Tiles of 64 x 64: the reads of a tile's rows and the writes of its columns
  // stay in cache. Tile row r goes to thread r % count.
  constexpr int32_t kTile = 64;
  int32_t* cells = cells_.get();
  const size_t stride = stride_;
  const int32_t n = n_, tiles = n_ / kTile + 1;
  std::vector<int32_t> least, most;  // [t]: of the cells thread t copied
  std::vector<int64_t> changed;      // [t]: of those, not at their first value
  auto prepare = [&](int32_t count) {
    least.assign(count, std::numeric_limits<int32_t>::max());
    most.assign(count, std::numeric_limits<int32_t>::min());
    changed.assign(count, 0);
  };
  run_threads(n_ < 1024 ? 1 : threads_, [&](int32_t t, int32_t count) {
    int32_t lo = least[t], hi = most[t];
    int64_t moved = 0;
    for (int32_t ti = t; ti < tiles; ti += count) {
      for (int32_t tj = ti; tj < tiles; ++tj) {
        for (int32_t i = ti * kTile; i < std::min((ti + 1) * kTile, n + 1); ++i) {
          const int32_t* row = cells + i * stride;
          const int32_t first = std::max(tj * kTile, i + 1), last = std::min((tj + 1) * kTile, n + 1);
          for (int32_t j = first; j < last; ++j) cells[j * stride + i] = row[j];
          if (i == 0) continue;  // row 0 is no vertex's
          if (tj == ti) {  // the diagonal, once
            lo = std::min(lo, row[i]);
            hi = std::max(hi, row[i]);
            moved += row[i] != 0;
          }
          for (int32_t j = first; j < last; ++j) {
            lo = std::min(lo, row[j]);
            hi = std::max(hi, row[j]);
            moved += row[j] != INF;
          }
        }
      }
    }
    least[t] = lo;
    most[t] = hi;
    changed[t] = moved;
  }, prepare);
  least_ = *std::min_element(least.begin(), least.end());
  most_ = *std::max_element(most.begin(), most.end());
  for (int64_t moved : changed) changed_ += moved;
  range_known_ = true;
}

int64_t DirectWeights::Builder::cells_written() const {
  int64_t written = changed_;
  for (uint64_t key : first_kept_) {  // written with their first value, and so still
    const int32_t i = static_cast<int32_t>(key / stride_), j = static_cast<int32_t>(key % stride_);
    written += cells_[key] == (i == j ? 0 : INF);
  }
  return written;
}

DirectWeights DirectWeights::Builder::build(int32_t n) {
  // Sorting by the higher end, then stably by the lower, orders the edges by
  // vertex pair and keeps file order among repeats: the last of a run wins.
  std::vector<Entry> by_high;
  counting_sort(entries_, by_high, [](const Entry& e) { return e.high; });
  counting_sort(by_high, entries_, [](const Entry& e) { return e.low; });
  by_high = {};
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    bool last = i + 1 == entries_.size() || entries_[i + 1].low != e.low ||
                entries_[i + 1].high != e.high;
    if (last) entries_[kept++] = e;
  }
  entries_.resize(kept);

  DirectWeights d;
  d.n_ = n;
  d.stride_ = stride_;
  d.cells_ = std::move(cells_);
  d.range_known_ = range_known_ && d.cells_ != nullptr;
  d.least_ = least_;
  d.most_ = most_;
  range_known_ = false;
  d.start_.assign(V + 1, 0);
  for (const Entry& e : entries_) {
    ++d.start_[e.low + 1];
    if (e.low != e.high) ++d.start_[e.high + 1];
  }
  for (int32_t i = 0; i < V; ++i) d.start_[i + 1] += d.start_[i];
  // Walking the pairs in order fills every row in increasing id order: row x
  // first hears from the lower ends below x, then its own pairs upwards.
  std::vector<uint32_t> next(d.start_.begin(), d.start_.end() - 1);
  d.adj_.resize(d.start_[V]);
  for (const Entry& e : entries_) {
    d.adj_[next[e.low]++] = {e.high, e.w};
    if (e.low != e.high) d.adj_[next[e.high]++] = {e.low, e.w};
  }
  entries_ = {};
  return d;
}

std::span<const Neighbour> DirectWeights::row(int32_t i) const {
  if (start_.empty()) return {};
  return {adj_.data() + start_[i], adj_.data() + start_[i + 1]};
}

int32_t DirectWeights::listed(int32_t i, int32_t j) const {
  if (!fits_tables(i) || !fits_tables(j)) return 0;
  std::span<const Neighbour> r = row(i);
  auto it = std::lower_bound(r.begin(), r.end(), j,
                             [](const Neighbour& a, int32_t id) { return a.to < id; });
  if (it != r.end() && it->to == j) return it->w;
  bool both_vertices = i >= 1 && i <= n_ && j >= 1 && j <= n_;
  return both_vertices && i != j ? INF : 0;
}

}  // namespace tarnwick

// ---- graph/parallel.cc ----
// Starting, running and joining a piece of work's threads.

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace tarnwick {

namespace {
std::atomic<int32_t> most_run{0};
}  // namespace

namespace detail {
int32_t most_threads_run() { return most_run.load(); }
void reset_most_threads_run() { most_run.store(0); }
}  // namespace detail

void run_threads(int32_t threads, const std::function<void(int32_t t, int32_t count)>& work,
                 const std::function<void(int32_t count)>& prepare) {
  std::atomic<int32_t> count{0};  // 0 until every thread that could start has
  std::vector<std::thread> workers;
  for (int32_t t = 1; t < threads; ++t) {
    try {
      workers.emplace_back([&work, &count, t] {
        count.wait(0);
        if (count.load() > 0) work(t, count.load());
      });
    } catch (const std::system_error&) {
      break;  // the ones started share the work
    }
  }
  const int32_t started = static_cast<int32_t>(workers.size()) + 1;
  try {
    if (prepare) prepare(started);
  } catch (...) {
    count.store(-1);  // the workers leave at once
    count.notify_all();
    for (std::thread& w : workers) w.join();
    throw;
  }
  count.store(started);
  count.notify_all();
  for (int32_t seen = most_run.load(); seen < started && !most_run.compare_exchange_weak(seen, started);) {
  }
  work(0, count.load());
  for (std::thread& w : workers) w.join();
}

}  // namespace tarnwick

// ---- graph/cpus.cc ----
// Counting the CPUs a process is given: affinity mask, cgroup quota, TARNWICK_THREADS.
// ---- graph/cpus.h ----
// How many threads a run may use: the CPUs this process was given.
#ifndef TARNWICK_GRAPH_CPUS_H_
#define TARNWICK_GRAPH_CPUS_H_

#include <cstdint>

namespace tarnwick {

// Returns the number of worker threads a run may start, at least 1: the CPUs
// in this process's affinity mask (what nproc counts), bounded by a cgroup v2
// CPU quota when one is set, and capped by TARNWICK_THREADS when that holds a
// positive number. Never more than the process was given.
int32_t usable_cpus();

namespace detail {

// Returns usable_cpus() for the given readings: `affinity` CPUs in the mask
// (0 when unknown), the text of cgroup's cpu.max (empty when absent) and of
// TARNWICK_THREADS (nullptr when unset). Split out so that tests reach every case.
int32_t usable_cpus_from(int32_t affinity, const char* cpu_max, const char* cap);

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_CPUS_H_

#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace tarnwick {

namespace {

// Returns the CPUs in this process's affinity mask, or 0 when it cannot be read.
int32_t affinity_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  return CPU_COUNT(&set);
}

// Returns the text of this process's cgroup v2 cpu.max, or "" when there is none.
std::string read_cpu_max() {
  std::ifstream in("/sys/fs/cgroup/cpu.max");
  std::string text;
  std::getline(in, text);
  return text;
}

// Returns the whole CPUs a cpu.max text ("QUOTA PERIOD" or "max PERIOD")
// allows, rounded up, or 0 when it sets no limit.
int32_t quota_cpus(const char* cpu_max) {
  long long quota = 0, period = 0;
  if (cpu_max == nullptr || std::sscanf(cpu_max, "%lld %lld", &quota, &period) != 2) return 0;
  if (quota <= 0 || period <= 0) return 0;
  return static_cast<int32_t>(std::min<long long>((quota + period - 1) / period, 1 << 20));
}

// Returns the positive number TARNWICK_THREADS holds, or 0 when it holds none.
int32_t thread_cap(const char* cap) {
  if (cap == nullptr) return 0;
  char* end = nullptr;
  long v = std::strtol(cap, &end, 10);
  if (end == cap || *end != '\0' || v <= 0) return 0;
  return static_cast<int32_t>(std::min<long>(v, 1 << 20));
}

}  // namespace

namespace detail {

int32_t usable_cpus_from(int32_t affinity, const char* cpu_max, const char* cap) {
  int32_t cpus = std::max(affinity, 1);
  if (int32_t quota = quota_cpus(cpu_max); quota > 0) cpus = std::min(cpus, quota);
  if (int32_t limit = thread_cap(cap); limit > 0) cpus = std::min(cpus, limit);
  return cpus;
}

}  // namespace detail

int32_t usable_cpus() {
  std::string cpu_max = read_cpu_max();
  return detail::usable_cpus_from(affinity_cpus(), cpu_max.c_str(), std::getenv("TARNWICK_THREADS"));
}

}  // namespace tarnwick

// ---- graph/matrix.cc ----
// The dense square table of the exact pass.

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarnwick {

void Matrix::Free::operator()(int32_t* p) const { std::free(p); }

Matrix::Matrix(int32_t n) : n_(n), stride_((static_cast<size_t>(n) + 1 + 15) / 16 * 16) {
  size_t bytes = stride_ * (static_cast<size_t>(n) + 1) * sizeof(int32_t);
  void* p = std::aligned_alloc(64, bytes);
  if (p == nullptr) throw std::bad_alloc();
  std::memset(p, 0, bytes);
  data_.reset(static_cast<int32_t*>(p));
}

}  // namespace tarnwick

// ---- graph/reader.cc ----
// Reading bytes through a fixed buffer, and one number the way "%d" does.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {
constexpr size_t kBufferSize = 1 << 20;
}

ByteReader::ByteReader(std::string_view bytes)
    : size_hint_(bytes.size()),
      memory_(bytes),
      split_end_(bytes.size()),
      begin_(bytes.data()),
      p_(bytes.data()),
      end_(bytes.data() + bytes.size()) {}

ByteReader::ByteReader(int fd) : fd_(fd), buffer_(kBufferSize), window_(buffer_) {
  begin_ = p_ = end_ = buffer_.data();
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    size_hint_ = static_cast<size_t>(st.st_size);
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at >= 0 && at < st.st_size) {
      origin_ = static_cast<uint64_t>(at);
      split_end_ = static_cast<uint64_t>(st.st_size) - origin_;
    }
  }
}

ByteReader::ByteReader(const ByteReader& whole, uint64_t begin, uint64_t end, std::span<char> buffer)
    : fd_(whole.fd_), size_hint_(static_cast<size_t>(end - begin)), base_(begin) {
  if (fd_ < 0) {
    begin_ = p_ = whole.memory_.data() + begin;
    end_ = whole.memory_.data() + end;
    return;
  }
  window_ = buffer;
  origin_ = whole.origin_;
  next_ = begin;
  limit_ = end;
  range_ = true;
  begin_ = p_ = end_ = buffer.data();
}

bool ByteReader::seek(uint64_t offset) {
  if (fd_ < 0) {
    p_ = begin_ + offset;
    return true;
  }
  if (::lseek(fd_, static_cast<off_t>(origin_ + offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  base_ = offset;
  begin_ = p_ = end_ = buffer_.data();
  return true;
}

void ByteReader::retire_window() {
  // The tap sees the end of the bytes it was given while they are still there.
  if (tap_ != nullptr) tap_->take(base_ + static_cast<uint64_t>(end_ - begin_), {});
}

bool ByteReader::refill_range() {
  retire_window();
  size_t want = static_cast<size_t>(std::min<uint64_t>(window_.size(), limit_ - next_));
  while (want > 0) {
    ssize_t got = ::pread(fd_, window_.data(), want, static_cast<off_t>(origin_ + next_));
    if (got > 0) {
      base_ = next_;
      next_ += static_cast<uint64_t>(got);
      begin_ = p_ = window_.data();
      end_ = p_ + got;
      if (tap_ != nullptr) tap_->take(base_, window());
      return true;
    }
    if (got == 0) return false;  // the file got shorter
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
  return false;
}

bool ByteReader::refill() {
  if (fd_ < 0 || error_ != 0) return false;
  if (range_) return refill_range();
  retire_window();
  const uint64_t at = base_ + static_cast<uint64_t>(end_ - begin_);
  if (at >= stop_) return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), stop_ - at));
  for (;;) {
    ssize_t got = ::read(fd_, buffer_.data(), want);
    if (got > 0) {
      base_ += static_cast<uint64_t>(end_ - begin_);
      begin_ = p_ = buffer_.data();
      end_ = p_ + got;
      if (tap_ != nullptr) tap_->take(base_, window());
      return true;
    }
    if (got == 0) return false;
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool InputFile::open(const char* path, std::string* err, bool wait_for_writer) {
  return open_at(AT_FDCWD, path, 0, err, wait_for_writer);
}

bool InputFile::open_at(int dir, const char* name, int flags, std::string* err,
                        bool wait_for_writer) {
  fd_ = ::openat(dir, name, O_RDONLY | O_CLOEXEC | flags | (wait_for_writer ? 0 : O_NONBLOCK));
  if (fd_ < 0) {
    *err = reason(errno);
    return false;
  }
  if (!wait_for_writer) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  return true;
}

namespace {

// Reads from bytes already in memory and notes whether it ran off their end.
class WindowCursor {
 public:
  explicit WindowCursor(std::string_view w) : begin_(w.data()), p_(w.data()), end_(p_ + w.size()) {}
  int peek() {
    if (p_ != end_) return static_cast<unsigned char>(*p_);
    ran_out_ = true;
    return -1;
  }
  void skip() { ++p_; }
  uint64_t offset() const { return consumed(); }
  bool ran_out() const { return ran_out_; }
  size_t consumed() const { return static_cast<size_t>(p_ - begin_); }

 private:
  const char* begin_;
  const char* p_;
  const char* end_;
  bool ran_out_ = false;
};

// Reads one number from `in` as read_number describes; `in` has peek(), skip()
// and offset(), to which `base` is added for Number::where.
template <typename Cursor>
Number parse_number(Cursor& in, uint64_t base) {
  Number num;
  while (is_space(in.peek())) in.skip();
  int c = in.peek();
  num.where = base + in.offset();
  num.at_end = c < 0;
  if (c == '+' || c == '-') {
    num.negative = c == '-';
    in.skip();
  }
  if (!is_digit(in.peek())) return num;
  // The magnitude saturates just past what fits, however many digits follow.
  const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  while (is_digit(c = in.peek())) {
    magnitude = std::min(magnitude * 10 + (c - '0'), limit + 1);
    in.skip();
  }
  if (magnitude > (num.negative ? limit : limit - 1)) {
    num.read = Read::kTooBig;
    return num;
  }
  num.read = Read::kNumber;
  num.value = static_cast<int32_t>(num.negative ? -magnitude : magnitude);
  return num;
}

}  // namespace

Number read_number(ByteReader& in) {
  // Nearly every number lies wholly in the buffer: read it there, with no
  // refill checks, and fall back to the byte-at-a-time reader at the buffer's end.
  WindowCursor window(in.window());
  Number num = parse_number(window, in.offset());
  if (!window.ran_out()) {
    in.skip(window.consumed());
    return num;
  }
  return parse_number(in, 0);
}

std::string reason(int e) { return std::strerror(e); }

}  // namespace tarnwick

// ---- graph/input.cc ----
// The loader: the header, then the edge list number by number or in ranges on every CPU.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

// ---- graph/scan.h ----
// Reading the numbers of bytes in memory many at a time, for the common text of
// a graph file: digits, whitespace and signs. Whatever is unusual is left to
// read_number, which alone says what such text means.
#ifndef TARNWICK_GRAPH_SCAN_H_
#define TARNWICK_GRAPH_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick {

// Writes to out[] the numbers that read_number, called again and again from
// the start of `bytes`, would read whatever follows them, as long as each is
// whitespace, an optional sign and at most ten digits that fit in 32 bits,
// ended by a byte of `bytes`. Returns how many, with *used the bytes so read
// (possibly with whitespace after the last); what is left needs read_number.
// Requires room in out[] for bytes.size() / 2 + 1 numbers, and `bytes` not to
// start inside a number (right after a digit or a sign, before a digit).
size_t scan_numbers(std::string_view bytes, int32_t* out, size_t* used);

namespace detail {

// For tests: scan_numbers with the code for `level` (0: plain SSE2, 1: SSE4.1,
// 2: AVX2), or for the highest level below it that the processor can run.
size_t scan_numbers_at(int level, std::string_view bytes, int32_t* out, size_t* used);

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_SCAN_H_

namespace tarnwick {

namespace {

using detail::LoadTuning;
using detail::Storage;

// Inputs smaller than this are read on one thread, number by number.
constexpr uint64_t kSplitAbove = uint64_t{1} << 20;
// Bytes each thread reads in one round, and through how large a buffer.
constexpr size_t kRangeBytes = size_t{1} << 20;
constexpr size_t kReadBuffer = size_t{256} << 10;

// Reads numbers for the loader, telling the observer (when there is one) of
// the header's, of every one when it reads numbers, and of a read that
// stopped the edge list.
class NumberSource {
 public:
  NumberSource(ByteReader& in, LoadObserver* observer)
      : in_(in), observer_(observer), all_(observer != nullptr && observer->reads_numbers()) {}
  // Reads number `index` of the file (see LoadObserver::number).
  Number next(int64_t index) {
    Number num = read_number(in_);
    if (observer_ != nullptr && (all_ || index < 2 || num.read != Read::kNumber)) {
      observer_->number(index, num);
    }
    return num;
  }

 private:
  ByteReader& in_;
  LoadObserver* observer_;
  bool all_;  // the observer hears every number
};

// Returns what stopped an edge from being read whole.
const char* why_cut_short(const Number& num) {
  if (num.read == Read::kTooBig) return "a number too large for 32 bits";
  return num.at_end ? "the end of the file" : "text that is not a number";
}

// Reads the header into g->n and g->m; *m_too_big tells that the edge count did
// not fit in 32 bits. Returns false with report->error set when the vertex count
// cannot fit the tables.
bool read_header(NumberSource& in, Graph* g, bool* m_too_big, LoadReport* report) {
  Number n = in.next(0);
  if (n.read == Read::kNoNumber) {
    report->fault = LoadFault::kNoVertexCount;
    report->warning = "no vertex count: judging an empty graph";
    return true;
  }
  if ((n.read == Read::kTooBig && !n.negative) || n.value >= V) {
    report->fault = LoadFault::kTooManyVertices;
    report->error = "the vertex count is too large: at most " + std::to_string(V - 1) +
                    " vertices fit";
    return false;
  }
  g->n = n.value < 0 ? 0 : n.value;  // a negative count, too large or not, means no vertex
  Number m = in.next(1);
  if (m.read == Read::kNoNumber) {
    report->fault = LoadFault::kNoEdgeCount;
    report->warning = "no edge count after the vertex count: no edge read";
  } else if (m.read == Read::kTooBig) {
    // More edges than any file can hold: read them all until the file ends.
    g->m = m.negative ? -1 : std::numeric_limits<int32_t>::max();
    *m_too_big = !m.negative;
  } else {
    g->m = m.value;
  }
  return true;
}

// The edge list as its numbers come, in file order: edge e is numbers
// 2 + 3 (e - 1) to 2 + 3 (e - 1) + 2 of the file. Hands each whole edge to a
// store, stops after the m-th edge, and words the first fault: an edge cut
// short (a warning; the edges before it stand) or an id that cannot fit the
// tables (an error).
class EdgeList {
 public:
  // Requires g.m read (m_too_big: more were announced than fit in 32 bits).
  EdgeList(const Graph& g, bool m_too_big) : m_(g.m), m_too_big_(m_too_big) {}

  // Returns true while the next number of the file belongs to the edge list.
  bool wants_more() const { return !stopped_ && next_ <= m_; }
  // Returns the index of the next number wanted, as LoadObserver counts.
  int64_t index() const { return 2 + 3 * (next_ - 1) + pending_; }

  // Takes the next number. Requires wants_more().
  template <typename Store>
  void take(int32_t x, Store& store) {
    held_[pending_++] = x;
    if (pending_ < 3) return;
    pending_ = 0;
    edge(held_[0], held_[1], held_[2], store);
  }

  // Places the list at edge e with nothing of it read yet (the numbers
  // before were taken elsewhere), so that a fault found there is worded here.
  void move_to(int64_t e) {
    next_ = e;
    pending_ = 0;
  }

  // Ends the list at edge next_, whose end `id` (its u for field 0, else v)
  // cannot fit the tables.
  [[gnu::noinline]] void refuse(int32_t id, int64_t field) {
    fault_ = LoadFault::kIdOutsideTables;
    fault_number_ = 2 + 3 * (next_ - 1) + field;
    error_ = "edge " + std::to_string(next_) + " names vertex " + std::to_string(id) +
             ", outside 0.." + std::to_string(V - 1);
    stopped_ = true;
  }

  // Ends the list at edge next_, all m edges read and the last one ending
  // before offset `end`: nothing to tell.
  void complete(uint64_t end) {
    end_ = end;
    next_ = std::max<int64_t>(m_, 0) + 1;
    stopped_ = true;
  }

  // Ends the list at a read that found no number (num.read != Read::kNumber).
  void cut_short(const Number& num) {
    std::string announced = (m_too_big_ ? "more than " : "") + std::to_string(m_);
    fault_ = LoadFault::kEndsEarly;
    warning_ = "the edge list ends after " + std::to_string(next_ - 1) + " of " + announced +
               " edges: edge " + std::to_string(next_) + " meets " + why_cut_short(num);
    end_ = num.where;
    stopped_ = true;
  }

  // Ends the list at a read error (errno e).
  void fail(int e) {
    fault_ = LoadFault::kReadError;
    error_ = reason(e);
    stopped_ = true;
  }

  // Moves the outcome into *report; returns false when the graph is refused.
  bool report(LoadReport* report) {
    report->end = end_;
    report->edges = next_ - 1;
    if (fault_ != LoadFault::kNone) report->fault = fault_;
    report->fault_number = fault_number_;
    if (!error_.empty()) {
      report->error = std::move(error_);
      report->warning.clear();
      return false;
    }
    if (!warning_.empty()) report->warning = std::move(warning_);
    return true;
  }

 private:
  template <typename Store>
  void edge(int32_t u, int32_t v, int32_t w, Store& store) {
    if (!fits_tables(u) || !fits_tables(v)) [[unlikely]] {
      refuse(fits_tables(u) ? v : u, fits_tables(u) ? 1 : 0);
      return;
    }
    store(next_, u, v, w);
    ++next_;
  }

  int64_t m_;
  bool m_too_big_;
  int64_t next_ = 1;  // the edge the next whole triple makes
  int32_t held_[3] = {0, 0, 0};
  int32_t pending_ = 0;  // numbers of edge next_ taken so far
  bool stopped_ = false;
  uint64_t end_ = 0;
  LoadFault fault_ = LoadFault::kNone;
  int64_t fault_number_ = -1;
  std::string warning_, error_;
};

// Building neighbour lists takes this many bytes an edge at its peak: the
// edges in file order and sorted (12 bytes each), then both directions (8
// bytes each) while the sorted edges are still there.
constexpr uint64_t kListBytesPerEdge = 12 + 2 * sizeof(Neighbour);

// Returns true when the weights among 1..n are best a dense table: when it
// takes no more room than building the neighbour lists of the most edges the
// file can hold (an edge takes at least six bytes, "1 2 3\n"). `bytes_left`
// is 0 when the size of the input is unknown.
bool choose_dense(const Graph& g, uint64_t bytes_left, Storage storage) {
  if (storage != Storage::kByDensity) return storage == Storage::kDense;
  if (g.n <= 0 || bytes_left == 0) return false;
  uint64_t edges = std::min<uint64_t>(std::max(g.m, 0), bytes_left / 6);
  uint64_t side = static_cast<uint64_t>(g.n) + 1;
  return side * side * sizeof(int32_t) <= edges * kListBytesPerEdge;
}

// Reads the edge list number by number from `bytes` (observer: hears each edge).
void read_edges_one_by_one(ByteReader& bytes, NumberSource& in, EdgeList& edges,
                           DirectWeights::Builder& b, size_t dense_after, LoadObserver* observer) {
  struct {
    DirectWeights::Builder& b;
    size_t dense_after;
    LoadObserver* observer;
    void operator()(int64_t e, int32_t u, int32_t v, int32_t w) {
      b.add(u, v, w);
      // An input of unknown size that turns out dense: lists would outgrow the table.
      if (dense_after != 0 && b.listed() == dense_after) b.make_dense();
      if (observer != nullptr) observer->edge(e, u, v, w);
    }
  } store{b, dense_after, observer};
  while (edges.wants_more()) {
    Number num = in.next(edges.index());
    if (num.read != Read::kNumber) {
      edges.cut_short(num);
      return;
    }
    edges.take(num.value, store);
  }
  edges.complete(bytes.offset());
}

// One thread's share of a round: the numbers of a range of the input.
struct InputRange {
  // Grows `numbers` to hold at least `more` numbers past the first `count`.
  void make_room(size_t more) {
    if (room >= count + more) return;
    room = std::max(count + more, 2 * room);
    auto bigger = std::make_unique_for_overwrite<int32_t[]>(room);
    std::copy(numbers.get(), numbers.get() + count, bigger.get());
    numbers = std::move(bigger);
  }

  std::vector<char> buffer;
  uint64_t lo = 0, hi = 0;             // the bytes read
  std::unique_ptr<int32_t[]> numbers;  // numbers[0..count) in file order
  size_t count = 0, room = 0;
  std::optional<Number> stop;  // the read that ended the range early
  int error = 0;               // errno of a failed read
};

// Reads the numbers of bytes [lo, hi) of `whole` into *r, its bytes heard by
// `tap` when set. Reaching hi between numbers ends the range quietly unless
// hi is the end of the input (last).
void read_range(const ByteReader& whole, uint64_t lo, uint64_t hi, bool last, InputRange* r,
                ByteTap* tap = nullptr) {
  r->lo = lo;
  r->hi = hi;
  r->count = 0;
  r->stop.reset();
  r->error = 0;
  ByteReader in(whole, lo, hi, r->buffer);
  if (tap != nullptr) in.tap(tap);
  for (;;) {
    if (std::string_view w = in.window(); !w.empty()) {
      size_t used = 0;
      r->make_room(w.size() / 2 + 1);
      r->count += scan_numbers(w, r->numbers.get() + r->count, &used);
      in.skip(used);
    }
    Number num = read_number(in);
    if (num.read == Read::kNumber) {
      r->make_room(1);
      r->numbers[r->count++] = num.value;
    } else if (in.error() != 0) {
      r->error = in.error();
      return;
    } else {
      if (!num.at_end || last) r->stop = num;
      return;
    }
  }
}

// Returns the first offset p >= x of `whole`, below its end (in offsets,
// `end`), where a cut leaves every read of a number whole: before whitespace,
// or between a digit and a byte that is not one; `end` when there is none.
// A read there starts afresh, as it would after the number before it.
uint64_t cut_at(const ByteReader& whole, uint64_t x, uint64_t end) {
  if (x == 0 || x >= end) return std::min(x, end);
  char buffer[4096];
  ByteReader in(whole, x - 1, end, buffer);
  int before = in.peek();
  if (before < 0) return end;  // a read error: the range that reaches it tells
  in.skip();
  for (uint64_t p = x;; ++p) {
    int c = in.peek();
    if (c < 0 || is_space(c) || (is_digit(before) && !is_digit(c))) return c < 0 ? end : p;
    before = c;
    in.skip();
  }
}

// Reads the edge list from `start`, the offset after the header (number 2 of
// the file), with `threads` threads. Each thread claims the next range of
// the input and reads its numbers on its own; the range is stored in its
// turn: ranges are stored one after another in file order, each by the
// thread that read it, while the other threads read on. So a later edge between the same
// two vertices wins, and the first event in file order (an end that cannot
// fit, the m-th edge, a read that is not a number, a read error) is the one
// worded with *edges; no range after it is stored. Edges among 1..n go to the
// dense table above its diagonal, which is made symmetric at the end; every
// other edge goes to the lists.
class RangedReading {
 public:
  // `observer`, when set, hears each edge stored and the read that stops the
  // list; each range stored is marked in *marks.
  RangedReading(const ByteReader& in, uint64_t start, int64_t m, EdgeList* edges,
                DirectWeights::Builder* b, size_t range_bytes, LoadObserver* observer,
                std::vector<RangeMark>* marks)
      : in_(in), start_(start), end_(in.split_end()), range_bytes_(range_bytes),
        ranges_((end_ - start + range_bytes - 1) / range_bytes), list_end_(2 + 3 * m), edges_(edges), b_(b),
        cells_up_to_(b->dense() ? b->n() : 0), observer_(observer), marks_(marks) {}

  void run(int32_t threads) {
    auto prepare = [&](int32_t count) {
      slots_.resize(static_cast<size_t>(count) * kSlots);
      for (Slot& slot : slots_) {
        slot.r.buffer.resize(std::min(kReadBuffer, range_bytes_ + 1));
        slot.r.make_room(std::min(kReadBuffer, range_bytes_) / 2 + 4);  // a number takes two bytes
      }
    };
    auto work = [&](int32_t t, int32_t) { serve(std::span(slots_).subspan(t * kSlots, kSlots)); };
    run_threads(threads, work, prepare);
    if (failure_) std::rethrow_exception(failure_);
    if (b_->dense()) b_->mirror_upper();
    if (last_count_ > 0) edges_->complete(end_of_list());
  }

  // Returns the edges stored in the dense table whose pair an earlier edge
  // gave, when an observer asked whether pairs came again; else -1.
  int64_t pairs_again() const {
    return asks_again_ && b_->dense() ? cell_edges_ - b_->cells_written() : -1;
  }

 private:
  // Ranges a thread may hold read and not yet stored: it reads ahead while
  // the range before its own waits for another thread.
  static constexpr size_t kSlots = 2;
  struct Slot {
    InputRange r;
    uint64_t c = 0;
    bool held = false;  // r holds range c, read and not yet stored
  };

  // One thread's work: until the list ends or every range is stored, stores
  // a range of its own whose turn it is, or else reads the next unclaimed
  // range into a free slot, or else waits for the turn to move.
  void serve(std::span<Slot> mine) {
    for (;;) {
      const uint64_t turn = turn_.load(std::memory_order_acquire);
      if (done_.load(std::memory_order_acquire)) return;
      if (store_due(mine, turn)) continue;
      if (read_next(mine)) continue;
      if (std::none_of(mine.begin(), mine.end(), [](const Slot& s) { return s.held; })) return;
      turn_.wait(turn, std::memory_order_acquire);
    }
  }

  // Stores the range whose turn it is when one of `mine` holds it, and passes
  // the turn on. Returns whether it did.
  bool store_due(std::span<Slot> mine, uint64_t turn) {
    for (Slot& slot : mine) {
      if (!slot.held || slot.c != turn) continue;
      slot.held = false;
      guard([&] { store(slot.r); });
      if (turn + 1 == ranges_) done_.store(true, std::memory_order_relaxed);  // the last range
      pass_turn(done_.load(std::memory_order_relaxed) ? ranges_ : turn + 1);
      return true;
    }
    return false;
  }

  // Reads the next unclaimed range into a free slot of `mine`. Returns false
  // when no slot is free or no range is left.
  bool read_next(std::span<Slot> mine) {
    auto free = std::find_if(mine.begin(), mine.end(), [](const Slot& s) { return !s.held; });
    if (free == mine.end() || next_.load(std::memory_order_relaxed) >= ranges_) return false;
    const uint64_t c = next_.fetch_add(1, std::memory_order_relaxed);
    if (c >= ranges_) return false;
    free->c = c;
    free->held = true;
    guard([&] {
      uint64_t hi = range_start(c + 1);
      read_range(in_, range_start(c), hi, hi == end_, &free->r);
    });
    return true;
  }

  // Moves the turn to range c and wakes the threads waiting for it.
  void pass_turn(uint64_t c) {
    turn_.store(c, std::memory_order_release);
    turn_.notify_all();
  }

  // Returns the offset where range c starts.
  uint64_t range_start(uint64_t c) const {
    if (c == 0) return start_;
    return c >= ranges_ ? end_ : cut_at(in_, start_ + c * range_bytes_, end_);
  }

  // Runs a step; a failure (out of memory) is kept for the caller, and no
  // range is read or stored after it.
  template <typename Step>
  void guard(Step step) {
    try {
      step();
    } catch (...) {
      std::lock_guard lock(failure_lock_);
      if (!failure_) failure_ = std::current_exception();
      done_.store(true);
      pass_turn(ranges_);  // no thread waits for a turn any more
    }
  }

  // Stores the edges whose numbers lie in *r, the range after those stored so
  // far, and words the event that ends it, if any. Runs in the range's turn.
  void store(const InputRange& r) {
    const int64_t g0 = stand_, after = g0 + static_cast<int64_t>(r.count);
    marks_->push_back({r.lo, g0});
    reads_again_ = asks_again_ && observer_->asks_again();
    const int64_t count = std::min(after, list_end_) - g0;  // numbers of r in the edge list
    const int32_t* a = r.numbers.get();  // a[i] is number g0 + i of the file
    int64_t i = 0;
    if (carried_count_ > 0) {  // an edge begun in an earlier range
      while (carried_count_ < 3 && i < count) carried_[carried_count_++] = a[i++];
      if (carried_count_ < 3) return finish(r, after);
      carried_count_ = 0;
      if (asks_again_) again_.resize(static_cast<size_t>(count / 3) + 1);
      if (!store_edge(carried_[0], carried_[1], carried_[2], g0 + i - 1, again(0))) return;
      tell(g0 + i - 3, carried_, 3);
    }
    if (asks_again_) again_.resize(static_cast<size_t>((count - i) / 3) + 1);
    const int64_t run = i;  // the edges stored from here on are told at once
    // A cell is asked for this many numbers ahead of its store; further when
    // its old value is read (a read waits for it, a write does not).
    const int64_t ahead = reads_again_ ? 3 * 256 : 3 * 16;
    for (; i + 3 <= count; i += 3) {
      if (i + ahead + 3 <= count) prefetch(a[i + ahead], a[i + ahead + 1]);
      if (!store_edge(a[i], a[i + 1], a[i + 2], g0 + i + 2, again((i - run) / 3))) break;
    }
    tell(g0 + run, a + run, i - run);
    if (i + 3 <= count) return;  // the list ended at a refused edge
    while (i < count) carried_[carried_count_++] = a[i++];
    finish(r, after);
  }

  // Tells the observer of the `count` numbers of whole edges at `numbers`,
  // the first being number `first` of the file, with whether each pair was
  // given before when it asks.
  void tell(int64_t first, const int32_t* numbers, int64_t count) {
    if (observer_ == nullptr || count <= 0) return;
    const size_t edges = static_cast<size_t>(count / 3);
    observer_->edges((first - 2) / 3 + 1, {numbers, static_cast<size_t>(count)},
                     again_.empty() ? std::span<const uint8_t>() : std::span(again_).first(edges));
  }

  // Returns where store_edge tells whether the k-th edge of a run was given
  // before (room is made for the run first), or nullptr when nobody asks.
  uint8_t* again(int64_t k) { return asks_again_ ? &again_[static_cast<size_t>(k)] : nullptr; }

  // Words the event that ends range r, whose numbers end before number
  // `after` of the file, if any; otherwise moves on to the next range.
  void finish(const InputRange& r, int64_t after) {
    const int64_t g0 = stand_;
    stand_ = after;
    if (after >= list_end_) {
      // Where the m-th edge ends is found once the threads are done.
      last_lo_ = r.lo, last_hi_ = r.hi, last_count_ = list_end_ - g0;
    } else if (r.error != 0) {
      edges_->fail(r.error);
    } else if (r.stop) {
      edges_->move_to((after - 2) / 3 + 1);
      edges_->cut_short(*r.stop);
      if (observer_ != nullptr) observer_->number(after, *r.stop);
    } else {
      return;
    }
    done_.store(true, std::memory_order_relaxed);
  }

  // Stores edge u-v of weight w, whose last number is number `last` of the
  // file, telling *again (when not null) whether its pair was given before.
  // Returns false, the list ended, when an end cannot fit the tables.
  bool store_edge(int32_t u, int32_t v, int32_t w, int64_t last, uint8_t* again) {
    if (!fits_tables(u) || !fits_tables(v)) [[unlikely]] {
      edges_->move_to((last - 4) / 3 + 1);
      edges_->refuse(fits_tables(u) ? v : u, fits_tables(u) ? 1 : 0);
      done_.store(true, std::memory_order_relaxed);
      return false;
    }
    if (!in_cells(u, v)) {
      b_->add_listed(u, v, w);
      if (again != nullptr) *again = kAgainUnknown;
      return true;
    }
    const int32_t low = std::min(u, v), high = std::max(u, v);
    if (again == nullptr) {
      b_->put(low, high, w);
    } else if (reads_again_) {
      *again = b_->put_again(low, high, w) ? kAgainYes : kAgainNo;
    } else {
      b_->put_counted(low, high, w);
      *again = kAgainCounted;
    }
    cell_edges_ += again != nullptr;
    return true;
  }

  // Returns the offset just past the m-th edge: its last number is number
  // last_count_ of the range last_lo_..last_hi_, read again on its own.
  uint64_t end_of_list() const {
    std::vector<char> buffer(std::min<uint64_t>(kReadBuffer, last_hi_ - last_lo_ + 1));
    ByteReader in(in_, last_lo_, last_hi_, buffer);
    for (int64_t i = 0; i < last_count_; ++i) read_number(in);
    return in.offset();
  }

  // Returns true when u-v has a cell in the dense table: both in 1..n.
  bool in_cells(int32_t u, int32_t v) const { return std::min(u, v) >= 1 && std::max(u, v) <= cells_up_to_; }

  // Asks for the cell of a coming edge u-v ahead of its store, when it has
  // one. Inlined, or g++ takes the call for one without effect and drops it.
  [[gnu::always_inline]] void prefetch(int32_t u, int32_t v) {
    if (in_cells(u, v)) __builtin_prefetch(b_->cell(std::min(u, v), std::max(u, v)), 1);
  }

  const ByteReader& in_;
  const uint64_t start_, end_;
  const size_t range_bytes_;
  const uint64_t ranges_;
  const int64_t list_end_;  // index of the first number after the m-th edge
  EdgeList* edges_;
  DirectWeights::Builder* b_;
  const int32_t cells_up_to_;  // n when the table is dense, else 0
  LoadObserver* const observer_;
  const bool asks_again_ = observer_ != nullptr && observer_->asks_again();
  bool reads_again_ = false;    // the range being stored reads each cell before its store
  int64_t cell_edges_ = 0;      // edges stored in the dense table, when asks_again_
  std::vector<uint8_t> again_;  // for the edges of the run being stored
  std::vector<RangeMark>* const marks_;
  std::vector<Slot> slots_;     // kSlots for each thread, in thread order
  // The storing side, touched only in a range's turn:
  int64_t stand_ = 2;  // index in the file of the first number of the next range
  int32_t carried_[3] = {0, 0, 0};  // numbers of an edge begun in an earlier range
  int32_t carried_count_ = 0;
  uint64_t last_lo_ = 0, last_hi_ = 0;
  int64_t last_count_ = 0;  // numbers of that range up to the m-th edge's end; 0 until known
  std::atomic<uint64_t> next_{0};  // the first range no thread has claimed
  std::atomic<uint64_t> turn_{0};  // the range whose turn it is to be stored
  std::atomic<bool> done_{false};  // the list has ended (or a thread failed)
  std::mutex failure_lock_;
  std::exception_ptr failure_;
};

// Returns the bytes each thread reads at a time.
size_t range_bytes(const LoadTuning& tuning) {
  return tuning.range_bytes > 0 ? tuning.range_bytes : kRangeBytes;
}

// Reads the graph as input() and input_tuned() describe.
bool load(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer,
          const LoadTuning& tuning) {
  const bool reads_numbers = observer != nullptr && observer->reads_numbers();
  bool m_too_big = false;
  NumberSource numbers(in, observer);
  if (!read_header(numbers, g, &m_too_big, report)) {
    if (in.error() != 0) {
      report->fault = LoadFault::kReadError;
      report->error = reason(in.error());
    }
    return false;
  }
  const uint64_t left = in.can_split() ? in.split_end() - std::min(in.offset(), in.split_end()) : 0;
  const bool dense = choose_dense(*g, left, tuning.storage);
  EdgeList edges(*g, m_too_big);
  const bool split = !reads_numbers && in.error() == 0 && left > 0 && edges.wants_more() &&
                     (left >= kSplitAbove || tuning.split);
  // A small graph needs no thread, nor the look at the machine that counts them.
  const bool threaded = split || (dense && g->n >= 1024);
  const int32_t threads = tuning.threads > 0 ? tuning.threads : threaded ? usable_cpus() : 1;
  DirectWeights::Builder b(g->n, dense, threads, split);  // the ranged reading mirrors
  // Room for the announced edges, but never for more than the file can hold.
  if (!dense) b.reserve(std::min<uint64_t>(std::max(g->m, 0), in.size_hint() / 6));
  if (split) {
    RangedReading reading(in, in.offset(), g->m, &edges, &b, range_bytes(tuning), observer,
                          &report->ranges);
    reading.run(threads);
    report->pairs_again = reading.pairs_again();
  } else {
    const uint64_t side = static_cast<uint64_t>(std::max(g->n, 0)) + 1;
    const bool may_switch = !dense && left == 0 && tuning.storage == Storage::kByDensity && g->n > 0;
    // Switched when the lists reach half the table, so that both never hold much more.
    const uint64_t switch_at = side * side * sizeof(int32_t) / 2 / kListBytesPerEdge;
    read_edges_one_by_one(in, numbers, edges, b, may_switch ? std::max<uint64_t>(switch_at, 1) : 0,
                          observer);
  }
  if (in.error() != 0) edges.fail(in.error());
  if (!edges.report(report)) return false;
  // The threads read the file on their own: `in` is moved to where they stopped.
  if (split && !in.seek(report->end)) {
    report->fault = LoadFault::kReadError;
    report->error = reason(in.error());
    return false;
  }
  g->Dist = b.build(g->n);
  return true;
}

}  // namespace

bool input(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer) {
  return load(in, g, report, observer, {});
}

namespace detail {

bool input_tuned(ByteReader& in, Graph* g, LoadReport* report, const LoadTuning& tuning,
                 LoadObserver* observer) {
  return load(in, g, report, observer, tuning);
}

int numbers_between(const ByteReader& whole, uint64_t lo, uint64_t hi,
                    std::vector<int32_t>* numbers, ByteTap* tap) {
  InputRange r;
  r.buffer.resize(std::min<uint64_t>(kReadBuffer, hi - lo + 1));
  read_range(whole, lo, hi, true, &r, tap);
  numbers->assign(r.numbers.get(), r.numbers.get() + r.count);
  return r.error;
}

int64_t read_numbers_in_ranges(const ByteReader& in, const LoadTuning& tuning, int64_t* sum) {
  const uint64_t end = in.split_end(), size = range_bytes(tuning);
  const uint64_t ranges = (end + size - 1) / size;
  std::vector<InputRange> share;
  std::vector<int64_t> counts, sums;
  auto prepare = [&](int32_t count) {
    share.resize(count);
    counts.assign(count, 0);
    sums.assign(count, 0);
    for (InputRange& r : share) r.buffer.resize(std::min(kReadBuffer, size + 1));
  };
  auto work = [&](int32_t t, int32_t count) {
    InputRange& r = share[t];
    for (uint64_t c = t; c < ranges; c += count) {
      uint64_t lo = c == 0 ? 0 : cut_at(in, c * size, end), hi = c + 1 >= ranges ? end : cut_at(in, (c + 1) * size, end);
      read_range(in, lo, hi, false, &r);
      for (size_t i = 0; i < r.count; ++i) sums[t] += r.numbers[i];
      counts[t] += static_cast<int64_t>(r.count);
    }
  };
  run_threads(tuning.threads > 0 ? tuning.threads : usable_cpus(), work, prepare);
  *sum = 0;
  int64_t total = 0;
  for (size_t t = 0; t < counts.size(); ++t) {
    *sum += sums[t];
    total += counts[t];
  }
  return total;
}

}  // namespace detail

bool input(const char* path, Graph* g, LoadReport* report) {
  InputFile file;
  if (!file.open(path, &report->error)) return false;
  ByteReader in(file.fd());
  return input(in, g, report);
}

}  // namespace tarnwick

// ---- graph/scan.cc ----
// Many numbers read at once with vector code, at the level the processor runs.

#include <cstring>

#include <immintrin.h>


namespace tarnwick {

namespace {

// The bytes a block looks at, and how many it may read past its start.
constexpr int kBlock = 64;
constexpr int kBlockReads = kBlock + 8;
constexpr uint64_t kLastBit = uint64_t{1} << (kBlock - 1);

// The largest magnitudes a number may have, positive or negative.
constexpr uint64_t kMaxPositive = 2147483647, kMaxNegative = 2147483648;

// What the bytes of a block are: bit i of each mask tells of byte i.
struct Classes {
  uint64_t digit;  // '0' to '9'
  uint64_t sign;   // '+' or '-'
  uint64_t minus;  // '-'
  uint64_t other;  // neither a digit, whitespace nor a sign
};

// Returns bit i set where byte i of `v` is 0xff, for the 16 bytes of v, at `shift`.
inline uint64_t bits(__m128i v, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << shift;
}

// Returns 0xff where the byte of v lies in lo..lo + span, else 0.
inline __m128i in_range(__m128i v, char lo, char span) {
  const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8(lo));
  return _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(span)), t);
}

// Sorts out the 64 bytes at p.
inline Classes classify(const char* p) {
  Classes c{0, 0, 0, 0};
  uint64_t known = 0;
  for (int i = 0; i < kBlock / 16; ++i) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const __m128i digit = in_range(b, '0', 9);
    const __m128i space = _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(' ')), in_range(b, '\t', 4));
    const __m128i minus = _mm_cmpeq_epi8(b, _mm_set1_epi8('-'));
    const __m128i sign = _mm_or_si128(minus, _mm_cmpeq_epi8(b, _mm_set1_epi8('+')));
    c.digit |= bits(digit, 16 * i);
    c.sign |= bits(sign, 16 * i);
    c.minus |= bits(minus, 16 * i);
    known |= bits(_mm_or_si128(_mm_or_si128(digit, space), sign), 16 * i);
  }
  c.other = ~known;
  return c;
}

// Returns the value of the `len` (1..8) digits at the start of x.
inline uint32_t digits_value(uint64_t x, int len) {
  uint64_t v = ((x & 0x0f0f0f0f0f0f0f0fu) << (8 * (8 - len)));  // leading zeros first
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
       (((v >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >> 32;
  return static_cast<uint32_t>(v);
}

// Returns the 8 bytes at p.
inline uint64_t load8(const char* p) {
  uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// Reads the `len` (9 or 10) digits at p, negated when `negative`, into *out.
// Returns false when they do not fit in 32 bits.
[[gnu::noinline]] bool long_value(const char* p, int len, bool negative, int32_t* out) {
  const uint64_t high = digits_value(load8(p), len - 8), low = digits_value(load8(p + len - 8), 8);
  const uint64_t magnitude = high * 100000000 + low;
  if (magnitude > (negative ? kMaxNegative : kMaxPositive)) return false;
  *out = static_cast<int32_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

// Where a block ends its reading: the first byte that is neither a digit,
// whitespace nor a sign ahead of a digit (bits of `unusual`), else the start of
// a run of digits (with its sign) that reaches the last byte and may go on,
// else past the block.
inline int block_stop(const Classes& c, uint64_t unusual) {
  if (unusual != 0) return __builtin_ctzll(unusual);
  if ((c.digit >> (kBlock - 1)) == 0) return kBlock;
  const int first = kBlock - __builtin_clzll(~c.digit);  // ~c.digit == 0 is a long run, read elsewhere
  return first - static_cast<int>((c.sign >> (first - 1)) & 1);
}

// Returns the bytes of c that are neither a digit, whitespace nor a sign right
// before a digit.
inline uint64_t unusual_bytes(const Classes& c) { return c.other | (c.sign & ~(c.digit >> 1)); }

// Returns true when c holds eight digits in a row.
inline bool has_long_run(const Classes& c) {
  uint64_t run = c.digit & (c.digit >> 1);
  run &= run >> 2;
  return (run & (run >> 4)) != 0;  // bit i: bytes i to i + 7 are digits
}

// Returns the bits of the last digits of the runs that end before the last
// byte and before the first unusual byte.
inline uint64_t whole_runs(const Classes& c, uint64_t unusual) {
  const uint64_t before = (unusual & (0 - unusual)) - 1;  // the bytes before the first (all when none)
  return c.digit & ~(c.digit >> 1) & before & ~kLastBit;
}

// Reads the numbers of the 64 bytes at p, whose classes are c: each run of
// digits, with the sign right before it, that ends before the last byte and
// before any unusual byte (see unusual_bytes). Writes them to out[] and sets
// *count. Returns how far to move on: to the start of the first run it could
// not read (more than ten digits or too large, or one that may go on past the
// block), else to the first unusual byte, else past the block. Requires
// kBlockReads readable bytes at p, and p not inside a number.
[[gnu::always_inline]] inline int scan_block(const char* p, const Classes& c, int32_t* out, int* count) {
  const uint64_t unusual = unusual_bytes(c);
  const uint64_t before = (unusual & (0 - unusual)) - 1;  // the bytes before the first (all when none)
  uint64_t starts = c.digit & ~(c.digit << 1) & before;
  // Runs start and end in turn, so the lowest end left is that of the lowest
  // start left; a run reaching the last byte may go on (that bit is always set).
  uint64_t ends = (c.digit & ~(c.digit >> 1)) | kLastBit;
  const uint64_t signed_after = c.sign << 1, negative_after = c.minus << 1;
  int n = 0;
  while (starts != 0) {
    const int first = __builtin_ctzll(starts), last = __builtin_ctzll(ends);
    const uint32_t negative = static_cast<uint32_t>(negative_after >> first) & 1;
    if (last - first >= 8 || last == kBlock - 1) [[unlikely]] {
      if (last == kBlock - 1 || last - first >= 10 || !long_value(p + first, last - first + 1, negative, out + n)) {
        *count = n;
        return first - static_cast<int>((signed_after >> first) & 1);
      }
    } else {
      const uint32_t magnitude = digits_value(load8(p + first), last - first + 1);
      out[n] = static_cast<int32_t>((magnitude ^ (0 - negative)) + negative);
    }
    ++n;
    starts &= starts - 1;
    ends &= ends - 1;
  }
  *count = n;
  return block_stop(c, unusual);
}

// The vector reading of numbers of up to seven digits, four at a time, where
// the processor has SSE4.1 and POPCNT.

// Returns the values of the two runs of digits that end at the last bytes of
// the 8-byte halves of x (at most seven digits each, with at least one byte
// before them in the half), in the two 32-bit halves of the low 64 bits of its
// result, and in *negative all ones in the 64-bit half of each one after a '-'.
[[gnu::target("sse4.1,popcnt"), gnu::always_inline]] inline __m128i two_values(__m128i x, __m128i* negative) {
  const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8('0'));
  __m128i other = _mm_cmpeq_epi8(_mm_max_epu8(t, _mm_set1_epi8(10)), t);  // not a digit
  // Every byte at or below the highest byte that is not a digit, in each half.
  other = _mm_or_si128(other, _mm_srli_epi64(other, 8));
  other = _mm_or_si128(other, _mm_srli_epi64(other, 16));
  other = _mm_or_si128(other, _mm_srli_epi64(other, 32));
  const __m128i edge = _mm_xor_si128(other, _mm_srli_epi64(other, 8));  // that byte alone
  const __m128i minus = _mm_and_si128(edge, _mm_cmpeq_epi8(x, _mm_set1_epi8('-')));
  *negative = _mm_xor_si128(_mm_cmpeq_epi64(minus, _mm_setzero_si128()), _mm_set1_epi8(-1));
  const __m128i digits = _mm_andnot_si128(other, t);  // leading zeros first
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(1 << 8 | 10));
  return _mm_madd_epi16(pairs, _mm_set1_epi32(1 << 16 | 100));  // [high four digits, low four] per half
}

// Writes to out[0..3] the values of the runs of digits that end at the four
// lowest bits of `ends` (fewer: the rest is garbage), and clears those bits.
// Requires the 7 bytes before each of these ends readable, and each run to
// hold one to seven digits.
[[gnu::target("sse4.1,popcnt"), gnu::always_inline]] inline void four_values(const char* p, uint64_t* ends, int32_t* out) {
  const char* at[4];
  for (const char*& a : at) {
    a = p + __builtin_ctzll(*ends | kLastBit) - 7;
    *ends &= *ends - 1;
  }
  auto two = [](const char* a, const char* b) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
  };
  __m128i negative_low, negative_high;
  const __m128i low = two_values(two(at[0], at[1]), &negative_low);
  const __m128i high = two_values(two(at[2], at[3]), &negative_high);
  const __m128i magnitude = _mm_madd_epi16(_mm_packus_epi32(low, high), _mm_set1_epi32(1 << 16 | 10000));
  const __m128i negative = _mm_castps_si128(
      _mm_shuffle_ps(_mm_castsi128_ps(negative_low), _mm_castsi128_ps(negative_high), 0x88));
  const __m128i value = _mm_sub_epi32(_mm_xor_si128(magnitude, negative), negative);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), value);
}

// Reads the 64 bytes at p as scan_block does, with vector code when no run of
// eight digits or more is there. Requires also the 8 bytes before p readable,
// and room in out[] for three numbers more than the block holds.
[[gnu::target("sse4.1,popcnt")]] inline int scan_block_sse41(const char* p, int32_t* out, int* count) {
  const Classes c = classify(p);
  if (has_long_run(c)) [[unlikely]] return scan_block(p, c, out, count);
  const uint64_t unusual = unusual_bytes(c);
  uint64_t ends = whole_runs(c, unusual);
  const int n = __builtin_popcountll(ends);
  for (int k = 0; k < n; k += 4) four_values(p, &ends, out + k);
  *count = n;
  return block_stop(c, unusual);
}

// The same with AVX2 (and BMI1, BMI2), four numbers in one vector.

// Returns bit i set where byte i of `v` is 0xff, for the 32 bytes of v, at `shift`.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline uint64_t bits_avx2(__m256i v, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(v))) << shift;
}

// Returns 0xff where the byte of v lies in lo..lo + span, else 0.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline __m256i in_range_avx2(__m256i v, char lo, char span) {
  const __m256i t = _mm256_sub_epi8(v, _mm256_set1_epi8(lo));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(span)), t);
}

// Sorts out the 64 bytes at p, as classify does.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline Classes classify_avx2(const char* p) {
  Classes c{0, 0, 0, 0};
  uint64_t known = 0;
  for (int i = 0; i < kBlock / 32; ++i) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
    const __m256i digit = in_range_avx2(b, '0', 9);
    const __m256i space = _mm256_or_si256(_mm256_cmpeq_epi8(b, _mm256_set1_epi8(' ')), in_range_avx2(b, '\t', 4));
    const __m256i minus = _mm256_cmpeq_epi8(b, _mm256_set1_epi8('-'));
    const __m256i sign = _mm256_or_si256(minus, _mm256_cmpeq_epi8(b, _mm256_set1_epi8('+')));
    c.digit |= bits_avx2(digit, 32 * i);
    c.sign |= bits_avx2(sign, 32 * i);
    c.minus |= bits_avx2(minus, 32 * i);
    known |= bits_avx2(_mm256_or_si256(_mm256_or_si256(digit, space), sign), 32 * i);
  }
  c.other = ~known;
  return c;
}

// Writes to out[0..3] the values of the runs of digits that end at the four
// lowest bits of `ends`, as four_values does, in one vector.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline void four_values_avx2(const char* p, uint64_t* ends, int32_t* out) {
  const char* at[4];
  for (const char*& a : at) {
    a = p + _tzcnt_u64(*ends) - 7;  // 64 when none is left: p + 57 is readable
    *ends = _blsr_u64(*ends);
  }
  auto two = [](const char* a, const char* b) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
  };
  const __m256i x = _mm256_inserti128_si256(_mm256_castsi128_si256(two(at[0], at[1])), two(at[2], at[3]), 1);
  const __m256i t = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
  __m256i other = _mm256_cmpeq_epi8(_mm256_max_epu8(t, _mm256_set1_epi8(10)), t);  // not a digit
  // Every byte at or below the highest byte that is not a digit, in each quarter.
  other = _mm256_or_si256(other, _mm256_srli_epi64(other, 8));
  other = _mm256_or_si256(other, _mm256_srli_epi64(other, 16));
  other = _mm256_or_si256(other, _mm256_srli_epi64(other, 32));
  const __m256i edge = _mm256_xor_si256(other, _mm256_srli_epi64(other, 8));  // that byte alone
  const __m256i minus = _mm256_and_si256(edge, _mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')));
  const __m256i negative = _mm256_xor_si256(_mm256_cmpeq_epi64(minus, _mm256_setzero_si256()), _mm256_set1_epi8(-1));
  const __m256i digits = _mm256_andnot_si256(other, t);  // leading zeros first
  const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi16(1 << 8 | 10));
  __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(1 << 16 | 100));  // [high four digits, low four]
  quads = _mm256_sub_epi32(_mm256_xor_si256(quads, negative), negative);       // both negated after a '-'
  const __m256i values = _mm256_madd_epi16(_mm256_packs_epi32(quads, quads), _mm256_set1_epi32(1 << 16 | 10000));
  const __m256i ordered = _mm256_permute4x64_epi64(values, 0x08);  // [v0 v1 v2 v3] in the low half
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(ordered));
}

// Reads the 64 bytes at p as scan_block_sse41 does, with AVX2.
[[gnu::target("avx2,bmi,bmi2,popcnt")]] inline int scan_block_avx2(const char* p, int32_t* out, int* count) {
  const Classes c = classify_avx2(p);
  if (has_long_run(c)) [[unlikely]] return scan_block(p, c, out, count);
  const uint64_t unusual = unusual_bytes(c);
  uint64_t ends = whole_runs(c, unusual);
  const int n = __builtin_popcountll(ends);
  for (int k = 0; k < n; k += 4) four_values_avx2(p, &ends, out + k);
  *count = n;
  return block_stop(c, unusual);
}

// Reads one number at p the slow way: whitespace, an optional sign, and one to
// ten digits that fit in 32 bits, followed by another byte before end. Returns
// false when that is not what comes, with p moved past the whitespace when
// only whitespace is left, else unmoved.
inline bool scan_one(const char*& p, const char* end, int32_t* out) {
  const char* q = p;
  while (q != end && is_space(static_cast<unsigned char>(*q))) ++q;
  if (q == end) {
    p = q;
    return false;
  }
  const bool negative = *q == '-';
  if (*q == '-' || *q == '+') ++q;
  const char* digits = q;
  uint64_t magnitude = 0;
  while (q != end && q - digits <= 10 && is_digit(*q)) magnitude = magnitude * 10 + static_cast<uint64_t>(*q++ - '0');
  if (q == digits || q == end || q - digits > 10) return false;
  if (magnitude > (negative ? kMaxNegative : kMaxPositive)) return false;
  *out = static_cast<int32_t>(negative ? 0 - magnitude : magnitude);
  p = q;
  return true;
}

// How blocks are read: by scan_block, scan_block_sse41 or scan_block_avx2.
enum class Level { kPlain, kSse41, kAvx2 };

// Reads as scan_numbers does, with blocks read as `level` says (only where the
// processor can).
template <Level level>
[[gnu::always_inline]] inline size_t scan_all(std::string_view bytes, int32_t* out, size_t* used) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  size_t count = 0;
  for (;;) {
    // p never stands inside a number, as blocks need: blocks and scan_one end
    // numbers whole, and so does the caller. Each block leaves room in out[]:
    // at least (end - p) / 2 numbers, and it writes at most 32 + 3.
    while (end - p >= kBlockReads) {
      int got = 0, advance = 0;
      if (level == Level::kPlain || p - begin < 8) {
        advance = scan_block(p, classify(p), out + count, &got);
      } else if constexpr (level == Level::kSse41) {
        advance = scan_block_sse41(p, out + count, &got);
      } else {
        advance = scan_block_avx2(p, out + count, &got);
      }
      count += static_cast<size_t>(got);
      if (advance == 0) break;
      p += advance;
    }
    if (!scan_one(p, end, out + count)) break;
    ++count;
  }
  *used = static_cast<size_t>(p - begin);
  return count;
}

[[gnu::target("avx2,bmi,bmi2,popcnt")]] size_t scan_numbers_avx2(std::string_view bytes, int32_t* out, size_t* used) {
  return scan_all<Level::kAvx2>(bytes, out, used);
}

[[gnu::target("sse4.1,popcnt")]] size_t scan_numbers_sse41(std::string_view bytes, int32_t* out, size_t* used) {
  return scan_all<Level::kSse41>(bytes, out, used);
}

size_t scan_numbers_plain(std::string_view bytes, int32_t* out, size_t* used) {
  return scan_all<Level::kPlain>(bytes, out, used);
}

using Scan = size_t (*)(std::string_view, int32_t*, size_t*);

// Returns the reading of `level` (0 plain, 1 SSE4.1, 2 AVX2), or of the highest
// level below it that the processor can run.
Scan scan_at(int level) {
  const bool popcnt = __builtin_cpu_supports("popcnt");
  if (level >= 2 && popcnt && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2")) {
    return scan_numbers_avx2;
  }
  if (level >= 1 && popcnt && __builtin_cpu_supports("sse4.1")) return scan_numbers_sse41;
  return scan_numbers_plain;
}

}  // namespace

size_t scan_numbers(std::string_view bytes, int32_t* out, size_t* used) {
  static const Scan scan = scan_at(2);
  return scan(bytes, out, used);
}

namespace detail {

size_t scan_numbers_at(int level, std::string_view bytes, int32_t* out, size_t* used) {
  return scan_at(level)(bytes, out, used);
}

}  // namespace detail

}  // namespace tarnwick

// ---- graph/apsp.cc ----
// The plain all-pairs pass (block_FW), and the row a run solves.

#include <algorithm>
#include <utility>

// ---- graph/exact_fw.h ----
// The all-pairs pass in the plain loop's exact order, made fast.
#ifndef TARNWICK_GRAPH_EXACT_FW_H_
#define TARNWICK_GRAPH_EXACT_FW_H_

#include <cstdint>
#include <functional>


namespace tarnwick {

// Runs the pass over APSP (as loaded, vertices 1..APSP.n()) so that afterwards
// row `source` holds exactly what block_FW leaves in it, 32-bit wrap-around and
// all; other rows are left part-way through the pass. Requires 1 <= source <= n.
// `progress`, when set, is called now and then with the share of work done (0..1).
void exact_FW_row(Matrix& APSP, int32_t source,
                  const std::function<void(double)>& progress = {});

namespace detail {

// Knobs of exact_FW_row, so that tests and benchmarks reach every code path.
// A value of 0 (or false) lets exact_FW_row choose.
struct ExactFWTuning {
  int32_t block = 0;      // pivots per block: rounded up to a multiple of 16, at most 256
  int32_t threads = 0;    // threads sharing the work, the caller's included
  bool portable = false;  // use the plain C++ kernels even where AVX-512 is there
};

// Same as exact_FW_row, with the given knobs.
void exact_FW_row_tuned(Matrix& APSP, int32_t source, const ExactFWTuning& tuning,
                        const std::function<void(double)>& progress = {});

// Returns true when this CPU can run the AVX-512 kernels.
bool exact_FW_has_avx512();

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_EXACT_FW_H_
// ---- graph/fast_row.h ----
// Row `source` of the all-pairs pass without the pass, for graphs whose
// weights cannot wrap or form a negative cycle.
#ifndef TARNWICK_GRAPH_FAST_ROW_H_
#define TARNWICK_GRAPH_FAST_ROW_H_

#include <cstdint>
#include <vector>


namespace tarnwick {

// Returns true when every direct weight among vertices 1..g.n (INF included)
// lies in lo..hi. Edges to 0 and to ids above n do not count.
bool weights_within(const Graph& g, int32_t lo, int32_t hi);

// Returns true when every direct weight among vertices 1..g.n (INF included)
// lies in 0..2^30-1: then no sum in the pass wraps and no cycle is negative.
bool weights_are_small(const Graph& g);

// Returns entries 0..n of row `source` of APSP after the pass (entry 0 unused),
// and with `parent` the last step of a path of that weight to each vertex.
// Requires weights_are_small(g) and 1 <= source <= g.n.
//
// (*parent)[k], for k != source, is the vertex before k on a path from the
// source whose steps, weighed with Dist, add up to entry k; walking parents
// ends at the source without passing through it. (*parent)[source] is the
// source when entry source is its diagonal Dist(source, source) (a tie keeps
// the diagonal); otherwise it is the vertex v nearest the source, and entry
// source is 2 * Dist(source, v): out to v and back. *parent has n + 1 entries;
// [0] is 0.
std::vector<int32_t> fast_source_row(const Graph& g, int32_t source,
                                     std::vector<int32_t>* parent = nullptr);

// Returns the vertices of the path to k that `parent` (as fast_source_row
// sets it) traces, the source first and k last: {source, source} for the
// source's diagonal, {source, v, source} for its way out to v and back.
// Requires 1 <= k < parent.size().
std::vector<int32_t> path_from_parents(const std::vector<int32_t>& parent, int32_t source,
                                       int32_t k);

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_FAST_ROW_H_

namespace tarnwick {

Matrix load_APSP(const Graph& g) {
  Matrix APSP(g.n);
  for (int32_t i = 1; i <= g.n; ++i) {
    int32_t* row = APSP.row(i);
    if (g.Dist.dense()) {
      std::copy(g.Dist.dense_row(i) + 1, g.Dist.dense_row(i) + g.n + 1, row + 1);
      continue;
    }
    for (int32_t j = 1; j <= g.n; ++j) row[j] = i == j ? 0 : INF;
    for (const Neighbour& e : g.Dist.row(i)) {
      if (e.to >= 1 && e.to <= g.n) row[e.to] = e.w;
    }
  }
  return APSP;
}

void block_FW(Matrix& APSP) {
  const int32_t n = APSP.n();
  for (int32_t k = 1; k <= n; ++k) {
    for (int32_t i = 1; i <= n; ++i) {
      for (int32_t j = 1; j <= n; ++j) {
        // APSP[i][k] is read afresh at every j: it may have been lowered at j = k.
        int32_t t = wrap_add(APSP.at(i, k), APSP.at(k, j));
        if (t < APSP.at(i, j)) APSP.at(i, j) = t;
      }
    }
  }
}

SourceRow::SourceRow(const Graph& g, int32_t source, std::vector<int32_t> row)
    : g_(&g), source_(source), row_(std::move(row)) {}

int32_t SourceRow::at(int64_t k) const {
  if (!fits_tables(k)) return 0;
  if (!row_.empty() && k >= 1 && k <= g_->n) return row_[k];
  return g_->Dist(source_, static_cast<int32_t>(k));
}

namespace {

// Returns the solved row `source` of APSP as the checker reads it.
SourceRow solved_row(const Graph& g, const Matrix& APSP, int32_t source) {
  const int32_t* r = APSP.row(source);
  return SourceRow(g, source, std::vector<int32_t>(r, r + g.n + 1));
}

}  // namespace

SourceRow solve_plain(const Graph& g, int32_t source) {
  if (!row_is_solved(g, source)) return SourceRow(g, source, {});
  Matrix APSP = load_APSP(g);
  block_FW(APSP);
  return solved_row(g, APSP, source);
}

SourceRow solve(const Graph& g, int32_t source, const std::function<void(double)>& progress,
                std::vector<int32_t>* parent) {
  if (parent != nullptr) parent->clear();
  if (!row_is_solved(g, source)) return SourceRow(g, source, {});
  if (weights_are_small(g)) return SourceRow(g, source, fast_source_row(g, source, parent));
  Matrix APSP = load_APSP(g);
  exact_FW_row(APSP, source, progress);
  return solved_row(g, APSP, source);
}

}  // namespace tarnwick

// ---- graph/exact_fw.cc ----
// How the pass is made fast without changing a single bit of row `source`.
//
// In the plain loop, row i is read by other rows only in pass k = i, as the
// pivot row. So a row other than source only needs passes 1..i; row source
// needs all n. In pass k, rows i > k read row k after its own update in that
// pass ("new"), rows i < k read it before ("old"): only row source ever needs
// the old one. We keep both copies of each pivot row, so the rows of a pass
// no longer depend on each other.
//
// Pivots are taken in blocks [k0, k1). Within row i, entry A[i][k] at the start
// of pass k (its "before" value) and after j = k (its "after" value) depend only
// on columns k0..k1-1 of row i; those are brought through the block exactly, one
// pass at a time. Every other column j then takes
//   A[i][j] = min(A[i][j], min over k of coef(k) + pivot_k[j])
// with coef = before for j < k0 and after for j >= k1: the terms do not depend
// on A[i][j], so their order does not matter and a register-tiled kernel can
// take them in any order.
//
// Each block runs in three steps, separated by barriers:
//   A. one thread: columns k0..k1-1 of the block's own rows (k0..k1-1), which
//      also yields their coefficients and both copies of each pivot there;
//   B. in chunks of columns: the block's own rows elsewhere, one after the other;
//   C. in groups of rows: every later row through the whole block.
// Row source also takes the old pivots of the block when it lies before them.
// The chunks and groups go to whichever thread asks first, so a thread that
// the rest of the machine slows down holds up the others little.
//
// Extra memory: two copies of the block's pivot rows and two coefficients per
// row and pivot, about 4 * block * stride entries in all.

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <thread>
#include <vector>


namespace tarnwick {
namespace {

constexpr int32_t kLanes = 16;        // 32-bit entries in a 512-bit vector
constexpr int32_t kMaxBlock = 256;    // bounds the kernels' local arrays
constexpr int32_t kChunkCols = 64;    // columns taken together in step B
constexpr int32_t kPanelBytes = 512 * 1024;  // pivot rows' share of L2 in step C
constexpr int32_t kTileRows = 4;      // rows per register tile
constexpr int32_t kTileVecs = 4;      // vectors per register tile

// Consecutive pivot rows p in [begin, end), pivot p at base + p * stride,
// indexed by column. Pivot p belongs to pass k0 + p of the current block.
struct Pivots {
  const int32_t* base;
  size_t stride;
  int32_t begin, end;
  const int32_t* row(int32_t p) const { return base + static_cast<size_t>(p) * stride; }
};

// Returns the lanes of vector v (columns 16v..16v+15) whose column is in [lo, hi).
inline uint32_t lanes_in(int32_t v, int32_t lo, int32_t hi) {
  int32_t first = std::max(lo - kLanes * v, 0);
  int32_t last = std::min(hi - kLanes * v, kLanes);
  if (first >= last) return 0;
  return ((1u << last) - 1) & ~((1u << first) - 1);
}

// ---------------------------------------------------------------------------
// Portable kernels: the same arithmetic in plain C++.

// Applies passes k0 + p, p in piv, to columns [k0, k1) of each of the `count`
// rows r in the plain loop's order; records A[i][k] as each pass starts
// (before[r][p]) and after j = k (after[r][p]). Pivot rows must not be rows.
void block_columns_portable(int32_t* const* rows, int32_t count, Pivots piv, int32_t k0,
                            int32_t k1, int32_t* const* before, int32_t* const* after) {
  for (int32_t p = piv.begin; p < piv.end; ++p) {
    const int32_t* P = piv.row(p);
    const int32_t k = k0 + p;
    for (int32_t r = 0; r < count; ++r) {
      int32_t* row = rows[r];
      const int32_t a = row[k];
      for (int32_t j = k0; j < k; ++j) row[j] = std::min(row[j], wrap_add(a, P[j]));
      const int32_t a2 = std::min(a, wrap_add(a, P[k]));
      row[k] = a2;
      for (int32_t j = k + 1; j < k1; ++j) row[j] = std::min(row[j], wrap_add(a2, P[j]));
      before[r][p] = a;
      after[r][p] = a2;
    }
  }
}

// For each of the `count` rows r and each column j in [lo, hi):
// rows[r][j] = min(rows[r][j], coef[r][p] + pivot p's [j]) over every p in piv.
void outer_columns_portable(int32_t* const* rows, const int32_t* const* coef, int32_t count,
                            Pivots piv, int32_t lo, int32_t hi) {
  for (int32_t r = 0; r < count; ++r) {
    int32_t* C = rows[r];
    for (int32_t p = piv.begin; p < piv.end; ++p) {
      const int32_t c = coef[r][p];
      const int32_t* P = piv.row(p);
      for (int32_t j = lo; j < hi; ++j) C[j] = std::min(C[j], wrap_add(c, P[j]));
    }
  }
}

// ---------------------------------------------------------------------------
// AVX-512 kernels. 32-bit lanes add with wrap-around and take the signed
// minimum, exactly as wrap_add and "store t if t < A" do.

#define TARNWICK_AVX512 __attribute__((target("avx512f")))

// The lane-wise signed minimum. g++ 12 wrongly warns that the intrinsic's
// internal placeholder source may be uninitialised; it is never read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
TARNWICK_AVX512 inline __m512i min32(__m512i a, __m512i b) { return _mm512_min_epi32(a, b); }

// Broadcast of lane `lane` of x.
TARNWICK_AVX512 inline __m512i lane_of(__m512i x, int32_t lane) {
  return _mm512_maskz_permutexvar_epi32(0xffff, _mm512_set1_epi32(lane), x);
}

// Lane 0 of x.
TARNWICK_AVX512 inline int32_t first_lane(__m512i x) {
  return _mm512_cvtsi512_si32(x);
}

// One pass of block_columns_avx512 over one row. C and P start at column
// `base` (k0 rounded down to 16), the pass's pivot is at column base + d, and
// live[v] holds the lanes of vector v inside the block.
TARNWICK_AVX512 inline void block_pass_avx512(int32_t* C, const int32_t* P, int32_t d, int32_t vecs,
                                              const __mmask16* live, int32_t* before, int32_t* after) {
  const int32_t vd = d / kLanes, ld = d % kLanes;
  const __m512i a = lane_of(_mm512_loadu_si512(C + kLanes * vd), ld);
  const __m512i a2 = min32(a, _mm512_add_epi32(a, _mm512_set1_epi32(P[d])));
  *before = first_lane(a);
  *after = first_lane(a2);
  for (int32_t v = 0; v < vecs; ++v) {
    // Columns before k take the value before the pass, columns after k the one after.
    __m512i coef = v < vd ? a : a2;
    __mmask16 m = live[v];
    if (v == vd) {
      coef = _mm512_mask_blend_epi32(static_cast<__mmask16>((1u << ld) - 1), a2, a);
      m = static_cast<__mmask16>(m & ~(1u << ld));
    }
    __m512i c = _mm512_loadu_si512(C + kLanes * v);
    c = _mm512_mask_min_epi32(c, m, c, _mm512_add_epi32(coef, _mm512_loadu_si512(P + kLanes * v)));
    if (v == vd) c = _mm512_mask_mov_epi32(c, static_cast<__mmask16>(1u << ld), a2);
    _mm512_storeu_si512(C + kLanes * v, c);
  }
}

// block_columns_portable, vectorised over the block's columns. Lanes outside
// [k0, k1) are stored back unchanged, whole vectors at a time: a row must have
// one owner at a time. Each pass waits on the one before in the same
// row, so taking several rows at once lets the CPU overlap them.
TARNWICK_AVX512 void block_columns_avx512(int32_t* const* rows, int32_t count, Pivots piv,
                                          int32_t k0, int32_t k1, int32_t* const* before,
                                          int32_t* const* after) {
  const int32_t base = k0 & ~(kLanes - 1);
  const int32_t vecs = (k1 - base + kLanes - 1) / kLanes;
  __mmask16 live[kMaxBlock / kLanes + 1];
  for (int32_t v = 0; v < vecs; ++v) live[v] = static_cast<__mmask16>(lanes_in(v, k0 - base, k1 - base));
  for (int32_t p = piv.begin; p < piv.end; ++p) {
    const int32_t* P = piv.row(p) + base;
    for (int32_t r = 0; r < count; ++r) {
      block_pass_avx512(rows[r] + base, P, k0 + p - base, vecs, live, before[r] + p, after[r] + p);
    }
  }
}

// NR rows by NV vectors (from vector v on) held in registers through every
// pivot; stores back only the lanes in mask[q].
template <int NR, int NV>
TARNWICK_AVX512 void outer_tile(int32_t* const* rows, const int32_t* const* coef, Pivots piv,
                                int32_t v, const __mmask16* mask) {
  __m512i acc[NR][NV];
#pragma GCC unroll 16
  for (int r = 0; r < NR; ++r)
#pragma GCC unroll 16
    for (int q = 0; q < NV; ++q) acc[r][q] = _mm512_loadu_si512(rows[r] + kLanes * (v + q));
  for (int32_t p = piv.begin; p < piv.end; ++p) {
    const int32_t* P = piv.row(p) + kLanes * v;
    __m512i x[NV];
#pragma GCC unroll 16
    for (int q = 0; q < NV; ++q) x[q] = _mm512_loadu_si512(P + kLanes * q);
#pragma GCC unroll 16
    for (int r = 0; r < NR; ++r) {
      const __m512i c = _mm512_set1_epi32(coef[r][p]);
#pragma GCC unroll 16
      for (int q = 0; q < NV; ++q) {
        acc[r][q] = min32(acc[r][q], _mm512_add_epi32(x[q], c));
        // Tells the compiler the value must sit in a register here: without it,
        // g++ 12 interleaves the adds badly and adds a register copy per minimum.
        asm("" : "+v"(acc[r][q]));
      }
    }
  }
#pragma GCC unroll 16
  for (int r = 0; r < NR; ++r)
#pragma GCC unroll 16
    for (int q = 0; q < NV; ++q) _mm512_mask_storeu_epi32(rows[r] + kLanes * (v + q), mask[q], acc[r][q]);
}

// Runs outer_tile<.., NV> over all `count` rows: whole row tiles, then single rows.
template <int NV>
TARNWICK_AVX512 void outer_rows(int32_t* const* rows, const int32_t* const* coef, int32_t count,
                                Pivots piv, int32_t v, const __mmask16* mask) {
  int32_t r = 0;
  for (; r + kTileRows <= count; r += kTileRows) outer_tile<kTileRows, NV>(rows + r, coef + r, piv, v, mask);
  for (; r < count; ++r) outer_tile<1, NV>(rows + r, coef + r, piv, v, mask);
}

// outer_columns_portable, register-tiled: for each group of kTileVecs vectors,
// every row tile runs through all the pivots, which stay in cache meanwhile.
TARNWICK_AVX512 void outer_columns_avx512(int32_t* const* rows, const int32_t* const* coef,
                                          int32_t count, Pivots piv, int32_t lo, int32_t hi) {
  if (lo >= hi || piv.begin >= piv.end) return;
  const int32_t v_end = (hi + kLanes - 1) / kLanes;
  for (int32_t v = lo / kLanes; v < v_end; v += kTileVecs) {
    const int32_t vecs = std::min(kTileVecs, v_end - v);
    __mmask16 mask[kTileVecs];
    for (int32_t q = 0; q < vecs; ++q) mask[q] = static_cast<__mmask16>(lanes_in(v + q, lo, hi));
    if (vecs == kTileVecs) {
      outer_rows<kTileVecs>(rows, coef, count, piv, v, mask);
    } else {
      for (int32_t q = 0; q < vecs; ++q) outer_rows<1>(rows, coef, count, piv, v + q, mask + q);
    }
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#undef TARNWICK_AVX512

// ---------------------------------------------------------------------------
// The pass itself.

struct Kernels {
  void (*block_columns)(int32_t* const*, int32_t, Pivots, int32_t, int32_t, int32_t* const*,
                        int32_t* const*);
  void (*outer_columns)(int32_t* const*, const int32_t* const*, int32_t, Pivots, int32_t, int32_t);
};

constexpr Kernels kPortable{block_columns_portable, outer_columns_portable};
constexpr Kernels kAvx512{block_columns_avx512, outer_columns_avx512};

// A zeroed, 64-byte aligned array of int32.
class Buffer {
 public:
  explicit Buffer(size_t count) {
    size_t bytes = (count * sizeof(int32_t) + 63) / 64 * 64;
    data_.reset(static_cast<int32_t*>(std::aligned_alloc(64, std::max<size_t>(bytes, 64))));
    if (!data_) throw std::bad_alloc();
    std::memset(data_.get(), 0, bytes);
  }
  int32_t* get() const { return data_.get(); }

 private:
  struct Free {
    void operator()(int32_t* p) const { std::free(p); }
  };
  std::unique_ptr<int32_t[], Free> data_;
};

// A half-open range of indices.
struct Range {
  int32_t lo, hi;
};

// One run of the pass over a matrix, shared by its threads.
class RowPass {
 public:
  RowPass(Matrix& A, int32_t source, int32_t block, int32_t threads, const Kernels& kernels,
          const std::function<void(double)>& progress)
      : matrix_(A), n_(A.n()), stride_(A.stride()), source_(source), block_(block), threads_(threads),
        kern_(kernels), progress_(progress), sync_(threads),
        new_(static_cast<size_t>(block) * stride_), old_(static_cast<size_t>(block) * stride_),
        own_coef_(2 * static_cast<size_t>(block) * block), source_coef_(2 * static_cast<size_t>(block)),
        row_coef_(2 * (static_cast<size_t>(n_) + 1) * block),
        panel_cols_(std::max(kChunkCols, kPanelBytes / 4 / block / kChunkCols * kChunkCols)),
        group_rows_(std::clamp(n_ / (8 * threads), 16, 256) / kTileRows * kTileRows) {}

  // Runs the pass on T threads, the caller's included.
  void run();

 private:
  // Block of pivots [k0, k1); the first starts at 1, the others at multiples of K.
  Range first_block() const { return {1, std::min(n_ + 1, block_)}; }
  Range next_block(Range b) const { return {b.hi, std::min(n_ + 1, b.hi + block_)}; }

  void run_thread(int32_t t);
  void own_rows_block_columns(Range b);
  void own_rows_elsewhere(Range b);
  void own_rows_columns(Range b, Range cols, bool after);
  void later_rows(Range b);
  void later_rows_group(Range b, Range rows);
  void later_rows_columns(Range b, Range rows, Range cols, bool after);
  void report(Range b);

  // Index in the block of the first pivot row source takes from the old copies;
  // the block size when it takes none.
  int32_t source_first_old(Range b) const {
    if (source_ >= b.hi) return b.hi - b.lo;
    return source_ < b.lo ? 0 : source_ - b.lo + 1;
  }
  Pivots new_pivots(int32_t begin, int32_t end) const { return {new_.get(), stride_, begin, end}; }
  Pivots old_pivots(int32_t begin, int32_t end) const { return {old_.get(), stride_, begin, end}; }
  int32_t* new_row(int32_t p) { return new_.get() + static_cast<size_t>(p) * stride_; }
  int32_t* old_row(int32_t p) { return old_.get() + static_cast<size_t>(p) * stride_; }
  // Coefficients of the block's own row p: before (j < k0) or after (j >= k1).
  int32_t* own_coef(int32_t p, bool after) {
    return own_coef_.get() + (static_cast<size_t>(2 * p) + after) * block_;
  }
  int32_t* source_coef(bool after) { return source_coef_.get() + (after ? block_ : 0); }
  // Coefficients of a later row i: before (j < k0) or after (j >= k1).
  int32_t* row_coef(int32_t i, bool after) {
    return row_coef_.get() + (static_cast<size_t>(2 * i) + after) * block_;
  }

  Matrix& matrix_;
  const int32_t n_;
  const size_t stride_;
  const int32_t source_, block_, threads_;
  const Kernels kern_;
  const std::function<void(double)>& progress_;
  std::barrier<> sync_;
  std::atomic<bool> stop_{false};
  std::exception_ptr failure_;
  Buffer new_, old_;  // pivot rows of the block after / before their own pass
  Buffer own_coef_, source_coef_, row_coef_;
  const int32_t panel_cols_;  // columns per panel in step C
  const int32_t group_rows_;  // rows a thread takes at a time in step C
  // The next piece of work to hand out in steps B and C; reset in step A.
  std::atomic<int32_t> next_chunk_{0}, next_group_{0};
};

// Copies columns [lo, hi) of row `from` to row `to`.
void copy_columns(const int32_t* from, int32_t* to, int32_t lo, int32_t hi) {
  if (lo < hi) std::memcpy(to + lo, from + lo, static_cast<size_t>(hi - lo) * sizeof(int32_t));
}

void RowPass::run() {
  std::vector<std::jthread> workers;
  try {
    for (int32_t t = 1; t < threads_; ++t) workers.emplace_back([this, t] { run_thread(t); });
  } catch (const std::exception&) {
    // A thread that cannot be started leaves its share to the others: steps B
    // and C hand their work to whichever thread asks, and step A is thread 0's.
    for (int32_t t = static_cast<int32_t>(workers.size()) + 1; t < threads_; ++t) {
      sync_.arrive_and_drop();
    }
  }
  run_thread(0);
  for (std::jthread& w : workers) w.join();
  if (failure_) std::rethrow_exception(failure_);
}

void RowPass::run_thread(int32_t t) {
  for (Range b = first_block(); b.lo <= n_; b = next_block(b)) {
    if (t == 0) {
      own_rows_block_columns(b);
      next_chunk_.store(0, std::memory_order_relaxed);
      next_group_.store(0, std::memory_order_relaxed);
    }
    sync_.arrive_and_wait();
    if (stop_.load(std::memory_order_relaxed)) return;
    own_rows_elsewhere(b);
    sync_.arrive_and_wait();
    later_rows(b);
    sync_.arrive_and_wait();
    if (t == 0) report(b);
  }
}

// Step A: columns [k0, k1) of rows k0..k1-1, in order, and of row source.
void RowPass::own_rows_block_columns(Range b) {
  const int32_t size = b.hi - b.lo;
  for (int32_t p = 0; p < size; ++p) {
    int32_t* row = matrix_.row(b.lo + p);
    int32_t* before = own_coef(p, false);
    int32_t* after = own_coef(p, true);
    kern_.block_columns(&row, 1, new_pivots(0, p), b.lo, b.hi, &before, &after);
    copy_columns(row, old_row(p), b.lo, b.hi);
    // Its own pass reads the row as it was when the pass began.
    kern_.block_columns(&row, 1, old_pivots(p, p + 1), b.lo, b.hi, &before, &after);
    copy_columns(row, new_row(p), b.lo, b.hi);
  }
  const int32_t first = source_first_old(b);
  if (first < size) {
    int32_t* row = matrix_.row(source_);
    int32_t* before = source_coef(false);
    int32_t* after = source_coef(true);
    kern_.block_columns(&row, 1, old_pivots(first, size), b.lo, b.hi, &before, &after);
  }
}

// Step B: the columns outside [k0, k1) of the same rows, in chunks of
// kChunkCols columns handed out to whichever thread asks first (so that a
// thread slowed down by the rest of the machine simply takes fewer).
void RowPass::own_rows_elsewhere(Range b) {
  const int32_t before_chunks = b.lo > 1 ? (b.lo + kChunkCols - 1) / kChunkCols : 0;
  const int32_t first_after = b.hi / kChunkCols;
  const int32_t chunks = before_chunks + (n_ + kChunkCols) / kChunkCols - first_after;
  for (int32_t c; (c = next_chunk_.fetch_add(1, std::memory_order_relaxed)) < chunks;) {
    const bool after = c >= before_chunks;
    const int32_t j = after ? first_after + c - before_chunks : c;
    const Range side = after ? Range{b.hi, n_ + 1} : Range{1, b.lo};
    const Range cols = {std::max(side.lo, j * kChunkCols), std::min(side.hi, (j + 1) * kChunkCols)};
    if (cols.lo < cols.hi) own_rows_columns(b, cols, after);
  }
}

// Columns `cols`, all before k0 or all from k1 on (`after`), of rows k0..k1-1
// and source.
void RowPass::own_rows_columns(Range b, Range cols, bool after) {
  const int32_t size = b.hi - b.lo;
  for (int32_t p = 0; p < size; ++p) {
    int32_t* row = matrix_.row(b.lo + p);
    const int32_t* coef = own_coef(p, after);
    kern_.outer_columns(&row, &coef, 1, new_pivots(0, p), cols.lo, cols.hi);
    copy_columns(row, old_row(p), cols.lo, cols.hi);
    kern_.outer_columns(&row, &coef, 1, old_pivots(p, p + 1), cols.lo, cols.hi);
    copy_columns(row, new_row(p), cols.lo, cols.hi);
  }
  const int32_t first = source_first_old(b);
  if (first < size) {
    int32_t* row = matrix_.row(source_);
    const int32_t* coef = source_coef(after);
    kern_.outer_columns(&row, &coef, 1, old_pivots(first, size), cols.lo, cols.hi);
  }
}

// Step C: rows k1..n through every pass of the block, in groups of
// group_rows_ rows handed out like the chunks of step B.
void RowPass::later_rows(Range b) {
  const int32_t count = n_ + 1 - b.hi;
  for (int32_t g; (g = next_group_.fetch_add(1, std::memory_order_relaxed)) * group_rows_ < count;) {
    const int32_t lo = b.hi + g * group_rows_;
    later_rows_group(b, {lo, std::min(n_ + 1, lo + group_rows_)});
  }
}

// First the block columns of `rows`, which yields their coefficients; then,
// panel by panel so that the panel of the pivot rows stays in cache, the rest.
void RowPass::later_rows_group(Range b, Range rows) {
  for (int32_t i = rows.lo; i < rows.hi; i += kTileRows) {
    const int32_t count = std::min(kTileRows, rows.hi - i);
    int32_t* row[kTileRows];
    int32_t* before[kTileRows];
    int32_t* after[kTileRows];
    for (int32_t r = 0; r < count; ++r) {
      row[r] = matrix_.row(i + r);
      before[r] = row_coef(i + r, false);
      after[r] = row_coef(i + r, true);
    }
    kern_.block_columns(row, count, new_pivots(0, b.hi - b.lo), b.lo, b.hi, before, after);
  }
  const Range sides[2] = {{1, b.lo}, {b.hi, n_ + 1}};
  for (bool after : {false, true}) {
    for (int32_t lo = sides[after].lo; lo < sides[after].hi;) {
      const int32_t hi = std::min(sides[after].hi, (lo / panel_cols_ + 1) * panel_cols_);
      later_rows_columns(b, rows, {lo, hi}, after);
      lo = hi;
    }
  }
}

// Columns `cols`, all before k0 or all from k1 on (`after`), of later rows `rows`.
void RowPass::later_rows_columns(Range b, Range rows, Range cols, bool after) {
  for (int32_t i = rows.lo; i < rows.hi; i += kTileRows) {
    const int32_t count = std::min(kTileRows, rows.hi - i);
    int32_t* row[kTileRows];
    const int32_t* coef[kTileRows];
    for (int32_t r = 0; r < count; ++r) {
      row[r] = matrix_.row(i + r);
      coef[r] = row_coef(i + r, after);
    }
    kern_.outer_columns(row, coef, count, new_pivots(0, b.hi - b.lo), cols.lo, cols.hi);
  }
}

// Tells progress_ the share of pivot-row work done once block b is through.
void RowPass::report(Range b) {
  if (!progress_) return;
  // Pass k costs about one row update for each row i >= k.
  auto rows_from = [](double m) { return m * (m + 1) / 2; };
  const double total = rows_from(n_), left = rows_from(n_ + 1 - b.hi);
  try {
    progress_((total - left) / total);
  } catch (...) {
    failure_ = std::current_exception();
    stop_ = true;
  }
}

// Returns the block size to use for n vertices.
int32_t choose_block(int32_t n, int32_t asked) {
  int32_t block = asked > 0 ? asked : (n <= 3000 ? 64 : 128);
  return std::clamp((block + kLanes - 1) / kLanes * kLanes, kLanes, kMaxBlock);
}

// Returns the number of threads to use for n vertices: the CPUs this process
// was given, but one below a few hundred vertices, where starting a thread
// costs more than it saves.
int32_t choose_threads(int32_t n, int32_t asked) {
  if (asked > 0) return asked;
  if (n < 256) return 1;
  return usable_cpus();
}

}  // namespace

namespace detail {

bool exact_FW_has_avx512() { return __builtin_cpu_supports("avx512f"); }

void exact_FW_row_tuned(Matrix& APSP, int32_t source, const ExactFWTuning& tuning,
                        const std::function<void(double)>& progress) {
  const int32_t n = APSP.n();
  const Kernels& kernels = !tuning.portable && exact_FW_has_avx512() ? kAvx512 : kPortable;
  RowPass pass(APSP, source, choose_block(n, tuning.block), choose_threads(n, tuning.threads),
               kernels, progress);
  pass.run();
}

}  // namespace detail

void exact_FW_row(Matrix& APSP, int32_t source, const std::function<void(double)>& progress) {
  detail::exact_FW_row_tuned(APSP, source, {}, progress);
}

}  // namespace tarnwick

// ---- graph/fast_row.cc ----
// The single-source search over the complete graph, and the paths it traces.

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <queue>
#include <type_traits>
#include <utility>


namespace tarnwick {

namespace {

// The largest weight a graph may hold and still count as small.
constexpr int32_t kSmallWeightMax = (1 << 30) - 1;

// Dijkstra from one source over the complete graph on 1..n in which two
// distinct vertices without an edge are joined by a step of weight INF. The
// INF steps are never listed: when a vertex is settled, the vertices that no
// INF step has reached yet and that are not its neighbours get one, and leave
// the waiting list for good (vertices settle in increasing distance, so the
// first INF step a vertex is offered is its cheapest). Each look at a waiting
// vertex either removes it or is paid for by an edge: O((n + m) log n) overall.
class CompleteGraphSearch {
 public:
  // Requires 1 <= source <= g.n and weights_are_small(g).
  CompleteGraphSearch(const Graph& g, int32_t source);

  // Settles every vertex of 1..n.
  void run();

  // Returns the distance from the source to v (v != source). Requires run().
  int64_t distance(int32_t v) const { return dist_[v]; }
  // Returns the vertex before v on a shortest path (v != source). Requires run().
  int32_t previous(int32_t v) const { return from_[v]; }
  // Returns the vertex settled right after the source (its nearest other
  // vertex, reached in one step), or 0 when n == 1. Requires run().
  int32_t nearest() const { return nearest_; }

 private:
  using Entry = std::pair<int64_t, int32_t>;  // tentative distance, vertex

  void settle(int32_t u);
  void offer(int32_t v, int64_t d, int32_t via);
  void relax_edges(int32_t u);
  void offer_missing_edges(int32_t u);
  bool is_vertex(int32_t v) const { return v >= 1 && v <= g_.n; }

  const Graph& g_;
  int32_t source_;
  int32_t nearest_ = 0;
  std::vector<int64_t> dist_;
  std::vector<int32_t> from_;
  std::vector<char> settled_;
  std::vector<int32_t> mark_;     // mark_[v] == u while u's neighbours are looked at
  std::vector<int32_t> waiting_;  // vertices no INF step has reached yet
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap_;
};

CompleteGraphSearch::CompleteGraphSearch(const Graph& g, int32_t source)
    : g_(g),
      source_(source),
      dist_(g.n + 1, std::numeric_limits<int64_t>::max()),
      from_(g.n + 1, 0),
      settled_(g.n + 1, 0),
      mark_(g.n + 1, 0) {
  waiting_.reserve(g.n);
  for (int32_t v = 1; v <= g.n; ++v) waiting_.push_back(v);
}

void CompleteGraphSearch::run() {
  offer(source_, 0, source_);
  while (!heap_.empty()) {
    auto [d, u] = heap_.top();
    heap_.pop();
    if (settled_[u] || d != dist_[u]) continue;
    settle(u);
  }
}

void CompleteGraphSearch::settle(int32_t u) {
  settled_[u] = 1;
  if (u != source_ && nearest_ == 0) nearest_ = u;
  relax_edges(u);
  offer_missing_edges(u);
}

void CompleteGraphSearch::offer(int32_t v, int64_t d, int32_t via) {
  if (d >= dist_[v]) return;
  dist_[v] = d;
  from_[v] = via;
  heap_.push({d, v});
}

void CompleteGraphSearch::relax_edges(int32_t u) {
  for (const Neighbour& e : g_.Dist.row(u)) {
    if (!is_vertex(e.to) || e.to == u || settled_[e.to]) continue;
    offer(e.to, dist_[u] + e.w, u);
  }
}

void CompleteGraphSearch::offer_missing_edges(int32_t u) {
  for (const Neighbour& e : g_.Dist.row(u)) {
    if (is_vertex(e.to)) mark_[e.to] = u;
  }
  size_t kept = 0;
  for (int32_t v : waiting_) {
    if (settled_[v]) continue;
    if (mark_[v] == u) {
      waiting_[kept++] = v;  // joined to u by a real edge: not an INF step
      continue;
    }
    offer(v, dist_[u] + INF, u);
  }
  waiting_.resize(kept);
}

// One round of the dense search over entries 1..n: lowers dist[v] (and key[v])
// to du + row[v] where that is strictly less, noting u in from[v]; returns the
// least of key[1..n] afterwards. A settled vertex is never lowered: weights
// are not negative, so its distance is at most du. Flat, so that it compiles
// to vector code.
[[gnu::always_inline]] inline int64_t relax_row(int64_t* dist, int64_t* key, int32_t* from,
                                                const int32_t* row, int64_t du, int32_t u, int32_t n) {
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int32_t v = 1; v <= n; ++v) {
    int64_t d = du + row[v];
    bool better = d < dist[v];
    dist[v] = better ? d : dist[v];
    int64_t k = better ? d : key[v];
    key[v] = k;
    from[v] = better ? u : from[v];
    best = k < best ? k : best;
  }
  return best;
}

// Returns the lowest v of 1..n with key[v] == best. Requires one. Looks at
// blocks of 32 keys in vector code, then one by one in the block that holds it.
[[gnu::always_inline]] inline int32_t first_with_key(const int64_t* key, int32_t n, int64_t best) {
  constexpr int32_t kBlock = 32;
  int32_t v = 1;
  for (; v + kBlock <= n + 1; v += kBlock) {
    bool any = false;
    for (int32_t j = 0; j < kBlock; ++j) any |= key[v + j] == best;
    if (any) break;
  }
  while (key[v] != best) ++v;
  return v;
}

[[gnu::target("avx2")]] int64_t relax_row_avx2(int64_t* dist, int64_t* key, int32_t* from,
                                               const int32_t* row, int64_t du, int32_t u, int32_t n) {
  return relax_row(dist, key, from, row, du, u, n);
}
[[gnu::target("avx2")]] int32_t first_with_key_avx2(const int64_t* key, int32_t n, int64_t best) {
  return first_with_key(key, n, best);
}
int64_t relax_row_plain(int64_t* dist, int64_t* key, int32_t* from, const int32_t* row, int64_t du,
                        int32_t u, int32_t n) {
  return relax_row(dist, key, from, row, du, u, n);
}
int32_t first_with_key_plain(const int64_t* key, int32_t n, int64_t best) {
  return first_with_key(key, n, best);
}

// The same search over a dense table: n rounds, each settling the nearest
// waiting vertex (the lowest id among equals, as the heap above pops them) and
// relaxing its whole row, INF entries included; O(n^2) with no heap, in flat
// loops of vector code. A vertex keeps the first settled vertex that offered
// its distance, as above, so both searches leave the same distances and the
// same previous vertices.
class DenseSearch {
 public:
  // Requires 1 <= source <= g.n, g.Dist.dense() and weights_are_small(g).
  DenseSearch(const Graph& g, int32_t source)
      : g_(g), dist_(g.n + 1, kFar), key_(g.n + 1, kFar), from_(g.n + 1, 0) {
    dist_[source] = key_[source] = 0;
    from_[source] = source;
    key_[0] = kSettled;  // id 0 is no vertex
  }

  // Settles every vertex of 1..n; returns the vertex settled second (0 when n == 1).
  int32_t run() {
    const bool avx2 = __builtin_cpu_supports("avx2");
    auto relax = avx2 ? relax_row_avx2 : relax_row_plain;
    auto first = avx2 ? first_with_key_avx2 : first_with_key_plain;
    const int32_t n = g_.n;
    int32_t nearest = 0;
    int64_t best = 0;  // the least key waiting: the source's
    for (int32_t round = 0; round < n; ++round) {
      const int32_t u = first(key_.data(), n, best);  // the lowest id among equals
      key_[u] = kSettled;
      if (round == 1) nearest = u;
      best = relax(dist_.data(), key_.data(), from_.data(), g_.Dist.dense_row(u), dist_[u], u, n);
    }
    return nearest;
  }

  int64_t distance(int32_t v) const { return dist_[v]; }
  int32_t previous(int32_t v) const { return from_[v]; }

 private:
  static constexpr int64_t kFar = std::numeric_limits<int64_t>::max() / 4;  // not reached yet
  static constexpr int64_t kSettled = std::numeric_limits<int64_t>::max();

  const Graph& g_;
  std::vector<int64_t> dist_;
  std::vector<int64_t> key_;  // dist_ while waiting, kSettled once settled
  std::vector<int32_t> from_;
};

// Returns true when every weight among 1..n of a dense table lies in lo..hi,
// from the range noted while it was built, or else looking at the rows on
// every usable CPU.
bool dense_weights_within(const Graph& g, int32_t lo, int32_t hi) {
  // A table whose mirror pass noted its least and greatest weight needs no scan.
  if (int32_t least, most; g.Dist.dense_range(&least, &most)) return least >= lo && most <= hi;
  std::atomic<bool> within{true};
  const int32_t n = g.n;
  run_threads(n < 1024 ? 1 : usable_cpus(), [&](int32_t t, int32_t count) {
    for (int32_t i = 1 + t; i <= n && within.load(std::memory_order_relaxed); i += count) {
      const int32_t* row = g.Dist.dense_row(i);
      bool ok = true;
      for (int32_t j = 1; j <= n; ++j) ok &= row[j] >= lo && row[j] <= hi;
      if (!ok) within = false;
    }
  });
  return within;
}

// Returns the distances and previous vertices of the search that suits the storage,
// and the vertex settled right after the source.
template <typename Search>
int32_t search_from(Search& search, const Graph& g, std::vector<int64_t>* dist,
                    std::vector<int32_t>* from) {
  int32_t nearest;
  if constexpr (std::is_same_v<Search, CompleteGraphSearch>) {
    search.run();
    nearest = search.nearest();
  } else {
    nearest = search.run();
  }
  dist->assign(g.n + 1, 0);
  from->assign(g.n + 1, 0);
  for (int32_t v = 1; v <= g.n; ++v) {
    (*dist)[v] = search.distance(v);
    (*from)[v] = search.previous(v);
  }
  return nearest;
}

}  // namespace

bool weights_within(const Graph& g, int32_t lo, int32_t hi) {
  if (g.Dist.dense()) return dense_weights_within(g, lo, hi);
  for (int32_t i = 1; i <= g.n; ++i) {
    for (const Neighbour& e : g.Dist.row(i)) {
      bool inside = e.to >= 1 && e.to <= g.n;
      if (inside && (e.w < lo || e.w > hi)) return false;
    }
  }
  return true;
}

bool weights_are_small(const Graph& g) { return weights_within(g, 0, kSmallWeightMax); }

std::vector<int32_t> fast_source_row(const Graph& g, int32_t source,
                                     std::vector<int32_t>* parent) {
  std::vector<int64_t> dist;
  std::vector<int32_t> from;
  int32_t v;
  if (g.Dist.dense()) {
    DenseSearch search(g, source);
    v = search_from(search, g, &dist, &from);
  } else {
    CompleteGraphSearch search(g, source);
    v = search_from(search, g, &dist, &from);
  }

  // With no negative weights a closed walk from the source costs at least
  // twice the cheapest step to another vertex, and that step out and back
  // costs exactly that, so the diagonal is the cheaper of the two.
  int64_t diagonal = g.Dist(source, source);
  int32_t turn = source;
  if (v != 0 && 2 * dist[v] < diagonal) {
    diagonal = 2 * dist[v];
    turn = v;
  }

  std::vector<int32_t> row(g.n + 1, 0);
  for (int32_t k = 1; k <= g.n; ++k) {
    row[k] = k == source ? static_cast<int32_t>(diagonal) : static_cast<int32_t>(dist[k]);
  }
  if (parent != nullptr) {
    parent->assign(g.n + 1, 0);
    for (int32_t k = 1; k <= g.n; ++k) (*parent)[k] = k == source ? turn : from[k];
  }
  return row;
}

std::vector<int32_t> path_from_parents(const std::vector<int32_t>& parent, int32_t source,
                                       int32_t k) {
  if (k == source) {
    if (parent[source] == source) return {source, source};
    return {source, parent[source], source};
  }
  std::vector<int32_t> path;
  for (int32_t v = k; v != source; v = parent[v]) path.push_back(v);
  path.push_back(source);
  std::reverse(path.begin(), path.end());
  return path;
}

}  // namespace tarnwick

// ---- graph/places.cc ----
// Line and column of offsets, counted as the bytes go by or from the marks of a load.

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

// ---- graph/graph_file.cc ----
// A graph input opened once, and its edges found again afterwards.

#include <algorithm>
#include <atomic>
#include <memory>
#include <span>
#include <utility>


namespace tarnwick {

// Notes each edge's ids and the line of its first number as the loader reads it.
class GraphFile::Noter : public LoadObserver {
 public:
  Noter(LineTracker& lines, GraphFile& file) : lines_(lines), file_(file) {}
  bool on = true;
  void number(int64_t index, const Number& num) override {
    if (index < 2 || num.read != Read::kNumber || !on) return;
    const int64_t field = (index - 2) % 3;
    if (field == 0) line_ = lines_.place(num.where).line, edge_.u = num.value;
    if (field == 1) edge_.v = num.value;
    if (field == 2) note(num.value);
  }

 private:
  // Notes the edge read, of weight w.
  void note(int32_t w) {
    edge_.w = w;
    const int64_t gap = line_ - last_line_;
    edge_.gap = gap < kFarGap ? static_cast<uint32_t>(gap) : kFarGap;
    if (gap >= kFarGap) file_.far_gaps_[file_.noted_.size()] = gap;
    file_.noted_.push_back(edge_);
    last_line_ = line_;
  }

  LineTracker& lines_;
  GraphFile& file_;
  Noted edge_;
  int64_t line_ = 0, last_line_ = 0;
};

// Hands the bytes the reader takes to each tap in turn.
class GraphFile::Taps : public ByteTap {
 public:
  std::vector<ByteTap*> all;
  void take(uint64_t offset, std::string_view bytes) override {
    for (ByteTap* tap : all) tap->take(offset, bytes);
  }
};

GraphFile::GraphFile() = default;
GraphFile::~GraphFile() = default;

void GraphFile::add_tap(ByteTap* tap) {
  if (!taps_) {
    taps_ = std::make_unique<Taps>();
    taps_->all.push_back(tap);
    reader_->tap(taps_.get());
    return;
  }
  taps_->all.push_back(tap);
  tap->take(reader_->offset(), reader_->window());
}

bool GraphFile::open(const char* path, std::string* err) {
  if (!file_.open(path, err)) return false;
  reader_.emplace(file_.fd());
  return true;
}

void GraphFile::adopt(int fd) { reader_.emplace(fd); }

void GraphFile::assign(std::string_view bytes) { reader_.emplace(bytes); }

void GraphFile::release() {
  reader_.reset();
  file_.close();
}

LineTracker& GraphFile::lines() {
  if (!lines_) {
    lines_.emplace();
    add_tap(&*lines_);
  }
  return *lines_;
}

LoadObserver* GraphFile::noter() {
  if (rereadable()) return nullptr;
  if (!noter_) noter_ = std::make_unique<Noter>(lines(), *this);
  return noter_.get();
}

void GraphFile::stop_noting() {
  if (noter_) static_cast<Noter*>(noter_.get())->on = false;
}

bool GraphFile::edges(int64_t count, const std::function<void(const Edge&)>& f) const {
  const size_t last = static_cast<size_t>(std::clamp<int64_t>(count, 0, noted_.size()));
  int64_t line = 0;
  for (size_t i = 0; i < last; ++i) {
    const Noted& n = noted_[i];
    line += n.gap != kFarGap ? n.gap : far_gaps_.at(i);
    f({static_cast<int64_t>(i) + 1, n.u, n.v, n.w, line});
  }
  return true;
}

namespace {

// Returns the key of the pair {a, b} (ids that fit the tables), either way round.
uint32_t pair_key(int32_t a, int32_t b) {
  return static_cast<uint32_t>(std::min(a, b)) << 16 | static_cast<uint32_t>(std::max(a, b));
}
static_assert(V <= (1 << 16), "a pair of ids packs into 32 bits");

// The queries by pair, for the edges of an input to look theirs up.
class QueryIndex {
 public:
  explicit QueryIndex(const std::vector<EdgeQuery>& queries) {
    for (size_t i = 0; i < queries.size(); ++i) {
      const EdgeQuery& q = queries[i];
      if (fits_tables(q.a) && fits_tables(q.b)) by_pair_.push_back({pair_key(q.a, q.b), i});
    }
    std::sort(by_pair_.begin(), by_pair_.end());
    // 64 bits a query or more, so that few edges pass the filter; sized to
    // the queries, since a handful of them is asked for each explanation.
    while (bits_ < 64 * queries.size() && bits_ < kMostBits) bits_ *= 2;
    seen_.assign(bits_ / 64, 0);
    for (const auto& [key, i] : by_pair_) seen_[key % bits_ / 64] |= uint64_t{1} << key % 64;
  }
  // Calls f(i) for each query i of the pair {u, v}.
  template <typename F>
  void each(int32_t u, int32_t v, F f) const {
    if (!fits_tables(u) || !fits_tables(v)) return;
    const uint32_t key = pair_key(u, v);
    if ((seen_[key % bits_ / 64] >> key % 64 & 1) == 0) return;  // most edges stop here
    auto it = std::lower_bound(by_pair_.begin(), by_pair_.end(), std::pair{key, size_t{0}});
    for (; it != by_pair_.end() && it->first == key; ++it) f(it->second);
  }

 private:
  static constexpr uint32_t kMostBits = 1 << 20;
  uint32_t bits_ = 1024;  // a power of 2
  std::vector<std::pair<uint32_t, size_t>> by_pair_;
  std::vector<uint64_t> seen_;
};

// The last two edges found for each query (numbers and weights; number 0
// for none), and how many there are.
struct Found {
  std::vector<int64_t> e, e2, times;
  std::vector<int32_t> w, w2;
  explicit Found(size_t queries)
      : e(queries, 0), e2(queries, 0), times(queries, 0), w(queries, 0), w2(queries, 0) {}
  void take(size_t i, int64_t edge, int32_t weight) {
    if (edge > e[i]) {
      e2[i] = e[i], w2[i] = w[i], e[i] = edge, w[i] = weight;
    } else if (edge > e2[i] && edge != e[i]) {
      e2[i] = edge, w2[i] = weight;
    }
  }
  // Takes what another search found, in other ranges.
  void merge(size_t i, const Found& other) {
    take(i, other.e[i], other.w[i]);
    take(i, other.e2[i], other.w2[i]);
    times[i] += other.times[i];
  }
};

// Searches the numbers `a` (from number `first` of the input, `next` the two
// numbers after them) for the edges of queries, up to edge `last`.
void search(const std::vector<int32_t>& a, int64_t first, const int32_t next[2], int64_t last,
            const QueryIndex& index, const std::vector<EdgeQuery>& queries, Found* found) {
  const int64_t count = static_cast<int64_t>(a.size());
  auto at = [&](int64_t i) { return i < count ? a[i] : next[i - count]; };
  for (int64_t i = first < 2 ? 2 - first : (3 - (first - 2) % 3) % 3; i < count; i += 3) {
    const int64_t e = (first + i - 2) / 3 + 1;
    if (e > last) return;
    index.each(a[i], at(i + 1), [&](size_t q) {
      if (e < queries[q].before) found->take(q, e, at(i + 2)), ++found->times[q];
    });
  }
}

// Finds the last edge of each query in `whole` (which can_split) by its
// ranges (`marks`), on every CPU given, counting the line ends of each range
// read into ends[c]. Returns the errno of a failed read, or 0.
int search_ranges(const ByteReader& whole, std::span<const RangeMark> marks, int64_t last,
                  const std::vector<EdgeQuery>& queries, Found* found,
                  std::vector<LineEndCount>* ends) {
  const QueryIndex index(queries);
  std::vector<Found> mine;
  std::atomic<size_t> next_range{0};
  std::atomic<int> error{0};
  ends->assign(marks.size(), {});
  auto work = [&](int32_t t, int32_t) {
    std::vector<int32_t> a, more;
    for (size_t c; (c = next_range.fetch_add(1)) < marks.size();) {
      if (marks[c].first > 2 + 3 * last) continue;
      const uint64_t end = whole.split_end();
      const uint64_t hi = c + 1 < marks.size() ? marks[c + 1].offset : end;
      int e = detail::numbers_between(whole, marks[c].offset, hi, &a, &(*ends)[c]);
      int32_t after[2] = {0, 0};  // an edge may go on into the next range
      if (e == 0 && hi < end) e = detail::numbers_between(whole, hi, std::min(hi + 64, end), &more);
      for (size_t k = 0; k < 2 && k < more.size() && hi < end; ++k) after[k] = more[k];
      if (e != 0) error = e;
      search(a, marks[c].first, after, last, index, queries, &mine[t]);
    }
  };
  // A graph read in one range (a small one) is searched on this thread alone.
  const int32_t threads = std::min<int64_t>(usable_cpus(), static_cast<int64_t>(marks.size()));
  run_threads(threads, work, [&](int32_t count) { mine.assign(count, Found(queries.size())); });
  for (const Found& f : mine) {
    for (size_t i = 0; i < queries.size(); ++i) found->merge(i, f);
  }
  return error;
}

// Counts the line ends before each range of `marks` from those of the header
// and of the ranges (`ends`, from a search that read them).
void count_lines_from_ends(const ByteReader& whole, const std::vector<LineEndCount>& ends,
                           std::vector<RangeMark>* marks) {
  std::vector<char> buffer(size_t{1} << 16);
  ByteReader header(whole, 0, (*marks)[0].offset, buffer);
  LineEndCount before;
  header.tap(&before);
  while (header.peek() >= 0) header.skip(header.window().size());
  for (size_t c = 0; c < marks->size(); ++c) {
    (*marks)[c].lines = before.count, (*marks)[c].line_start = before.line_start;
    before.count += ends[c].count;
    if (ends[c].count > 0) before.line_start = ends[c].line_start;
  }
}

}  // namespace

bool find_edge_lines(GraphFile& file, const LoadReport& report, std::vector<EdgeQuery>* queries,
                     std::string* err) {
  int64_t last = 0;
  for (const EdgeQuery& q : *queries) last = std::max(last, std::min(q.before - 1, report.edges));
  if (last <= 0) return true;
  if (!file.rereadable()) {  // what was noted of each edge as it was loaded
    const QueryIndex index(*queries);
    return file.edges(last, [&](const GraphFile::Edge& edge) {
      index.each(edge.u, edge.v, [&](size_t i) {
        EdgeQuery& q = (*queries)[i];
        if (edge.e >= q.before) return;
        if (q.line != 0) q.earlier_line = q.line, q.earlier_weight = q.weight;
        q.line = edge.line, q.weight = edge.w, ++q.times;
      });
    });
  }
  // A regular file, read again through what is open: the file is not opened twice.
  std::vector<RangeMark> marks = report.ranges;
  if (marks.empty()) marks.push_back({});
  Found found(queries->size());
  std::vector<LineEndCount> ends;
  if (int e = search_ranges(file.reader(), marks, last, *queries, &found, &ends); e != 0) {
    *err = reason(e);
    return false;
  }
  count_lines_from_ends(file.reader(), ends, &marks);
  // Each query's last edge and the one before it, placed: spots 2i and 2i + 1.
  std::vector<Spot> spots(2 * queries->size());
  std::vector<Spot*> wanted;
  for (size_t i = 0; i < queries->size(); ++i) {
    for (const auto& [k, e] : {std::pair{2 * i, found.e[i]}, std::pair{2 * i + 1, found.e2[i]}}) {
      spots[k].number = 2 + 3 * (e - 1);
      if (e != 0) wanted.push_back(&spots[k]);
    }
  }
  if (!place_spots(file.reader(), marks, wanted, err)) return false;
  for (size_t i = 0; i < queries->size(); ++i) {
    EdgeQuery& q = (*queries)[i];
    q.times = found.times[i];
    if (found.e[i] != 0) q.line = spots[2 * i].at.line, q.weight = found.w[i];
    if (found.e2[i] != 0) q.earlier_line = spots[2 * i + 1].at.line, q.earlier_weight = found.w2[i];
  }
  return true;
}

}  // namespace tarnwick

// ---- check/judge.cc ----
// The checker: a result file weighed line by line as its bytes arrive.

#include <algorithm>

namespace tarnwick {

std::string verdict_words(const Verdict& v) {
  if (v.kind == Verdict::kSuccess) return "Success";
  if (v.kind == Verdict::kEmptyFile) return "Empty file";
  return "Wrong answer in path " + std::to_string(v.source) + " to " + std::to_string(v.line);
}

namespace {

constexpr int32_t kOutside = kOutsideId;

// Weighs the lines of a result file as its bytes arrive, one at a time.
// kObserved: an observer hears every step and line end; without one, the
// calls are compiled out, so that judging alone pays nothing for them.
template <bool kObserved>
class PathWeigher {
 public:
  PathWeigher(const DirectWeights& Dist, const SourceRow& APSP, JudgeObserver* observer)
      : Dist_(Dist), APSP_(APSP), previous_(APSP.source()), observer_(observer) {}

  // Takes the next byte. Returns false when a line has just been found wrong.
  bool take(int c);
  // Ends the file. Returns false when its last line is wrong.
  bool finish();
  // Returns the verdict once the file has ended or a line was found wrong.
  Verdict verdict() const;

 private:
  enum class Token { kNone, kLeadingSpace, kSign, kDigits, kRest };

  void take_in_token(int c);
  void end_token();
  bool end_line();
  void tell_step(int32_t weight);

  const DirectWeights& Dist_;
  const SourceRow& APSP_;
  // The whole file.
  int64_t line_ = 1;
  bool any_line_ = false;
  bool wrong_ = false;
  int32_t last_id_ = 0;  // carried across tokens and lines
  // The current line.
  bool line_open_ = false;
  int32_t previous_;
  __int128 weight_ = 0;  // exact: no sum of steps can overflow it
  // The current token, read like "%d".
  Token token_ = Token::kNone;
  bool has_number_ = false;
  bool negative_ = false;
  int32_t magnitude_ = 0;  // saturates at V: anything from V up is outside the tables
  // For the observer.
  JudgeObserver* observer_;  // set when kObserved
  int64_t wrong_line_ = 0;   // the first line weighed wrong, or 0 (may not be the last read)
  int64_t steps_ = 0;        // steps of the current line
  std::string token_bytes_;  // the current token's first kTokenKept bytes
  bool tail_ = false;        // a byte of the current token was passed over
};

// Reads c as part of the current token the way "%d" reads: leading whitespace,
// an optional sign, then digits. The first byte that is not a digit ends the
// number, and the rest of the token is passed over.
template <bool kObserved>
void PathWeigher<kObserved>::take_in_token(int c) {
  if (token_ == Token::kNone) token_ = Token::kLeadingSpace;
  if (token_ == Token::kLeadingSpace) {
    if (is_space(c)) return;
    token_ = Token::kSign;  // with or without a sign, digits come next
    if (c == '+' || c == '-') {
      negative_ = c == '-';
      return;
    }
  }
  if (token_ == Token::kSign || token_ == Token::kDigits) {
    if (!is_digit(c)) {
      token_ = Token::kRest;
      return;
    }
    token_ = Token::kDigits;
    has_number_ = true;
    magnitude_ = std::min<int32_t>(magnitude_ * 10 + (c - '0'), V);
  }
}

template <bool kObserved>
void PathWeigher<kObserved>::end_token() {
  if (token_ == Token::kNone) return;
  // A token without a number repeats the last id read, from this line or an earlier one.
  if (has_number_) {
    bool fits = magnitude_ < V && (!negative_ || magnitude_ == 0);
    last_id_ = fits ? magnitude_ : kOutside;
  }
  const int32_t w = Dist_(previous_, last_id_);
  weight_ += w;
  if constexpr (kObserved) tell_step(w);
  previous_ = last_id_;
  token_ = Token::kNone;
  has_number_ = negative_ = false;
  magnitude_ = 0;
}

// Tells the observer of the step just weighed (before previous_ moves on).
template <bool kObserved>
void PathWeigher<kObserved>::tell_step(int32_t weight) {
  WeighedStep s;
  s.line = line_;
  s.index = ++steps_;
  s.from = previous_;
  s.to = last_id_;
  s.repeated = !has_number_;
  s.tail_ignored = has_number_ && tail_;
  s.weight = weight;
  s.token = token_bytes_;
  observer_->step(s);
  token_bytes_.clear();
  tail_ = false;
}

template <bool kObserved>
bool PathWeigher<kObserved>::end_line() {
  any_line_ = true;
  const int32_t expected = APSP_.at(line_);
  if (weight_ != expected && !wrong_) {
    wrong_ = true;
    wrong_line_ = line_;
  }
  if constexpr (kObserved) {
    // Once the verdict stands, reading goes on only while the observer asks.
    steps_ = 0;
    if (!observer_->line_end(line_, weight_, expected) && wrong_) return false;
  } else {
    if (wrong_) return false;
  }
  ++line_;
  line_open_ = false;
  previous_ = APSP_.source();
  weight_ = 0;
  return true;
}

template <bool kObserved>
bool PathWeigher<kObserved>::take(int c) {
  line_open_ = true;
  if (c == ' ') {
    end_token();
    return true;
  }
  take_in_token(c);
  if constexpr (kObserved) {
    if (c != '\n' && token_bytes_.size() < kTokenKept) token_bytes_ += static_cast<char>(c);
    if (c != '\n' && token_ == Token::kRest) tail_ = true;
  }
  if (c != '\n') return true;
  // The line end belongs to the last token of its line.
  end_token();
  return end_line();
}

template <bool kObserved>
bool PathWeigher<kObserved>::finish() {
  if (!line_open_) return true;
  end_token();
  return end_line();
}

template <bool kObserved>
Verdict PathWeigher<kObserved>::verdict() const {
  Verdict v;
  v.source = APSP_.source();
  v.line = wrong_line_ != 0 ? wrong_line_ : line_;  // the first line weighed wrong
  // A file whose lines are all right but that stops before line n is wrong at
  // its first missing line, line_.
  bool stops_early = any_line_ && line_ <= Dist_.n();
  if (wrong_ || stops_early) {
    v.kind = Verdict::kWrongAnswer;
    v.missing = !wrong_;
  } else {
    v.kind = any_line_ ? Verdict::kSuccess : Verdict::kEmptyFile;
  }
  return v;
}

// Feeds the bytes of `in` to the weigher until a line is found wrong or the
// file ends. Returns false when a read fails.
template <bool kObserved>
bool weigh_file(ByteReader& in, PathWeigher<kObserved>& weigher, Verdict* out) {
  for (int c; (c = in.peek()) >= 0; in.skip()) {
    if (!weigher.take(c)) {
      *out = weigher.verdict();
      return true;
    }
  }
  if (in.error() != 0) return false;
  weigher.finish();
  *out = weigher.verdict();
  return true;
}

}  // namespace

bool judge(ByteReader& in, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out,
           JudgeObserver* observer) {
  if (observer == nullptr) {
    PathWeigher<false> weigher(Dist, APSP, nullptr);
    return weigh_file(in, weigher, out);
  }
  PathWeigher<true> weigher(Dist, APSP, observer);
  return weigh_file(in, weigher, out);
}

}  // namespace tarnwick

// ---- check/case.cc ----
// The judging case made in the judge's order: the graph, the source, the row.

#include <utility>

namespace tarnwick {

namespace {

// Reads a source id as the judge reads its argument (no digits at all reads
// as 0, as atoi has it) or, for --source, only a whole number, with the flag
// named in *err.
bool read_source(std::string_view text, bool flag, int32_t* source, std::string* err) {
  ByteReader in{text};
  Number num = read_number(in);
  const std::string id = "source vertex id '" + std::string(text) + "' ";
  const char* named = flag ? " (--source)" : "";
  if (flag && (num.read == Read::kNoNumber || in.peek() != -1)) {
    *err = id + "is not a whole number" + named;
  } else if (num.read == Read::kTooBig || !fits_tables(num.value)) {
    *err = id + "is outside 0.." + std::to_string(V - 1) + named;
  } else {
    *source = num.value;
    return true;
  }
  return false;
}

}  // namespace

bool parse_source(std::string_view text, int32_t* source, std::string* err) {
  return read_source(text, false, source, err);
}

bool parse_source_flag(std::string_view text, int32_t* source, std::string* err) {
  return read_source(text, true, source, err);
}

std::string not_whole_source(std::string_view text) {
  ByteReader in{text};
  const Number num = read_number(in);  // no leading whitespace, no tail, however many digits
  if (num.read != Read::kNoNumber && num.where == 0 && in.peek() == -1) return "";
  int32_t read_as = 0;
  std::string ignored;
  const bool reads = parse_source(text, &read_as, &ignored);
  return "source vertex id '" + std::string(text) + "' is not a whole number" +
         (reads ? " (the judge would read it as " + std::to_string(read_as) + ")" : "");
}

std::string not_a_vertex(const Graph& g, int32_t source) {
  if (row_is_solved(g, source)) return "";
  std::string vertices = g.n >= 1 ? "(1.." + std::to_string(g.n) + ")" : "(it has none)";
  return "source " + std::to_string(source) + " is not a vertex of the graph " + vertices;
}

std::string source_warning(const Graph& g, int32_t source) {
  // Likely a numbering from 0: every line is then compared with a direct weight.
  std::string what = not_a_vertex(g, source);
  return what.empty() ? what : what + ": lines are compared with its direct weights";
}

bool Case::make(GraphFile& file, std::string_view graph_name, const SourceGiven& source,
                const CaseOptions& options, std::string* why) {
  graph_name_ = graph_name;
  ByteReader& in = file.reader();
  LoadObserver* noter = options.note_edges ? file.noter() : nullptr;
  Tee both(noter, options.observer);
  LoadObserver* observer = noter == nullptr ? options.observer : &both;
  const bool loaded = detail::input_tuned(in, &g_, &report_, options.tuning, observer);
  if (!loaded) {
    fault_ = Fault::kGraph;
    *why = graph_name_ + ": " + report_.error;
    return false;
  }
  int32_t id = 0;
  if (source.how == SourceGiven::How::kNone) return true;
  if (!take_source(file, source, &id, why)) {
    fault_ = Fault::kSource;
    return false;
  }
  taken_ = id;
  if (!options.note_edges && !options.read_on) file.release();
  if (!options.solve_if || options.solve_if(g_, id)) {
    row_.emplace(solve(g_, id, options.progress, &parents_));
  }
  return true;
}

bool Case::make(const char* path, GraphFile& file, const SourceGiven& source,
                const CaseOptions& options, std::string* why) {
  std::string err;
  if (!file.open(path, &err)) {
    fault_ = Fault::kGraph;
    *why = std::string(path) + ": " + err;
    return false;
  }
  return make(file, path, source, options, why);
}

bool Case::take_source(GraphFile& file, const SourceGiven& source, int32_t* id,
                       std::string* why) {
  if (source.how == SourceGiven::How::kArgument) return parse_source(source.text, id, why);
  if (source.how == SourceGiven::How::kFlag) return parse_source_flag(source.text, id, why);
  // Carried: the loader left the reader just past the m-th edge, unless the
  // edge list ended early (then what follows is not a source).
  ByteReader& in = file.reader();
  if (report_.fault == LoadFault::kNone) carried_ = read_number(in);
  std::string reason_text;
  if (in.error() != 0) {
    reason_text = reason(in.error());
  } else if (carried_.read == Read::kNoNumber) {
    reason_text = "no source vertex after the m-th edge";
    if (report_.fault != LoadFault::kNone) reason_text += " (" + report_.warning + ")";
  } else if (carried_.read == Read::kTooBig || !fits_tables(carried_.value)) {
    reason_text = "source vertex id after the m-th edge is outside 0.." + std::to_string(V - 1);
  } else if (in.peek() >= 0 && !is_space(in.peek())) {
    // "1e3" or "2x": a test author's typo, not the source 1 or 2.
    reason_text = "the source vertex after the m-th edge is not a whole number";
  } else {
    *id = carried_.value;
    return true;
  }
  *why = graph_name_ + ": " + reason_text;
  return false;
}

std::string Case::vertexless() const {
  if (g_.n >= 1) return "";
  const bool uncounted = report_.fault == LoadFault::kNoVertexCount;
  return std::string(uncounted ? "no vertex count" : "a vertex count of 0 or less") +
         ": a test graph needs at least one vertex";
}

std::vector<std::string> Case::warnings() const {
  std::vector<std::string> lines;
  if (!report_.warning.empty()) lines.push_back(graph_name_ + ": warning: " + report_.warning);
  if (solved()) {
    if (std::string w = source_warning(g_, source()); !w.empty()) lines.push_back("warning: " + w);
  }
  return lines;
}

bool Case::judge(ResultFile& result, Verdict* out, std::string* why,
                 JudgeObserver* observer) const {
  ByteReader& in = result.reader();
  *why = result.over_cap();
  if (why->empty() && !tarnwick::judge(in, g_.Dist, *row_, out, observer)) *why = reason(in.error());
  // A verdict found early says nothing of the size of a pipe: it is read on to tell.
  if (why->empty()) *why = result.read_to_cap();
  if (why->empty() && in.error() != 0) *why = reason(in.error());
  return why->empty();
}

}  // namespace tarnwick

// ---- check/result_file.cc ----
// Opening a result file once, and telling whether it stays within its cap.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tarnwick {

namespace {

// An open descriptor, closed when this goes away.
struct HeldFolder {
  int fd = -1;
  HeldFolder() = default;
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
  ~HeldFolder() { reset(-1); }
  void reset(int next) {
    if (fd >= 0) ::close(fd);
    fd = next;
  }
};

// Returns true when `name` in the open folder dir (AT_FDCWD: a path) is a
// symbolic link. Asked only to word a refusal: nothing is opened after it.
bool is_link_at(int dir, const char* name) {
  struct stat st {};
  return ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Splits a relative name at its slashes, without empty and "." components.
std::vector<std::string> components(std::string_view name) {
  std::vector<std::string> parts;
  for (size_t at = 0; at <= name.size();) {
    const size_t end = std::min(name.find('/', at), name.size());
    if (std::string_view part = name.substr(at, end - at); !part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    at = end + 1;
  }
  return parts;
}

// Returns where an open of `name` in dir with O_NOFOLLOW that failed with
// errno e stopped: O_NOFOLLOW tells a link by ELOOP, or by ENOTDIR with O_DIRECTORY.
BelowFault fault_at(int dir, const char* name, int e, BelowFault otherwise) {
  const bool link = (e == ELOOP || e == ENOTDIR) && is_link_at(dir, name);
  return link ? BelowFault::kOutside : otherwise;
}

}  // namespace

int open_own_folder(const std::string& path, BelowFault* fault) {
  // "ada/" would resolve a link ada: the name is opened without its end slashes.
  std::string own = path;
  while (own.size() > 1 && own.back() == '/') own.pop_back();
  const int fd = ::open(own.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    *fault = fault_at(AT_FDCWD, own.c_str(), e, BelowFault::kFolder);
    errno = e;
  }
  return fd;
}

bool ResultFile::stop(BelowFault fault, int e, std::string* why) {
  below_fault_ = fault;
  error_ = e;
  *why = fault == BelowFault::kOutside ? "leads outside the folder" : reason(e);
  return false;
}

bool ResultFile::open_below(const std::string& folder, std::string_view inside,
                            const ResultLimits& limits, std::string* why) {
  const std::vector<std::string> parts = components(inside);
  const bool outward = inside.empty() || inside[0] == '/' || parts.empty() ||
                       std::find(parts.begin(), parts.end(), "..") != parts.end();
  if (outward) return stop(BelowFault::kOutside, 0, why);
  HeldFolder dir;
  BelowFault fault = BelowFault::kNone;
  dir.reset(open_own_folder(folder, &fault));
  if (dir.fd < 0) return stop(fault, errno, why);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const int next = ::openat(dir.fd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int e = errno;
      return stop(fault_at(dir.fd, parts[i].c_str(), e, BelowFault::kFile), e, why);
    }
    dir.reset(next);
  }
  const char* last = parts.back().c_str();
  if (!file_.open_at(dir.fd, last, O_NOFOLLOW | O_NOCTTY, why, limits.wait_for_writer)) {
    const int e = errno;
    return stop(fault_at(dir.fd, last, e, BelowFault::kFile), e, why);
  }
  adopt(file_.fd(), limits);
  return true;
}

bool ResultFile::open(const std::string& path, const ResultLimits& limits, std::string* why) {
  if (!file_.open(path.c_str(), why, limits.wait_for_writer)) {
    error_ = errno;
    return false;
  }
  adopt(file_.fd(), limits);
  return true;
}

void ResultFile::adopt(int fd, const ResultLimits& limits) {
  limits_ = limits;
  struct stat st {};
  regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
  reader_.emplace(fd);
  // One byte past the cap tells that the file is over it.
  if (limits.max_bytes != UINT64_MAX) reader_->stop_at(limits.max_bytes + 1);
}

void ResultFile::assign(std::string_view bytes) {
  regular_ = true;
  size_ = bytes.size();
  reader_.emplace(bytes);
}

std::string ResultFile::over_cap() const {
  const uint64_t seen = regular_ ? std::max(size_, reader_->offset()) : reader_->offset();
  if (seen <= limits_.max_bytes) return "";
  return "larger than " + std::to_string(limits_.max_bytes) + " bytes";
}

std::string ResultFile::read_to_cap() {
  ByteReader& in = *reader_;
  if (!regular_ && limits_.max_bytes != UINT64_MAX) {
    while (in.offset() <= limits_.max_bytes && in.peek() >= 0) in.skip(in.window().size());
  }
  return over_cap();
}

bool ResultFile::rewind() { return regular_ && reader_->seek(0); }

}  // namespace tarnwick

// ---- validate/validate.cc ----
// The findings about a test graph, heard from the load and read from what it built.

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <set>
#include <utility>

// ---- validate/strict.h ----
// The strict layout of a test input, byte by byte: what the judge reads
// leniently (any white space between numbers, signs, leading zeros) written
// one way only, so that an input validator can refuse every other way.
#ifndef TARNWICK_VALIDATE_STRICT_H_
#define TARNWICK_VALIDATE_STRICT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


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

namespace tarnwick {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

// The kinds of finding; only the first few of each are shown.
enum Kind {
  kRefused, kJudgeWarning, kTrailing, kNotAVertex, kSelfLoop, kRepeated, kOddWeight,
  kExactPass, kUnreached, kMissingStep, kCount, kWeightRange, kDisconnected, kSource,
  kLayout, kStrict, kKinds
};

// The names the summary gives to findings not shown, by kind.
constexpr std::array<const char*, kKinds> kKindNames = {
    "refusals", "judge warnings", "trailing text", "ids not a vertex", "self-loops",
    "repeated pairs", "odd weights", "exact pass", "unreached vertices",
    "paths over missing edges", "counts", "weights out of range", "connectivity", "source",
    "test layout", "strict layout"};

// The offset of a spot already placed as the bytes went by.
constexpr uint64_t kPlaced = UINT64_MAX;

// Returns a spot already placed at `at`.
Spot placed(const Place& at) {
  Spot s = Spot::of_offset(kPlaced);
  s.at = at;
  return s;
}

// Collects findings into a Validation, showing the first few of each kind;
// those whose spot is not placed yet are placed by place().
class Findings {
 public:
  explicit Findings(Validation* v) : v_(v) {}
  // Counts one finding of `kind`. Returns true when it is to be shown (then
  // call show()), false when it is only counted.
  bool take(Kind kind, bool error) {
    ++(error ? v_->errors : v_->warnings);
    return ++count_[kind] <= kShownPerKind;
  }
  // Counts `more` findings of `kind`, past the few shown.
  void count(Kind kind, bool error, int64_t more) {
    (error ? v_->errors : v_->warnings) += more;
    count_[kind] += more;
  }
  void show(bool error, const Spot& at, std::string text) {
    if (at.offset != kPlaced) unplaced_.push_back({v_->findings.size(), at});
    v_->findings.push_back({error, at.at, std::move(text)});
  }
  // Places the findings not placed yet in `whole`, by the marks of its load,
  // and counts those not shown. Returns false with *err set when a read fails.
  bool place(const ByteReader& whole, std::span<const RangeMark> marks, std::string* err) {
    for (int kind = 0; kind < kKinds; ++kind) {
      if (count_[kind] > kShownPerKind) v_->hidden[kKindNames[kind]] = count_[kind] - kShownPerKind;
    }
    std::vector<Spot*> spots;
    for (auto& [i, spot] : unplaced_) spots.push_back(&spot);
    if (spots.empty()) return true;
    if (!place_spots(whole, marks, spots, err)) return false;
    for (auto& [i, spot] : unplaced_) v_->findings[i].at = spot.at;
    return true;
  }
  // Returns true while findings of `kind` are still shown.
  bool showing(Kind kind) const { return count_[kind] < kShownPerKind; }
  // Returns how many findings are shown so far.
  size_t shown() const { return v_->findings.size(); }
  // Adds `more` to the text of shown finding i.
  void amend(size_t i, const std::string& more) { v_->findings[i].text += more; }
  void add(Kind kind, bool error, const Spot& at, std::string text) {
    if (take(kind, error)) show(error, at, std::move(text));
  }

 private:
  Validation* v_;
  std::array<int64_t, kKinds> count_{};
  std::vector<std::pair<size_t, Spot>> unplaced_;  // finding, its spot
};

// Which pairs of ids 0..n have been given an edge: one bit per pair, so that
// even a complete graph takes only n^2 / 16 bytes. Pairs with an id above n
// (rare, and warned about) are kept in a set.
class PairSeen {
 public:
  explicit PairSeen(int32_t n)
      : n_(n), words_(((static_cast<uint64_t>(n) + 1) * (n + 2) / 2 + 63) / 64) {}
  // Marks the pair {a, b}. Returns true when it was marked before.
  bool mark(int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    if (b > n_) return !far_.insert({a, b}).second;
    const uint64_t i = bit(a, b), was = words_[i / 64] >> (i % 64) & 1;
    words_[i / 64] |= uint64_t{1} << (i % 64);
    return was != 0;
  }
  // Asks for the word of the pair {a, b} ahead of its mark.
  void prefetch(int32_t a, int32_t b) const {
    if (a > b) std::swap(a, b);
    if (a >= 0 && b <= n_) __builtin_prefetch(&words_[bit(a, b) / 64]);
  }

 private:
  static uint64_t bit(int32_t a, int32_t b) { return static_cast<uint64_t>(b) * (b + 1) / 2 + a; }

  int32_t n_;
  std::vector<uint64_t> words_;
  std::set<std::pair<int32_t, int32_t>> far_;
};

// The parts of a union-find over vertices 1..n.
class Components {
 public:
  explicit Components(int32_t n) : up_(n + 1), count_(n) { std::iota(up_.begin(), up_.end(), 0); }
  void join(int32_t a, int32_t b) {
    a = find(a), b = find(b);
    if (a != b) up_[a] = b, --count_;
  }
  int32_t find(int32_t v) {
    while (up_[v] != v) v = up_[v] = up_[up_[v]];
    return v;
  }
  int32_t count() const { return count_; }

 private:
  std::vector<int32_t> up_;
  int32_t count_;
};

// A repeated edge whose finding is shown; its words wait for the earlier edge.
struct Repeat {
  int64_t e = 0;
  size_t finding = 0;
  int32_t u = 0, v = 0, w = 0;
  bool error = false;
};

// One edge as read.
struct EdgeRead {
  int64_t e = 0;
  int32_t u = 0, v = 0, w = 0;
};

// The read that stopped the header or the edge list (no number there).
struct Stop {
  int64_t index = -1;  // as LoadObserver::number counts; -1 when none did
  Spot at = placed({});
  bool at_end = false;  // the file ended there
};

// Hears the loader and tells, edge by edge, what a test author rarely means,
// keeping a few bits per pair and a few bytes per vertex. An input that can be
// read again is heard edge by edge while it is read in ranges, and its
// findings placed once the load is done; any other is heard number by
// number, each placed as it is heard (LineTracker's contract).
class EdgeWatcher : public LoadObserver {
 public:
  EdgeWatcher(const GraphConstraints& want, GraphFile& file, Findings& found)
      : want_(want), file_(file), by_number_(!file.rereadable()), found_(found) {
    if (by_number_) lines_ = &file.lines();
  }

  void number(int64_t index, const Number& num) override;
  void edge(int64_t e, int32_t u, int32_t v, int32_t w) override;
  void edges(int64_t first, std::span<const int32_t> numbers,
             std::span<const uint8_t> again) override;
  // Whether pairs came again is asked of the loader while repeats are still
  // shown; the rest it counts (LoadReport::pairs_again).
  bool asks_again() const override { return repeats.size() < static_cast<size_t>(kShownPerKind); }
  // Returns the repeats the loader told edge by edge (each taken as a finding).
  int64_t told_again() const { return told_again_; }
  bool reads_numbers() const override { return by_number_; }
  // Read number by number: the u of the edge heard last, whole or not.
  int32_t u() const { return heard_u_; }
  // Returns where number `index` stands: a spot to place later, or, read
  // number by number, the place of that number of the edge heard last.
  Spot number_spot(int64_t index) const {
    return by_number_ ? heard_[(index - 2) % 3] : Spot::of_number(index);
  }
  // Returns where field 0, 1 or 2 (u, v, w) of edge r stands.
  Spot at(const EdgeRead& r, int64_t field) const { return number_spot(2 + 3 * (r.e - 1) + field); }
  // Returns where the text that starts at `offset` stands (read just now when
  // read number by number).
  Spot offset_spot(uint64_t offset) const {
    return by_number_ ? placed(lines_->place(offset)) : Spot::of_offset(offset);
  }

  // What the loader read of the header, and where things stand.
  int64_t n_read = 0, m_read = 0;
  bool has_n = false, has_m = false;
  Spot n_at = placed({}), m_at = placed({});
  Stop stop;
  std::optional<Spot> odd_weight_at;  // the first weight outside 0..2^30-1
  int64_t edges_heard = 0;
  std::vector<char> reached;        // by an edge between two distinct vertices of 1..n
  int64_t unreached_ = 0;           // vertices of 1..n not reached yet
  int64_t told_again_ = 0;          // repeats the loader told
  std::vector<Repeat> repeats;      // the repeated edges whose finding is shown
  std::vector<std::pair<size_t, EdgeRead>> odd_shown;  // shown odd weights: finding, edge
  std::optional<Components> parts;

 private:
  void header(int64_t index, const Number& num, const Spot& at);
  // Checks edge r; `again` tells whether its pair was given before, when the
  // loader knows (else the pair is marked here).
  void check_edge(const EdgeRead& r, uint8_t again);
  void check_ids(const EdgeRead& r);
  void check_pair(const EdgeRead& r, uint8_t again);
  // Notes that the edge r between two distinct vertices reaches both.
  void join(const EdgeRead& r) {
    reach(r.u), reach(r.v);
    if (parts) parts->join(r.u, r.v);
  }
  void reach(int32_t v) {
    unreached_ -= reached[v] == 0;
    reached[v] = 1;
  }
  // Returns true when the pair of edge r came before and is to be taken here:
  // as the loader told it, or as marked here when it cannot tell.
  bool again_of(const EdgeRead& r, uint8_t again) {
    if (again == kAgainUnknown) return seen_->mark(r.u, r.v);
    told_again_ += again == kAgainYes;
    return again == kAgainYes;
  }
  // Takes a repeat of edge r: shown while the first few, else counted.
  void take_repeat(const EdgeRead& r) {
    if (repeats.size() < static_cast<size_t>(kShownPerKind)) return repeated(r);
    found_.take(kRepeated, want_.simple);
  }
  void repeated(const EdgeRead& r);
  void check_weight(const EdgeRead& r);
  bool vertex(int32_t id) const { return id >= 1 && id <= n_; }
  // Returns true when a finding may stand at this number (field -1 for the
  // header): a first id while pairs are still shown (they are told there),
  // any number when odd.
  bool may_stand(int64_t field, const Number& num) const {
    if (field < 0 || num.read != Read::kNumber) return true;
    const int32_t x = num.value;
    if (field == 0) return !vertex(x) || found_.showing(kSelfLoop) || found_.showing(kRepeated);
    if (field == 1) return !vertex(x);
    return (want_.min_weight && x < *want_.min_weight) ||
           (want_.max_weight && x > *want_.max_weight) || x < 0 || x >= (1 << 30);
  }

  const GraphConstraints& want_;
  const bool plain_weights_ = !want_.min_weight && !want_.max_weight;  // no bound on weights
  GraphFile& file_;
  const bool by_number_;
  LineTracker* lines_ = nullptr;  // when read number by number
  Findings& found_;
  int32_t n_ = 0;
  std::optional<PairSeen> seen_;
  // Read number by number: where the numbers of the edge heard last stand, and its u.
  Spot heard_[3] = {placed({}), placed({}), placed({})};
  int32_t heard_u_ = 0;
};

void EdgeWatcher::number(int64_t index, const Number& num) {
  const int64_t field = index < 2 ? -1 : (index - 2) % 3;
  Spot at = by_number_ ? placed({}) : offset_spot(num.where);
  // Asked now, as the number is heard, and only where a finding may stand:
  // a place costs a call into the tracker.
  if (by_number_ && may_stand(field, num)) at = offset_spot(num.where);
  if (num.read != Read::kNumber) stop = {index, at, num.at_end};
  if (field < 0) return header(index, num, at);
  heard_[field] = at;
  if (field == 0) heard_u_ = num.value;
}

void EdgeWatcher::edge(int64_t e, int32_t u, int32_t v, int32_t w) {
  ++edges_heard;
  check_edge({e, u, v, w}, kAgainUnknown);
}

void EdgeWatcher::edges(int64_t first, std::span<const int32_t> numbers,
                        std::span<const uint8_t> again) {
  // The run of most edges, told as such: two vertices, a weight in range, the
  // loader telling (or counting) whether the pair came before; each takes a
  // few steps, and fewer once every vertex is reached.
  const bool plain_run = plain_weights_ && !parts && again.size() * 3 >= numbers.size();
  const uint32_t n = static_cast<uint32_t>(n_);
  for (size_t i = 0, k = 0; i + 3 <= numbers.size(); i += 3, ++k) {
    const int32_t u = numbers[i], v = numbers[i + 1], w = numbers[i + 2];
    const uint8_t told = k < again.size() ? again[k] : kAgainUnknown;
    const bool plain = plain_run && u != v && static_cast<uint32_t>(u - 1) < n &&
                       static_cast<uint32_t>(v - 1) < n && static_cast<uint32_t>(w) < (1u << 30);
    if (!plain) {
      check_edge({first + static_cast<int64_t>(k), u, v, w}, told);
      continue;
    }
    if (unreached_ > 0) reach(u), reach(v);
    // Pairs stored in lists are not told: they are looked up here.
    if (again_of({first + static_cast<int64_t>(k), u, v, w}, told)) {
      take_repeat({first + static_cast<int64_t>(k), u, v, w});
    }
  }
  edges_heard += static_cast<int64_t>(numbers.size() / 3);
}

// Returns a count as read: its value, 0 when there is none, and one step
// beyond the 32-bit range when it does not fit.
int64_t count_value(const Number& num) {
  if (num.read == Read::kNumber) return num.value;
  if (num.read == Read::kNoNumber) return 0;
  return num.negative ? int64_t{std::numeric_limits<int32_t>::min()} - 1
                      : int64_t{std::numeric_limits<int32_t>::max()} + 1;
}

// Returns a count as a finding writes it: its value, or the bound it passes.
std::string count_text(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min()) return "(less than -2147483648)";
  if (value > std::numeric_limits<int32_t>::max()) return "(more than 2147483647)";
  return num(value);
}

void EdgeWatcher::header(int64_t index, const Number& num, const Spot& at) {
  const bool read = num.read != Read::kNoNumber;
  if (index == 0) {
    has_n = read, n_at = at;
    n_read = count_value(num);
    n_ = static_cast<int32_t>(std::clamp<int64_t>(n_read, 0, V - 1));
    seen_.emplace(n_);
    reached.assign(n_ + 1, 0);
    unreached_ = n_;
    if (want_.connected) parts.emplace(n_);
  } else {
    has_m = read, m_at = at;
    m_read = count_value(num);
  }
}

void EdgeWatcher::check_edge(const EdgeRead& r, uint8_t again) {
  const bool joins = vertex(r.u) && vertex(r.v) && r.u != r.v;
  if (joins && plain_weights_ && static_cast<uint32_t>(r.w) < (1u << 30)) [[likely]] {
    // Most edges: two vertices, a weight in range, nothing to tell but a repeat.
    if (again_of(r, again)) take_repeat(r);
  } else {
    check_ids(r);
    check_pair(r, again);
    check_weight(r);
  }
  if (joins) join(r);
}

void EdgeWatcher::check_ids(const EdgeRead& r) {
  for (int64_t field = 0; field < 2; ++field) {
    const int32_t id = field == 0 ? r.u : r.v;
    if (vertex(id)) continue;
    found_.add(kNotAVertex, false, at(r, field),
               "edge " + num(r.e) + " names " + num(id) + ", not a vertex of 1.." + num(n_) +
                   ": the judge stores it, but no shortest path uses it, and a result line "
                   "naming " + num(id) + " weighs this edge");
    if (r.u == r.v) break;
  }
}

void EdgeWatcher::check_pair(const EdgeRead& r, uint8_t again) {
  const bool error = want_.simple;
  // A self-loop at an id that is not a vertex is warned about as that id;
  // --simple forbids it all the same.
  if (r.u == r.v && (vertex(r.u) || error)) {
    found_.add(kSelfLoop, error, at(r, 0),
               "self-loop at " + std::string(vertex(r.u) ? "vertex " : "id ") + num(r.u) +
                   " (weight " + num(r.w) +
                   "): it replaces the vertex's diagonal 0, which a path written from source " +
                   num(r.u) + " weighs on its first step" + (error ? " (--simple)" : ""));
  }
  if (again_of(r, again)) take_repeat(r);
}

void EdgeWatcher::repeated(const EdgeRead& r) {
  const bool error = want_.simple;
  if (!found_.take(kRepeated, error)) return;
  // Worded once the earlier edge is found (see place_repeats).
  repeats.push_back({r.e, found_.shown(), r.u, r.v, r.w, error});
  found_.show(error, at(r, 0), "");
  // The edges the shown repeats repeat are all behind: a pipe need note no more.
  if (static_cast<int64_t>(repeats.size()) == kShownPerKind) file_.stop_noting();
}

void EdgeWatcher::check_weight(const EdgeRead& r) {
  if (want_.min_weight && r.w < *want_.min_weight) {
    found_.add(kWeightRange, true, at(r, 2),
               "weight " + num(r.w) + " is below the least allowed, " + num(*want_.min_weight));
  }
  if (want_.max_weight && r.w > *want_.max_weight) {
    found_.add(kWeightRange, true, at(r, 2),
               "weight " + num(r.w) + " is above the most allowed, " + num(*want_.max_weight));
  }
  if (!vertex(r.u) || !vertex(r.v) || (r.w >= 0 && r.w < (1 << 30))) return;
  if (!odd_weight_at) odd_weight_at = at(r, 2);
  if (!found_.take(kOddWeight, false)) return;
  odd_shown.push_back({found_.shown(), r});
  found_.show(false, at(r, 2),
              r.w < 0 ? "negative weight " + num(r.w) + ": the edge both ways is a negative cycle"
                      : "weight " + num(r.w) + " is 2^30 or more: sums of such weights can wrap");
}

// Returns true when the file is read as a test input: the judge's warnings
// are errors there.
bool as_test_input(const ValidateOptions& o) {
  return o.test_input || o.source.how == SourceGiven::How::kCarried;
}

// Returns the words for a test input that ends early: what it must hold.
std::string layout(const ValidateOptions& o) {
  return o.source.how == SourceGiven::How::kCarried
             ? "a test input holds n, m, the m edges, then the source"
             : "a test input holds n, m, then the m edges";
}

// Returns true when the edge list stopped at edge m, after its first number,
// at the end of the file: the source of a test input whose m is one too large.
bool one_edge_too_many(const EdgeWatcher& w) {
  const int64_t field = (w.stop.index - 2) % 3, e = (w.stop.index - 2) / 3 + 1;
  return w.stop.index >= 2 && field == 1 && w.stop.at_end && e == w.m_read;
}

// Tells the judge's warning about the file: an error in a test input.
void judge_warning(const EdgeWatcher& w, GraphFile& file, const LoadReport& report,
                   const ValidateOptions& o, Findings& f) {
  const std::string& warning = report.warning;
  if (!as_test_input(o)) {
    f.add(kJudgeWarning, false, w.stop.at, warning + " (the judge warns about this)");
  } else if (o.source.how == SourceGiven::How::kCarried && one_edge_too_many(w)) {
    // The edge's one number is read again (or was placed as it was heard).
    Spot u = w.number_spot(w.stop.index - 1);
    std::string ignored;
    if (!w.reads_numbers()) place_spots(file.reader(), report.ranges, {{&u}}, &ignored);
    f.add(kJudgeWarning, true, u,
          "the edge count is likely one too large: edge " + num(w.m_read) + " of " +
              num(w.m_read) + " is a single number, " + num(w.reads_numbers() ? w.u() : u.read.value) +
              ", then the file ends, so the source was read as the start of an edge (" +
              layout(o) + ")");
  } else {
    f.add(kJudgeWarning, true, w.stop.at,
          warning + " (the judge warns about this; " + layout(o) + ")");
  }
}

// Tells what the loader refused or warned about, where it happened.
void loader_findings(const EdgeWatcher& w, GraphFile& file, const Case& judging,
                     const ValidateOptions& o, Findings& f) {
  const LoadReport& report = judging.report();
  if (judging.fault() == Case::Fault::kGraph) {
    const Spot at = w.n_read >= V ? w.n_at : w.number_spot(report.fault_number);
    f.add(kRefused, true, at, report.error + " (the judge refuses this file)");
  }
  if (!report.warning.empty()) judge_warning(w, file, report, o, f);
}

// What follows a point of the file: numbers, then perhaps text.
struct Trailing {
  bool any = false;
  Spot at;  // of the first thing that follows
  int64_t numbers = 0;
  bool text = false;  // text that is not a number follows the numbers
};

// Reads `in` to its end (or to text that is not a number).
Trailing read_trailing(ByteReader& in, const EdgeWatcher& w) {
  Trailing t;
  Number x = read_number(in);
  if (x.read == Read::kNoNumber && x.at_end) return t;
  t.any = true;
  t.at = w.offset_spot(x.where);
  for (; x.read != Read::kNoNumber; x = read_number(in)) ++t.numbers;
  t.text = !x.at_end;
  return t;
}

// Returns "1 more number follows" or "3 more numbers follow".
std::string more_numbers(int64_t numbers) {
  return num(numbers) + (numbers == 1 ? " more number follows" : " more numbers follow");
}

// Returns "the 1 announced edge" or "the 3 announced edges" (m < 0 is none).
std::string the_edges(int64_t m, const char* announced) {
  m = std::max<int64_t>(m, 0);
  return "the " + num(m) + announced + (m == 1 ? " edge" : " edges");
}

// Tells what follows the m-th edge of a file without a carried source.
void after_edges(const Trailing& t, int64_t m, Findings& f) {
  if (!t.any) return;
  const std::string edges = " " + the_edges(m, " announced");
  std::string text;
  if (t.numbers > 0) {
    const int64_t whole = t.numbers / 3;
    text = more_numbers(t.numbers) + edges + " (" + num(whole) +
           (whole == 1 ? " whole edge" : " whole edges");
    if (t.numbers % 3 != 0) text += " and " + num(t.numbers % 3) + " more";
    text += ")";
    if (t.text) text += ", then text that is not a number";
  } else {
    text = "text that is not a number follows" + edges;
  }
  f.add(kTrailing, false, t.at, text + ": the judge never reads it; is the edge count right?");
}

// Tells what follows a carried source: nothing may.
void after_source(const Trailing& t, Findings& f) {
  if (!t.any) return;
  std::string text = t.numbers > 0 ? more_numbers(t.numbers) + " the source vertex"
                                   : "text that is not a number follows the source vertex";
  if (t.numbers > 0 && t.text) text += ", then text that is not a number";
  f.add(kLayout, true, t.at, text + ": a test input ends with the source");
}

// Tells a source that is not a vertex of g: an error unless allowed.
void non_vertex_source(const Graph& g, int32_t s, const char* how, const ValidateOptions& o,
                       const Spot& at, Findings& f) {
  const std::string text = "source " + num(s) + " is not a vertex of " +
                           (g.n >= 1 ? "1.." + num(g.n) : std::string("the graph, which has none"));
  if (o.allow_non_vertex_source) {
    f.add(kSource, false, at, text + ": the judge compares every line with its direct weights");
  } else {
    f.add(kSource, true, at, text + " (" + how + "; --allow-non-vertex-source permits it)");
  }
}

// Tells what is wrong with the source carried after the m-th edge, reads on
// and tells what follows it. Requires every edge read.
void carried_findings(ByteReader& in, const EdgeWatcher& w, const Case& judging,
                      const ValidateOptions& o, Findings& f, Validation* v) {
  const Number& s = judging.carried();
  const Spot at = w.offset_spot(s.where);  // before reading on
  if (s.read == Read::kNoNumber) {
    f.add(kLayout, true, at,
          s.at_end ? "no source vertex after " + the_edges(judging.graph().m, "") +
                         ": a test input ends with the source"
                   : "text that is not a number stands where the source vertex should be, "
                     "after " + the_edges(judging.graph().m, ""));
    return;
  }
  if (s.read == Read::kTooBig || !fits_tables(s.value)) {
    f.add(kLayout, true, at,
          "source " + count_text(count_value(s)) + " is outside 0.." + num(V - 1) +
              ": the judge cannot judge from it");
  } else if (judging.fault() == Case::Fault::kSource) {  // "1e3": the case's own reading
    f.add(kLayout, true, at,
          "the source vertex after the m-th edge is not a whole number: every tool refuses "
          "such a test");
    return;
  } else {
    v->carried = s.value;
    if (!row_is_solved(judging.graph(), s.value)) {
      non_vertex_source(judging.graph(), s.value, "the number after the m-th edge", o, at, f);
    }
  }
  after_source(read_trailing(in, w), f);
}

// Tells a negative vertex or edge count, which the judge takes quietly as none.
void negative_counts(const EdgeWatcher& w, Findings& f) {
  if (w.has_n && w.n_read < 0) {
    f.add(kJudgeWarning, false, w.n_at,
          "a negative vertex count, " + count_text(w.n_read) + ": the judge reads it as no vertex");
  }
  if (w.has_n && w.n_read < V && w.has_m && w.m_read < 0) {
    f.add(kJudgeWarning, false, w.m_at,
          "a negative edge count, " + count_text(w.m_read) + ": the judge reads no edge");
  }
}

// Tells the counts that break the constraints, and a test input without a vertex.
void count_findings(const EdgeWatcher& w, const ValidateOptions& o, Findings& f) {
  auto check = [&f](int64_t value, const std::optional<int64_t>& low,
                    const std::optional<int64_t>& high, const Spot& at, const char* what) {
    const std::string text = std::string(what) + " " + count_text(value) + " is ";
    if (low && value < *low) f.add(kCount, true, at, text + "below the least allowed, " + num(*low));
    if (high && value > *high) {
      f.add(kCount, true, at, text + "above the most allowed, " + num(*high));
    }
  };
  const GraphConstraints& want = o.want;
  check(w.has_n ? w.n_read : 0, want.min_vertices, want.max_vertices, w.n_at, "the vertex count");
  check(w.has_m ? w.m_read : 0, want.min_edges, want.max_edges, w.m_at, "the edge count");
  if (o.test_input && w.has_n && w.n_read < 1) {
    f.add(kCount, true, w.n_at,
          "the vertex count is " + count_text(w.n_read) +
              ": a test input needs at least one vertex");
  }
}

// Tells that the judge will need the exact pass for this graph, and its cost.
void exact_pass_finding(const Graph& g, const EdgeWatcher& w, Findings& f) {
  if (weights_are_small(g) || !w.odd_weight_at) return;
  const int64_t n = g.n;
  std::string text = "weights outside 0..2^30-1: the judge runs the exact all-pairs pass, n^3 = " +
                     num(n * n * n) + " steps for n = " + num(n) +
                     " (weights in range need one search, about (n + m) log n steps)";
  if (!weights_within(g, 0, std::numeric_limits<int32_t>::max())) {
    text += "; negative edges make every distance depend on its loop order";
  }
  f.add(kExactPass, false, *w.odd_weight_at, text);
}

// Tells the vertices that no edge reaches, and whether the graph is connected.
void reach_findings(const Graph& g, EdgeWatcher& w, const GraphConstraints& want, Findings& f) {
  for (int32_t v = 1; v <= g.n && g.n > 1; ++v) {
    if (w.reached[v]) continue;
    f.add(kUnreached, false, w.n_at,
          "no edge reaches vertex " + num(v) + ": its distances are sums of INF steps");
  }
  if (!want.connected || !w.parts || w.parts->count() <= 1) return;
  int32_t apart = 2;
  while (apart <= g.n && w.parts->find(apart) == w.parts->find(1)) ++apart;
  f.add(kDisconnected, true, w.n_at,
        "the graph is not connected (--connected): " + num(w.parts->count()) +
            " components; vertex " + num(apart) + " cannot be reached from vertex 1");
}

// Returns, for each vertex, whether the path to it that `parent` traces uses
// a step without an edge (weight INF).
std::vector<char> over_missing(const Graph& g, int32_t s, const std::vector<int32_t>& parent) {
  std::vector<char> state(g.n + 1, 0);  // 0 unknown, 1 no, 2 yes
  state[s] = 1;
  std::vector<int32_t> chain;
  for (int32_t v = 1; v <= g.n; ++v) {
    for (int32_t u = v; state[u] == 0; u = parent[u]) chain.push_back(u);
    while (!chain.empty()) {
      const int32_t u = chain.back();
      chain.pop_back();
      const bool missing = g.Dist(parent[u], u) == INF;
      state[u] = missing || state[parent[u]] == 2 ? 2 : 1;
    }
  }
  return state;
}

// Returns true when the case is to solve the row of `source`: only for
// --source, and only by the search (its parents trace the paths).
bool traced(const ValidateOptions& o, const Graph& g, int32_t source) {
  return o.source.how == SourceGiven::How::kFlag && row_is_solved(g, source) &&
         weights_are_small(g);
}

// Tells, for --source, the vertices whose shortest path takes a missing edge.
void source_findings(const Case& judging, const EdgeWatcher& w, const ValidateOptions& o, Findings& f) {
  const Graph& g = judging.graph();
  const int32_t s = judging.source();
  if (!row_is_solved(g, s)) return non_vertex_source(g, s, "--source", o, w.n_at, f);
  if (!judging.solved()) {
    f.add(kSource, false, w.n_at,
          "--source " + num(s) + ": the exact pass decides these distances, so no path is traced");
    return;
  }
  const std::vector<int32_t>& parent = judging.parents();
  std::vector<char> state = over_missing(g, s, parent);
  for (int32_t v = 1; v <= g.n; ++v) {
    // The source's own line weighs its diagonal, or a step out and back.
    const bool missing = v == s ? parent[s] != s && g.Dist(s, parent[s]) == INF : state[v] == 2;
    if (!missing) continue;
    f.add(kMissingStep, false, w.n_at,
          "from source " + num(s) + ", a shortest path to vertex " + num(v) +
              " takes a step without an edge (weight INF)");
  }
}

// Tells everything about the graph as a whole, once the loader has built it.
void graph_findings(const Case& judging, EdgeWatcher& w, const ValidateOptions& o, Findings& f) {
  const Graph& g = judging.graph();
  // An odd weight that a later edge replaced is not the one the judge weighs.
  for (const auto& [i, r] : w.odd_shown) {
    if (g.Dist(r.u, r.v) != r.w) {
      f.amend(i, ", but a later edge " + num(r.u) + "-" + num(r.v) + " replaces it");
    }
  }
  exact_pass_finding(g, w, f);
  reach_findings(g, w, o.want, f);
  if (o.source.how == SourceGiven::How::kFlag && judging.source() >= 0) source_findings(judging, w, o, f);
}

// Returns the words of a repeated edge, given the edge it repeats.
std::string repeat_text(const Repeat& r, const EdgeQuery& before) {
  const std::string pair = "edge " + num(r.u) + "-" + num(r.v) + " given again, with ";
  const std::string where = " (before: line " + num(before.line) + ")";
  const std::string text =
      before.weight == r.w
          ? pair + "the same weight " + num(r.w) + where + ": the same edge twice"
          : pair + "weight " + num(r.w) + where + ": the later weight stands, not the smaller";
  return text + (r.error ? " (--simple)" : "");
}

// Words the shown repeated edges, naming the line of the edge each repeats,
// from the edges the report tells were loaded. Returns false with *err set.
bool place_repeats(GraphFile& file, const LoadReport& report, const std::vector<Repeat>& repeats,
                   Validation* v, std::string* err) {
  std::vector<EdgeQuery> queries;
  for (const Repeat& r : repeats) queries.push_back({r.u, r.v, r.e});
  if (!find_edge_lines(file, report, &queries, err)) return false;
  for (size_t i = 0; i < repeats.size(); ++i) {
    v->findings[repeats[i].finding].text = repeat_text(repeats[i], queries[i]);
  }
  return true;
}

// Tells what follows the edges: the carried source and nothing after it, or
// text the judge never reads.
void after_load(GraphFile& file, const EdgeWatcher& w, const Case& judging, const ValidateOptions& o,
                Findings& f, Validation* v) {
  if (judging.fault() == Case::Fault::kGraph || !judging.report().warning.empty()) return;
  if (o.source.how == SourceGiven::How::kCarried) {
    carried_findings(file.reader(), w, judging, o, f, v);
  } else {
    after_edges(read_trailing(file.reader(), w), judging.graph().m, f);
  }
}

}  // namespace

// A validation under way: the findings, and the watcher that hears the load.
class Validator::Watch {
 public:
  Watch(const ValidateOptions& options, GraphFile& file)
      : options_(options), file_(file), found_(&v_), watcher_(options_.want, file, found_) {
    if (!options.strict_layout) return;
    layout_.emplace(options.source.how == SourceGiven::How::kCarried);
    // An input read once is checked as the load reads it; a file, after it.
    if (!file.rereadable()) file.add_tap(&*layout_);
  }

  CaseOptions load_options() {
    CaseOptions o;
    o.observer = &watcher_;
    o.note_edges = true;  // a repeat's earlier edge: from what a pipe noted as it loaded
    o.read_on = true;     // what follows the edges, or the carried source
    o.tuning = options_.tuning;
    o.solve_if = [this](const Graph& g, int32_t s) { return traced(options_, g, s); };
    return o;
  }

  bool finish(const Case& judging, Validation* out, std::string* err) {
    after_load(file_, watcher_, judging, options_, found_, &v_);
    if (layout_ && !strict_findings(err)) return false;
    if (file_.reader().error() != 0) {
      *err = reason(file_.reader().error());
      return false;
    }
    loader_findings(watcher_, file_, judging, options_, found_);
    negative_counts(watcher_, found_);
    count_findings(watcher_, options_, found_);
    if (judging.fault() != Case::Fault::kGraph) graph_findings(judging, watcher_, options_, found_);
    // The repeats the loader counted and did not tell edge by edge.
    if (judging.report().pairs_again >= 0) {
      found_.count(kRepeated, options_.want.simple,
                   judging.report().pairs_again - watcher_.told_again());
    }
    if (!place_repeats(file_, judging.report(), watcher_.repeats, &v_, err)) return false;
    if (!found_.place(file_.reader(), judging.report().ranges, err)) return false;
    v_.n = judging.graph().n;
    v_.m = watcher_.has_m ? watcher_.m_read : 0;
    // An edge that names an id outside the tables was read, though not stored.
    const bool refused = judging.report().fault == LoadFault::kIdOutsideTables;
    v_.edges_read = watcher_.edges_heard + (refused ? 1 : 0);
    *out = std::move(v_);
    return true;
  }

 private:
  // Tells where the input leaves the strict layout: the whole file read again,
  // or the rest of an input read once. Returns false with *err set.
  bool strict_findings(std::string* err) {
    ByteReader& in = file_.reader();
    if (file_.rereadable()) {
      if (!check_whole(in, &*layout_, err)) return false;
    } else {
      while (in.peek() != -1) in.skip(in.window().size());
      layout_->finish();
    }
    for (const StrictLayout::Found& f : layout_->found()) found_.add(kStrict, true, placed(f.at), f.text);
    found_.count(kStrict, true, layout_->count() - static_cast<int64_t>(layout_->found().size()));
    return true;
  }

  ValidateOptions options_;
  GraphFile& file_;
  Validation v_;
  Findings found_;
  EdgeWatcher watcher_;
  std::optional<StrictLayout> layout_;
};

Validator::Validator(const ValidateOptions& options, GraphFile& file)
    : watch_(std::make_unique<Watch>(options, file)) {}

Validator::~Validator() = default;

CaseOptions Validator::load_options() { return watch_->load_options(); }

bool Validator::finish(const Case& judging, Validation* out, std::string* err) {
  return watch_->finish(judging, out, err);
}

bool validate(GraphFile& file, const ValidateOptions& options, Validation* out,
              std::string* err) {
  Validator validator(options, file);
  Case judging;
  judging.make(file, "", options.source, validator.load_options(), err);
  if (judging.fault() == Case::Fault::kSource && options.source.how == SourceGiven::How::kFlag) {
    return false;  // the flag is not an id (parse_source_flag)
  }
  return validator.finish(judging, out, err);
}

namespace {

// Returns "1 error" or "2 errors".
std::string counted(int64_t count, const char* one, const char* many) {
  return num(count) + " " + (count == 1 ? one : many);
}

// Returns the summary line.
std::string summary(const std::string& name, const Validation& v) {
  std::string t = name + ": " + counted(v.errors, "error", "errors") + ", " +
                  counted(v.warnings, "warning", "warnings") + "; " +
                  counted(v.n, "vertex", "vertices") + ", " +
                  counted(v.edges_read, "edge", "edges") + " read";
  if (v.carried >= 0) t += ", source " + num(v.carried);
  const std::string hidden =
      joined(v.hidden, ", ", [](const auto& kind) { return kind.first + " " + num(kind.second); });
  if (!hidden.empty()) t += " (more not shown: " + hidden + ")";
  return t + "\n";
}

}  // namespace

std::string validation_text(const std::string& name, const Validation& v) {
  const std::string shown = printable(name);
  std::vector<const Finding*> order;
  for (const Finding& f : v.findings) order.push_back(&f);
  std::stable_sort(order.begin(), order.end(), [](const Finding* a, const Finding* b) {
    return std::pair{a->at.line, a->at.column} < std::pair{b->at.line, b->at.column};
  });
  std::string t;
  for (const Finding* f : order) {
    t += shown + ":" + place_text(f->at) + ": " + (f->error ? "error: " : "warning: ") + f->text +
         "\n";
  }
  return t + summary(shown, v);
}

}  // namespace tarnwick

// ---- validate/strict.cc ----
// The strict layout of a test input, checked byte by byte as the bytes go by.


namespace tarnwick {

namespace {

// The bytes of a token kept for its message; a longer token is cut.
constexpr size_t kHeadKept = 24;
// An edge count above this is not used to find where the edges end.
constexpr int64_t kLargestM = 1'000'000'000'000;

// White space as the judge passes over it between numbers.
bool is_white(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Returns "1 number" or "3 numbers".
std::string numbers(int64_t count) {
  return std::to_string(count) + (count == 1 ? " number" : " numbers");
}

// Returns the words for a white space byte other than a space or a line end.
const char* space_name(unsigned char c) {
  return c == '\t' ? "a tab" : c == '\v' ? "a vertical tab" : "a form feed";
}

}  // namespace

template <typename Text>
void add_found(std::vector<StrictLayout::Found>* found, int64_t* count, Place at, Text text) {
  ++*count;
  if (found->size() < StrictLayout::kKept) found->push_back({at, text()});
}

namespace {

// Returns the length of the line at p when it is an edge line as the strict
// layout writes it, "u v w\n" (a '-' allowed, which the validator judges),
// ending before `end`; else 0.
[[gnu::always_inline]] inline size_t edge_line(const char* p, const char* end) {
  const char* q = p;
  for (int field = 0; field < 3; ++field) {
    const bool minus = q < end && *q == '-';
    q += minus;
    const char* first = q;
    while (q < end && static_cast<unsigned char>(*q - '0') < 10) ++q;
    if (q == first || q == end || *q != (field == 2 ? '\n' : ' ')) return 0;
    if (*first == '0' && (q - first > 1 || minus)) return 0;  // a leading zero, or "-0"
    ++q;
  }
  return static_cast<size_t>(q - p);
}

}  // namespace

void StrictLayout::take(uint64_t offset, std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    // The common line, an edge as written, in one go.
    if (offset + i == line_start_ && edge_next()) {
      if (const size_t length = edge_line(bytes.data() + i, bytes.data() + bytes.size())) {
        const size_t past = i + length;
        tokens_ += 3, line_first_token_ = tokens_, ++line_;
        line_start_ = offset + past, i = past;
        continue;
      }
    }
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (!is_white(c)) {
      i = token_bytes(offset, bytes, i);
      continue;
    }
    const int64_t column = static_cast<int64_t>(offset + i - line_start_) + 1;
    if (c == '\n') {
      close_line(column);
      line_start_ = offset + i + 1;
    } else {
      space(c, column);
    }
    ++i;
  }
  // A token that goes on past these bytes keeps its first ones before they go.
  if (in_token_ && head_.size() < kHeadKept) head_.append(view_.substr(0, kHeadKept - head_.size()));
  view_ = {};
  if (!bytes.empty()) end_ = offset + bytes.size();
}

size_t StrictLayout::token_bytes(uint64_t offset, std::string_view bytes, size_t i) {
  size_t j = i;
  if (!in_token_) {
    in_token_ = true;
    token_column_ = static_cast<int64_t>(offset + i - line_start_) + 1;
    head_.clear();
    integer_ = true;
    digits_ = zeros_ = 0;
    sign_ = bytes[i] == '+' || bytes[i] == '-' ? bytes[i] : 0;
    if (sign_ != 0) ++j;
  }
  for (; j < bytes.size(); ++j) {
    const unsigned char c = static_cast<unsigned char>(bytes[j]);
    if (c >= '0' && c <= '9') {
      zeros_ += c == '0' && zeros_ == digits_;
      ++digits_;
    } else if (is_white(c)) {
      break;
    } else {
      integer_ = false;  // a sign may only come first
    }
  }
  view_ = bytes.substr(i, j - i);
  before_ = static_cast<unsigned char>(bytes[j - 1]);
  return j;
}

void StrictLayout::space(unsigned char c, int64_t column) {
  end_token();
  const Place at{line_, column};
  if (c == '\r') {
    add_found(&found_, &count_, at, [] {
      return std::string("a carriage return (--strict: a line ends with \\n alone)");
    });
  } else if (c != ' ') {
    add_found(&found_, &count_, at, [c] {
      return std::string(space_name(c)) + " between numbers (--strict: one space separates them)";
    });
  } else if (column == 1) {
    add_found(&found_, &count_, at, [] {
      return std::string("a space at the start of the line (--strict: a line starts with a number)");
    });
  } else if (before_ == ' ' && column == space_column_ + 1 && space_column_ > 1) {
    add_found(&found_, &count_, {line_, space_column_}, [] {
      return std::string("more than one space between numbers (--strict: one space separates them)");
    });
  }
  if (before_ != ' ') space_column_ = column;
  before_ = c;
}

void StrictLayout::close_line(int64_t column) {
  end_token();
  if (column == 1) {
    add_found(&found_, &count_, {line_, 1}, [] {
      return std::string("a blank line (--strict: no line is empty)");
    });
  }
  if (before_ == ' ' && space_column_ > 1) {
    add_found(&found_, &count_, {line_, space_column_}, [] {
      return std::string("a space at the end of the line (--strict: a line ends with a number)");
    });
  }
  check_line();
  ++line_;
  before_ = '\n';
  line_first_token_ = tokens_;
}

void StrictLayout::end_token() {
  if (!in_token_) return;
  in_token_ = false;
  const int64_t index = tokens_++;
  if (!integer_ || digits_ == 0) return;  // not a number: the validator tells it
  const bool zero = zeros_ == digits_;
  const bool plus = sign_ == '+', minus_zero = sign_ == '-' && zero;
  const bool leading_zero = zeros_ > 0 && digits_ > 1;
  if (index == 1 && sign_ == 0 && digits_ <= static_cast<int64_t>(kHeadKept)) {
    // A count cut for its message is not used: the lines are then not checked against it.
    m_ = digits_ - zeros_ > 12 ? kLargestM : std::min<int64_t>(std::stoll(token_text()), kLargestM);
  }
  if (!plus && !minus_zero && !leading_zero) return;
  add_found(&found_, &count_, {line_, token_column_}, [&] {
    const bool cut = (sign_ != 0) + digits_ > static_cast<int64_t>(kHeadKept);
    const std::string text = token_text();
    std::string shown(1, '\'');  // appended to, not "'" + ...: g++ 12 warns wrongly of that
    shown.append(printable(text)).append(cut ? "...'" : "'");
    std::string words = shown + " has " +
                        (plus ? "a '+' sign" : minus_zero ? "a sign on zero" : "a leading zero");
    if (plus && leading_zero) words += " and a leading zero";
    if (cut) return words + " (--strict: numbers have neither)";
    // All its digits are in the text: written without sign and leading zeros.
    std::string canon = sign_ == '-' && !zero ? "-" : "";
    canon += zero ? std::string("0") : text.substr((sign_ != 0) + zeros_);
    return words + " (--strict: written " + canon + ")";
  });
}

std::string StrictLayout::token_text() const {
  return head_ + std::string(view_.substr(0, kHeadKept - std::min(kHeadKept, head_.size())));
}

bool StrictLayout::edge_next() const {
  return !in_token_ && tokens_ >= 2 && tokens_ < 2 + 3 * m_ && (tokens_ - 2) % 3 == 0;
}

void StrictLayout::check_line() {
  const int64_t count = tokens_ - line_first_token_, first = line_first_token_;
  if (count == 0) return;
  int64_t start = 0, size = 2;
  const char* what = "the counts \"n m\" stand";
  if (first >= 2) {
    if (m_ < 0) return;
    if (first < 2 + 3 * m_) {
      start = first - (first - 2) % 3, size = 3, what = "each edge \"u v w\" stands";
    } else if (carried_ && first == 2 + 3 * m_) {
      start = first, size = 1, what = "the source stands";
    } else {
      return;  // past what a test input holds: the validator tells it
    }
  }
  if (first == start && count == size) return;
  add_found(&found_, &count_, {line_, 1}, [&] {
    return "the line holds " + numbers(count) + " (--strict: " + what + " alone on its line)";
  });
}

void StrictLayout::finish() {
  if (end_ == line_start_) return;
  const int64_t column = static_cast<int64_t>(end_ - line_start_) + 1;
  add_found(&found_, &count_, {line_, column}, [] {
    return std::string("the last line has no line end (--strict: every line ends with \\n)");
  });
  close_line(column);
}

bool check_whole(const ByteReader& whole, StrictLayout* layout, std::string* err) {
  std::vector<char> buffer(1 << 20);
  ByteReader in(whole, 0, whole.split_end(), buffer);
  in.tap(layout);
  while (in.peek() != -1) in.skip(in.window().size());
  in.tap(nullptr);
  if (in.error() != 0) {
    *err = reason(in.error());
    return false;
  }
  layout->finish();
  return true;
}

}  // namespace tarnwick

// ---- validate/command_line.cc ----
// tarnwick-validate's command line (see command_line.h).

#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// The numeric constraints, by option.
const std::pair<const char*, std::optional<int64_t> GraphConstraints::*> kBounds[] = {
    {"--min-vertices", &GraphConstraints::min_vertices},
    {"--max-vertices", &GraphConstraints::max_vertices},
    {"--min-edges", &GraphConstraints::min_edges},
    {"--max-edges", &GraphConstraints::max_edges},
    {"--min-weight", &GraphConstraints::min_weight},
    {"--max-weight", &GraphConstraints::max_weight}};

// Returns why the bounds cannot all hold, a --min-X above its --max-X (no
// graph would be valid: a slip in the flags, not a finding), or "".
std::string crossed_bounds(const GraphConstraints& want) {
  for (size_t i = 0; i + 1 < std::size(kBounds); i += 2) {
    const std::optional<int64_t>& low = want.*kBounds[i].second;
    const std::optional<int64_t>& high = want.*kBounds[i + 1].second;
    if (low && high && *low > *high) {
      return std::string(kBounds[i].first) + " " + std::to_string(*low) + " is above " +
             kBounds[i + 1].first + " " + std::to_string(*high);
    }
  }
  return "";
}

// Settles where the source comes from. Returns false with *why set.
bool take_source(const Args& args, ValidateCommand* out, std::string* why) {
  const std::string* flag = args.value("--source");
  int32_t id = 0;  // the case's own reading of a --source value, told before the graph is read
  if (flag != nullptr && args.has("--carried-source")) {
    *why = "--source and --carried-source: the source comes from one of them";
  } else if (flag != nullptr && parse_source_flag(*flag, &id, why)) {
    out->options.source = SourceGiven::flag(*flag);
  } else if (flag == nullptr && (args.has("--carried-source") || out->kattis)) {
    // A problem package's test input carries its source, unless a flag gives it.
    out->options.source = SourceGiven::carried();
  }
  return why->empty();
}

// Takes the one graph file ("-" or none with --kattis: standard input).
bool take_path(const std::vector<std::string>& operands, ValidateCommand* out, std::string* why) {
  if (operands.size() > 1) *why = "one graph file at a time";
  if (operands.empty() && !out->kattis) return false;
  out->path = operands.empty() || operands[0] == "-" ? "" : operands[0];
  return why->empty();
}

}  // namespace

std::vector<OptionSpec> validate_options() {
  std::vector<OptionSpec> options;
  for (const auto& bound : kBounds) options.push_back({bound.first, "an integer"});
  for (const char* flag : {"--connected", "--simple", "--carried-source",
                           "--allow-non-vertex-source", "--kattis", "--strict"}) {
    options.push_back({flag, nullptr});
  }
  options.push_back({"--source", "a vertex id"});
  return options;
}

bool read_validate_command(const Args& args, bool kattis_always, ValidateCommand* out,
                           std::string* why) {
  GraphConstraints& want = out->options.want;
  for (const auto& [name, bound] : kBounds) {
    int64_t v = 0;
    const std::string* text = args.value(name);
    if (text != nullptr && !whole_number(*text, &v)) {
      *why = std::string(name) + " needs an integer, not '" + *text + "'";
    }
    if (text != nullptr) want.*bound = v;
  }
  if (why->empty()) *why = crossed_bounds(want);
  want.connected = args.has("--connected"), want.simple = args.has("--simple");
  out->options.allow_non_vertex_source = args.has("--allow-non-vertex-source");
  out->kattis = out->options.test_input = args.has("--kattis") || kattis_always;
  out->options.strict_layout = args.has("--strict");
  return why->empty() && take_source(args, out, why) && take_path(args.operands, out, why);
}

}  // namespace tarnwick
