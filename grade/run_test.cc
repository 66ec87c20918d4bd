// The runner against real misbehaving programs (shell snippets, and a small C
// program compiled through the runner itself as a build command would be),
// under each isolation this machine allows; the others are skipped, saying why.
#include "grade/run.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "grade/run_keeper.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A private scratch folder (mode 0700, as run_program wants one), removed afterwards.
class Scratch {
 public:
  Scratch() {
    std::string t = (fs::temp_directory_path() / "tarnwick-run-test-XXXXXX").string();
    dir_ = mkdtemp(t.data()) != nullptr ? t : "";
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  // Returns the path of `name` in the folder, holding `bytes` when given.
  std::string file(const std::string& name, const std::string* bytes = nullptr) const {
    if (bytes != nullptr) std::ofstream(dir_ / name, std::ios::binary) << *bytes;
    return (dir_ / name).string();
  }
  std::string dir() const { return dir_.string(); }

 private:
  fs::path dir_;
};

// Misbehaviours a shell cannot show: compiled by the runner in each test's folder.
constexpr char kMisbehave[] = R"(#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (strcmp(mode, "hog") == 0) {  /* a mebibyte more, touched, until malloc fails */
    for (;;) memset(malloc(1 << 20), 1, 1 << 20);
  }
  if (strcmp(mode, "hold") == 0) {  /* 32 MiB touched and held, then a loop without end */
    volatile char* held = malloc(32 << 20);
    for (unsigned i = 0;; i = (i + 4096) % (32 << 20)) held[i] = 1;
  }
  if (strcmp(mode, "crash") == 0) {  /* half its output, then a null pointer */
    printf("half\n");
    fflush(stdout);
    *(volatile int*)0 = 1;
  }
  if (strcmp(mode, "forks") == 0) {  /* as many waiting children as it may have */
    int n = 0;
    for (int i = 0; i < 64; ++i) {
      pid_t p = fork();
      if (p == 0) pause();
      if (p > 0) ++n;
    }
    printf("%d\n", n);
    return 0;
  }
  if (strcmp(mode, "connect") == 0 && argc == 4) {  /* to argv[2] port argv[3] */
    struct sockaddr_in a = {0};
    a.sin_family = AF_INET;
    a.sin_port = htons(atoi(argv[3]));
    inet_pton(AF_INET, argv[2], &a.sin_addr);
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(s, (struct sockaddr*)&a, sizeof a) != 0) {
      printf("%s\n", strerror(errno));
      return 1;
    }
    printf("connected\n");
    return 0;
  }
  return 2;
}
)";

std::string isolation_test_name(const testing::TestParamInfo<Isolation>& info) {
  std::string name = isolation_name(info.param);
  name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
  return name;
}

// Returns why `isolation` cannot be tested here, or "".
std::string unavailable(Isolation isolation) {
  const RunnerAbilities& a = runner_abilities();
  if (isolation == Isolation::kBubblewrap && !a.bubblewrap)
    return "no bubblewrap: " + a.bubblewrap_why;
  if (isolation == Isolation::kPidNamespace && !a.pid_namespace) return "no pid namespace here";
  return "";
}

// Returns a request to run `argv` in `scratch` with small limits: standard
// output to "out", standard error to "err".
RunRequest small_request(const Scratch& scratch, std::vector<std::string> argv,
                         Isolation isolation) {
  RunRequest r;
  r.argv = std::move(argv);
  r.working_folder = scratch.dir();
  r.output_path = scratch.file("out");
  r.error_path = scratch.file("err");
  r.isolation = isolation;
  r.limits.cpu_seconds = 0.5;
  r.limits.wall_seconds = 3;
  r.limits.memory_bytes = uint64_t{64} << 20;
  r.limits.output_bytes = uint64_t{1} << 20;
  r.limits.processes = 8;
  return r;
}

// Compiles kMisbehave into `scratch` as "misbehave", through the runner with a
// build command's limits.
RunResult compile_misbehave(const Scratch& scratch, Isolation isolation) {
  const std::string source = kMisbehave;
  scratch.file("misbehave.c", &source);
  RunRequest build =
      small_request(scratch, {"cc", "-O0", "-o", "misbehave", "misbehave.c"}, isolation);
  build.limits = {20, 40, uint64_t{1} << 30, uint64_t{64} << 20, 16, 4096};
  return run_program(build);
}

class RunTest : public testing::TestWithParam<Isolation> {
 protected:
  void SetUp() override {
    const std::string why = unavailable(GetParam());
    if (!why.empty()) GTEST_SKIP() << why;
  }
  RunRequest request(std::vector<std::string> argv) const {
    return small_request(scratch_, std::move(argv), GetParam());
  }
  RunRequest shell(const std::string& command) const { return request(shell_command(command)); }
  // Compiles the misbehaving C program; the test fails when it cannot.
  void compile() const {
    RunResult built = compile_misbehave(scratch_, GetParam());
    ASSERT_EQ(built.end, RunEnd::kFinished) << describe(built) << "\n"
                                            << slurp(scratch_.file("err"));
  }
  std::string out() const { return slurp(scratch_.file("out")); }

  Scratch scratch_;
};

INSTANTIATE_TEST_SUITE_P(Isolations, RunTest,
                         testing::Values(Isolation::kBubblewrap, Isolation::kPidNamespace,
                                         Isolation::kSubreaper),
                         isolation_test_name);

TEST_P(RunTest, ReadsItsInputAndWritesItsFolder) {
  const std::string input = "1 2 3\n";
  RunRequest r = shell("cat > copy && cat copy && pwd && echo warned >&2");
  r.input_path = scratch_.file("in", &input);
  RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(result.isolation, GetParam());
  EXPECT_EQ(out(), input + scratch_.dir() + "\n");
  EXPECT_EQ(result.output_bytes, out().size());
  EXPECT_EQ(slurp(scratch_.file("err")), "warned\n");
  EXPECT_EQ(result.error_bytes, 7u);
  EXPECT_LT(result.wall_seconds, 2);
}

TEST_P(RunTest, RunsInACleanEnvironment) {
  RunRequest r = request({"env"});
  r.extra_environment = {"TARNWICK_TEST=1"};
  RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  const std::string pwd = "PWD=" + scratch_.dir() + "\n";  // bubblewrap's own addition
  EXPECT_EQ(out(), "PATH=/usr/local/bin:/usr/bin:/bin\nHOME=" + scratch_.dir() +
                       "\nLANG=C.UTF-8\nTARNWICK_TEST=1\n" +
                       (GetParam() == Isolation::kBubblewrap ? pwd : ""));
}

TEST_P(RunTest, ExitStatusThreeIsARuntimeError) {
  RunResult result = run_program(shell("exit 3"));
  EXPECT_EQ(result.end, RunEnd::kRuntimeError);
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(describe(result), "runtime error: exit status 3");
}

TEST_P(RunTest, CrashHalfWayTellsItsSignalAndKeepsItsOutput) {
  compile();
  RunResult result = run_program(request({"./misbehave", "crash"}));
  EXPECT_EQ(result.end, RunEnd::kRuntimeError) << describe(result);
  EXPECT_EQ(result.signal, SIGSEGV);
  EXPECT_EQ(out(), "half\n");
}

TEST_P(RunTest, InfiniteLoopIsStoppedByItsCpuTime) {
  RunResult result = run_program(shell("while :; do :; done"));
  EXPECT_EQ(result.end, RunEnd::kTimeLimit) << describe(result);
  EXPECT_GE(result.cpu_seconds, 0.5);
  EXPECT_LT(result.cpu_seconds, 0.8);  // the runner's looks, not RLIMIT_CPU's whole seconds
  EXPECT_LT(result.wall_seconds, 1.5);
}

TEST_P(RunTest, SleeperIsStoppedAtTheWallLimit) {
  RunRequest r = shell("sleep 30");
  r.limits.wall_seconds = 0.3;
  RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kWallTimeLimit) << describe(result);
  EXPECT_LT(result.cpu_seconds, 0.2);
  EXPECT_GE(result.wall_seconds, 0.3);
  EXPECT_LT(result.wall_seconds, 1.0);
}

TEST_P(RunTest, MemoryHogIsAMemoryLimit) {
  compile();
  RunResult result = run_program(request({"./misbehave", "hog"}));
  EXPECT_EQ(result.end, RunEnd::kMemoryLimit) << describe(result);
  EXPECT_LE(result.peak_memory_bytes, uint64_t{64} << 20);
  EXPECT_GT(result.peak_memory_bytes, uint64_t{48} << 20);
}

// A program stopped at its time limit keeps its peak memory, though a shell
// started it and was the process the runner started.
TEST_P(RunTest, StoppedAtTheTimeLimitKeepsItsPeakMemory) {
  compile();
  RunResult result = run_program(shell("./misbehave hold; echo never"));
  EXPECT_EQ(result.end, RunEnd::kTimeLimit) << describe(result);
  EXPECT_GT(result.peak_memory_bytes, uint64_t{32} << 20) << describe(result);
}

TEST_P(RunTest, WritingForeverIsAnOutputLimit) {
  RunResult result = run_program(request({"yes"}));
  EXPECT_EQ(result.end, RunEnd::kOutputLimit) << describe(result);
  EXPECT_EQ(result.output_bytes, (uint64_t{1} << 20) + 1);
}

TEST_P(RunTest, ForkBombIsBoundedByTheProcessLimit) {
  if (!runner_abilities().own_uid) GTEST_SKIP() << "the process limit needs root (a uid a run)";
  compile();
  RunResult result = run_program(request({"./misbehave", "forks"}));
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(out(), "7\n");  // 8 processes, itself included; its waiting children ended with it
}

TEST_P(RunTest, DaemonDoesNotOutliveTheRun) {
  // Leaves a daemon in a session of its own, holding standard output and error, writing a beat.
  RunResult result =
      run_program(shell("setsid sh -c 'while :; do echo x >> beat; sleep 0.01; done' &"
                        " while [ ! -s beat ]; do sleep 0.01; done; echo started"));
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_LT(result.wall_seconds, 1.0);  // not waiting for the daemon, nor for the end of its pipe
  const auto beat = fs::file_size(scratch_.file("beat"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(fs::file_size(scratch_.file("beat")), beat);
}

TEST_P(RunTest, WritingErrorsForeverStillMeetsTheTimeLimit) {
  RunRequest r = shell("yes >&2");
  r.limits.cpu_seconds = 0.3;
  RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kTimeLimit) << describe(result);
  // It ends, however loaded the machine (the wall-time backstop is far off);
  // of all it wrote, the first and last bytes are kept.
  EXPECT_LT(result.wall_seconds, 30);
  EXPECT_GT(result.error_bytes, 8192u);
  EXPECT_LT(fs::file_size(scratch_.file("err")), 4200u);  // the kept 4096 bytes and a line
}

TEST_P(RunTest, StandardErrorKeepsItsFirstAndLastBytes) {
  RunRequest r = shell("i=0; while [ $i -lt 1000 ]; do echo line$i >&2; i=$((i+1)); done");
  r.limits.error_bytes = 100;
  RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  const std::string kept = slurp(scratch_.file("err"));
  EXPECT_EQ(result.error_bytes, 7890u);  // "lineN\n" for N = 0 to 999
  EXPECT_EQ(kept.substr(0, 12), "line0\nline1\n");
  EXPECT_NE(kept.find("\n[... 7790 bytes left out ...]\n"), std::string::npos) << kept;
  EXPECT_EQ(kept.substr(kept.size() - 16), "line998\nline999\n");
}

TEST_P(RunTest, FilesOutsideItsFolderOnlyUnderBubblewrap) {
  Scratch other;  // a secret anyone may read, beside a folder anyone may write
  const std::string secret = "answer\n";
  fs::permissions(other.dir(), fs::perms::all);
  const std::string secret_path = other.file("secret", &secret);
  RunResult result =
      run_program(shell("cat " + secret_path + "; echo x > " + other.dir() + "/escaped"));
  const bool sandboxed = GetParam() == Isolation::kBubblewrap;
  EXPECT_EQ(out(), sandboxed ? "" : secret);
  EXPECT_EQ(fs::exists(other.file("escaped")), !sandboxed);
  EXPECT_EQ(result.end, sandboxed ? RunEnd::kRuntimeError : RunEnd::kFinished) << describe(result);
}

TEST_P(RunTest, NetworkOnlyWithoutBubblewrap) {
  compile();
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  const std::string port = std::to_string(ntohs(address.sin_port));
  RunResult result = run_program(request({"./misbehave", "connect", "127.0.0.1", port}));
  close(listener);
  const bool sandboxed = GetParam() == Isolation::kBubblewrap;
  EXPECT_EQ(out(), sandboxed ? "Connection refused\n" : "connected\n") << describe(result);
  if (!sandboxed) return;
  run_program(request({"./misbehave", "connect", "192.0.2.1", "80"}));  // TEST-NET-1
  EXPECT_EQ(out(), "Network is unreachable\n");
}

TEST(RunParallel, RunsOnThreadsKeepTheirOwnLimits) {
  Scratch built;
  ASSERT_EQ(compile_misbehave(built, Isolation::kBest).end, RunEnd::kFinished);
  std::vector<Scratch> folders(4);
  std::vector<RunResult> results(folders.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < folders.size(); ++i) {
    fs::copy_file(built.file("misbehave"), folders[i].file("misbehave"));
    RunRequest r = small_request(folders[i], {"./misbehave", "forks"}, Isolation::kBest);
    if (i == 0) r.argv = shell_command("while :; do :; done");
    threads.emplace_back([r, &results, i] { results[i] = run_program(r); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(results[0].end, RunEnd::kTimeLimit) << describe(results[0]);
  EXPECT_LT(results[0].cpu_seconds, 0.8);
  for (size_t i = 1; i < folders.size(); ++i) {
    EXPECT_EQ(results[i].end, RunEnd::kFinished) << describe(results[i]);
    // Each run's process count is its own (as root: a uid a run).
    if (runner_abilities().own_uid) {
      EXPECT_EQ(slurp(folders[i].file("out")), "7\n");
    }
  }
}

TEST(RunCannot, SaysWhy) {
  Scratch scratch;
  struct Case {
    std::vector<std::string> argv;
    std::string input, folder, why;
  } cases[] = {
      {{}, "", "", "no command"},
      {{"tarnwick-no-such-program"},
       "",
       "",
       "tarnwick-no-such-program: not found in /usr/local/bin"},
      {{"./missing"}, "", "", "./missing: No such file or directory"},
      {{"true"},
       "/nonexistent/in",
       "",
       "standard input /nonexistent/in: No such file or directory"},
      {{"true"}, "", "/nonexistent", "working folder /nonexistent: No such file or directory"},
  };
  for (const Case& c : cases) {
    RunRequest r = small_request(scratch, c.argv, Isolation::kBest);
    r.input_path = c.input;
    if (!c.folder.empty()) r.working_folder = c.folder;
    RunResult result = run_program(r);
    EXPECT_EQ(result.end, RunEnd::kCannotRun);
    EXPECT_EQ(result.note.substr(0, c.why.size()), c.why);
  }
}

TEST(RunCannot, LendsOnlyAPrivateFolder) {
  if (!runner_abilities().own_uid) GTEST_SKIP() << "folders are lent to a run's uid as root only";
  Scratch scratch;
  fs::permissions(scratch.dir(),
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  RunResult result = run_program(small_request(scratch, {"true"}, Isolation::kBest));
  EXPECT_EQ(result.end, RunEnd::kCannotRun);
  EXPECT_NE(result.note.find("not a private folder"), std::string::npos) << result.note;
}

TEST(RunCannot, BubblewrapFailingToStartIsNotTheProgramsFault) {
  if (!runner_abilities().bubblewrap) GTEST_SKIP() << runner_abilities().bubblewrap_why;
  Scratch scratch;
  RunRequest r = small_request(scratch, {"true"}, Isolation::kBubblewrap);
  r.visible_folders = {"/nonexistent-tarnwick"};
  RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kCannotRun);
  EXPECT_EQ(result.note.substr(0, 7), "bwrap: ") << result.note;
}

TEST(RunDescribe, OneLineEachEnd) {
  auto with = [](RunEnd end, auto set) {
    RunResult r;
    r.end = end;
    set(r);
    return describe(r);
  };
  EXPECT_EQ(with(RunEnd::kFinished, [](RunResult&) {}), "finished");
  EXPECT_EQ(with(RunEnd::kRuntimeError, [](RunResult& r) { r.signal = 6; }),
            "runtime error: killed by signal 6 (SIGABRT)");
  EXPECT_EQ(with(RunEnd::kTimeLimit, [](RunResult& r) { r.cpu_seconds = 1.019; }),
            "time limit (1.02 s of CPU)");
  EXPECT_EQ(with(RunEnd::kWallTimeLimit, [](RunResult& r) { r.wall_seconds = 5.004; }),
            "wall time limit (5.00 s, 0.00 s of CPU)");
  EXPECT_EQ(with(RunEnd::kMemoryLimit, [](RunResult& r) { r.peak_memory_bytes = 63 << 20; }),
            "memory limit (peak 63 MiB)");
  EXPECT_EQ(with(RunEnd::kOutputLimit, [](RunResult& r) { r.output_bytes = 1025; }),
            "output limit (1025 bytes)");
  EXPECT_EQ(with(RunEnd::kCannotRun, [](RunResult& r) { r.note = "x: y"; }), "cannot run: x: y");
}

TEST(RunProcStat, ReadsParentAndTicksPastAnyName) {
  ProcStat s;
  const std::string odd = "42 (a) b) S 7 42 42 0 -1 4194304 1 2 3 4 100 20 3 4 20 0 1 0";
  ASSERT_TRUE(parse_proc_stat(odd.data(), static_cast<long>(odd.size()), &s));
  EXPECT_EQ(s.ppid, 7);
  EXPECT_EQ(s.ticks, 127u);
  const std::string cut = "42 (sh) S 7 42";
  EXPECT_FALSE(parse_proc_stat(cut.data(), static_cast<long>(cut.size()), &s));
}

}  // namespace
}  // namespace tarnwick
