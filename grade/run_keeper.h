// The two processes the runner starts for a run: the keeper, which starts the
// program's process, reaps every process of the tree and ends it; and the
// program's process, which takes the run's limits, streams and uid and
// executes the program (or bubblewrap). Both share the runner's memory, so
// that starting them costs no copy of a large grader's page tables: they make
// system calls only, allocate nothing and leave errno alone.
#ifndef TARNWICK_GRADE_RUN_KEEPER_H_
#define TARNWICK_GRADE_RUN_KEEPER_H_

#include <sys/types.h>

#include <cstdint>
#include <shared_mutex>

namespace tarnwick {

// One resource limit (RLIMIT_*) the program's process takes.
struct ResourceLimit {
  int resource = 0;
  uint64_t soft = 0, hard = 0;
};

// What the keeper and the program's process do, all made ready before they
// start.
struct KeeperPlan {
  const char* exec_path = nullptr;                                   // the program, or bubblewrap
  char* const* argv = nullptr;                                       // ending in nullptr
  char* const* envp = nullptr;                                       // ending in nullptr
  int folder_fd = -1, input_fd = -1, output_fd = -1, error_fd = -1;  // all >= 3
  ResourceLimit limits[8];
  int limit_count = 0;
  long run_uid = -1;           // >= 0: the program's process takes it as uid and gid
  bool pid_namespace = false;  // the keeper is the init of a pid namespace of its own
  pid_t runner_pid = 0;        // the keeper's parent
  // A sandbox (sandbox.h) when sandbox_mount_fd >= 0: the keeper has an IPC,
  // UTS and cgroup namespace of its own besides its pid namespace, and the
  // program's process joins the sandbox's mount and network namespaces, in
  // a mount namespace of its own with a fresh /proc, /tmp and /dev/shm and
  // the sandbox's folder (sandbox_folder) where it was, then enters the
  // working folder by its path there (folder_path), which must be folder_fd's.
  int sandbox_mount_fd = -1, sandbox_network_fd = -1;
  const char* sandbox_folder = nullptr;
  const char* folder_path = nullptr;
};

// The step of the program's process that failed, if any.
enum class KeeperStep {
  kNone,
  kStart,
  kSignals,
  kSession,
  kSandbox,
  kFolder,
  kStreams,
  kLimits,
  kUid,
  kParent,
  kFilter,
  kExec
};

// True where the program's process in a sandbox can be kept from making
// user namespaces (x86-64 and aarch64): elsewhere runs do not enter sandboxes.
#if defined(__x86_64__) || defined(__aarch64__)
inline constexpr bool kKeeperFiltersCalls = true;
#else
inline constexpr bool kKeeperFiltersCalls = false;
#endif

// Returns what a step does, for "cannot run" ("executing it", "taking its uid").
const char* keeper_step_name(KeeperStep step);

// What the keeper tells, read by the runner once the keeper has ended.
struct KeeperReport {
  KeeperStep failed_step = KeeperStep::kNone;  // the program's process did not get to run
  int error = 0;                               // the errno of that step
  bool program_ended = false;  // the program's process ended by itself (not ended by the keeper)
  int program_status = 0;      // its wait status, when program_ended
  long peak_kib = 0;           // the largest ru_maxrss of the processes the keeper reaped
  long keeper_pid = 0;         // the keeper's pid as the program's process sees it
};

inline constexpr int kKeeperStackBytes = 64 << 10;

// A keeper's memory: its plan, its report and the two stacks. Must outlive
// the keeper (until the runner has reaped it).
struct Keeper {
  KeeperPlan plan;
  KeeperReport report;
  alignas(64) char keeper_stack[kKeeperStackBytes];
  alignas(64) char program_stack[kKeeperStackBytes];
};

// Starts the keeper of `keeper`, which must be filled in and outlive it, from
// the calling thread (whose signals are blocked meanwhile). Returns its pid,
// or -errno. The keeper ends its tree and itself on SIGTERM, and with its
// parent thread.
long start_keeper(Keeper* keeper);

// The runner's hold on starting processes. A file the runner writes (a copy
// of a built program among them) is written under a shared hold, and a
// process is started under the exclusive one: a process started while the
// copy is open for writing would inherit its descriptor, and the program
// could not be executed until that process closed it ("Text file busy",
// exit status 126 from the shell that runs it).
std::shared_mutex& spawn_lock();

// Returns true when a pid namespace can be made here (a probe child).
bool can_make_pid_namespace();
// Returns true when a child can take `uid` as uid and gid (a probe child).
bool can_take_uid(long uid);

// The fields of /proc/PID/stat that the runner and the keeper read.
struct ProcStat {
  long ppid = 0;
  uint64_t ticks = 0;  // utime + stime + cutime + cstime, in clock ticks
};

// Reads `text`, the `size` bytes of a /proc/PID/stat, into *stat. Returns
// false when it is not one. Allocates nothing.
bool parse_proc_stat(const char* text, long size, ProcStat* stat);

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_RUN_KEEPER_H_
