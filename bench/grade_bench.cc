// Grading a class in one call against a loop of judge runs.
//
// Makes its graphs (n = 10^4, 5*10^4 edges, deterministic seeds) with
// tarnwick-gen and the right answers with tarnwick-solve in a scratch folder,
// then times, for the two workloads below, tarnwick-grade (on the CPUs it is
// given, and for the first also on one thread) against a loop of tarnwick runs
// over the same files, as a shell loop does, and prints their ratio.
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"

namespace tarnwick {
const ToolInfo kBenchTool = {
    "grade_bench", "Usage: grade_bench\n",
    "Times tarnwick-grade on 1000 result files against an n = 10^4 graph, and a\n"
    "loop of 1000 runs of tarnwick on the same files; then tarnwick-grade --testset\n"
    "on 10 such graphs and 200 submission folders against 2000 runs of tarnwick;\n"
    "prints the times and their ratios.\n"};

namespace {

constexpr int kFiles = 1000, kTests = 10, kSubmissions = 200;

// Result files to judge: the arguments of one tarnwick-grade call on all of
// them, and the (input, result file) pairs of the judge runs it stands for.
struct Workload {
  std::vector<std::string> grade_args;
  std::vector<std::pair<std::string, std::string>> runs;
};

// Returns the model with line `line` made wrong.
std::string wrong_at(const std::string& model, int line) {
  size_t at = 0;
  for (int l = 1; l < line; ++l) at = model.find('\n', at) + 1;
  return model.substr(0, at) + "1 2 3 4\n" + model.substr(model.find('\n', at) + 1);
}

// Writes to `dir` a graph of n = 10^4 from `seed`, its model answer from
// source 1 and that answer made wrong at line 5000. Returns the graph's path.
std::string graph_and_answers(const ScratchFolder& dir, const std::string& graph,
                              const std::string& seed, const std::string& right,
                              const std::string& wrong) {
  const std::string path = dir.generate(graph, "10000 50000 1 1000 " + seed + " connected");
  dir.write(wrong, wrong_at(slurp(dir.run(TARNWICK_SOLVE, right, {path, "1"})), 5000));
  return path;
}

// One graph and kFiles result files against it: two in three right, one in
// three wrong half-way down.
Workload one_graph(const ScratchFolder& dir) {
  const std::string graph = graph_and_answers(dir, "graph.txt", "21", "model.txt", "wrong.txt");
  Workload w{{TARNWICK_GRADE, graph, "1"}, {}};
  const std::string right = slurp(dir.path("model.txt")), wrong = slurp(dir.path("wrong.txt"));
  for (int i = 0; i < kFiles; ++i) {
    const std::string& answer = i % 3 == 2 ? wrong : right;
    w.grade_args.push_back(dir.write("student-" + std::to_string(i) + ".txt", answer));
    w.runs.push_back({graph, w.grade_args.back()});
  }
  return w;
}

// A test set of kTests graphs, each with its source after the m-th edge, and
// kSubmissions folders holding a result file for each (the same mix, as hard
// links to a few files).
Workload test_set(const ScratchFolder& dir) {
  Workload w{{TARNWICK_GRADE, "--testset", dir.path("data")}, {}};
  std::filesystem::create_directories(dir.path("data"));
  std::vector<std::string> inputs;
  for (int t = 0; t < kTests; ++t) {
    const std::string test = std::to_string(t);
    const std::string graph = graph_and_answers(dir, "graph-" + test, std::to_string(100 + t),
                                                test + ".right", test + ".wrong");
    inputs.push_back(dir.write("data/" + test + ".in", slurp(graph) + "\n1\n"));
  }
  for (int s = 0; s < kSubmissions; ++s) {
    w.grade_args.push_back(dir.path("subs/student-" + std::to_string(s)));
    std::filesystem::create_directories(w.grade_args.back());
    for (int t = 0; t < kTests; ++t) {
      const std::string answer = std::to_string(t) + (s % 3 == 2 ? ".wrong" : ".right");
      const std::string result = w.grade_args.back() + "/" + std::to_string(t) + ".out";
      std::filesystem::create_hard_link(dir.path(answer), result);
      w.runs.push_back({inputs[static_cast<size_t>(t)], result});
    }
  }
  return w;
}

// Returns the seconds taken by the judge runs of w, one after another.
double judge_loop(const Workload& w) {
  return timed([&] {
    for (const auto& [input, result] : w.runs) {
      Child c = spawn({TARNWICK_BINARY, input, result, "1"});
      if (c.status != 0) die("tarnwick failed on " + result);
    }
  });
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  bench_args(argc, argv);
  ScratchFolder class_dir("grade-bench");
  const Workload files = one_graph(class_dir);
  double all = fastest(files.grade_args, 3).seconds;
  double one = fastest(files.grade_args, 3, "1").seconds;
  double loop = judge_loop(files);
  std::printf("%-44s %8.3f s\n", "tarnwick-grade, 1000 files, n=10^4 m=5*10^4", all);
  std::printf("%-44s %8.3f s\n", "tarnwick-grade, same, TARNWICK_THREADS=1", one);
  std::printf("%-44s %8.3f s\n", "loop of 1000 tarnwick runs, same files", loop);
  std::printf("%-44s %8.1fx (%.1fx on one thread)\n", "loop / tarnwick-grade", loop / all,
              loop / one);
  std::fflush(stdout);
  ScratchFolder set_dir("grade-bench-set");
  const Workload set = test_set(set_dir);
  double graded = fastest(set.grade_args, 3).seconds;
  double runs = judge_loop(set);
  std::printf("%-44s %8.3f s\n", "tarnwick-grade --testset, 10 tests x 200", graded);
  std::printf("%-44s %8.3f s\n", "loop of 2000 tarnwick runs, same files", runs);
  std::printf("%-44s %8.1fx\n", "loop / tarnwick-grade --testset", runs / graded);
  return 0;
}
