// A sandbox laid out by bubblewrap (sandbox.h): bubblewrap started around
// `cat`, which echoes a byte back once the sandbox is ready; the sandbox's
// mount and network namespaces opened through /proc and checked against the
// ones bubblewrap names; then cat, and with it bubblewrap, ended. The
// namespaces live on while they are held open.
#include "grade/sandbox.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <shared_mutex>

#include "grade/run_keeper.h"
#include "graph/reader.h"

namespace tarnwick {
namespace {

constexpr int64_t kStartMilliseconds = 20000;  // bubblewrap's start, on a very busy machine

int64_t now_milliseconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// One pipe, both ends at descriptor 4 or above (above what bubblewrap is
// given), close-on-exec.
struct Pipe {
  Fd read, write;
};

// Bubblewrap starting a sandbox: cat's input and output, bubblewrap's
// standard error and what it tells of the sandbox (its --info-fd), its pid.
struct Start {
  Pipe input, output, errors, info;
  pid_t pid = -1;
};

// Makes a pipe into *p. Returns "" or why not.
std::string make_pipe(Pipe* p) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return "a pipe: " + reason(errno);
  p->read.reset(fcntl(ends[0], F_DUPFD_CLOEXEC, 4));
  p->write.reset(fcntl(ends[1], F_DUPFD_CLOEXEC, 4));
  close(ends[0]);
  close(ends[1]);
  return p->read.get() >= 0 && p->write.get() >= 0 ? "" : "a pipe: " + reason(errno);
}

// Returns bubblewrap's command line for a sandbox around `folder`: a network
// of its own, /proc and /tmp as places for each run's own, `folder`
// writable, and cat in it.
std::vector<std::string> sandbox_args(const std::string& folder,
                                      const std::vector<std::string>& visible) {
  std::vector<std::string> a = {kBubblewrap, "--unshare-net", "--die-with-parent", "--info-fd",
                                "3"};
  const std::vector<std::string> folders = bubblewrap_folder_args(visible);
  a.insert(a.end(), folders.begin(), folders.end());
  a.insert(a.end(), {"--dir", "/proc", "--dir", "/tmp", "--bind", folder, folder, "--", "cat"});
  return a;
}

// Starts bubblewrap with `args`, cat's streams and bubblewrap's own on s's
// pipes, whose other ends it then closes here. Returns "" or why not.
std::string spawn_bubblewrap(std::vector<std::string> args, Start* s) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int given[] = {s->input.read.get(), s->output.write.get(), s->errors.write.get(),
                       s->info.write.get()};
  for (int fd = 0; fd < 4; ++fd) posix_spawn_file_actions_adddup2(&actions, given[fd], fd);
  posix_spawn_file_actions_addclosefrom_np(&actions, 4);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  char path[] = "PATH=/usr/bin:/bin";
  char* envp[] = {path, nullptr};
  int error = 0;
  {
    const std::unique_lock<std::shared_mutex> hold(spawn_lock());
    error = posix_spawn(&s->pid, kBubblewrap, &actions, nullptr, argv.data(), envp);
  }
  posix_spawn_file_actions_destroy(&actions);
  for (Fd* end : {&s->input.read, &s->output.write, &s->errors.write, &s->info.write}) end->reset();
  return error == 0 ? "" : std::string(kBubblewrap) + ": " + reason(error);
}

// Reads `fd` into *text until it holds `until` or ends. Returns false when
// `deadline` (now_milliseconds()) came first.
bool read_until(int fd, char until, std::string* text, int64_t deadline) {
  while (text->find(until) == std::string::npos) {
    pollfd p = {fd, POLLIN, 0};
    const int64_t left = deadline - now_milliseconds();
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) == 0) return false;
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return true;
    if (n > 0) text->append(buffer, static_cast<size_t>(n));
  }
  return true;
}

// Ends cat (its input closed), or bubblewrap at once when `kill_it`, and
// reaps bubblewrap.
void end_start(Start* s, bool kill_it) {
  s->input.write.reset();
  if (kill_it) kill(s->pid, SIGKILL);
  int status = 0;
  while (waitpid(s->pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Ends a start that failed. Returns why: bubblewrap's first line of errors
// when it wrote one, else `why`.
std::string start_failure(Start* s, const std::string& why) {
  end_start(s, true);
  std::string errors;
  read_until(s->errors.read.get(), '\n', &errors, now_milliseconds() + 1000);
  return errors.rfind("bwrap: ", 0) == 0 ? errors.substr(0, errors.find('\n')) : why;
}

// Returns the number after "name": in bubblewrap's JSON `text`, or -1.
long long json_number(const std::string& text, const std::string& name) {
  const size_t at = text.find("\"" + name + "\":");
  if (at == std::string::npos) return -1;
  return std::strtoll(text.c_str() + at + name.size() + 3, nullptr, 10);
}

// Opens namespace `kind` ("mnt", "net") of process `pid` into *held, when it
// is the one bubblewrap named (by its inode). Returns "" or why not.
std::string open_namespace(long long pid, const char* kind, long long inode, Fd* held) {
  const std::string path = "/proc/" + std::to_string(pid) + "/ns/" + kind;
  held->reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (held->get() < 0 || fstat(held->get(), &st) != 0) return path + ": " + reason(errno);
  if (static_cast<long long>(st.st_ino) != inode) return path + ": not the sandbox's namespace";
  return "";
}

// Starts bubblewrap for a sandbox around `folder`, the byte cat is to echo
// written first (nothing has ended yet to break the pipe). Returns "" or why not.
std::string begin_start(const std::string& folder, const std::vector<std::string>& visible,
                        Start* s) {
  std::string why;
  for (Pipe* p : {&s->input, &s->output, &s->errors, &s->info}) {
    if (why.empty()) why = make_pipe(p);
  }
  if (why.empty() && write(s->input.write.get(), "x", 1) != 1) why = "a pipe: " + reason(errno);
  return why.empty() ? spawn_bubblewrap(sandbox_args(folder, visible), s) : why;
}

// Waits for cat's echo (the sandbox is ready) and bubblewrap's JSON, and
// opens the sandbox's two namespaces. Returns "" or why not.
std::string take_namespaces(Start* s, Fd* mount, Fd* network) {
  const int64_t deadline = now_milliseconds() + kStartMilliseconds;
  std::string echo, info;
  if (!read_until(s->output.read.get(), 'x', &echo, deadline) || echo.empty()) {
    return "bubblewrap did not start the sandbox";
  }
  read_until(s->info.read.get(), '}', &info, deadline);
  const long long pid = json_number(info, "child-pid");
  std::string why = open_namespace(pid, "mnt", json_number(info, "mnt-namespace"), mount);
  return why.empty() ? open_namespace(pid, "net", json_number(info, "net-namespace"), network)
                     : why;
}

}  // namespace

std::vector<std::string> bubblewrap_folder_args(const std::vector<std::string>& visible) {
  static const std::vector<std::string> system = [] {
    std::vector<std::string> a;
    for (const char* f : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/etc"}) {
      struct stat st;
      char target[PATH_MAX];
      if (lstat(f, &st) != 0) continue;
      const ssize_t n = S_ISLNK(st.st_mode) ? readlink(f, target, sizeof target) : -1;
      if (n > 0) a.insert(a.end(), {"--symlink", std::string(target, n), f});
      if (S_ISDIR(st.st_mode)) a.insert(a.end(), {"--ro-bind", f, f});
    }
    return a;
  }();
  std::vector<std::string> a = system;
  for (const std::string& f : visible) a.insert(a.end(), {"--ro-bind", f, f});
  a.insert(a.end(), {"--dev", "/dev"});
  return a;
}

uint64_t run_open_files_limit() {
  static const uint64_t soft = [] {
    rlimit l{};
    return getrlimit(RLIMIT_NOFILE, &l) == 0 ? static_cast<uint64_t>(l.rlim_cur) : 1024;
  }();
  return soft;
}

void make_room_for_sandboxes(size_t count) {
  const uint64_t wanted = run_open_files_limit() + 2 * static_cast<uint64_t>(count);
  rlimit l{};
  if (getrlimit(RLIMIT_NOFILE, &l) != 0 || l.rlim_cur >= wanted) return;
  l.rlim_cur = std::min<uint64_t>(wanted, l.rlim_max);
  setrlimit(RLIMIT_NOFILE, &l);  // else the sandboxes beyond tell "Too many open files"
}

std::string absolute_folder(const std::string& path) {
  std::error_code error;
  std::string folder = std::filesystem::absolute(path, error).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string Sandbox::open(const std::string& folder, const std::vector<std::string>& visible) {
  Start s;
  std::string why = begin_start(absolute_folder(folder), visible, &s);
  if (!why.empty()) return why;
  why = take_namespaces(&s, &mount_, &network_);
  if (!why.empty()) {
    mount_.reset();
    network_.reset();
    return start_failure(&s, why);
  }
  end_start(&s, false);
  folder_ = absolute_folder(folder);
  return "";
}

bool Sandbox::holds(const std::string& path) const {
  return !folder_.empty() && (path == folder_ || path.rfind(folder_ + "/", 0) == 0);
}

}  // namespace tarnwick
