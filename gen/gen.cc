// The random graph generator: the pairs drawn (a spanning tree first with
// `connected`, distinct pairs with --simple) and the edges written. The file
// depends on the options alone: the generator is mt19937_64, whose output
// every standard library fixes, and the mapping to a range is done here
// rather than by a library distribution.
#include "gen/gen.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graph/tables.h"

namespace tarnwick {
namespace {

// Returns the number of unordered pairs of two distinct vertices among n.
int64_t pair_count(int64_t n) { return n * (n - 1) / 2; }

// Reads a whole argument as a decimal integer (digits, after a '-' when T is
// signed) into *out. Returns false when it is not one or lies outside lo..hi.
template <typename T>
bool parse_integer(const char* text, T lo, T hi, T* out) {
  const char* end = text + std::strlen(text);
  T value;
  auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end || value < lo || value > hi) return false;
  *out = value;
  return true;
}

// Fills the numbers of *o from the five or six operands. Returns false with
// *err saying which one is wrong.
bool parse_numbers(const std::vector<std::string>& operands, GenOptions* o, std::string* err) {
  std::vector<const char*> p;
  for (const std::string& operand : operands) p.push_back(operand.c_str());
  constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
  constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
  if (!parse_integer<int32_t>(p[0], 1, V - 1, &o->n)) {
    *err = "vertices must be an integer from 1 to " + std::to_string(V - 1);
  } else if (!parse_integer(p[1], 0, kIntMax, &o->m)) {
    *err = "edges must be an integer from 0 to " + std::to_string(kIntMax);
  } else if (!parse_integer(p[2], kIntMin, kIntMax, &o->wmin) ||
             !parse_integer(p[3], kIntMin, kIntMax, &o->wmax)) {
    *err = "weights must be 32-bit integers";
  } else if (o->wmin > o->wmax) {
    *err = "min_weight is above max_weight";
  } else if (!parse_integer<uint64_t>(p[4], 0, std::numeric_limits<uint64_t>::max(), &o->seed)) {
    *err = "seed must be an integer from 0 to 2^64-1";
  } else if (p.size() == 6 && std::strcmp(p[5], "connected") != 0) {
    *err = "the last argument can only be 'connected'";
  } else {
    o->connected = p.size() == 6;
    return true;
  }
  return false;
}

// Checks that the numbers and the options of *o go together and reads the
// source (the text of --source, or nullptr). Returns false with *err saying
// why not, in `words`.
bool settle(const std::string* source, const GenWords& words, GenOptions* o, std::string* err) {
  const std::string vertices = std::to_string(o->n) + (o->n == 1 ? " vertex" : " vertices");
  if (o->connected && o->m < o->n - 1) {
    *err = "a connected graph on " + vertices + " needs at least " + std::to_string(o->n - 1) +
           " edges";
  } else if (o->simple && o->m > pair_count(o->n)) {
    *err = std::string(words.simple) + " allows at most " + std::to_string(pair_count(o->n)) +
           " edges on " + vertices;
  } else if (source != nullptr && !parse_integer(source->c_str(), 1, o->n, &o->source)) {
    *err = std::string(words.source) + " must be a vertex of the graph, 1 to " +
           std::to_string(o->n) + ", not '" + *source + "'";
  } else {
    return true;
  }
  return false;
}

// Returns a number uniform in 0..bound-1, exactly (multiply and shift, with
// the few biased draws rejected). Requires bound >= 1.
uint64_t uniform_below(std::mt19937_64& rng, uint64_t bound) {
  unsigned __int128 product = static_cast<unsigned __int128>(rng()) * bound;
  if (static_cast<uint64_t>(product) < bound) {
    uint64_t threshold = (0 - bound) % bound;  // 2^64 mod bound
    while (static_cast<uint64_t>(product) < threshold) {
      product = static_cast<unsigned __int128>(rng()) * bound;
    }
  }
  return static_cast<uint64_t>(product >> 64);
}

// A set of unordered pairs {a, b} of two distinct vertices of 1..n: one bit
// a pair, n(n-1)/16 bytes (6 MB for n = 10009).
class PairSet {
 public:
  explicit PairSet(int32_t n) : bits_((static_cast<uint64_t>(pair_count(n)) + 63) / 64) {}

  // Adds {a, b}, a != b. Returns false when it was there already.
  bool add(int32_t a, int32_t b) {
    uint64_t i = index(a, b);
    uint64_t bit = uint64_t{1} << (i % 64);
    if ((bits_[i / 64] & bit) != 0) return false;
    bits_[i / 64] |= bit;
    return true;
  }

  // Returns the pairs {a, b}, a < b, not in the set, in the order of b then
  // a, each as b << 16 | a.
  std::vector<uint32_t> missing(int32_t n, int64_t expected) const {
    std::vector<uint32_t> out;
    out.reserve(static_cast<size_t>(expected));
    uint64_t i = 0;
    for (uint32_t b = 2; b <= static_cast<uint32_t>(n); ++b) {
      for (uint32_t a = 1; a < b; ++a, ++i) {
        if ((bits_[i / 64] >> (i % 64) & 1) == 0) out.push_back(b << 16 | a);
      }
    }
    return out;
  }

 private:
  // The pairs in order of the larger vertex, then the smaller one.
  static uint64_t index(int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    return static_cast<uint64_t>(b - 1) * static_cast<uint64_t>(b - 2) / 2 +
           static_cast<uint64_t>(a - 1);
  }

  std::vector<uint64_t> bits_;
};
static_assert(V <= (1 << 16), "a pair of vertex ids packs into 32 bits");

class EdgeWriter {
 public:
  EdgeWriter(const GenOptions& o, OutBuffer& out)
      : o_(o), out_(out), rng_(o.seed), pairs_(o.n) {}

  GenCounts counts;

  // Writes the header, every edge and the source line, if any.
  void write_all() {
    line({o_.n, o_.m});
    int64_t written = o_.connected ? spanning_tree() : 0;
    if (o_.simple) {
      distinct_edges(o_.m - written, pair_count(o_.n) - written);
    } else {
      // The items of a braced list are drawn in order: u, v, then w.
      for (; written < o_.m; ++written) any_edge();
    }
    if (o_.source != 0) line({o_.source});
  }

 private:
  // Writes n - 1 edges joining the vertices, in a random order, each to a
  // random earlier one. Returns the number of edges written.
  int64_t spanning_tree() {
    std::vector<int32_t> order(o_.n);
    for (int32_t i = 0; i < o_.n; ++i) order[i] = i + 1;
    shuffle(order);
    for (int32_t i = 1; i < o_.n; ++i) {
      int32_t earlier = order[uniform_below(rng_, static_cast<uint64_t>(i))];
      pairs_.add(order[i], earlier);
      line({order[i], earlier, weight()});
    }
    return o_.n - 1;
  }

  // Writes `wanted` edges on distinct pairs not used yet, of the `free` ones
  // left. Up to half of them are drawn one by one, each drawn again while it
  // is taken; beyond that the pairs left out are drawn, and the others are
  // listed (4 bytes a pair) and shuffled.
  void distinct_edges(int64_t wanted, int64_t free) {
    if (wanted <= free / 2) {
      for (int64_t i = 0; i < wanted; ++i) {
        auto [u, v] = new_pair();
        line({u, v, weight()});
      }
      return;
    }
    for (int64_t left_out = free - wanted; left_out > 0; --left_out) new_pair();
    std::vector<uint32_t> kept = pairs_.missing(o_.n, wanted);
    shuffle(kept);
    for (uint32_t pair : kept) {
      int32_t u = static_cast<int32_t>(pair >> 16), v = static_cast<int32_t>(pair & 0xffff);
      if (uniform_below(rng_, 2) == 1) std::swap(u, v);
      line({u, v, weight()});
    }
  }

  // Writes an edge on any two vertices, counting a self-loop or a pair given again.
  void any_edge() {
    // The items of a braced list are drawn in order: u, v, then w.
    const int32_t u = vertex(), v = vertex();
    if (u == v) {
      ++counts.self_loops;
    } else if (!pairs_.add(u, v)) {
      ++counts.pairs_again;
    }
    line({u, v, weight()});
  }

  // Draws two distinct vertices whose pair is not taken yet, and takes it.
  std::pair<int32_t, int32_t> new_pair() {
    for (;;) {
      int32_t u = vertex();
      int32_t v = vertex();
      if (u != v && pairs_.add(u, v)) return {u, v};
    }
  }

  // Puts the items in a uniformly random order (Fisher-Yates).
  template <typename T>
  void shuffle(std::vector<T>& items) {
    for (size_t i = items.size(); i > 1; --i) {
      std::swap(items[i - 1], items[uniform_below(rng_, i)]);
    }
  }

  int32_t vertex() { return 1 + static_cast<int32_t>(uniform_below(rng_, o_.n)); }

  int32_t weight() {
    uint64_t span = static_cast<uint64_t>(int64_t{o_.wmax} - o_.wmin) + 1;
    return static_cast<int32_t>(o_.wmin + static_cast<int64_t>(uniform_below(rng_, span)));
  }

  // Writes the numbers on a line of their own, a space apart.
  void line(std::initializer_list<int64_t> numbers) {
    for (const int64_t* x = numbers.begin(); x != numbers.end(); ++x) {
      if (x != numbers.begin()) out_.put(' ');
      out_.number(*x);
    }
    out_.put('\n');
  }

  const GenOptions& o_;
  OutBuffer& out_;
  std::mt19937_64 rng_;
  PairSet pairs_;  // the pairs written or left out, with --simple
};

}  // namespace

bool read_gen_options(const std::vector<std::string>& operands, const std::string* source,
                      GenOptions* o, std::string* why, const GenWords& words) {
  if (operands.size() != 5 && operands.size() != 6) return false;
  return parse_numbers(operands, o, why) && settle(source, words, o, why);
}

GenCounts write_graph(const GenOptions& o, OutBuffer& out) {
  EdgeWriter writer(o, out);
  writer.write_all();
  return writer.counts;
}

std::string gen_warning(const GenCounts& counts) {
  if (counts.pairs_again == 0 && counts.self_loops == 0) return "";
  auto some = [](int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
  };
  std::string text = "warning: the graph holds ";
  if (counts.pairs_again > 0) {
    text += some(counts.pairs_again, "edge", "edges") + " on a pair an earlier edge gave (the later weight stands)";
  }
  if (counts.pairs_again > 0 && counts.self_loops > 0) text += " and ";
  if (counts.self_loops > 0) text += some(counts.self_loops, "self-loop", "self-loops");
  return text + "; --simple draws none";
}

}  // namespace tarnwick
