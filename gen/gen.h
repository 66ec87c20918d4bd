// The random graph generator behind tarnwick-gen: a graph file (or a test
// input, with its source) drawn from a seed, the same bytes on every machine.
#ifndef TARNWICK_GEN_GEN_H_
#define TARNWICK_GEN_GEN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "cli/out_buffer.h"

namespace tarnwick {

// What a graph is drawn from.
struct GenOptions {
  int32_t n = 0, m = 0, wmin = 0, wmax = 0;
  uint64_t seed = 0;
  bool connected = false;  // the first n - 1 edges are a random spanning tree
  bool simple = false;     // no self-loop, no pair of vertices twice
  int32_t source = 0;      // written after the edges when not 0
};

// How a front end names the simple graph and the source in its messages:
// tarnwick-gen by its flags, a description by its own words.
struct GenWords {
  const char* simple = "--simple";  // "--simple allows at most 10 edges on 5 vertices"
  const char* source = "--source";  // "--source must be a vertex of the graph, ..."
};

// Reads "vertices edges min_weight max_weight seed [connected]" and the
// text of --source (nullptr when not given) into *o, whose `simple` is set.
// Returns false with *why set (empty when the count of operands is wrong),
// naming the simple graph and the source by `words`.
bool read_gen_options(const std::vector<std::string>& operands, const std::string* source,
                      GenOptions* o, std::string* why, const GenWords& words = {});

// What a graph drawn without --simple holds that a test author rarely means.
struct GenCounts {
  int64_t pairs_again = 0;  // edges whose pair an earlier edge gave: the later weight stands
  int64_t self_loops = 0;
};

// Writes the graph file: the line "n m", the m edges "u v w", then the
// source on a line of its own when o.source is set. Returns what it holds of
// pairs given again and self-loops (none with o.simple).
GenCounts write_graph(const GenOptions& o, OutBuffer& out);

// Returns the warning on what `counts` tells, or "" when there is nothing.
std::string gen_warning(const GenCounts& counts);

}  // namespace tarnwick

#endif  // TARNWICK_GEN_GEN_H_
