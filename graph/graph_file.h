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

#include "graph/input.h"
#include "graph/places.h"
#include "graph/reader.h"

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
