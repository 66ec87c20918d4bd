#include "graph/graph_file.h"

#include <algorithm>
#include <memory>
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
    reader_->tap(&*lines_);
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

bool GraphFile::edges(int64_t count, const std::function<void(const Edge&)>& f,
                      std::string* err) {
  if (!rereadable()) {
    const size_t last = static_cast<size_t>(std::clamp<int64_t>(count, 0, noted_.size()));
    int64_t line = 0;
    for (size_t i = 0; i < last; ++i) {
      const Noted& n = noted_[i];
      line += n.gap != kFarGap ? n.gap : far_gaps_.at(i);
      f({static_cast<int64_t>(i) + 1, n.u, n.v, n.w, line});
    }
    return true;
  }
  // The same descriptor read again with pread: the file is not opened twice.
  std::vector<char> buffer(size_t{1} << 16);
  ByteReader in(*reader_, 0, reader_->split_end(), buffer);
  LineTracker lines;
  in.tap(&lines);
  if (count > 0) read_number(in), read_number(in);  // the header
  for (int64_t e = 1; e <= count; ++e) {
    Edge edge;
    edge.e = e;
    Number u = read_number(in);
    edge.u = u.value;
    edge.line = lines.place(u.where).line;  // before the next read moves on
    edge.v = read_number(in).value;
    edge.w = read_number(in).value;
    f(edge);
  }
  if (in.error() == 0) return true;
  *err = reason(in.error());
  return false;
}

namespace {

// Returns the pair {a, b} with the smaller id first.
std::pair<int32_t, int32_t> unordered(int32_t a, int32_t b) {
  return a < b ? std::pair{a, b} : std::pair{b, a};
}

}  // namespace

bool find_edge_lines(GraphFile& file, int64_t count, std::vector<EdgeQuery>* queries,
                     std::string* err) {
  // The queries by pair, so that each edge finds its own by a binary search.
  std::vector<std::pair<std::pair<int32_t, int32_t>, size_t>> index;
  int64_t last = 0;
  for (size_t i = 0; i < queries->size(); ++i) {
    const EdgeQuery& q = (*queries)[i];
    index.push_back({unordered(q.a, q.b), i});
    last = std::max(last, std::min(q.before - 1, count));
  }
  std::sort(index.begin(), index.end());
  if (index.empty()) return true;
  return file.edges(last, [&](const GraphFile::Edge& edge) {
    auto it = std::lower_bound(index.begin(), index.end(), std::pair{unordered(edge.u, edge.v), size_t{0}});
    for (; it != index.end() && it->first == unordered(edge.u, edge.v); ++it) {
      EdgeQuery& q = (*queries)[it->second];
      if (edge.e < q.before) q.line = edge.line, q.weight = edge.w;
    }
  }, err);
}

}  // namespace tarnwick
