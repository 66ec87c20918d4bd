// What the benchmark programs share: their command line, running a child
// program and timing it, and a scratch folder for the files they generate.
// Each benchmark defines kBenchTool, its name, usage and summary.
#ifndef TARNWICK_BENCH_BENCH_SUPPORT_H_
#define TARNWICK_BENCH_BENCH_SUPPORT_H_

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/tool.h"

extern char** environ;

namespace tarnwick {

extern const ToolInfo kBenchTool;

// Prints "NAME: why" on standard error and ends the benchmark with status 1.
[[noreturn]] inline void die(const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", kBenchTool.name, why.c_str());
  std::exit(1);
}

// A benchmark's options: each takes only those its usage line names.
struct BenchOptions {
  bool big = false;           // --big
  std::string baseline;       // --baseline PATH
  int runs = 3;               // --runs N, at least 1
  std::FILE* plot = nullptr;  // --plot FILE, open for writing
};

// Returns the options on the command line. Answers --help and --version, and
// refuses wrong use, by ending the benchmark with the tools' exit status; dies
// when the plot file cannot be written.
inline BenchOptions bench_args(int argc, char** argv) {
  int answered = answer_help_or_version(kBenchTool, argc, argv);
  if (answered >= 0) std::exit(answered);
  BenchOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool named = std::string_view(kBenchTool.usage).find(" [" + a) != std::string::npos;
    const bool valued = named && i + 1 < argc;
    if (named && a == "--big") {
      o.big = true;
    } else if (valued && a == "--baseline") {
      o.baseline = argv[++i];
    } else if (valued && a == "--runs") {
      o.runs = std::max(1, std::atoi(argv[++i]));
    } else if (valued && a == "--plot") {
      o.plot = std::fopen(argv[++i], "w");
      if (o.plot == nullptr) die(std::string("cannot write ") + argv[i]);
    } else {
      std::exit(wrong_use(kBenchTool, "unknown argument '" + a + "'"));
    }
  }
  return o;
}

inline double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Returns the seconds that f() takes.
template <typename F>
double timed(F f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return seconds_since(start);
}

// Returns the fewest seconds that `runs` calls of f() return.
template <typename F>
double best_of(int runs, F f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

inline double megabytes(const std::string& path) {
  return static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

// Returns the text of the file at path.
inline std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// How a child program ran.
struct Child {
  int status = -1;       // its exit status, -1 when it did not start or was killed
  double seconds = 1e9;  // wall time
  long peak_kib = 0;     // peak resident memory

  double peak_mib() const { return peak_kib / 1024.0; }
};

// Runs args[0] with standard output sent to `out` and standard error to
// /dev/null (what a child says is never shown: a real failure shows in the
// status). With `threads` set, TARNWICK_THREADS is that value, or unset when
// it is empty; otherwise the environment passes as it is. Returns how it ran.
inline Child spawn(const std::vector<std::string>& args, const std::string& out = "/dev/null",
                   const char* threads = nullptr) {
  const std::string kThreads = "TARNWICK_THREADS=";
  std::string setting = kThreads + (threads == nullptr ? "" : threads);
  std::vector<char*> env, argv;
  for (char** e = environ; *e != nullptr; ++e) {
    if (threads == nullptr || !std::string_view(*e).starts_with(kThreads)) env.push_back(*e);
  }
  if (threads != nullptr && *threads != '\0') env.push_back(setting.data());
  env.push_back(nullptr);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Child c;
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) == 0) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    c.seconds = seconds_since(start);
    c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    c.peak_kib = usage.ru_maxrss;
  }
  posix_spawn_file_actions_destroy(&actions);
  return c;
}

// Returns the fastest of `runs` runs of args (as spawn runs them, output
// thrown away); dies when one does not exit 0.
inline Child fastest(const std::vector<std::string>& args, int runs,
                     const char* threads = nullptr) {
  Child best;
  for (int i = 0; i < runs; ++i) {
    Child c = spawn(args, "/dev/null", threads);
    if (c.status != 0) die(args[0] + " failed on " + args[1]);
    if (c.seconds < best.seconds) best = c;
  }
  return best;
}

// A folder of its own under the temporary directory, removed with everything
// in it when the object goes.
class ScratchFolder {
 public:
  // Makes tarnwick-`name`-XXXXXX; throws std::runtime_error when it cannot.
  explicit ScratchFolder(const std::string& name) {
    std::string tmpl =
        (std::filesystem::temp_directory_path() / ("tarnwick-" + name + "-XXXXXX")).string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
    dir_ = tmpl;
  }
  ~ScratchFolder() { std::filesystem::remove_all(dir_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path(const std::string& file) const { return (dir_ / file).string(); }

  // Writes `text` to `file` in the folder and returns its path.
  std::string write(const std::string& file, const std::string& text) const {
    std::ofstream(path(file)) << text;
    return path(file);
  }

  // Writes to `file` in the folder what the program at `tool` (the generator
  // or the reference solver) writes for tool_args, and returns its path; dies
  // when the program fails.
  std::string run(const std::string& tool, const std::string& file,
                  const std::vector<std::string>& tool_args) const {
    std::vector<std::string> args{tool};
    args.insert(args.end(), tool_args.begin(), tool_args.end());
    if (spawn(args, path(file)).status != 0) die(tool + " failed for " + file);
    return path(file);
  }

  // Writes to `file` in the folder the graph tarnwick-gen writes for gen_args,
  // its arguments separated by spaces, and returns its path.
  std::string generate(const std::string& file, const std::string& gen_args) const {
    std::vector<std::string> args;
    std::istringstream words(gen_args);
    for (std::string word; words >> word;) args.push_back(word);
    return run(TARNWICK_GEN, file, args);
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace tarnwick

#endif  // TARNWICK_BENCH_BENCH_SUPPORT_H_
