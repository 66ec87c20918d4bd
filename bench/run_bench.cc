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
// milliseconds a run; "own cost" is the time beyond the bare start.
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

// Returns the milliseconds a run of the fastest of `rounds` rounds of `run`.
double ms_a_run(int rounds, const std::function<void()>& run) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRunsARound; ++i) run();
    best = std::min(best, seconds_since(start) * 1e3 / kRunsARound);
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

// Starts `args` bare (posix_spawn and wait); dies when it does not exit 0.
void start_bare(const std::vector<std::string>& args) {
  if (spawn(args).status != 0) die(args[0] + " failed");
}

void print(const char* what, double ms, double bare) {
  std::printf("%-36s %7.2f ms a run   own cost %7.2f ms\n", what, ms, ms - bare);
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
  const double bare = ms_a_run(o.runs, [] { start_bare({"/usr/bin/true"}); });
  print("bare posix_spawn + wait", bare, bare);
  print("timeout 10 prlimit ... true",
        ms_a_run(o.runs,
                 [] {
                   start_bare({"/usr/bin/timeout", "10", "/usr/bin/prlimit", "--cpu=2",
                               "--as=268435456", "--fsize=67108865", "--nproc=16", "--core=0",
                               "/usr/bin/true"});
                 }),
        bare);
  for (Isolation isolation :
       {Isolation::kBubblewrap, Isolation::kPidNamespace, Isolation::kSubreaper}) {
    if (isolation == Isolation::kBubblewrap && !abilities.bubblewrap) continue;
    if (isolation == Isolation::kPidNamespace && !abilities.pid_namespace) continue;
    const std::string what = std::string("run_program, ") + isolation_name(isolation);
    print(what.c_str(), ms_a_run(o.runs, [&] { run_true(folder, isolation); }), bare);
  }
  return 0;
}
