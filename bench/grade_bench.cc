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
// Then a test set: 10 graphs of the same size, each with its source after the
// m-th edge, and 200 submission folders holding a result file for each (the
// same mix, as hard links to a few files), and prints:
//   - tarnwick-grade --testset on the 200 folders;
//   - a loop of 2000 runs of the tarnwick binary, one per result file;
//   - the ratio of the two.
#include <unistd.h>

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
constexpr int kTests = 10, kSubmissions = 200;

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

// Returns the text of the file at path.
std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Returns the model with line `line` made wrong.
std::string wrong_at(const std::string& model, int line) {
  size_t at = 0;
  for (int l = 1; l < line; ++l) at = model.find('\n', at) + 1;
  return model.substr(0, at) + "1 2 3 4\n" + model.substr(model.find('\n', at) + 1);
}

// A test set of kTests graphs and kSubmissions folders, in a scratch folder.
class TestSetClass {
 public:
  TestSetClass() {
    std::filesystem::create_directories(dir_.path("data"));
    for (int t = 0; t < kTests; ++t) add_test(t);
    for (int s = 0; s < kSubmissions; ++s) {
      folders_.push_back(dir_.path("subs/student-" + std::to_string(s)));
      std::filesystem::create_directories(folders_.back());
      for (int t = 0; t < kTests; ++t) {
        // Two in three right, one in three wrong half-way down, as above.
        std::string name = std::to_string(t) + (s % 3 == 2 ? ".wrong" : ".right");
        std::filesystem::create_hard_link(dir_.path(name), folders_.back() + "/" + std::to_string(t) + ".out");
        results_.push_back({inputs_[static_cast<size_t>(t)], folders_.back() + "/" + std::to_string(t) + ".out"});
      }
    }
  }

  const std::string data() const { return dir_.path("data"); }
  const std::vector<std::string>& folders() const { return folders_; }
  // Every result file with its test input.
  const std::vector<std::pair<std::string, std::string>>& results() const { return results_; }

 private:
  // Writes test t's input (graph, then source 1), its model and a wrong answer.
  void add_test(int t) {
    const std::string seed = std::to_string(100 + t), graph = "graph-" + std::to_string(t);
    const std::string path = dir_.generate(TARNWICK_GEN, graph, {"10000", "50000", "1", "1000", seed, "connected"});
    const std::string model = dir_.path(std::to_string(t) + ".right");
    if (path.empty() || spawn({TARNWICK_SOLVE, path, "1"}, model).status != 0) {
      die("tarnwick-gen or tarnwick-solve failed");
    }
    inputs_.push_back(dir_.path("data/" + std::to_string(t) + ".in"));
    std::ofstream(inputs_.back()) << slurp(path) << "\n1\n";
    std::ofstream(dir_.path(std::to_string(t) + ".wrong")) << wrong_at(slurp(model), 5000);
  }

  ScratchFolder dir_{"grade-bench-set"};
  std::vector<std::string> inputs_, folders_;
  std::vector<std::pair<std::string, std::string>> results_;
};

// Returns the fastest of `runs` runs of the program args[0] with `args`,
// each of which must exit 0.
double fastest(const std::vector<std::string>& args, int runs) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (spawn(args).status != 0) die(args[0] + " " + args[1] + " ... failed");
    best = std::min(best, seconds_since(start));
  }
  return best;
}

// Returns the fastest of `runs` runs of tarnwick-grade --testset on every folder.
double grade_testset(const TestSetClass& c, int runs) {
  std::vector<std::string> args = {TARNWICK_GRADE, "--testset", c.data()};
  args.insert(args.end(), c.folders().begin(), c.folders().end());
  return fastest(args, runs);
}

// Returns the seconds taken by one run of the judge per result file of the test set.
double judge_testset_loop(const TestSetClass& c) {
  auto start = std::chrono::steady_clock::now();
  for (const auto& [input, result] : c.results()) {
    if (spawn({TARNWICK_BINARY, input, result, "1"}).status != 0) die("tarnwick failed on " + result);
  }
  return seconds_since(start);
}

// Returns the fastest of `runs` runs of tarnwick-grade on every file.
double grade_all(const Class& c, int runs) {
  std::vector<std::string> args = {TARNWICK_GRADE, c.graph(), "1"};
  args.insert(args.end(), c.files().begin(), c.files().end());
  return fastest(args, runs);
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
      "loop of 1000 runs of tarnwick on the same files; then tarnwick-grade --testset\n"
      "on 10 such graphs and 200 submission folders against 2000 runs of tarnwick;\n"
      "prints the times and their ratios.\n"};
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
  std::fflush(stdout);
  TestSetClass set;
  double graded = grade_testset(set, 3);
  double runs = judge_testset_loop(set);
  std::printf("%-44s %8.3f s\n", "tarnwick-grade --testset, 10 tests x 200", graded);
  std::printf("%-44s %8.3f s\n", "loop of 2000 tarnwick runs, same files", runs);
  std::printf("%-44s %8.1fx\n", "loop / tarnwick-grade --testset", runs / graded);
  return 0;
}
