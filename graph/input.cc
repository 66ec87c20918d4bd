#include "graph/input.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tarnwick {

namespace {

// Reads numbers for the loader, telling the observer (when there is one) of each.
class NumberSource {
 public:
  NumberSource(ByteReader& in, LoadObserver* observer) : in_(in), observer_(observer) {}
  // Reads number `index` of the file (see LoadObserver::number).
  Number next(int64_t index) {
    Number num = read_number(in_);
    if (observer_ != nullptr) observer_->number(index, num);
    return num;
  }
  size_t size_hint() const { return in_.size_hint(); }

 private:
  ByteReader& in_;
  LoadObserver* observer_;
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
    report->warning = "no vertex count: judging an empty graph";
    return true;
  }
  if ((n.read == Read::kTooBig && !n.negative) || n.value >= V) {
    report->error = "the vertex count is too large: at most " + std::to_string(V - 1) +
                    " vertices fit";
    return false;
  }
  g->n = n.value < 0 ? 0 : n.value;  // a negative count, too large or not, means no vertex
  Number m = in.next(1);
  if (m.read == Read::kNoNumber) {
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

// Reads the g.m edges into `edges` (m_too_big: more were announced than fit
// in 32 bits). Returns false with report->error set when an edge names a vertex
// that cannot fit the tables.
bool read_edges(NumberSource& in, const Graph& g, bool m_too_big, DirectWeights::Builder& edges,
                LoadReport* report) {
  // Room for the announced edges, but never for more than the file can hold:
  // an edge takes at least six bytes ("1 2 3\n").
  edges.reserve(std::min(static_cast<size_t>(std::max(g.m, 0)), in.size_hint() / 6));
  for (int64_t e = 1; e <= g.m; ++e) {
    const int64_t first = 2 + 3 * (e - 1);
    Number u = in.next(first);
    Number v = u.read == Read::kNumber ? in.next(first + 1) : u;
    Number w = v.read == Read::kNumber ? in.next(first + 2) : v;
    if (w.read != Read::kNumber) {
      // An edge cut short is dropped whole; the ones before it stand.
      std::string announced = (m_too_big ? "more than " : "") + std::to_string(g.m);
      report->warning = "the edge list ends after " + std::to_string(e - 1) + " of " + announced +
                        " edges: edge " + std::to_string(e) + " meets " + why_cut_short(w);
      return true;
    }
    for (int32_t id : {u.value, v.value}) {
      if (!fits_tables(id)) {
        report->error = "edge " + std::to_string(e) + " names vertex " + std::to_string(id) +
                        ", outside 0.." + std::to_string(V - 1);
        return false;
      }
    }
    edges.add(u.value, v.value, w.value);
  }
  return true;
}

}  // namespace

bool input(ByteReader& in, Graph* g, LoadReport* report, LoadObserver* observer) {
  DirectWeights::Builder edges;
  bool m_too_big = false;
  NumberSource numbers(in, observer);
  bool ok = read_header(numbers, g, &m_too_big, report) &&
            read_edges(numbers, *g, m_too_big, edges, report);
  if (in.error() != 0) {
    report->error = reason(in.error());
    report->warning.clear();
    return false;
  }
  if (!ok) return false;
  g->Dist = edges.build(g->n);
  return true;
}

bool input(const char* path, Graph* g, LoadReport* report) {
  InputFile file;
  if (!file.open(path, &report->error)) return false;
  ByteReader in(file.fd());
  return input(in, g, report);
}

}  // namespace tarnwick
