// tarnwick-gen: writes a random graph file to standard output.
//
//   tarnwick-gen vertices edges min_weight max_weight seed [connected]
//
// The header "n m" is followed by m lines "u v w": u and v uniform in 1..n
// (a self-loop or a repeated pair can come up), w uniform in
// min_weight..max_weight. With `connected`, the first n - 1 edges form a
// random spanning tree. The file depends on the arguments alone: the
// generator is mt19937_64, whose output every standard library fixes, and the
// mapping to a range is done here rather than by a library distribution.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
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
    "Usage: tarnwick-gen vertices edges min_weight max_weight seed [connected]\n",
    "Write a random graph file for the tarnwick judge to standard output: the line\n"
    "\"n m\", then m lines \"u v w\", u and v drawn from 1..n, w from its range.\n"
    "The same arguments write the same file on every machine.\n"
    "\n"
    "  vertices                n, from 1 to 10009\n"
    "  edges                   m, from 0 to 2147483647 (at least n-1 with connected)\n"
    "  min_weight max_weight   the range of the weights, 32-bit signed integers\n"
    "  seed                    any integer from 0 to 18446744073709551615\n"
    "  connected               make the first n-1 edges a random spanning tree\n"
    "  --help                  show this help and exit\n"
    "  --version               show the version and exit\n"};

struct Options {
  int32_t n = 0;
  int32_t m = 0;
  int32_t wmin = 0;
  int32_t wmax = 0;
  uint64_t seed = 0;
  bool connected = false;
};

// Reads a whole argument as a decimal integer (an optional '-', then digits)
// into *out. Returns false when it is not one or lies outside lo..hi.
bool parse_integer(const char* text, int64_t lo, int64_t hi, int64_t* out) {
  const char* p = text;
  bool negative = *p == '-';
  if (negative) ++p;
  if (*p == '\0') return false;
  uint64_t magnitude = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (magnitude > (uint64_t{1} << 40)) return false;  // far outside any range here
    magnitude = magnitude * 10 + static_cast<uint64_t>(*p - '0');
  }
  int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (value < lo || value > hi) return false;
  *out = value;
  return true;
}

// Reads a whole argument of digits as a 64-bit seed. Returns false when it is
// not one or does not fit.
bool parse_seed(const char* text, uint64_t* out) {
  if (*text == '\0') return false;
  uint64_t value = 0;
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (value > (kMax - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *out = value;
  return true;
}

// Fills *o from argv (argc 6 or 7). Returns false with *err saying what is wrong.
bool parse_options(int argc, char** argv, Options* o, std::string* err) {
  constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
  int64_t n, m, wmin, wmax;
  if (!parse_integer(argv[1], 1, V - 1, &n)) {
    *err = "vertices must be an integer from 1 to " + std::to_string(V - 1);
  } else if (!parse_integer(argv[2], 0, kIntMax, &m)) {
    *err = "edges must be an integer from 0 to " + std::to_string(kIntMax);
  } else if (!parse_integer(argv[3], kIntMin, kIntMax, &wmin) ||
             !parse_integer(argv[4], kIntMin, kIntMax, &wmax)) {
    *err = "weights must be 32-bit integers";
  } else if (wmin > wmax) {
    *err = "min_weight is above max_weight";
  } else if (!parse_seed(argv[5], &o->seed)) {
    *err = "seed must be an integer from 0 to 2^64-1";
  } else if (argc == 7 && std::strcmp(argv[6], "connected") != 0) {
    *err = "the last argument can only be 'connected'";
  } else if (argc == 7 && m < n - 1) {
    *err = "a connected graph on " + std::to_string(n) + " vertices needs at least " +
           std::to_string(n - 1) + " edges";
  } else {
    *o = {static_cast<int32_t>(n), static_cast<int32_t>(m), static_cast<int32_t>(wmin),
          static_cast<int32_t>(wmax), o->seed, argc == 7};
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

class EdgeWriter {
 public:
  EdgeWriter(const Options& o, OutBuffer& out) : o_(o), out_(out), rng_(o.seed) {}

  // Writes the header and every edge.
  void write_all() {
    line(o_.n, o_.m);
    int64_t written = o_.connected ? spanning_tree() : 0;
    for (; written < o_.m; ++written) {
      int32_t u = vertex();
      int32_t v = vertex();
      line(u, v, weight());
    }
  }

 private:
  // Writes n - 1 edges joining the vertices, in a random order, each to a
  // random earlier one. Returns the number of edges written.
  int64_t spanning_tree() {
    std::vector<int32_t> order(o_.n);
    for (int32_t i = 0; i < o_.n; ++i) order[i] = i + 1;
    for (int32_t i = o_.n - 1; i > 0; --i) {
      std::swap(order[i], order[uniform_below(rng_, static_cast<uint64_t>(i) + 1)]);
    }
    for (int32_t i = 1; i < o_.n; ++i) {
      int32_t earlier = order[uniform_below(rng_, static_cast<uint64_t>(i))];
      line(order[i], earlier, weight());
    }
    return o_.n - 1;
  }

  int32_t vertex() { return 1 + static_cast<int32_t>(uniform_below(rng_, o_.n)); }

  int32_t weight() {
    uint64_t span = static_cast<uint64_t>(int64_t{o_.wmax} - o_.wmin) + 1;
    return static_cast<int32_t>(o_.wmin + static_cast<int64_t>(uniform_below(rng_, span)));
  }

  void line(int64_t a, int64_t b) {
    out_.number(a);
    out_.put(' ');
    out_.number(b);
    out_.put('\n');
  }

  void line(int32_t u, int32_t v, int32_t w) {
    out_.number(u);
    out_.put(' ');
    line(v, w);
  }

  const Options& o_;
  OutBuffer& out_;
  std::mt19937_64 rng_;
};

int generate(int argc, char** argv) {
  int answered = answer_help_or_version(kTool, argc, argv);
  if (answered >= 0) return answered;
  if (argc != 6 && argc != 7) return wrong_use(kTool);
  Options o;
  std::string err;
  if (!parse_options(argc, argv, &o, &err)) return wrong_use(kTool, err);
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
