// The runner (run.h): a request made ready (its files, its command, its
// environment, its sandbox and uid), its keeper started (run_keeper.h), the
// tree's CPU time, the wall clock and standard error watched, and the end told.
#include "grade/run.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "grade/fd.h"
#include "grade/run_keeper.h"
#include "grade/sandbox.h"
#include "graph/reader.h"

namespace tarnwick {
namespace {

constexpr char kSearchPath[] = "/usr/local/bin:/usr/bin:/bin";

double now_seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Holds `fd` at 3 or above, close-on-exec, so that the program's process can
// put its streams at 0, 1 and 2 without overwriting one of them.
void hold_high(Fd* held, int fd) {
  if (fd >= 0 && fd < 3) {
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    fd = moved;
  }
  held->reset(fd);
}

// The uids of the runs going on in this process, each its own: 2^30 +
// pid * 256 + slot, so that runs of two processes (two pids) never share one.
// A slot is taken again as late as can be.
class RunUids {
 public:
  // Returns a uid that no run has now, or -1 when 256 runs go on already.
  long take() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < kSlots; ++i) {
      const int slot = (next_ + i) % kSlots;
      if (used_[slot]) continue;
      used_[slot] = true;
      next_ = slot + 1;
      return base() + slot;
    }
    return -1;
  }
  // Makes `uid`, which take() returned, free again.
  void give_back(long uid) {
    std::lock_guard<std::mutex> lock(mutex_);
    used_[uid - base()] = false;
  }

 private:
  static constexpr int kSlots = 256;
  static long base() { return (1L << 30) + (static_cast<long>(getpid()) & 0x3fffff) * kSlots; }

  std::mutex mutex_;
  std::bitset<kSlots> used_;
  int next_ = 0;
};

RunUids& run_uids() {
  static RunUids uids;
  return uids;
}

// A run's uid, given back when this goes away; -1 when the run keeps ours.
class RunUid {
 public:
  RunUid() = default;
  RunUid(const RunUid&) = delete;
  RunUid& operator=(const RunUid&) = delete;
  ~RunUid() {
    if (uid_ >= 0) run_uids().give_back(uid_);
  }
  long get() const { return uid_; }
  // Takes a uid of its own. Returns false when there is none free.
  bool take() { return (uid_ = run_uids().take()) >= 0; }

 private:
  long uid_ = -1;
};

// Returns true when runs take uids of their own: we are root and may.
bool own_uid_allowed() {
  static const bool allowed = [] {
    RunUid probe;
    return geteuid() == 0 && probe.take() && can_take_uid(probe.get());
  }();
  return allowed;
}

bool pid_namespace_allowed() {
  static const bool allowed = can_make_pid_namespace();
  return allowed;
}

// Returns true when runs under bubblewrap enter a sandbox (sandbox.h): we
// are root, may take uids and make namespaces, and can filter the program's
// calls as bubblewrap would (no user namespaces).
bool sandboxes_entered() {
  return kKeeperFiltersCalls && own_uid_allowed() && pid_namespace_allowed();
}

// Returns the number of CPUs this process may run on.
int cpus_here() {
  static const int cpus = [] {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 ? std::max(1, CPU_COUNT(&set)) : 1;
  }();
  return cpus;
}

// Standard error as kept: its first half of the cap and its last half, and
// apart its first line (256 bytes at most) for the runner.
class KeptText {
 public:
  explicit KeptText(uint64_t cap) : head_cap_(cap / 2), tail_cap_(cap - cap / 2) {}
  void add(std::string_view bytes) {
    if (total_ < 256) first_ += bytes.substr(0, 256 - total_);
    total_ += bytes.size();
    const size_t to_head = std::min<size_t>(bytes.size(), head_cap_ - head_.size());
    head_.append(bytes.substr(0, to_head));
    tail_.append(bytes.substr(to_head));
    if (tail_.size() / 2 > tail_cap_) tail_.erase(0, tail_.size() - tail_cap_);
  }
  // Returns all of it when within the cap, else the head, a line telling how
  // much was left out, and the tail.
  std::string text() const {
    const size_t tail = std::min<size_t>(tail_.size(), tail_cap_);
    const uint64_t left_out = total_ - head_.size() - tail;
    if (left_out == 0) return head_ + tail_;
    return head_ + "\n[... " + std::to_string(left_out) + " bytes left out ...]\n" +
           tail_.substr(tail_.size() - tail);
  }
  std::string first_line() const { return first_.substr(0, first_.find('\n')); }
  uint64_t total() const { return total_; }

 private:
  uint64_t head_cap_, tail_cap_, total_ = 0;
  std::string first_, head_, tail_;
};

// A request made ready to start: its files open, its command found, the
// argument and environment arrays the keeper reads, its isolation and uid,
// and under bubblewrap the sandbox it enters (the request's, or one of its
// own) or else bubblewrap's command line. Stays where it is made: argv and
// envp point into args and env.
struct Prepared {
  Isolation isolation = Isolation::kBest;
  const Sandbox* sandbox = nullptr;
  std::unique_ptr<Sandbox> own_sandbox;
  RunUid uid;
  std::string folder;  // absolute
  Fd folder_fd, input, output, error_file, error_read, error_write;
  std::string exec_path;  // the program, or bubblewrap
  std::string program;    // the program's file
  std::vector<std::string> args, env;
  std::vector<char*> argv, envp;
  // True when the program's process executes bubblewrap, which starts the program.
  bool starts_bubblewrap() const { return isolation == Isolation::kBubblewrap && !sandbox; }
};

// Returns the isolation a request gets here, or kBest with *why set.
Isolation choose_isolation(Isolation asked, std::string* why) {
  if (asked == Isolation::kBest) return runner_abilities().best;
  if (asked == Isolation::kPidNamespace && !pid_namespace_allowed()) {
    *why = "no pid namespace can be made here";
    return Isolation::kBest;
  }
  return asked;
}

// Opens the working folder. As root it must be ours and closed to others,
// since it is lent to the run's uid. Returns "" or why not.
std::string open_folder(const std::string& path, bool lent, Prepared* p) {
  if (path.empty()) return "no working folder";
  p->folder = absolute_folder(path);
  hold_high(&p->folder_fd,
            open(p->folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (p->folder_fd.get() < 0 || fstat(p->folder_fd.get(), &st) != 0) {
    return "working folder " + path + ": " + reason(errno);
  }
  if (lent && (st.st_uid != geteuid() || (st.st_mode & 077) != 0)) {
    return "working folder " + path +
           ": not a private folder of ours (mode 0700) to lend to the run";
  }
  return "";
}

// Opens `path` ("" for /dev/null) with `flags` into *held. Returns "" or why not.
std::string open_stream(const char* name, const std::string& path, int flags, Fd* held) {
  const std::string file = path.empty() ? "/dev/null" : path;
  hold_high(held, open(file.c_str(), flags | O_CLOEXEC, 0644));
  return held->get() >= 0 ? "" : std::string(name) + " " + file + ": " + reason(errno);
}

// Opens standard input, output, the error file and the pipe that brings
// standard error to the runner. Returns "" or why not.
std::string open_streams(const RunRequest& r, Prepared* p) {
  const int write = O_WRONLY | O_CREAT | O_TRUNC;
  std::string why = open_stream("standard input", r.input_path, O_RDONLY, &p->input);
  if (why.empty()) why = open_stream("standard output", r.output_path, write, &p->output);
  if (why.empty()) why = open_stream("standard error", r.error_path, write, &p->error_file);
  int ends[2];
  if (why.empty() && pipe2(ends, O_CLOEXEC) != 0) why = "a pipe: " + reason(errno);
  if (!why.empty()) return why;
  hold_high(&p->error_read, ends[0]);
  hold_high(&p->error_write, ends[1]);
  fcntl(p->error_read.get(), F_SETFL, O_NONBLOCK);
  return "";
}

// Returns 0 when `path` is a regular file someone may execute, else an errno.
int executable(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno;
  return S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0 ? 0 : EACCES;
}

// Finds the file that runs for `name` as execvp would with the run's PATH,
// a relative path taken from the folder. Returns "" or why not.
std::string find_program(const std::string& name, Prepared* p) {
  if (name.empty()) return "no command";
  if (name.find('/') != std::string::npos) {
    p->program = name[0] == '/' ? name : p->folder + "/" + name;
    int e = executable(p->program);
    return e == 0 ? "" : name + ": " + reason(e);
  }
  std::string_view dirs = kSearchPath;
  while (!dirs.empty()) {
    const size_t colon = std::min(dirs.find(':'), dirs.size());
    p->program = std::string(dirs.substr(0, colon)) + "/" + name;
    if (executable(p->program) == 0) return "";
    dirs.remove_prefix(std::min(colon + 1, dirs.size()));
  }
  return name + ": not found in " + kSearchPath;
}

// Returns the command that runs the program under bubblewrap: no network,
// its own pid namespace, the system's folders read-only, an empty /tmp, the
// working folder the one it writes.
std::vector<std::string> bubblewrap_args(const RunRequest& r, const Prepared& p) {
  std::vector<std::string> a = {kBubblewrap,        "--unshare-all",     "--unshare-user",
                                "--disable-userns", "--die-with-parent", "--new-session"};
  const std::vector<std::string> folders = bubblewrap_folder_args(r.visible_folders);
  a.insert(a.end(), folders.begin(), folders.end());
  a.insert(a.end(), {"--proc", "/proc", "--tmpfs", "/tmp", "--bind", p.folder, p.folder, "--chdir",
                     p.folder, "--", p.program});
  a.insert(a.end(), r.argv.begin() + 1, r.argv.end());
  return a;
}

std::vector<char*> pointers_into(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Finds the sandbox a run under bubblewrap enters: the request's, which
// must hold its folder, or else one made for it alone. Returns "" or why not.
std::string take_sandbox(const RunRequest& r, Prepared* p) {
  if (r.sandbox != nullptr) {
    p->sandbox = r.sandbox;
    if (r.sandbox->holds(p->folder)) return "";
    return "working folder " + p->folder + ": not in its sandbox's folder " + r.sandbox->folder();
  }
  p->own_sandbox = std::make_unique<Sandbox>();
  p->sandbox = p->own_sandbox.get();
  return p->own_sandbox->open(p->folder, r.visible_folders);
}

// Fills the command the program's process executes, and its environment
// (with PWD in a sandbox, as bubblewrap sets it).
void fill_command(const RunRequest& r, Prepared* p) {
  p->exec_path = p->starts_bubblewrap() ? kBubblewrap : p->program;
  p->args = p->starts_bubblewrap() ? bubblewrap_args(r, *p) : r.argv;
  p->env = {std::string("PATH=") + kSearchPath, "HOME=" + p->folder, "LANG=C.UTF-8"};
  p->env.insert(p->env.end(), r.extra_environment.begin(), r.extra_environment.end());
  if (p->sandbox != nullptr) p->env.push_back("PWD=" + p->folder);
  p->argv = pointers_into(p->args);
  p->envp = pointers_into(p->env);
}

// Makes the request ready to start. Returns "" or why it cannot run.
std::string prepare(const RunRequest& r, Prepared* p) {
  std::string why;
  p->isolation = choose_isolation(r.isolation, &why);
  if (!why.empty()) return why;
  if (own_uid_allowed() && !p->uid.take()) return "no uid free: 256 runs go on at once";
  why = open_folder(r.working_folder, p->uid.get() >= 0, p);
  if (why.empty()) why = open_streams(r, p);
  if (why.empty()) why = find_program(r.argv.empty() ? "" : r.argv[0], p);
  if (why.empty() && p->isolation == Isolation::kBubblewrap && sandboxes_entered()) {
    why = take_sandbox(r, p);
  }
  if (why.empty()) fill_command(r, p);
  return why;
}

// Returns this process's hard limit on open files.
uint64_t open_files_hard_limit() {
  rlimit l{};
  return getrlimit(RLIMIT_NOFILE, &l) == 0 ? static_cast<uint64_t>(l.rlim_max) : RLIM_INFINITY;
}

// Returns whole seconds at least `seconds`, for an rlimit.
uint64_t whole_seconds(double seconds) {
  return static_cast<uint64_t>(std::ceil(std::max(seconds, 0.0)));
}

// Fills the plan's limits: address space and stack (memory), CPU seconds
// rounded up, plus one (a backstop: the runner measures the tree), file size
// (output, plus a byte so that going over shows), no core files, open files
// as this process had them before it made room for sandboxes, and with a
// uid of its own the number of processes (bubblewrap's two more).
void fill_limits(const RunLimits& l, const Prepared& p, KeeperPlan* plan) {
  const uint64_t cpu = whole_seconds(l.cpu_seconds) + 1;
  const uint64_t file = l.output_bytes < RLIM_INFINITY - 1 ? l.output_bytes + 1 : RLIM_INFINITY;
  const ResourceLimit limits[] = {
      {RLIMIT_AS, l.memory_bytes, l.memory_bytes},
      {RLIMIT_STACK, l.memory_bytes, l.memory_bytes},
      {RLIMIT_CPU, cpu, cpu + 1},
      {RLIMIT_FSIZE, file, file},
      {RLIMIT_CORE, 0, 0},
      {RLIMIT_NOFILE, run_open_files_limit(), open_files_hard_limit()},
  };
  plan->limit_count = 0;
  for (const ResourceLimit& limit : limits) plan->limits[plan->limit_count++] = limit;
  if (p.uid.get() < 0) return;
  const uint64_t processes = static_cast<uint64_t>(std::max(l.processes, 1)) +
                             (p.starts_bubblewrap() ? 2 : 0);
  plan->limits[plan->limit_count++] = {RLIMIT_NPROC, processes, processes};
}

void fill_plan(const RunLimits& limits, const Prepared& p, KeeperPlan* plan) {
  plan->exec_path = p.exec_path.c_str();
  plan->argv = p.argv.data();
  plan->envp = p.envp.data();
  plan->folder_fd = p.folder_fd.get();
  plan->input_fd = p.input.get();
  plan->output_fd = p.output.get();
  plan->error_fd = p.error_write.get();
  fill_limits(limits, p, plan);
  plan->run_uid = p.uid.get();
  plan->pid_namespace = p.isolation == Isolation::kPidNamespace || p.sandbox != nullptr;
  plan->runner_pid = getpid();
  if (p.sandbox == nullptr) return;
  plan->sandbox_mount_fd = p.sandbox->mount_namespace();
  plan->sandbox_network_fd = p.sandbox->network_namespace();
  plan->sandbox_folder = p.sandbox->folder().c_str();
  plan->folder_path = p.folder.c_str();
}

// The working folder lent to a run's uid, given back to its owner when this
// goes away.
class FolderLoan {
 public:
  FolderLoan() = default;
  FolderLoan(const FolderLoan&) = delete;
  FolderLoan& operator=(const FolderLoan&) = delete;
  ~FolderLoan() {
    if (fd_ >= 0 && fchown(fd_, owner_, group_) != 0) {
      // It stays the run's uid's: still ours to read, write and remove.
    }
  }
  // Lends the folder open at `fd` to `uid`. Returns "" or why not.
  std::string lend(int fd, long uid) {
    struct stat st;
    if (fstat(fd, &st) != 0 || fchown(fd, static_cast<uid_t>(uid), static_cast<gid_t>(uid)) != 0) {
      return "lending the working folder to uid " + std::to_string(uid) + ": " + reason(errno);
    }
    fd_ = fd;
    owner_ = st.st_uid;
    group_ = st.st_gid;
    return "";
  }

 private:
  int fd_ = -1;
  uid_t owner_ = 0;
  gid_t group_ = 0;
};

// Returns the CPU seconds of `root` and of every process below it, as /proc
// tells them now.
double tree_cpu_seconds(pid_t root) {
  std::unordered_multimap<long, std::pair<long, uint64_t>> by_parent;  // ppid -> (pid, ticks)
  uint64_t ticks = 0;
  DIR* proc = opendir("/proc");
  for (dirent* e; proc != nullptr && (e = readdir(proc)) != nullptr;) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    char text[1024];
    const int fd =
        openat(dirfd(proc), (std::string(e->d_name) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    const long size = fd < 0 ? -1 : read(fd, text, sizeof text);
    if (fd >= 0) close(fd);
    ProcStat stat;
    if (size <= 0 || !parse_proc_stat(text, size, &stat)) continue;
    const long pid = std::atol(e->d_name);
    if (pid == root) ticks += stat.ticks;
    by_parent.emplace(stat.ppid, std::make_pair(pid, stat.ticks));
  }
  if (proc != nullptr) closedir(proc);
  for (std::vector<long> todo = {root}; !todo.empty();) {
    const long parent = todo.back();
    todo.pop_back();
    for (auto [it, end] = by_parent.equal_range(parent); it != end; ++it) {
      ticks += it->second.second;
      todo.push_back(it->second.first);
    }
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Reads what standard error has for now into `kept`, once, or with `drain`
// until the pipe is empty (a program writing forever cannot keep the runner
// reading). Returns false at its end.
bool read_errors(int fd, KeptText* kept, bool drain) {
  char buffer[64 << 10];
  do {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    kept->add(std::string_view(buffer, static_cast<size_t>(n)));
  } while (drain);
  return true;
}

enum class Stop { kNone, kCpu, kWall };

// What the runner saw of a keeper's run.
struct Outcome {
  std::string failure;  // the keeper could not be started or watched
  Stop stop = Stop::kNone;
  double cpu_seen = 0;  // the tree's CPU seconds at the runner's last look
  struct rusage usage = {};
  double wall = 0;
};

// The runner's looks at a running tree: the wall limit, and the tree's CPU
// time when it may have gone over (at the soonest the CPUs here could have
// spent what is left of the limit, 5 ms apart at the closest).
class Watch {
 public:
  Watch(pid_t keeper, const RunLimits& limits, double start)
      : keeper_(keeper),
        limits_(limits),
        wall_end_(start + limits.wall_seconds),
        next_look_(start + limits.cpu_seconds / cpus_here()) {}

  // Looks at the tree, and stops it (SIGTERM to the keeper) at a limit.
  // Returns when to look again; after the stop, when to kill the keeper
  // itself should it not have ended by then.
  double look(double now, Outcome* o) {
    if (o->stop != Stop::kNone) {
      if (now >= kill_at_) {
        kill(keeper_, SIGKILL);  // never seen: the keeper ends its tree at once
        kill_at_ = now + 1;
      }
      return kill_at_;
    }
    if (now >= next_look_) {
      o->cpu_seen = tree_cpu_seconds(keeper_);
      next_look_ = now + std::max((limits_.cpu_seconds - o->cpu_seen) / cpus_here(), 0.005);
      if (o->cpu_seen > limits_.cpu_seconds) o->stop = Stop::kCpu;
    }
    if (o->stop == Stop::kNone && now >= wall_end_) o->stop = Stop::kWall;
    if (o->stop == Stop::kNone) return std::min(wall_end_, next_look_);
    kill_at_ = now + 2;
    kill(keeper_, SIGTERM);
    return kill_at_;
  }

 private:
  pid_t keeper_;
  RunLimits limits_;
  double wall_end_, next_look_, kill_at_ = 0;
};

// Watches the keeper's tree until the keeper has ended, keeping standard error.
void watch_until_end(pid_t keeper, const RunLimits& limits, double start, Prepared& p,
                     KeptText* kept, Outcome* o) {
  Fd pidfd(static_cast<int>(syscall(SYS_pidfd_open, keeper, 0)));
  if (pidfd.get() < 0) {
    o->failure = "watching its keeper (pidfd_open): " + reason(errno);
    kill(keeper, SIGTERM);
    return;
  }
  Watch watch(keeper, limits, start);
  pollfd fds[2] = {{pidfd.get(), POLLIN, 0}, {p.error_read.get(), POLLIN, 0}};
  for (;;) {
    const double now = now_seconds();
    const double wait = std::max(watch.look(now, o) - now, 0.0);
    const timespec timeout = {static_cast<time_t>(wait),
                              static_cast<long>(std::fmod(wait, 1.0) * 1e9)};
    if (ppoll(fds, 2, &timeout, nullptr) <= 0) continue;
    if (fds[1].revents != 0 && !read_errors(fds[1].fd, kept, false)) fds[1].fd = -1;
    if (fds[0].revents != 0) return;
  }
}

// A started keeper, reaped when this goes away: should the runner leave
// early (an exception), the keeper is told to end its tree first, so that it
// never outlives the memory it runs in.
class KeeperProcess {
 public:
  explicit KeeperProcess(pid_t pid) : pid_(pid) {}
  KeeperProcess(const KeeperProcess&) = delete;
  KeeperProcess& operator=(const KeeperProcess&) = delete;
  ~KeeperProcess() {
    if (pid_ < 0) return;
    kill(pid_, SIGTERM);
    reap(nullptr);
  }
  // Waits for the keeper to end, and reaps it with the usage of its whole tree.
  void reap(struct rusage* usage) {
    int status = 0;
    wait4(pid_, &status, __WALL, usage);
    pid_ = -1;
  }

 private:
  pid_t pid_;
};

// Starts the keeper, watches its tree and reaps it: once this returns,
// every process of the run has ended.
Outcome run_keeper(Keeper& keeper, const RunLimits& limits, Prepared& p, double start,
                   KeptText* kept) {
  Outcome o;
  const long pid = start_keeper(&keeper);
  if (pid < 0) {
    o.failure = "starting its keeper: " + reason(static_cast<int>(-pid));
    return o;
  }
  KeeperProcess started(static_cast<pid_t>(pid));
  p.error_write.reset();  // the program's process has it now
  watch_until_end(static_cast<pid_t>(pid), limits, start, p, kept, &o);
  started.reap(&o.usage);
  read_errors(p.error_read.get(), kept, true);
  o.wall = now_seconds() - start;
  return o;
}

// How the program ended, from its wait status. Under bubblewrap an exit
// status 128+N is read as signal N, as bubblewrap tells one when it starts
// the program, and as the shell of a run command tells its child's in a
// sandbox (the same verdict either way).
void take_status(int status, bool bubblewrap, RunResult* r) {
  if (WIFSIGNALED(status)) {
    r->signal = WTERMSIG(status);
  } else if (bubblewrap && WEXITSTATUS(status) > 128 && WEXITSTATUS(status) <= 128 + 64) {
    r->signal = WEXITSTATUS(status) - 128;
    r->note = "bubblewrap tells signal " + std::to_string(r->signal) + " as exit status " +
              std::to_string(WEXITSTATUS(status));
  } else {
    r->exit_status = WEXITSTATUS(status);
  }
}

// Returns the line bubblewrap wrote when it could not start the program
// (it then exits with status 1), or "".
std::string bubblewrap_failure(const Prepared& p, const RunResult& r, const KeptText& kept) {
  const std::string line = kept.first_line();
  const bool bwrap = p.starts_bubblewrap() && r.exit_status == 1;
  return bwrap && line.rfind("bwrap: ", 0) == 0 ? line : "";
}

// True when a run that ended abnormally came near its memory limit: its
// peak resident memory within an eighth of the limit (4 MiB at least). The
// address-space limit makes an allocation fail, which a program then tells
// its own way (a null pointer, std::bad_alloc, an exit status), so this is
// inferred.
bool near_memory_limit(uint64_t peak, uint64_t limit) {
  return peak + std::max<uint64_t>(limit / 8, uint64_t{4} << 20) >= limit;
}

// Returns the verdict of a run that started, from its measures.
RunEnd verdict(const RunResult& r, const Outcome& o, const RunLimits& l) {
  if (o.stop == Stop::kCpu || r.cpu_seconds > l.cpu_seconds || r.signal == SIGXCPU) {
    return RunEnd::kTimeLimit;
  }
  if (r.output_bytes > l.output_bytes || r.signal == SIGXFSZ) return RunEnd::kOutputLimit;
  if (o.stop == Stop::kWall) return RunEnd::kWallTimeLimit;
  const bool abnormal = r.signal != 0 || r.exit_status != 0;
  if (abnormal && near_memory_limit(r.peak_memory_bytes, l.memory_bytes)) {
    return RunEnd::kMemoryLimit;
  }
  return abnormal ? RunEnd::kRuntimeError : RunEnd::kFinished;
}

RunResult cannot_run(std::string why, Isolation isolation) {
  RunResult r;
  r.end = RunEnd::kCannotRun;
  r.note = std::move(why);
  r.isolation = isolation;
  return r;
}

double seconds_of(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// Returns the result of a run from what the keeper told and the runner saw.
RunResult result_of(const Prepared& p, const KeeperReport& report, const Outcome& o,
                    const KeptText& kept, const RunLimits& limits) {
  if (!o.failure.empty()) return cannot_run(o.failure, p.isolation);
  if (report.failed_step != KeeperStep::kNone) {
    return cannot_run(
        p.program + ": " + keeper_step_name(report.failed_step) + ": " + reason(report.error),
        p.isolation);
  }
  if (!report.program_ended && o.stop == Stop::kNone) {
    return cannot_run(p.program + ": its keeper ended before it did", p.isolation);
  }
  RunResult r;
  r.isolation = p.isolation;
  if (report.program_ended) {
    take_status(report.program_status, p.isolation == Isolation::kBubblewrap, &r);
  }
  if (std::string bwrap = bubblewrap_failure(p, r, kept); !bwrap.empty()) {
    return cannot_run(bwrap, p.isolation);
  }
  r.cpu_seconds = std::max(seconds_of(o.usage.ru_utime) + seconds_of(o.usage.ru_stime), o.cpu_seen);
  r.wall_seconds = o.wall;
  r.peak_memory_bytes = static_cast<uint64_t>(report.peak_kib) * 1024;
  struct stat st;
  if (fstat(p.output.get(), &st) == 0 && S_ISREG(st.st_mode)) {
    r.output_bytes = static_cast<uint64_t>(st.st_size);
  }
  r.error_bytes = kept.total();
  r.end = verdict(r, o, limits);
  if (r.end == RunEnd::kMemoryLimit) r.note = "inferred from its peak memory";
  return r;
}

// Writes the kept standard error into the error file. Returns "" or why not.
std::string write_errors(const Prepared& p, const KeptText& kept) {
  const std::string text = kept.text();
  for (size_t at = 0; at < text.size();) {
    const ssize_t n = write(p.error_file.get(), text.data() + at, text.size() - at);
    if (n < 0 && errno != EINTR) return "writing standard error: " + reason(errno);
    at += static_cast<size_t>(std::max<ssize_t>(n, 0));
  }
  return "";
}

// Returns "SIGSEGV" for 11, or "" for a number without a name.
std::string signal_name(int sig) {
  const char* name = sig == 0 ? nullptr : sigabbrev_np(sig);
  return name == nullptr ? "" : std::string("SIG") + name;
}

std::string fixed2(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// Returns what describe() writes after a verdict's name.
std::string figures(const RunResult& r) {
  const std::string signal = signal_name(r.signal);
  switch (r.end) {
    case RunEnd::kRuntimeError:
      if (r.signal == 0) return ": exit status " + std::to_string(r.exit_status);
      return ": killed by signal " + std::to_string(r.signal) +
             (signal.empty() ? "" : " (" + signal + ")");
    case RunEnd::kTimeLimit: return " (" + fixed2(r.cpu_seconds) + " s of CPU)";
    case RunEnd::kWallTimeLimit:
      return " (" + fixed2(r.wall_seconds) + " s, " + fixed2(r.cpu_seconds) + " s of CPU)";
    case RunEnd::kMemoryLimit:
      return " (peak " + std::to_string(r.peak_memory_bytes >> 20) + " MiB)";
    case RunEnd::kOutputLimit: return " (" + std::to_string(r.output_bytes) + " bytes)";
    case RunEnd::kCannotRun: return ": " + r.note;
    case RunEnd::kFinished: break;
  }
  return "";
}

}  // namespace

const char* isolation_name(Isolation isolation) {
  switch (isolation) {
    case Isolation::kBest: return "best";
    case Isolation::kBubblewrap: return "bubblewrap";
    case Isolation::kPidNamespace: return "pid namespace";
    case Isolation::kSubreaper: return "subreaper";
  }
  return "?";
}

const char* run_end_name(RunEnd end) {
  switch (end) {
    case RunEnd::kFinished: return "finished";
    case RunEnd::kRuntimeError: return "runtime error";
    case RunEnd::kTimeLimit: return "time limit";
    case RunEnd::kWallTimeLimit: return "wall time limit";
    case RunEnd::kMemoryLimit: return "memory limit";
    case RunEnd::kOutputLimit: return "output limit";
    case RunEnd::kCannotRun: return "cannot run";
  }
  return "?";
}

std::vector<std::string> shell_command(std::string_view command) {
  return {"/bin/sh", "-c", std::string(command)};
}

RunResult run_program(const RunRequest& request) {
  const double start = now_seconds();
  Prepared prepared;
  std::string why = prepare(request, &prepared);
  FolderLoan loan;
  if (why.empty() && prepared.uid.get() >= 0)
    why = loan.lend(prepared.folder_fd.get(), prepared.uid.get());
  if (!why.empty()) return cannot_run(why, prepared.isolation);
  auto keeper = std::make_unique<Keeper>();
  fill_plan(request.limits, prepared, &keeper->plan);
  KeptText kept(request.limits.error_bytes);
  const Outcome outcome = run_keeper(*keeper, request.limits, prepared, start, &kept);
  RunResult result = result_of(prepared, keeper->report, outcome, kept, request.limits);
  why = write_errors(prepared, kept);
  if (!why.empty() && result.end != RunEnd::kCannotRun)
    result = cannot_run(why, prepared.isolation);
  return result;
}

std::string describe(const RunResult& r) { return run_end_name(r.end) + figures(r); }

const RunnerAbilities& runner_abilities() {
  static const RunnerAbilities abilities = [] {
    RunnerAbilities a;
    a.own_uid = own_uid_allowed();
    a.pid_namespace = pid_namespace_allowed();
    a.enters_sandboxes = sandboxes_entered();
    a.bubblewrap_why = [] {
      if (access(kBubblewrap, X_OK) != 0) return std::string(kBubblewrap) + ": " + reason(errno);
      std::string folder =
          (std::filesystem::temp_directory_path() / "tarnwick-probe-XXXXXX").string();
      if (mkdtemp(folder.data()) == nullptr) return "a folder for the probe: " + reason(errno);
      RunRequest probe;
      probe.argv = {"true"};
      probe.working_folder = folder;
      probe.isolation = Isolation::kBubblewrap;
      const RunResult result = run_program(probe);
      rmdir(folder.c_str());
      return result.end == RunEnd::kFinished ? std::string() : describe(result);
    }();
    a.bubblewrap = a.bubblewrap_why.empty();
    a.best = a.bubblewrap      ? Isolation::kBubblewrap
             : a.pid_namespace ? Isolation::kPidNamespace
                               : Isolation::kSubreaper;
    return a;
  }();
  return abilities;
}

}  // namespace tarnwick
