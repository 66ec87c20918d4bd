// Grading programs: tarnwick-grade --run against a shell loop of timeout,
// prlimit (and bwrap) and tarnwick over the same class, side by side in one
// run. The program is trivial (it prints line k = "k", right on every test), so that
// what is timed is each way's own cost: starting the program under limits,
// its scratch folder, judging its output, ending its tree.
//
//   programs_bench [--runs N] [--help]
//
// Makes in a scratch folder a class of 20 submission folders, each holding
// the program built once with cc (sol), and 10 tests of n = 1000 (a star of
// weight 1 around the source, and heavier edges among the others); then
// times, each way once a round for N rounds (3 by default), the fastest
// round of each: the 200 runs of the program alone (posix_spawn and wait);
// the shell loop, and again with each run under bwrap when bubblewrap works
// here (the baseline of tarnwick-grade under bubblewrap); and tarnwick-grade
// under each isolation this machine allows (on the CPUs it is given, and on
// one). Prints wall and CPU seconds
// (this process's children, user and system), each way's cost beyond the
// bare runs, and the ratios. CPU seconds are the steadier on a busy machine.
#include <spawn.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "grade/run.h"
#include "grade/sandbox.h"
#include "graph/cpus.h"

namespace tarnwick {

const ToolInfo kBenchTool = {
    "programs_bench", "Usage: programs_bench [--runs N]\n",
    "Times tarnwick-grade --run on 20 submissions x 10 tests of a trivial program\n"
    "against a shell loop of timeout, prlimit and tarnwick runs over the same class,\n"
    "and against the program's bare runs; prints the times, the costs beyond the bare\n"
    "runs, and the ratios.\n"};

namespace {

constexpr int kSubmissions = 20, kTests = 10, kVertices = 1000, kOtherEdges = 4000;

constexpr char kProgram[] =
    "#include <stdio.h>\n"
    "int main(void) {\n"
    "  int n;\n"
    "  if (scanf(\"%d\", &n) != 1) return 1;\n"
    "  for (int k = 1; k <= n; k++) printf(\"%d\\n\", k);\n"
    "  return 0;\n"
    "}\n";

// Returns test t: a star of weight 1 around vertex 1, then heavier edges
// among the others (so line k = "k" is right), then the source.
std::string test_input(int t) {
  std::string text = std::to_string(kVertices) + " " +
                     std::to_string(kVertices - 1 + kOtherEdges) + "\n";
  for (int k = 2; k <= kVertices; ++k) text += "1 " + std::to_string(k) + " 1\n";
  uint64_t x = 0x9e3779b97f4a7c15ULL * static_cast<uint64_t>(t + 1);
  auto next = [&x](int below) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    return static_cast<int>(x % static_cast<uint64_t>(below));
  };
  for (int e = 0; e < kOtherEdges; ++e) {
    text += std::to_string(2 + next(kVertices - 1)) + " " + std::to_string(2 + next(kVertices - 1)) +
            " " + std::to_string(2 + next(999)) + "\n";
  }
  return text + "1\n";
}

// The class: its tests, its submission folders, the program's path in each.
struct Class {
  std::string data;
  std::vector<std::string> inputs, submissions;
};

Class make_class(const ScratchFolder& dir) {
  Class c{dir.path("data"), {}, {}};
  std::filesystem::create_directories(c.data);
  for (int t = 1; t <= kTests; ++t) {
    c.inputs.push_back(dir.write("data/" + std::to_string(t) + ".in", test_input(t)));
  }
  dir.write("sol.c", kProgram);
  if (spawn({"/usr/bin/cc", "-O2", "-o", dir.path("sol"), dir.path("sol.c")}).status != 0) {
    die("cc could not build the program");
  }
  for (int s = 0; s < kSubmissions; ++s) {
    c.submissions.push_back(dir.path("subs/s" + std::to_string(s)));
    std::filesystem::create_directories(c.submissions.back());
    std::filesystem::copy_file(dir.path("sol"), c.submissions.back() + "/sol");
  }
  return c;
}

struct Cost {
  double wall = 1e9, cpu = 1e9;  // seconds for the whole class
};

// Returns the CPU seconds this process's reaped children have used.
double children_cpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Times one round of `work` into *best, when it is faster (wall and CPU apart).
void time_round(const std::function<void()>& work, Cost* best) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = children_cpu();
  work();
  best->wall = std::min(best->wall, seconds_since(start));
  best->cpu = std::min(best->cpu, children_cpu() - cpu);
}

// Runs `program` with standard input from `input` and standard output into
// `out`, and waits for it. Dies when it fails.
void run_bare(const std::string& program, const std::string& input, const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) die(program + " failed on " + input);
}

// Runs the program of every submission on every test, bare.
void bare_runs(const Class& c, const std::string& out) {
  for (const std::string& s : c.submissions) {
    for (const std::string& input : c.inputs) run_bare(s + "/sol", input, out);
  }
}

// Returns bubblewrap's command line in the shell loop: no network, pid,
// IPC..., the system's folders read-only as the grader shows them, an empty
// /tmp, the submission's folder the one it writes, the program run in it.
std::string bubblewrap_words() {
  std::string words = std::string(kBubblewrap) +
                      " --unshare-all --unshare-user --disable-userns --die-with-parent"
                      " --new-session";
  for (const std::string& arg : bubblewrap_folder_args({})) words += " " + arg;
  return words + " --proc /proc --tmpfs /tmp --bind \"$s\" \"$s\" --chdir \"$s\" ./sol";
}

// Returns the shell loop an instructor might write: each run under timeout
// and prlimit (the grader's default limits), and bubblewrap when `sandbox`,
// then the judge on its output.
std::string shell_loop(const Class& c, const std::string& out, const std::string& verdicts,
                       bool sandbox) {
  std::string subs, tests;
  for (const std::string& s : c.submissions) subs += " " + s;
  for (const std::string& t : c.inputs) tests += " " + t;
  return "for s in" + subs + "; do for t in" + tests +
         "; do timeout 3 prlimit --cpu=2 --as=268435456 --fsize=67108865 --nproc=16 --core=0 " +
         (sandbox ? bubblewrap_words() : "\"$s/sol\"") + " < \"$t\" > " + out +
         "; " TARNWICK_BINARY " \"$t\" " + out + " 1 >> " + verdicts +
         " || exit 1; done; done";
}

// Returns the arguments of tarnwick-grade on the class under `isolation`.
std::vector<std::string> grade_args(const Class& c, Isolation isolation) {
  std::string name = isolation_name(isolation);
  std::replace(name.begin(), name.end(), ' ', '-');
  std::vector<std::string> args = {TARNWICK_GRADE, "--testset", c.data, "--run", "./sol",
                                   "--isolation",  name};
  args.insert(args.end(), c.submissions.begin(), c.submissions.end());
  return args;
}

// Returns "AMD EPYC (family 26 model 2)", from /proc/cpuinfo.
std::string cpu_model() {
  std::ifstream in("/proc/cpuinfo");
  std::string line, name = "unknown CPU", family, model;
  auto value = [&line] { return line.substr(line.find(':') + 2); };
  while (std::getline(in, line) && (family.empty() || model.empty() || name == "unknown CPU")) {
    if (line.rfind("model name", 0) == 0) name = value();
    if (line.rfind("cpu family", 0) == 0) family = value();
    if (line.rfind("model\t", 0) == 0) model = value();
  }
  return name + " (family " + family + " model " + model + ")";
}

void print(const char* what, const Cost& cost, const Cost& bare) {
  std::printf("%-46s %7.3f s  CPU %7.3f s   beyond bare: %6.3f s, CPU %6.3f s (%5.2f ms a run)\n",
              what, cost.wall, cost.cpu, cost.wall - bare.wall, cost.cpu - bare.cpu,
              (cost.cpu - bare.cpu) * 1e3 / (kSubmissions * kTests));
}

// One way of running the class: its name, the isolation it keeps the
// programs by (kBest for none: the bare runs), and the work.
struct Way {
  std::string name;
  Isolation isolation;
  std::function<void()> work;
};

// Returns the work of running `loop` with /bin/sh. Dies when it fails.
std::function<void()> shell_way(std::string loop) {
  return [loop = std::move(loop)] {
    if (spawn({"/bin/sh", "-c", loop}).status != 0) die("the shell loop failed");
  };
}

// Adds tarnwick-grade under each isolation this machine allows, on the
// CPUs given and on one.
void add_grade_ways(const Class& c, const RunnerAbilities& abilities, std::vector<Way>* ways) {
  for (Isolation isolation :
       {Isolation::kBubblewrap, Isolation::kPidNamespace, Isolation::kSubreaper}) {
    if (isolation == Isolation::kBubblewrap && !abilities.bubblewrap) continue;
    if (isolation == Isolation::kPidNamespace && !abilities.pid_namespace) continue;
    for (const char* threads : {"", "1"}) {
      ways->push_back({std::string("tarnwick-grade, ") + isolation_name(isolation) +
                           (*threads == '1' ? ", 1 thread" : ""),
                       isolation, [&c, isolation, threads] {
                         if (spawn(grade_args(c, isolation), "/dev/null", threads).status != 0) {
                           die("tarnwick-grade failed");
                         }
                       }});
    }
  }
}

// Prints how many times faster `cost` is than `loop`: wall, CPU, and CPU
// beyond the bare runs.
void compare(const char* what, const Cost& loop, const Cost& cost, const Cost& bare) {
  std::printf("%-46s %7.1fx wall, %.1fx CPU; beyond bare %.1fx CPU\n", what, loop.wall / cost.wall,
              loop.cpu / cost.cpu, (loop.cpu - bare.cpu) / (cost.cpu - bare.cpu));
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  const BenchOptions o = bench_args(argc, argv);
  const RunnerAbilities& abilities = runner_abilities();
  ScratchFolder dir("programs-bench");
  const Class c = make_class(dir);
  std::printf("%s; %d CPUs given; a uid a run: %s; bubblewrap: %s\n", cpu_model().c_str(),
              usable_cpus(), abilities.own_uid ? "yes" : "no",
              abilities.bubblewrap ? "yes" : abilities.bubblewrap_why.c_str());
  std::printf("class: %d submissions x %d tests (n = %d, m = %d), the fastest of %d rounds\n",
              kSubmissions, kTests, kVertices, kVertices - 1 + kOtherEdges, o.runs);
  const std::string out = dir.path("out"), verdicts = dir.path("verdicts");
  // Each way once a round, the rounds one after another, so that a machine
  // busy for a while slows every way alike; the fastest round of each counts.
  std::vector<Way> ways = {
      {"the program alone, 200 bare runs", Isolation::kBest, [&] { bare_runs(c, out); }},
      {"shell loop: timeout + prlimit + tarnwick", Isolation::kSubreaper,
       shell_way(shell_loop(c, out, verdicts, false))},
  };
  if (abilities.bubblewrap) {
    ways.push_back({"shell loop: timeout + prlimit + bwrap + tarnwick", Isolation::kBubblewrap,
                    shell_way(shell_loop(c, out, verdicts, true))});
  }
  add_grade_ways(c, abilities, &ways);
  std::vector<Cost> costs(ways.size());
  for (int round = 0; round < o.runs; ++round) {
    for (size_t w = 0; w < ways.size(); ++w) time_round(ways[w].work, &costs[w]);
  }
  const size_t loops = abilities.bubblewrap ? 3 : 2;
  for (size_t w = 0; w < ways.size(); ++w) {
    print(ways[w].name.c_str(), costs[w], costs[0]);
    if (w < loops) continue;
    compare("  shell loop / this", costs[1], costs[w], costs[0]);
    if (ways[w].isolation == Isolation::kBubblewrap) {
      compare("  shell loop with bwrap / this", costs[2], costs[w], costs[0]);
    }
  }
  return 0;
}
