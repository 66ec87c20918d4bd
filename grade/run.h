// Running one untrusted program once, under limits, and telling how it ended:
// what tarnwick-grade's build and run commands stand on. Whatever the program
// does (forks, calls setsid, sleeps, loops, leaves daemons), its whole process
// tree has ended when run_program returns; runs may go on at once on threads.
#ifndef TARNWICK_GRADE_RUN_H_
#define TARNWICK_GRADE_RUN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class Sandbox;  // sandbox.h

// How a run is kept apart from the machine, strongest first. Under each, the
// whole process tree ends with the run, and as root every run has a uid of
// its own (see RunnerAbilities::own_uid).
enum class Isolation {
  kBest,  // in a request: the strongest this machine allows
  // bubblewrap: no network; the system folders (/usr, /etc, ...) read-only,
  // /tmp empty, the working folder the only one it can write, nothing else of
  // the machine's files seen; a pid namespace of its own. As root, the run
  // enters a sandbox that bubblewrap laid out (sandbox.h), the request's or
  // one made for it, with a pid and IPC namespace, /proc, /tmp and /dev/shm
  // of its own; elsewhere bubblewrap starts the program.
  kBubblewrap,
  // The program in a pid namespace of its own, under the runner's keeper as
  // its init: ending the keeper ends every process. Files and network as for
  // any process of its uid.
  kPidNamespace,
  // No namespace: the keeper is a child subreaper, and ends the program's
  // process group and, as root, every process of the run's uid. Not as root,
  // a process that leaves the group (setsid) is not ended.
  kSubreaper,
};

// Returns "best", "bubblewrap", "pid namespace" or "subreaper".
const char* isolation_name(Isolation isolation);

struct RunLimits {
  double cpu_seconds = 1;                       // user+sys of the whole tree: the time limit
  double wall_seconds = 5;                      // a backstop for a program that waits or sleeps
  uint64_t memory_bytes = uint64_t{256} << 20;  // address space of each process
  uint64_t output_bytes = uint64_t{64} << 20;   // standard output, and any one file written
  int32_t processes = 16;       // at once, the program's own included (enforced with own_uid)
  uint64_t error_bytes = 4096;  // of standard error kept: its first and last halves
};

struct RunRequest {
  // The program and its arguments (shell_command() for a command line).
  // argv[0] is looked up in PATH unless it holds a '/'; a relative path is
  // taken from the working folder.
  std::vector<std::string> argv;
  // The folder it runs in, and the only one it may write through the sandbox:
  // a private scratch folder (mkdtemp), one run at a time. As root it must be
  // ours with no access for others (mode 0700); it is lent to the run's uid
  // for the run, and everything on the way to it must let others pass (x).
  std::string working_folder;
  std::string input_path;   // standard input; "" for /dev/null
  std::string output_path;  // standard output, created or emptied; "" for /dev/null
  std::string error_path;   // standard error as kept (RunLimits::error_bytes); "" to drop it
  // Its environment is PATH=/usr/local/bin:/usr/bin:/bin, HOME=the working
  // folder, LANG=C.UTF-8, then these "NAME=value" entries (and under
  // bubblewrap PWD=the working folder, which bubblewrap always sets).
  std::vector<std::string> extra_environment;
  // Folders it may read under bubblewrap besides the system's (the
  // submission's sources, say); others may be read as their modes allow.
  std::vector<std::string> visible_folders;
  // Under bubblewrap, as root: a sandbox laid out beforehand for many runs,
  // whose folder holds the working folder (its own visible folders then
  // stand); none for one made for this run alone.
  const Sandbox* sandbox = nullptr;
  RunLimits limits;
  Isolation isolation = Isolation::kBest;
};

// How a run ended. The CPU time of the whole tree decides kTimeLimit; the
// wall limit only stops a program that waits (kWallTimeLimit, a verdict of
// its own so that a grader can say "it was not computing").
enum class RunEnd {
  kFinished,       // exit status 0
  kRuntimeError,   // another exit status, or killed by a signal
  kTimeLimit,      // more CPU time than the limit
  kWallTimeLimit,  // stopped at the wall limit within its CPU time
  kMemoryLimit,    // ended abnormally near the memory limit (see RunResult::note)
  kOutputLimit,    // more standard output than the limit (or a larger file)
  kCannotRun,      // it could not be started: RunResult::note says why
};

// Returns "finished", "runtime error", "time limit", "wall time limit",
// "memory limit", "output limit" or "cannot run".
const char* run_end_name(RunEnd end);

struct RunResult {
  RunEnd end = RunEnd::kCannotRun;
  int exit_status = -1;  // when it exited
  int signal = 0;        // when a signal killed it
  // kCannotRun: why ("tarnwick-x: No such file or directory"). Otherwise
  // empty, or what the verdict was inferred from.
  std::string note;
  double cpu_seconds = 0;                  // user+sys of every process of the tree
  double wall_seconds = 0;                 // from its start until the whole tree had ended
  uint64_t peak_memory_bytes = 0;          // the largest resident set of one process of it
  uint64_t output_bytes = 0;               // the size of standard output when it is a regular file
  uint64_t error_bytes = 0;                // all it wrote on standard error, kept or not
  Isolation isolation = Isolation::kBest;  // what it ran under (kBest: it did not run)
};

// Returns {"/bin/sh", "-c", command}.
std::vector<std::string> shell_command(std::string_view command);

// Runs request.argv once under its limits and isolation, and returns how it
// ended once every process of its tree has ended. Safe on several threads at
// once; the process must not ignore SIGCHLD (its children would reap
// themselves). kCannotRun when the request's files, folder or isolation fail.
RunResult run_program(const RunRequest& request);

// Returns one line for a person: "finished", "runtime error: exit status 3",
// "runtime error: killed by signal 11 (SIGSEGV)", "time limit (1.02 s of CPU)",
// "cannot run: why".
std::string describe(const RunResult& result);

// What this machine lets the runner do, found once (the first call runs a
// probe under bubblewrap, some tens of milliseconds).
struct RunnerAbilities {
  Isolation best = Isolation::kSubreaper;  // the isolation kBest stands for
  bool bubblewrap = false;                 // /usr/bin/bwrap ran a probe to its end
  std::string bubblewrap_why;              // why not, when it did not
  bool pid_namespace = false;              // a pid namespace can be made
  // True when we are root and may change uid: each run has a uid of its own
  // (from 2^30 up), so it has no root rights, RunLimits::processes holds,
  // and every process of the run can be found and ended by its uid.
  bool own_uid = false;
  // True when runs under bubblewrap enter a sandbox (RunRequest::sandbox)
  // instead of starting bubblewrap: own_uid and pid_namespace.
  bool enters_sandboxes = false;
};

// Returns what this machine allows. Safe on several threads at once.
const RunnerAbilities& runner_abilities();

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_RUN_H_
