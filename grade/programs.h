// Students' programs graded on a test set: each submission folder copied into
// a scratch folder and built there once, then its program run on every test
// in a fresh copy of what the build left, under limits, through the runner
// (run.h); what it writes is the result file the grader judges.
#ifndef TARNWICK_GRADE_PROGRAMS_H_
#define TARNWICK_GRADE_PROGRAMS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "grade/grade.h"
#include "grade/run.h"

namespace tarnwick {

// How a class's programs are built and run.
struct ProgramOptions {
  std::string build;  // the build command, run by /bin/sh -c; "" for none
  // The run command, run by /bin/sh -c on every test: the test's input on
  // standard input, standard output the result file; or the files its
  // placeholders name ({input}, {graph}, {source}, {output}).
  std::string run;
  RunLimits limits;        // of each run
  RunLimits build_limits;  // of the build
  Isolation isolation = Isolation::kBest;
};

// The options of tarnwick-grade that build and run programs, for its option table.
inline constexpr OptionSpec kProgramOptionSpecs[] = {
    {"--build", "a command"},     {"--run", "a command"},          {"--time", "seconds"},
    {"--wall-time", "seconds"},   {"--memory", "a byte count"},    {"--output-limit", "a byte count"},
    {"--processes", "a number"},  {"--build-time", "seconds"},     {"--isolation", "an isolation"},
};

// Reads a byte count, digits and an optional K, M or G (powers of 1024), into
// *bytes. Returns false for anything else, or more than 2^62.
bool parse_byte_count(const std::string& text, uint64_t* bytes);

// Reads the program options of a command line into *out (the defaults where
// not given). Returns false with *why set on wrong use: an option that needs
// --run without it, --run without --testset or with an option of result
// files (--output-name, --max-result-bytes), or a value that is not one.
bool read_program_options(const Args& args, ProgramOptions* out, std::string* why);

// Returns "" when `isolation` can be had here, else why not (one line).
std::string isolation_unavailable(Isolation isolation);

// Returns a warning when runs asked for the best isolation go without
// bubblewrap here (saying what is then not kept from them), else none.
std::vector<std::string> isolation_warnings(Isolation isolation);

// Returns "0.5 s of CPU, 2 s wall, 64 MiB, 1 MiB of output, 8 processes".
std::string limits_text(const RunLimits& limits);

// What a run command's placeholders stand for in one run.
struct Placeholders {
  std::string input;   // {input} and {graph}: a copy of the test's input
  std::string source;  // {source}: the test's source vertex
  std::string output;  // {output}: the file the program writes its result to
};

// Returns `command` with every {input}, {graph}, {source} and {output}
// replaced, a path quoted for the shell when it holds anything but letters,
// digits and / . _ - (nothing else is special).
std::string expand_run_command(std::string_view command, const Placeholders& p);

// Returns true when `command` holds `placeholder` ("{output}").
bool names(std::string_view command, std::string_view placeholder);

// Copies the folder `from` into the existing folder `to`: folders, regular
// files and symbolic links (as links, never followed); anything else is left
// out. Copies may be read and written by every later run in `to` (folders
// 0777, files 0666 or 0777), which nobody else can enter. Returns "" or why not.
std::string copy_folder(const std::string& from, const std::string& to);

// Removes `path` and everything in it, whatever modes a program left there.
void remove_folder(const std::string& path);

// What a run needs of a test.
struct TestRun {
  std::string input;   // the test's input file, DATA/NAME.in
  int32_t source = 0;  // its source vertex
};

// A class's programs in one scratch folder of their own, removed with it.
// Under bubblewrap as root, each submission has a sandbox of its own, laid
// out once, which its build and every run of it enter.
class ProgramClass {
 public:
  explicit ProgramClass(const ProgramOptions& options);
  ~ProgramClass();
  ProgramClass(const ProgramClass&) = delete;
  ProgramClass& operator=(const ProgramClass&) = delete;

  // Makes the scratch folder (mkdtemp, under TMPDIR or /tmp). Returns false
  // with *why set when it cannot.
  bool open(std::string* why);
  // Copies each submission folder into a scratch folder of its own and runs
  // the build command there, on up to `threads` threads; an empty name
  // ("" for a folder refused before) is neither copied nor built.
  void build(const std::vector<std::string>& submissions, int32_t threads);
  // Returns the file submission s's output is judged from (kept by the
  // grader, out of the program's reach).
  std::string output_path(size_t s) const;
  // Runs submission s's program on a test in a fresh copy of its built
  // folder, and leaves its output at output_path(s). Returns how it ran: the
  // build's failure, without running, when it did not build. Safe on
  // several threads for distinct submissions.
  ProgramRun run(size_t s, const TestRun& test) const;

 private:
  struct Built;
  // Copies `submission` into a scratch folder of its own, with a sandbox
  // around it when runs enter sandboxes; or tells why it cannot run.
  std::unique_ptr<Built> lay_out(const std::string& submission) const;
  // Copies `submission` into a scratch folder and builds it there.
  std::unique_ptr<Built> build_one(const std::string& submission, size_t s) const;

  ProgramOptions options_;
  bool sandboxed_ = false;  // runs enter a sandbox a submission (sandbox.h)
  std::string root_;
  std::vector<std::unique_ptr<Built>> built_;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_PROGRAMS_H_
