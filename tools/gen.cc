// tarnwick-gen: writes a random graph file to standard output.
//
//   tarnwick-gen [--simple] [--source S] vertices edges min_weight max_weight seed [connected]
//
// The header "n m" is followed by m lines "u v w": u and v uniform in 1..n
// (a self-loop or a repeated pair can come up), w uniform in
// min_weight..max_weight. With `connected`, the first n - 1 edges form a
// random spanning tree. With --simple, the edges are m distinct pairs of two
// vertices, drawn uniformly and written in a random order (the tree's first).
// With --source S, the line "S" follows the edges, as in a test input. The
// file depends on the arguments alone: the generator is mt19937_64, whose
// output every standard library fixes, and the mapping to a range is done
// here rather than by a library distribution.
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

#include "graph/reader.h"
#include "graph/tables.h"
#include "cli/tool.h"
#include "cli/out_buffer.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kTool = {
    "tarnwick-gen",
    "Usage: tarnwick-gen [--simple] [--source S] vertices edges min_weight max_weight seed "
    "[connected]\n",
    "Write a random graph file for the tarnwick judge to standard output: the line\n"
    "\"n m\", then m lines \"u v w\", u and v drawn from 1..n, w from its range.\n"
    "The same arguments write the same file on every machine.\n"
    "\n"
    "  vertices                n, from 1 to 10009\n"
    "  edges                   m, from 0 to 2147483647 (at least n-1 with connected,\n"
    "                          at most n(n-1)/2 with --simple)\n"
    "  min_weight max_weight   the range of the weights, 32-bit signed integers\n"
    "  seed                    any integer from 0 to 18446744073709551615\n"
    "  connected               make the first n-1 edges a random spanning tree\n"
    "  --simple                no self-loop, no pair of vertices given twice\n"
    "  --source S              write the vertex S (1..n) on a line after the edges:\n"
    "                          a test input, as tarnwick-checker and tarnwick-grade\n"
    "                          --testset read it\n"
    "  --help                  show this help and exit\n"
    "  --version               show the version and exit\n"};

struct Options {
  int32_t n = 0, m = 0, wmin = 0, wmax = 0;
  uint64_t seed = 0;
  bool connected = false, simple = false;
  int32_t source = 0;                   // 0: no source line
  const char* source_text = nullptr;    // the text after --source, when given
  std::vector<const char*> positional;  // the arguments that are not options, in order
};

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

// Splits argv into the options of *o and its positional arguments: an
// argument starting with "--" is an option, up to a lone "--"; a single '-'
// starts a negative number. Returns false with *err set.
bool split_arguments(int argc, char** argv, Options* o, std::string* err) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!options || !arg.starts_with("--")) {
      o->positional.push_back(argv[i]);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--simple") {
      o->simple = true;
    } else if (arg.starts_with("--source=")) {
      o->source_text = argv[i] + std::strlen("--source=");
    } else if (arg == "--source" && i + 1 < argc) {
      o->source_text = argv[++i];
    } else {
      *err = arg == "--source" ? "--source needs a vertex"
                               : "unknown option '" + std::string(arg) + "'";
      return false;
    }
  }
  return true;
}

// Fills the numbers of *o from the five or six positional arguments p.
// Returns false with *err saying which one is wrong.
bool parse_numbers(const std::vector<const char*>& p, Options* o, std::string* err) {
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
// source. Returns false with *err saying why not.
bool settle(Options* o, std::string* err) {
  const std::string vertices = std::to_string(o->n) + (o->n == 1 ? " vertex" : " vertices");
  if (o->connected && o->m < o->n - 1) {
    *err = "a connected graph on " + vertices + " needs at least " + std::to_string(o->n - 1) +
           " edges";
  } else if (o->simple && o->m > pair_count(o->n)) {
    *err = "--simple allows at most " + std::to_string(pair_count(o->n)) + " edges on " + vertices;
  } else if (o->source_text != nullptr && !parse_integer(o->source_text, 1, o->n, &o->source)) {
    *err = "--source must be a vertex of the graph, 1 to " + std::to_string(o->n) + ", not '" +
           o->source_text + "'";
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
  EdgeWriter(const Options& o, OutBuffer& out)
      : o_(o), out_(out), rng_(o.seed), pairs_(o.simple ? o.n : 0) {}

  // Writes the header, every edge and the source line, if any.
  void write_all() {
    line({o_.n, o_.m});
    int64_t written = o_.connected ? spanning_tree() : 0;
    if (o_.simple) {
      distinct_edges(o_.m - written, pair_count(o_.n) - written);
    } else {
      // The items of a braced list are drawn in order: u, v, then w.
      for (; written < o_.m; ++written) line({vertex(), vertex(), weight()});
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
      if (o_.simple) pairs_.add(order[i], earlier);
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

  const Options& o_;
  OutBuffer& out_;
  std::mt19937_64 rng_;
  PairSet pairs_;  // the pairs written or left out, with --simple
};

int generate(int argc, char** argv) {
  int answered = answer_help_or_version(kTool, argc, argv);
  if (answered >= 0) return answered;
  Options o;
  std::string err;
  if (!split_arguments(argc, argv, &o, &err)) return wrong_use(kTool, err);
  if (o.positional.size() != 5 && o.positional.size() != 6) return wrong_use(kTool);
  if (!parse_numbers(o.positional, &o, &err) || !settle(&o, &err)) return wrong_use(kTool, err);
  OutBuffer out(stdout);
  EdgeWriter(o, out).write_all();
  int error_number = 0;
  if (!out.finish(&error_number)) return cannot(kTool, "standard output: " + reason(error_number));
  return kExitOk;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::generate, argc, argv);
}
