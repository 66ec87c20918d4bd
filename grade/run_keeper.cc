// The keeper and the program's process (run_keeper.h). Both run in the
// runner's memory, beside its thread and with its thread-local storage, so
// everything they run goes through sys(), which leaves errno alone, and
// nothing here allocates or takes a lock. AddressSanitizer stays out: its
// checks would run on the runner thread's state.
#include "grade/run_keeper.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <type_traits>

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

#define TARNWICK_KEEPER_SIDE __attribute__((no_sanitize("address")))

namespace tarnwick {
namespace {

template <typename T>
TARNWICK_KEEPER_SIDE inline long as_long(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<long>(value);
  } else if constexpr (std::is_null_pointer_v<T>) {
    return 0;
  } else {
    return static_cast<long>(value);
  }
}

TARNWICK_KEEPER_SIDE inline long sys6(long number, long a, long b, long c, long d, long e, long f) {
#if defined(__x86_64__)
  long result;
  register long r10 __asm__("r10") = d;
  register long r8 __asm__("r8") = e;
  register long r9 __asm__("r9") = f;
  __asm__ volatile("syscall"
                   : "=a"(result)
                   : "a"(number), "D"(a), "S"(b), "d"(c), "r"(r10), "r"(r8), "r"(r9)
                   : "rcx", "r11", "memory");
  return result;
#else
  // Elsewhere through libc, which sets errno on failure: the one place where
  // the keeper could write the runner thread's errno.
  long result = syscall(number, a, b, c, d, e, f);
  return result == -1 ? -errno : result;
#endif
}

// Makes system call `number`. Returns its result, or -errno.
template <typename... Args>
TARNWICK_KEEPER_SIDE inline long sys(long number, Args... args) {
  static_assert(sizeof...(Args) <= 6);
  long v[6] = {as_long(args)...};
  return sys6(number, v[0], v[1], v[2], v[3], v[4], v[5]);
}

// Ends the calling process (the keeper or the program's process, never the runner).
[[noreturn]] TARNWICK_KEEPER_SIDE void exit_now(int status) {
  for (;;) sys(SYS_exit_group, status);
}

TARNWICK_KEEPER_SIDE constexpr uint64_t signal_bit(int sig) { return uint64_t{1} << (sig - 1); }

// Marks descriptors `first` to `last` to be closed on exec, or closes them.
TARNWICK_KEEPER_SIDE void close_range_of(unsigned first, unsigned last, bool on_exec_only) {
  if (sys(SYS_close_range, first, last, on_exec_only ? CLOSE_RANGE_CLOEXEC : 0) == 0) return;
  for (unsigned fd = first; fd <= last && fd < 4096; ++fd) {  // before Linux 5.11
    if (on_exec_only) {
      sys(SYS_fcntl, fd, F_SETFD, FD_CLOEXEC);
    } else {
      sys(SYS_close, fd);
    }
  }
}

// The program's process, step by step: each returns 0 or -errno.

// A signal's action as the kernel's rt_sigaction takes it; all zero is SIG_DFL.
struct SigAction {
  unsigned long handler, flags, restorer, mask;
};

TARNWICK_KEEPER_SIDE long default_signal_actions(const KeeperPlan&, long) {
  const SigAction action = {};
  for (int sig = 1; sig <= 64; ++sig) {
    if (sig == SIGKILL || sig == SIGSTOP) continue;
    long r = sys(SYS_rt_sigaction, sig, &action, nullptr, 8);
    if (r < 0 && r != -EINVAL) return r;
  }
  return 0;
}

TARNWICK_KEEPER_SIDE long new_session(const KeeperPlan&, long) {
  long r = sys(SYS_setsid);
  return r < 0 ? r : 0;
}

// Returns true when `path` names the file open at `fd`.
TARNWICK_KEEPER_SIDE bool same_file(const char* path, long fd) {
  struct stat named, opened;
  return sys(SYS_newfstatat, AT_FDCWD, path, &named, 0) == 0 &&
         sys(SYS_newfstatat, fd, "", &opened, AT_EMPTY_PATH) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

// Makes each missing folder on the way to `path` (absolute), mode 0711.
TARNWICK_KEEPER_SIDE long make_path(const char* path) {
  char at[4096];
  for (unsigned i = 0; i + 1 < sizeof at; ++i) {
    at[i] = path[i];
    if (i == 0 || (path[i] != '/' && path[i] != '\0')) continue;
    at[i] = '\0';
    long r = sys(SYS_mkdirat, AT_FDCWD, at, 0711);
    if (r < 0 && r != -EEXIST) return r;
    if (path[i] == '\0') return 0;
    at[i] = '/';
  }
  return -ENAMETOOLONG;
}

// A mount each run in a sandbox has of its own.
struct RunMount {
  const char *source, *target, *type;
  unsigned long flags;
  const char* options;
};

constexpr RunMount kRunMounts[] = {
    {"proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr},
    {"tmpfs", "/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777"},
    {"tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777"},
};

// Mounts the run's own /proc, /tmp and /dev/shm in its mount namespace, and
// puts the sandbox's folder back where it was should they cover it.
TARNWICK_KEEPER_SIDE long mount_run_folders(const KeeperPlan& plan) {
  const long folder =
      sys(SYS_open_tree, AT_FDCWD, plan.sandbox_folder, OPEN_TREE_CLONE | OPEN_TREE_CLOEXEC);
  if (folder < 0) return folder;
  long r = 0;
  for (const RunMount& m : kRunMounts) {
    if (r == 0) r = sys(SYS_mount, m.source, m.target, m.type, m.flags, m.options);
  }
  if (r == 0 && !same_file(plan.sandbox_folder, folder)) {
    r = make_path(plan.sandbox_folder);
    if (r == 0) {
      r = sys(SYS_move_mount, folder, "", AT_FDCWD, plan.sandbox_folder, MOVE_MOUNT_F_EMPTY_PATH);
    }
  }
  sys(SYS_close, folder);
  return r;
}

// Joins the sandbox's mount and network namespaces, in a mount namespace of
// the run's own (its mounts go nowhere else) with its own folders.
TARNWICK_KEEPER_SIDE long enter_sandbox(const KeeperPlan& plan, long) {
  if (plan.sandbox_mount_fd < 0) return 0;
  long r = sys(SYS_setns, plan.sandbox_mount_fd, CLONE_NEWNS);
  if (r == 0) r = sys(SYS_setns, plan.sandbox_network_fd, CLONE_NEWNET);
  if (r == 0) r = sys(SYS_unshare, CLONE_NEWNS);
  if (r == 0) r = sys(SYS_mount, "none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
  return r == 0 ? mount_run_folders(plan) : r;
}

// Enters the working folder: in a sandbox by its path there, which must be
// the folder opened for the run.
TARNWICK_KEEPER_SIDE long enter_folder(const KeeperPlan& plan, long) {
  if (plan.folder_path == nullptr) return sys(SYS_fchdir, plan.folder_fd);
  long r = sys(SYS_chdir, plan.folder_path);
  return r == 0 && !same_file(".", plan.folder_fd) ? -ESTALE : r;
}

TARNWICK_KEEPER_SIDE long take_streams(const KeeperPlan& plan, long) {
  const int from[3] = {plan.input_fd, plan.output_fd, plan.error_fd};
  for (int to = 0; to < 3; ++to) {
    long r = sys(SYS_dup3, from[to], to, 0);
    if (r < 0) return r;
  }
  close_range_of(3, ~0U, true);
  return 0;
}

TARNWICK_KEEPER_SIDE long take_limits(const KeeperPlan& plan, long) {
  for (int i = 0; i < plan.limit_count; ++i) {
    const ResourceLimit& l = plan.limits[i];
    const uint64_t values[2] = {l.soft, l.hard};
    long r = sys(SYS_prlimit64, 0, l.resource, values, nullptr);
    if (r < 0) return r;
  }
  return 0;
}

// Takes plan.run_uid, when set. The shared memory turns undumpable with it
// (the kernel's rule for a change of uid): a root grader loses nothing by it.
TARNWICK_KEEPER_SIDE long take_uid(const KeeperPlan& plan, long) {
  if (plan.run_uid < 0) return 0;
  long r = sys(SYS_setgroups, 0, nullptr);
  if (r == 0) r = sys(SYS_setresgid, plan.run_uid, plan.run_uid, plan.run_uid);
  if (r == 0) r = sys(SYS_setresuid, plan.run_uid, plan.run_uid, plan.run_uid);
  return r;
}

// Dies with the keeper, gains no rights by exec, makes files as the umask 0
// allows (the working folder stays 0700), and lets every signal in.
TARNWICK_KEEPER_SIDE long watch_keeper(const KeeperPlan&, long keeper_pid) {
  long r = sys(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (r < 0) return r;
  if (sys(SYS_getppid) != keeper_pid) return -ESRCH;
  if ((r = sys(SYS_prctl, PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0)) < 0) return r;
  sys(SYS_umask, 0);
  const uint64_t none = 0;
  return sys(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, 8);
}

// The system calls of a run in a sandbox, filtered in place of bubblewrap's
// --disable-userns: unshare and clone asking for a user namespace fail with
// EPERM, clone3 (whose flags a filter cannot read) with ENOSYS, which libc
// takes to mean clone; on x86-64 the same for x32 and i386 calls.
#if defined(__x86_64__)
constexpr uint32_t kNativeArch = AUDIT_ARCH_X86_64, kNativeUnshare = 272, kNativeClone = 56;
#elif defined(__aarch64__)
constexpr uint32_t kNativeArch = AUDIT_ARCH_AARCH64, kNativeUnshare = 97, kNativeClone = 220;
#endif
#if defined(__x86_64__) || defined(__aarch64__)
constexpr uint32_t kX32Bit = 0x40000000;  // no aarch64 call has it
constexpr uint32_t kClone3 = 435;         // on every architecture
constexpr uint32_t kI386Unshare = 310, kI386Clone = 120;

constexpr sock_filter kUserNamespaceFilter[] = {
    /* 0 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
    /* 1 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kNativeArch, 0, 5),  // else 7
    /* 2 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    /* 3 */ BPF_STMT(BPF_ALU | BPF_AND | BPF_K, ~kX32Bit),
    /* 4 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kNativeUnshare, 8, 0),  // 13
    /* 5 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kNativeClone, 7, 0),    // 13
    /* 6 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kClone3, 10, 5),        // 17, else 12
    /* 7 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_I386, 0, 4),  // else 12
    /* 8 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    /* 9 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kI386Unshare, 3, 0),  // 13
    /* 10 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kI386Clone, 2, 0),   // 13
    /* 11 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kClone3, 5, 0),      // 17
    /* 12 */ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    // the flags, the first argument's low 32 bits (little-endian)
    /* 13 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args)),
    /* 14 */ BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, CLONE_NEWUSER, 1, 0),  // 16
    /* 15 */ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    /* 16 */ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
    /* 17 */ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
};

// In a sandbox, lets the program make no user namespace (after no_new_privs).
TARNWICK_KEEPER_SIDE long filter_calls(const KeeperPlan& plan, long) {
  if (plan.sandbox_mount_fd < 0) return 0;
  const sock_fprog program = {sizeof kUserNamespaceFilter / sizeof kUserNamespaceFilter[0],
                              const_cast<sock_filter*>(kUserNamespaceFilter)};
  return sys(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program);
}
#else
TARNWICK_KEEPER_SIDE long filter_calls(const KeeperPlan& plan, long) {
  return plan.sandbox_mount_fd < 0 ? 0 : -ENOSYS;  // kKeeperFiltersCalls is false
}
#endif

using ProgramStep = long (*)(const KeeperPlan&, long keeper_pid);

struct NamedStep {
  KeeperStep step;
  ProgramStep run;
};

constexpr NamedStep kProgramSteps[] = {
    {KeeperStep::kSignals, default_signal_actions},
    {KeeperStep::kSession, new_session},
    {KeeperStep::kSandbox, enter_sandbox},
    {KeeperStep::kFolder, enter_folder},
    {KeeperStep::kStreams, take_streams},
    {KeeperStep::kLimits, take_limits},
    {KeeperStep::kUid, take_uid},
    {KeeperStep::kParent, watch_keeper},
    {KeeperStep::kFilter, filter_calls},
};

// The program's process: its steps, then exec. Tells the step that failed.
TARNWICK_KEEPER_SIDE int program_main(void* arg) {
  Keeper& keeper = *static_cast<Keeper*>(arg);
  const KeeperPlan& plan = keeper.plan;
  for (const NamedStep& s : kProgramSteps) {
    long r = s.run(plan, keeper.report.keeper_pid);
    if (r < 0) {
      keeper.report.failed_step = s.step;
      keeper.report.error = static_cast<int>(-r);
      exit_now(127);
    }
  }
  long r = sys(SYS_execve, plan.exec_path, plan.argv, plan.envp);
  keeper.report.failed_step = KeeperStep::kExec;
  keeper.report.error = static_cast<int>(-r);
  exit_now(127);
}

// The keeper.

// Ties the keeper to its parent thread and, outside a namespace of its own,
// makes it the subreaper of the tree. Returns a descriptor reading SIGCHLD and
// SIGTERM (blocked since the runner started it), or -errno. SIGCHLD gets its
// default action back, should the grader ignore it (children would then
// reap themselves, their status lost).
TARNWICK_KEEPER_SIDE long keeper_setup(const KeeperPlan& plan) {
  long r = sys(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (r < 0) return r;
  const SigAction default_action = {};
  if ((r = sys(SYS_rt_sigaction, SIGCHLD, &default_action, nullptr, 8)) < 0) return r;
  if (sys(SYS_getppid) != (plan.pid_namespace ? 0 : plan.runner_pid)) return -ESRCH;
  if (!plan.pid_namespace && (r = sys(SYS_prctl, PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)) < 0) {
    return r;
  }
  const uint64_t mask = signal_bit(SIGCHLD) | signal_bit(SIGTERM);
  return sys(SYS_signalfd4, -1, &mask, 8, SFD_CLOEXEC);
}

enum class Reaped { kSomeLeft, kNoneLeft };

TARNWICK_KEEPER_SIDE void note_peak(KeeperReport& report, const struct rusage& usage) {
  if (usage.ru_maxrss > report.peak_kib) report.peak_kib = usage.ru_maxrss;
}

// Reaps every child that has ended, noting its peak memory, and the
// program's status when `watching` (it ended by itself).
TARNWICK_KEEPER_SIDE Reaped reap_ended(KeeperReport& report, long program, bool watching) {
  for (;;) {
    int status = 0;
    struct rusage usage = {};
    long pid = sys(SYS_wait4, -1, &status, WNOHANG | __WALL, &usage);
    if (pid <= 0) return pid == 0 ? Reaped::kSomeLeft : Reaped::kNoneLeft;
    note_peak(report, usage);
    if (pid == program && watching) {
      report.program_ended = true;
      report.program_status = status;
    }
  }
}

// Reaps the tree as it goes, until the program's process has ended or
// SIGTERM came.
TARNWICK_KEEPER_SIDE void keep_until_end(KeeperReport& report, long program, int signals) {
  for (;;) {
    reap_ended(report, program, true);
    if (report.program_ended) return;
    struct signalfd_siginfo info;
    long n = sys(SYS_read, signals, &info, sizeof info);
    if (n == sizeof info && info.ssi_signo == SIGTERM) return;
  }
}

// Returns the parent of process `name` (a /proc entry), or -1.
TARNWICK_KEEPER_SIDE long parent_of(int proc, const char* name) {
  char path[64];
  int n = 0;
  while (name[n] != '\0' && n < 40) path[n] = name[n], ++n;
  for (const char* s = "/stat"; *s != '\0'; ++s) path[n++] = *s;
  path[n] = '\0';
  long fd = sys(SYS_openat, proc, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char text[1024];
  long size = sys(SYS_read, fd, text, sizeof text);
  sys(SYS_close, fd);
  ProcStat stat;
  return size > 0 && parse_proc_stat(text, size, &stat) ? stat.ppid : -1;
}

struct LinuxDirent64 {
  uint64_t ino;
  int64_t off;
  unsigned short reclen;
  unsigned char type;
  char name[1];
};

// Sends SIGKILL to every process /proc shows as a child of `parent`: each
// round ends a generation of the tree, whose children then come to the
// keeper as their subreaper.
TARNWICK_KEEPER_SIDE void kill_children(long parent) {
  long proc = sys(SYS_openat, AT_FDCWD, "/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (proc < 0) return;
  alignas(8) char entries[4096];
  long n;
  while ((n = sys(SYS_getdents64, proc, entries, sizeof entries)) > 0) {
    for (long at = 0; at < n;) {
      const auto* e = reinterpret_cast<const LinuxDirent64*>(entries + at);
      at += e->reclen;
      if (e->name[0] < '1' || e->name[0] > '9' || parent_of(proc, e->name) != parent) continue;
      long pid = 0;
      for (const char* c = e->name; *c >= '0' && *c <= '9'; ++c) pid = pid * 10 + (*c - '0');
      sys(SYS_kill, pid, SIGKILL);
    }
  }
  sys(SYS_close, proc);
}

// Waits up to 10 ms for a child to end (a SIGCHLD on `signals`).
TARNWICK_KEEPER_SIDE void wait_for_a_child(int signals) {
  struct pollfd p = {signals, POLLIN, 0};
  const struct timespec ten_ms = {0, 10'000'000};
  if (sys(SYS_ppoll, &p, 1, &ten_ms, nullptr, 8) == 1) {
    struct signalfd_siginfo info;
    sys(SYS_read, signals, &info, sizeof info);
  }
}

// Ends every process of the tree and reaps them, then the keeper. As a
// namespace's init the keeper kills every other process of the namespace at
// once and reaps them all, each for its peak memory (the program's process
// may be a shell whose child holds the memory), then ends.
[[noreturn]] TARNWICK_KEEPER_SIDE void end_tree(Keeper& keeper, long program, int signals) {
  if (program > 0 && !keeper.report.program_ended) sys(SYS_kill, program, SIGKILL);
  if (keeper.plan.pid_namespace) {
    // From a namespace's init (pid 1, never else): every process of it but the init.
    if (sys(SYS_getpid) == 1) sys(SYS_kill, -1, SIGKILL);
    struct rusage usage = {};
    while (sys(SYS_wait4, -1, nullptr, __WALL, &usage) > 0) {
      note_peak(keeper.report, usage);
      usage = {};
    }
    exit_now(0);
  }
  if (program > 0) sys(SYS_kill, -program, SIGKILL);
  while (reap_ended(keeper.report, program, false) == Reaped::kSomeLeft) {
    kill_children(keeper.report.keeper_pid);
    wait_for_a_child(signals);
  }
  exit_now(0);
}

TARNWICK_KEEPER_SIDE int keeper_main(void* arg) {
  Keeper& keeper = *static_cast<Keeper*>(arg);
  KeeperReport& report = keeper.report;
  long signals = keeper_setup(keeper.plan);
  if (signals < 0) {
    report.failed_step = KeeperStep::kStart;
    report.error = static_cast<int>(-signals);
    exit_now(0);
  }
  report.keeper_pid = sys(SYS_getpid);
  long program = clone(program_main, keeper.program_stack + kKeeperStackBytes,
                       CLONE_VM | CLONE_VFORK | SIGCHLD, &keeper);
  if (program < 0) {
    report.failed_step = KeeperStep::kStart;
    report.error = errno;  // clone's one way to tell
  }
  // The keeper holds nothing of the runner's but its memory: no end of a pipe, no file.
  if (signals > 0) close_range_of(0, static_cast<unsigned>(signals) - 1, false);
  close_range_of(static_cast<unsigned>(signals) + 1, ~0U, false);
  if (program > 0) keep_until_end(report, program, static_cast<int>(signals));
  end_tree(keeper, program, static_cast<int>(signals));
}

TARNWICK_KEEPER_SIDE int probe_child(void* uid) {
  const long* run_uid = static_cast<const long*>(uid);
  if (run_uid == nullptr) exit_now(0);
  KeeperPlan plan;
  plan.run_uid = *run_uid;
  exit_now(take_uid(plan, 0) == 0 ? 0 : 1);
}

// Returns true when a child made with `flags` ran probe_child(arg) to a clean exit.
bool probe(long* arg, int flags) {
  alignas(64) char stack[16 << 10];  // ours alone: we wait while the child runs
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old);
  int pid = clone(probe_child, stack + sizeof stack, CLONE_VM | CLONE_VFORK | SIGCHLD | flags, arg);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  int status = 0;
  return pid > 0 && waitpid(pid, &status, __WALL) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace

const char* keeper_step_name(KeeperStep step) {
  switch (step) {
    case KeeperStep::kNone: return "nothing";
    case KeeperStep::kStart: return "starting its keeper";
    case KeeperStep::kSignals: return "setting its signals";
    case KeeperStep::kSession: return "making its session";
    case KeeperStep::kSandbox: return "entering its sandbox";
    case KeeperStep::kFilter: return "filtering its system calls";
    case KeeperStep::kFolder: return "entering the working folder";
    case KeeperStep::kStreams: return "opening its standard streams";
    case KeeperStep::kLimits: return "setting its limits";
    case KeeperStep::kUid: return "taking its uid";
    case KeeperStep::kParent: return "tying it to its keeper";
    case KeeperStep::kExec: return "executing it";
  }
  return "?";
}

std::shared_mutex& spawn_lock() {
  static std::shared_mutex lock;
  return lock;
}

long start_keeper(Keeper* keeper) {
  const std::unique_lock<std::shared_mutex> hold(spawn_lock());
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old);
  const KeeperPlan& plan = keeper->plan;
  const int flags = CLONE_VM | SIGCHLD | (plan.pid_namespace ? CLONE_NEWPID : 0) |
                    (plan.sandbox_mount_fd >= 0 ? CLONE_NEWIPC | CLONE_NEWUTS | CLONE_NEWCGROUP : 0);
  int pid = clone(keeper_main, keeper->keeper_stack + kKeeperStackBytes, flags, keeper);
  int error = errno;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return pid < 0 ? -error : pid;
}

bool can_make_pid_namespace() { return probe(nullptr, CLONE_NEWPID); }

bool can_take_uid(long uid) { return probe(&uid, 0); }

bool parse_proc_stat(const char* text, long size, ProcStat* stat) {
  long at = size;
  while (at > 0 && text[at - 1] != ')') --at;  // the name may hold ')' too: the last one ends it
  if (at == 0) return false;
  uint64_t fields[18] = {};  // fields[k]: field k of proc(5), 3 to 17
  for (int field = 3; field <= 17; ++field) {
    while (at < size && text[at] == ' ') ++at;
    if (at == size) return false;
    if (text[at] == '-') ++at;
    while (at < size && text[at] >= '0' && text[at] <= '9') {
      fields[field] = fields[field] * 10 + static_cast<uint64_t>(text[at++] - '0');
    }
    while (at < size && text[at] != ' ') ++at;
  }
  stat->ppid = static_cast<long>(fields[4]);
  stat->ticks = fields[14] + fields[15] + fields[16] + fields[17];
  return true;
}

}  // namespace tarnwick
