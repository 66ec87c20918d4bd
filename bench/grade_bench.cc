// Grading a class in one call against a loop of judge runs.
//
//   grade_bench [--help]
//
// Generates a graph of n = 10^4 vertices and 5*10^4 edges with tarnwick-gen
// (a deterministic seed) and a correct result file with tarnwick-solve, then
// writes 1000 result files (two in three correct, one in three wrong half-way
// down) into a scratch folder and prints:
//   - tarnwick-grade on all 1000 files, on the CPUs it is given and on one thread;
//   - a loop of 1000 runs of the tarnwick binary, one per file, as a shell loop does;
//   - the ratio of the two.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

using tarnwick::ScratchFolder;
using tarnwick::seconds_since;
using tarnwick::spawn;


constexpr int kFiles = 1000;

[[noreturn]] void die(const std::string& why) {
  std::fprintf(stderr, "grade_bench: %s\n", why.c_str());
  std::exit(1);
}

// The graph, its model answer and the result files, in a scratch folder.
class Class {
 public:
  Class() {
    graph_ = dir_.generate(TARNWICK_GEN, "graph.txt", {"10000", "50000", "1", "1000", "21", "connected"});
    std::string model = dir_.path("model.txt");
    if (graph_.empty() || spawn({TARNWICK_SOLVE, graph_, "1"}, model).status != 0) {
      die("tarnwick-gen or tarnwick-solve failed");
    }
    std::ifstream in(model);
    std::stringstream text;
    text << in.rdbuf();
    write_files(text.str());
  }

  const std::string& graph() const { return graph_; }
  const std::vector<std::string>& files() const { return files_; }

 private:
  // Writes the result files: the model, or the model with line 5000 made wrong.
  void write_files(const std::string& model) {
    size_t half = 0;
    for (int line = 1; line < 5000; ++line) half = model.find('\n', half) + 1;
    std::string wrong =
        model.substr(0, half) + "1 2 3 4\n" + model.substr(model.find('\n', half) + 1);
    for (int i = 0; i < kFiles; ++i) {
      files_.push_back(dir_.path("student-" + std::to_string(i) + ".txt"));
      std::ofstream(files_.back()) << (i % 3 == 2 ? wrong : model);
    }
  }

  ScratchFolder dir_{"grade-bench"};
  std::string graph_;
  std::vector<std::string> files_;
};

// Returns the fastest of `runs` runs of tarnwick-grade on every file.
double grade_all(const Class& c, int runs) {
  std::vector<std::string> args = {TARNWICK_GRADE, c.graph(), "1"};
  args.insert(args.end(), c.files().begin(), c.files().end());
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (spawn(args).status != 0) die("tarnwick-grade failed");
    best = std::min(best, seconds_since(start));
  }
  return best;
}

// Returns the seconds taken by one run of the judge per file, one after another.
double judge_loop(const Class& c) {
  auto start = std::chrono::steady_clock::now();
  for (const std::string& file : c.files()) {
    if (spawn({TARNWICK_BINARY, c.graph(), file, "1"}).status != 0) die("tarnwick failed on " + file);
  }
  return seconds_since(start);
}

}  // namespace

int main(int argc, char** argv) {
  const tarnwick::ToolInfo tool = {
      "grade_bench", "Usage: grade_bench\n",
      "Times tarnwick-grade on 1000 result files against an n = 10^4 graph, and a\n"
      "loop of 1000 runs of tarnwick on the same files; prints both and their ratio.\n"};
  int answered = tarnwick::answer_help_or_version(tool, argc, argv);
  if (answered >= 0) return answered;
  if (argc > 1) return tarnwick::wrong_use(tool, "unknown argument '" + std::string(argv[1]) + "'");
  Class c;
  double all = grade_all(c, 3);
  setenv("TARNWICK_THREADS", "1", 1);
  double one = grade_all(c, 3);
  unsetenv("TARNWICK_THREADS");
  double loop = judge_loop(c);
  std::printf("%-44s %8.3f s\n", "tarnwick-grade, 1000 files, n=10^4 m=5*10^4", all);
  std::printf("%-44s %8.3f s\n", "tarnwick-grade, same, TARNWICK_THREADS=1", one);
  std::printf("%-44s %8.3f s\n", "loop of 1000 tarnwick runs, same files", loop);
  std::printf("%-44s %8.1fx (%.1fx on one thread)\n", "loop / tarnwick-grade", loop / all,
              loop / one);
  return 0;
}
