// tarnwick-gen: a random graph file (or test input) on standard output; it
// runs after its flags, loading nothing.
#include <cstdio>
#include <string>

#include "cli/out_buffer.h"
#include "gen/gen.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
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

class Gen final : public Tool {
 public:
  Gen() : Tool(kInfo, {{"--simple", nullptr}, {"--source", "a vertex"}}) {}

  bool take(const Args& args, std::string* why) override {
    options_.simple = args.has("--simple");
    return read_gen_options(args.operands, args.value("--source"), &options_, why);
  }
  Stage stage() const override { return Stage::kAfterFlags; }

  int run(Front& front) override {
    OutBuffer out(stdout);
    const GenCounts counts = write_graph(options_, out);
    int error_number = 0;
    if (!out.finish(&error_number)) return front.refuse("standard output: " + reason(error_number));
    // On standard error, after the graph: its bytes are the same either way.
    if (const std::string warning = gen_warning(counts); !warning.empty()) front.warn({warning});
    return kExitOk;
  }

 private:
  GenOptions options_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Gen gen;
  return tarnwick::run_tool(gen, argc, argv);
}
