// Runs entering one sandbox (sandbox.h) one after another and at once:
// nothing a run leaves (a daemon holding a socket, files in /tmp and
// /dev/shm, shared memory, files beside its folder) is there for the next;
// a program that kills all it can ends its own run alone; a keeper killed
// from outside is a run that could not run, not a hang; a folder outside the
// sandbox is refused; no user namespace can be made; runs keep the runner's
// limit on open files. As root with bubblewrap only (else skipped, saying why).
#include "grade/sandbox.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "grade/run.h"
#include "grade/run_keeper.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using tarnwick_test::slurp;

// Leaves what it can for a later run ("leave": a file in /tmp and in
// /dev/shm, shared memory, and a daemon listening on an abstract socket of
// the sandbox's network), or tells which of them it finds ("look").
constexpr char kLeaver[] = R"(#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const char *found(int yes) { return yes ? "found" : "gone"; }

int main(int argc, char **argv) {
  struct sockaddr_un a = {AF_UNIX, "\0tarnwick-left"};
  int s = socket(AF_UNIX, SOCK_STREAM, 0);
  if (argc > 1 && strcmp(argv[1], "leave") == 0) {
    fclose(fopen("/tmp/left", "w"));
    fclose(fopen("/dev/shm/left", "w"));
    shmget(0x7a7a, 4096, IPC_CREAT | 0666);
    if (bind(s, (struct sockaddr *)&a, sizeof a) != 0 || listen(s, 1) != 0) return 1;
    if (fork() == 0) {
      setsid();
      prctl(PR_SET_NAME, "tarnwick-left");
      for (;;) pause();
    }
    puts("left");
    return 0;
  }
  printf("socket %s, ", found(connect(s, (struct sockaddr *)&a, sizeof a) == 0));
  printf("tmp %s, ", found(access("/tmp/left", F_OK) == 0));
  printf("shm %s, ", found(access("/dev/shm/left", F_OK) == 0));
  printf("ipc %s\n", found(shmget(0x7a7a, 0, 0) >= 0));
  return 0;
}
)";

// Tells how each way of making a process or a user namespace fares: the
// ways that ask for a user namespace refused, as bubblewrap's
// --disable-userns refuses them; fork and threads (through clone3's refusal
// to clone) as ever.
constexpr char kCalls[] = R"(#define _GNU_SOURCE
#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

static void tell(const char *what, long r) {
  if (r == 0) _exit(0);  /* a child made by clone */
  if (r > 0) waitpid((pid_t)r, NULL, 0);
  printf("%s: %s\n", what, r >= 0 ? "made" : strerrorname_np(errno));
}
static void *nothing(void *arg) { return arg; }

int main(void) {
  uint64_t args[8] = {CLONE_NEWUSER, 0, 0, 0, SIGCHLD};
  tell("unshare, user", unshare(CLONE_NEWUSER));
  tell("clone, user", syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, 0, 0, 0, 0));
  tell("clone3, user", syscall(435, args, sizeof args));
  fflush(stdout);
  tell("fork", fork());
  pthread_t t;
  pthread_attr_t small; /* the stack limit is the memory limit: too big for a thread */
  pthread_attr_init(&small);
  pthread_attr_setstacksize(&small, 1 << 20);
  errno = pthread_create(&t, &small, nothing, NULL);
  tell("thread", errno == 0 && pthread_join(t, NULL) == 0 ? 1 : -1);
  return 0;
}
)";

// A sandbox around a scratch folder (mode 0711, as a grader's), the leaver
// built in its folder bin/, and a folder of its own for each run.
class SandboxTest : public testing::Test {
 protected:
  void SetUp() override {
    const RunnerAbilities& a = runner_abilities();
    if (!a.bubblewrap || !a.enters_sandboxes) {
      GTEST_SKIP() << "runs enter sandboxes as root with bubblewrap only";
    }
    fs::permissions(box(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    ASSERT_EQ(sandbox_.open(box()), "");
    RunResult built = run(folder("bin"), {"cc", "-O0", "-o", "leaver", "leaver.c"}, [&] {
      scratch_.file("bin/leaver.c", kLeaver);
    });
    ASSERT_EQ(built.end, RunEnd::kFinished) << describe(built) << slurp(path("err"));
    fs::permissions(box() + "/bin", fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
  }
  std::string box() const { return scratch_.dir().string(); }
  std::string path(const std::string& name) const { return (scratch_.dir() / name).string(); }
  std::string leaver() const { return box() + "/bin/leaver"; }
  // Makes a private folder `name` in the sandbox's folder (mode 0700).
  std::string folder(const std::string& name) const {
    fs::create_directory(box() + "/" + name);
    fs::permissions(box() + "/" + name, fs::perms::owner_all);
    return box() + "/" + name;
  }
  // Runs `argv` in `in` in the sandbox under small limits, once `ready` has
  // put its files there: standard output to "out", standard error to "err".
  RunResult run(const std::string& in, std::vector<std::string> argv,
                const std::function<void()>& ready = [] {}) {
    ready();
    RunRequest r;
    r.argv = std::move(argv);
    r.working_folder = in;
    r.output_path = path("out");
    r.error_path = path("err");
    r.isolation = Isolation::kBubblewrap;
    r.sandbox = &sandbox_;
    r.limits = {2, 5, uint64_t{1} << 30, uint64_t{1} << 20, 16, 4096};
    return run_program(r);
  }
  std::string out() const { return slurp(path("out")); }

  tarnwick_test::Scratch scratch_;
  Sandbox sandbox_;
};

TEST_F(SandboxTest, NothingARunLeavesIsThereForTheNext) {
  // Within one run, the leaver finds all it left: the look can see them.
  RunResult result = run(folder("run1"), shell_command(leaver() + " leave && " + leaver()));
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(out(), "left\nsocket found, tmp found, shm found, ipc found\n");
  // The next run finds none: the daemon, which held the socket, ended with its run.
  result = run(folder("run2"), {leaver(), "look"});
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(out(), "socket gone, tmp gone, shm gone, ipc gone\n");
}

TEST_F(SandboxTest, NothingButItsFolderIsWritable) {
  RunResult result =
      run(folder("run1"), shell_command("for f in / /dev .. ../bin /etc; do touch $f/left || "
                                        "echo $f; done 2>/dev/null; touch left && echo ."));
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(out(), "/\n/dev\n..\n../bin\n/etc\n.\n");
}

TEST_F(SandboxTest, AProgramKillingAllItCanEndsItsOwnRunAlone) {
  RunResult result =
      run(folder("run1"), shell_command("exec <&- >&- 2>&-; kill -9 1; kill -9 -1; kill -9 $$"));
  EXPECT_EQ(result.end, RunEnd::kRuntimeError) << describe(result);
  EXPECT_EQ(result.signal, SIGKILL);
  result = run(folder("run2"), shell_command("echo next"));
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(out(), "next\n");
}

// Returns the parent of the process whose command line is `cmdline`, as
// this process sees it, once there is one (up to 5 s); else -1.
long parent_of_command(const std::string& cmdline) {
  for (int look = 0; look < 500; ++look) {
    std::error_code error;
    for (fs::directory_iterator it("/proc", error), end; !error && it != end;
         it.increment(error)) {
      const std::string stat = slurp(it->path() / "stat");
      ProcStat parsed;
      if (slurp(it->path() / "cmdline") == cmdline &&
          parse_proc_stat(stat.data(), static_cast<long>(stat.size()), &parsed)) {
        return parsed.ppid;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

TEST_F(SandboxTest, AKeeperKilledFromOutsideIsARunThatCouldNotRun) {
  RunResult result;
  std::thread running([&] { result = run(folder("run1"), {"sleep", "31.4159"}); });
  const long keeper = parent_of_command(std::string("sleep\0" "31.4159\0", 14));
  if (keeper > 0) kill(static_cast<pid_t>(keeper), SIGKILL);
  running.join();
  ASSERT_GT(keeper, 0) << "the sleeping program was not found";
  EXPECT_EQ(result.end, RunEnd::kCannotRun) << describe(result);
  EXPECT_NE(result.note.find("its keeper ended before it did"), std::string::npos) << result.note;
  EXPECT_LT(result.wall_seconds, 4.9);
  result = run(folder("run2"), shell_command("echo next"));
  EXPECT_EQ(out(), "next\n") << describe(result);
}

TEST_F(SandboxTest, RunsAtOnceKeepTheirOwnTmp) {
  std::vector<RunResult> results(3);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    const std::string in = folder("run" + std::to_string(i));
    threads.emplace_back([&, i, in] {
      RunRequest r;
      r.argv = shell_command("echo " + std::to_string(i) + " > /tmp/me; sleep 0.3; cat /tmp/me");
      r.working_folder = in;
      r.output_path = in + ".out";
      r.isolation = Isolation::kBubblewrap;
      r.sandbox = &sandbox_;
      results[i] = run_program(r);
    });
  }
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].end, RunEnd::kFinished) << describe(results[i]);
    EXPECT_EQ(slurp(box() + "/run" + std::to_string(i) + ".out"), std::to_string(i) + "\n");
  }
}

TEST_F(SandboxTest, NoUserNamespaceCanBeMade) {
  RunResult built = run(folder("calls"), {"cc", "-O0", "-pthread", "-o", "calls", "calls.c"},
                        [&] { scratch_.file("calls/calls.c", kCalls); });
  ASSERT_EQ(built.end, RunEnd::kFinished) << describe(built) << slurp(path("err"));
  fs::permissions(box() + "/calls", fs::perms::others_read | fs::perms::others_exec,
                  fs::perm_options::add);
  const RunResult result = run(folder("run1"), {box() + "/calls/calls"});
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result) << slurp(path("err"));
  EXPECT_EQ(out(),
            "unshare, user: EPERM\n"
            "clone, user: EPERM\n"
            "clone3, user: ENOSYS\n"
            "fork: made\n"
            "thread: made\n");
}

// However many sandboxes the runner holds open, runs keep the limit on open
// files it had before it made room for them.
TEST_F(SandboxTest, RunsKeepTheOpenFilesLimitTheRunnerHad) {
  make_room_for_sandboxes(100000);
  rlimit now{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &now), 0);
  EXPECT_EQ(now.rlim_cur, std::min<rlim_t>(now.rlim_max, run_open_files_limit() + 200000));
  const RunResult result = run(folder("run1"), shell_command("ulimit -n"));
  EXPECT_EQ(result.end, RunEnd::kFinished) << describe(result);
  EXPECT_EQ(out(), std::to_string(run_open_files_limit()) + "\n");
}

TEST_F(SandboxTest, AFolderOutsideItIsRefused) {
  tarnwick_test::Scratch elsewhere;
  RunRequest r;
  r.argv = {"true"};
  r.working_folder = elsewhere.dir().string();
  r.isolation = Isolation::kBubblewrap;
  r.sandbox = &sandbox_;
  const RunResult result = run_program(r);
  EXPECT_EQ(result.end, RunEnd::kCannotRun);
  EXPECT_NE(result.note.find("not in its sandbox's folder"), std::string::npos) << result.note;
  Sandbox missing;
  EXPECT_EQ(missing.open(box() + "/missing").substr(0, 7), "bwrap: ");
  EXPECT_EQ(missing.mount_namespace(), -1);
}

}  // namespace
}  // namespace tarnwick
