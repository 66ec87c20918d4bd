// Running the judge binary from tests: scratch files in, both streams and the
// exit status out.
#ifndef TARNWICK_TESTS_CLI_SUPPORT_H_
#define TARNWICK_TESTS_CLI_SUPPORT_H_

// TARNWICK_UNDER_ASAN is 1 when built with AddressSanitizer (g++ or clang++),
// which reserves far more address space than the tests' memory limits allow.
#if defined(__SANITIZE_ADDRESS__)
#define TARNWICK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNWICK_UNDER_ASAN 1
#endif
#endif

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace tarnwick_test {

namespace fs = std::filesystem;

struct Outcome {
  std::string out, err;
  int status = -1;
};

inline std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void write_file(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A scratch folder for one test, removed afterwards.
class Scratch {
 public:
  Scratch() {
    char tmpl[] = "/tmp/tarnwick-cli-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  ~Scratch() { fs::remove_all(dir_); }
  // Returns the path of a file holding `bytes`.
  std::string file(const std::string& name, const std::string& bytes) {
    write_file(dir_ / name, bytes);
    return (dir_ / name).string();
  }
  fs::path dir() const { return dir_; }

 private:
  fs::path dir_;
};

// Runs `binary` with `args`, capturing both streams and the exit status.
inline Outcome run_program(const char* binary, const std::vector<std::string>& args,
                           const Scratch& scratch) {
  std::string out = (scratch.dir() / "stdout").string(), err = (scratch.dir() / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(binary)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  Outcome o;
  if (posix_spawn(&pid, binary, &actions, nullptr, argv.data(), environ) == 0) {
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  o.out = slurp(out);
  o.err = slurp(err);
  return o;
}

// Runs the judge binary with `args`.
inline Outcome run_judge(const std::vector<std::string>& args, const Scratch& scratch) {
  return run_program(TARNWICK_BINARY, args, scratch);
}

// The outcome of judging texts, with the paths of the files they were put in.
struct Judged {
  Outcome outcome;
  std::string graph, result;
};

// Writes `graph` and `result` into scratch files and judges them from `source`.
inline Judged judge_texts(const std::string& graph, const std::string& result,
                          const std::string& source, Scratch& scratch) {
  Judged j{{}, scratch.file("graph", graph), scratch.file("result", result)};
  j.outcome = run_judge({j.graph, j.result, source}, scratch);
  return j;
}

// Returns `text` with every `from` replaced by `to`.
inline std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Returns s written `times` times.
inline std::string repeat(const std::string& s, int times) {
  std::string r;
  for (int i = 0; i < times; ++i) r += s;
  return r;
}

// Returns a test name made of a golden case's `name`: letters and digits
// kept, everything else '_'. For INSTANTIATE_TEST_SUITE_P.
template <typename Case>
std::string param_name(const testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : std::string(info.param.name)) {
    name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  }
  return name;
}

}  // namespace tarnwick_test

#endif  // TARNWICK_TESTS_CLI_SUPPORT_H_
