// The runner's own cost per run: `true` run through run_program under each
// isolation this machine allows, against `true` started bare (posix_spawn and
// wait) and through `timeout` and `prlimit`, as a shell loop over a class
// would start it. With --big the benchmark first fills 1 GiB of its own
// memory, as a grader holding a large graph might: the runner's cost must
// not grow with it.
//
//   run_bench [--big] [--runs N] [--help]
//
// Each figure is the fastest of N rounds (3 by default) of 50 runs, in
// milliseconds a run: wall time, and CPU time of this process and its
// children (less swayed by a busy machine); "beyond bare" is what a way of
// starting `true` costs over the bare start, in wall time.
#include <spawn.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "grade/run.h"

namespace tarnwick {

const ToolInfo kBenchTool = {
    "run_bench", "Usage: run_bench [--big] [--runs N]\n",
    "Times the runner of students' programs against a bare start and timeout+prlimit.\n"};

namespace {

constexpr int kRunsARound = 50;

struct Cost {
  double wall_ms = 1e9, cpu_ms = 1e9;  // a run
};

// Returns the CPU seconds this process and its reaped children have used.
double cpu_seconds_so_far() {
  double seconds = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    seconds += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
  }
  return seconds;
}

// Returns the cost a run of the fastest of `rounds` rounds of `run`.
Cost cost_of(int rounds, const std::function<void()>& run) {
  Cost best;
  for (int round = 0; round < rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = cpu_seconds_so_far();
    for (int i = 0; i < kRunsARound; ++i) run();
    best.wall_ms = std::min(best.wall_ms, seconds_since(start) * 1e3 / kRunsARound);
    best.cpu_ms = std::min(best.cpu_ms, (cpu_seconds_so_far() - cpu) * 1e3 / kRunsARound);
  }
  return best;
}

// Runs `true` once through the runner under `isolation`; dies when it does not finish.
void run_true(const ScratchFolder& folder, Isolation isolation) {
  RunRequest r;
  r.argv = {"true"};
  r.working_folder = folder.path("");
  r.output_path = folder.path("out");
  r.error_path = folder.path("err");
  r.isolation = isolation;
  const RunResult result = run_program(r);
  if (result.end != RunEnd::kFinished)
    die(std::string(isolation_name(isolation)) + ": " + describe(result));
}

// Starts `args` as the runner would, but bare: posix_spawn with the runner's
// environment, standard output into `out`, and wait. Dies when it fails.
void start_bare(const std::vector<std::string>& args, const std::string& out) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  char path[] = "PATH=/usr/local/bin:/usr/bin:/bin", lang[] = "LANG=C.UTF-8", home[] = "HOME=/tmp";
  char* env[] = {path, home, lang, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env) == 0)
    waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) die(args[0] + " failed");
}

void print(const char* what, const Cost& cost, const Cost& bare) {
  std::printf("%-30s %6.2f ms a run (%+6.2f beyond bare)   CPU %6.2f ms a run\n", what,
              cost.wall_ms, cost.wall_ms - bare.wall_ms, cost.cpu_ms);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  using namespace tarnwick;
  const BenchOptions o = bench_args(argc, argv);
  std::vector<char> held;
  if (o.big) {
    held.resize(size_t{1} << 30);
    std::memset(held.data(), 1, held.size());
  }
  const RunnerAbilities& abilities = runner_abilities();
  std::printf("isolation here: %s (bubblewrap: %s); uid a run: %s; grader memory held: %s\n",
              isolation_name(abilities.best),
              abilities.bubblewrap ? "yes" : abilities.bubblewrap_why.c_str(),
              abilities.own_uid ? "yes" : "no", o.big ? "1 GiB" : "none");
  ScratchFolder folder("run-bench");
  const std::string out = folder.path("out");
  const Cost bare = cost_of(o.runs, [&] { start_bare({"/usr/bin/true"}, out); });
  print("bare posix_spawn + wait", bare, bare);
  print("timeout 10 prlimit ... true",
        cost_of(o.runs,
                [&] {
                  start_bare(
                      {"/usr/bin/timeout", "10", "/usr/bin/prlimit", "--cpu=2", "--as=268435456",
                       "--fsize=67108865", "--nproc=16", "--core=0", "/usr/bin/true"},
                      out);
                }),
        bare);
  for (Isolation isolation :
       {Isolation::kBubblewrap, Isolation::kPidNamespace, Isolation::kSubreaper}) {
    if (isolation == Isolation::kBubblewrap && !abilities.bubblewrap) continue;
    if (isolation == Isolation::kPidNamespace && !abilities.pid_namespace) continue;
    const std::string what = std::string("run_program, ") + isolation_name(isolation);
    print(what.c_str(), cost_of(o.runs, [&] { run_true(folder, isolation); }), bare);
  }
  return 0;
}
