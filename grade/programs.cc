// Students' programs copied, built once and run on each test (programs.h): the
// scratch folders, the commands and their limits, and how a run ended as a
// grader tells it.
#include "grade/programs.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <shared_mutex>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>

#include "cli/escape.h"
#include "grade/run_keeper.h"
#include "grade/sandbox.h"
#include "graph/parallel.h"
#include "graph/reader.h"

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

// The files a run's placeholders name, in its folder.
constexpr char kInputName[] = "tarnwick.in";
constexpr char kOutputName[] = "tarnwick.out";

// Reads a number of seconds, digits with an optional fraction ("0.5", "2"),
// from 0.001 to 86400, into *seconds.
bool parse_seconds(const std::string& text, double* seconds) {
  size_t digits = 0, points = 0;
  for (char c : text) {
    digits += is_digit(c);
    points += c == '.';
  }
  if (digits == 0 || digits + points != text.size() || points > 1 || text.size() > 12) return false;
  *seconds = std::strtod(text.c_str(), nullptr);
  return *seconds >= 0.001 && *seconds <= 86400;
}

// Reads a whole number of processes, 1 to 4096, into *count.
bool parse_processes(const std::string& text, int32_t* count) {
  int64_t value = 0;
  if (!whole_number(text, &value) || value < 1 || value > 4096) return false;
  *count = static_cast<int32_t>(value);
  return true;
}

// Reads "best", "bubblewrap", "pid-namespace" or "subreaper" into *isolation.
bool parse_isolation(const std::string& text, Isolation* isolation) {
  for (Isolation i : {Isolation::kBest, Isolation::kBubblewrap, Isolation::kPidNamespace,
                      Isolation::kSubreaper}) {
    std::string name = isolation_name(i);
    std::replace(name.begin(), name.end(), ' ', '-');
    if (text == name) {
      *isolation = i;
      return true;
    }
  }
  return false;
}

// One valued option: its name, how its value is read, and what it must be.
struct ValueRead {
  const char* name;
  std::function<bool(const std::string&)> take;
  const char* must_be;
};

// The limits of a build: --build-time of CPU, twice that and 10 s of wall
// time, and room for compilers beyond the runs' limits.
RunLimits build_limits(const RunLimits& run, double cpu_seconds) {
  RunLimits l;
  l.cpu_seconds = cpu_seconds;
  l.wall_seconds = 2 * cpu_seconds + 10;
  l.memory_bytes = std::max(run.memory_bytes, uint64_t{2} << 30);
  l.output_bytes = std::max(run.output_bytes, uint64_t{1} << 30);
  l.processes = std::max(run.processes, 64);
  return l;
}

// Returns `bytes` for a person: "64 MiB", "1 GiB", "1536 KiB", "100 bytes".
std::string bytes_text(uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KiB", "MiB", "GiB"};
  int unit = 0;
  while (unit < 3 && bytes != 0 && bytes % 1024 == 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + kUnits[unit];
}

// Returns seconds as the shortest decimal ("0.5", "2").
std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

// Returns `text` as one word of /bin/sh: as it is when it holds only letters,
// digits and / . _ -, else in single quotes.
std::string shell_word(const std::string& text) {
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' ||
           c == '-';
  });
  return plain ? text : shell_quoted(text);
}

// Copies the regular file `from` to the new file `to` with `mode`. Returns "" or why not.
std::string copy_file(const std::string& from, const std::string& to, mode_t mode) {
  const std::shared_lock<std::shared_mutex> hold(spawn_lock());  // no process starts meanwhile
  const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return from + ": " + reason(errno);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  std::string why = out < 0 ? to + ": " + reason(errno) : "";
  if (why.empty() && ::fchmod(out, mode) != 0) why = to + ": " + reason(errno);
  for (ssize_t n = 1; why.empty() && n > 0;) {
    n = ::sendfile(out, in, nullptr, 1 << 30);
    if (n < 0) why = from + ": " + reason(errno);
  }
  if (out >= 0) ::close(out);
  ::close(in);
  return why;
}

// Makes a folder of `to`'s for the folder `from` and copies it there. Returns "" or why not.
std::string copy_subfolder(const std::string& from, const std::string& to) {
  if (::mkdir(to.c_str(), 0777) != 0 || ::chmod(to.c_str(), 0777) != 0) {
    return to + ": " + reason(errno);
  }
  return copy_folder(from, to);
}

// Copies one entry of a folder, as copy_folder does. Returns "" or why not.
std::string copy_entry(const fs::directory_entry& entry, const fs::path& to) {
  std::error_code error;
  const fs::file_status st = entry.symlink_status(error);
  const std::string from = entry.path().string(), target = (to / entry.path().filename()).string();
  if (error) return from + ": " + error.message();
  if (fs::is_directory(st)) return copy_subfolder(from, target);
  if (fs::is_regular_file(st)) {
    const bool runs = (st.permissions() & (fs::perms::owner_exec | fs::perms::group_exec |
                                           fs::perms::others_exec)) != fs::perms::none;
    return copy_file(from, target, runs ? 0777 : 0666);
  }
  if (fs::is_symlink(st)) {
    fs::create_symlink(fs::read_symlink(from, error), target, error);
    if (error) return target + ": " + error.message();
  }
  return "";  // a FIFO, a socket, a device: nothing a build needs
}

// Opens every folder under `dir` to us again (a program may have closed one).
void open_up(const fs::path& dir) {
  ::chmod(dir.c_str(), 0700);
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    if (it->symlink_status(error).type() == fs::file_type::directory) open_up(it->path());
  }
}

// Returns the text of the file at path, or "" when it cannot be read.
std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Returns how a run, or a build, ended as the grader tells it.
ProgramRun program_run(const RunResult& r, bool build, std::string errors) {
  ProgramRun p{RunFailure::kNone, r, std::move(errors), ""};
  switch (r.end) {
    case RunEnd::kFinished: return p;
    case RunEnd::kCannotRun: p.not_run = describe(r); return p;
    case RunEnd::kRuntimeError: p.failure = RunFailure::kRuntimeError; break;
    case RunEnd::kTimeLimit: p.failure = RunFailure::kTimeLimit; break;
    case RunEnd::kWallTimeLimit: p.failure = RunFailure::kWallTimeLimit; break;
    case RunEnd::kMemoryLimit: p.failure = RunFailure::kMemoryLimit; break;
    case RunEnd::kOutputLimit: p.failure = RunFailure::kOutputLimit; break;
  }
  if (build) p.failure = RunFailure::kCompileError;
  return p;
}

// Returns a run that did not happen, for `why`.
ProgramRun not_run(const std::string& why) {
  RunResult r;
  r.note = why;
  return program_run(r, false, "");
}

// Makes a private folder (mkdtemp, mode 0700) in `parent`. Returns its path, or "".
std::string private_folder(const std::string& parent, const char* prefix) {
  std::string path = parent + "/" + prefix + "XXXXXX";
  return ::mkdtemp(path.data()) != nullptr ? path : "";
}

// Returns "" when every folder from `path` up lets others pass (x), as runs
// of uids of their own need to reach their folders; else why not.
std::string passable(const fs::path& path) {
  for (fs::path p = path; !p.empty(); p = p.parent_path()) {
    struct stat st;
    if (::stat(p.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0) {
      return p.string() + ": others may not pass (mode " + std::to_string(st.st_mode & 0777) +
             " in decimal); runs of uids of their own could not reach their folders (set TMPDIR)";
    }
    if (p == p.parent_path()) break;
  }
  return "";
}

// Moves the file a program wrote for {output} to `kept`, out of its reach. A
// program that wrote none there, or left something else than a regular file
// (a link), leaves an empty result. A file over the output limit is one.
void take_output(const std::string& written, const std::string& kept, const RunLimits& limits,
                 RunResult* r) {
  struct stat st;
  if (::lstat(written.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      ::rename(written.c_str(), kept.c_str()) == 0) {
    r->output_bytes = static_cast<uint64_t>(st.st_size);
    if (r->output_bytes > limits.output_bytes && r->end == RunEnd::kFinished) {
      r->end = RunEnd::kOutputLimit;
    }
    return;
  }
  const int fd = ::open(kept.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

// Returns "" when the options of programs go with the others given, else why not.
std::string program_use(const Args& args) {
  const bool run = args.has("--run");
  for (const OptionSpec& option : kProgramOptionSpecs) {
    if (!run && args.has(option.name)) return std::string(option.name) + " needs --run";
  }
  if (!run) return "";
  if (!args.has("--testset")) return "--run needs --testset";
  if (args.has("--output-name")) return "--output-name names result files, which --run makes";
  if (args.has("--max-result-bytes")) {
    return "--max-result-bytes is for result files; --output-limit bounds a program's output";
  }
  return "";
}

}  // namespace

bool parse_byte_count(const std::string& text, uint64_t* bytes) {
  size_t digits = 0;
  while (digits < text.size() && is_digit(text[digits])) ++digits;
  static const std::string kUnits[] = {"", "K", "M", "G"};  // 1024 to the power of the place
  const auto unit = std::find(std::begin(kUnits), std::end(kUnits), text.substr(digits));
  if (digits == 0 || digits > 12 || unit == std::end(kUnits)) return false;
  // Checked before the shift, which would drop the high bits of a count too large.
  const int shift = 10 * static_cast<int>(unit - std::begin(kUnits));
  const uint64_t count = std::stoull(text.substr(0, digits));
  if (count > (uint64_t{1} << 62) >> shift) return false;
  *bytes = count << shift;
  return true;
}

bool read_program_options(const Args& args, ProgramOptions* out, std::string* why) {
  *why = program_use(args);
  if (!why->empty() || !args.has("--run")) return why->empty();
  RunLimits& l = out->limits;
  double build_seconds = 60;
  const ValueRead reads[] = {
      {"--time", [&](const std::string& v) { return parse_seconds(v, &l.cpu_seconds); },
       "a number of seconds from 0.001 to 86400"},
      {"--wall-time", [&](const std::string& v) { return parse_seconds(v, &l.wall_seconds); },
       "a number of seconds from 0.001 to 86400"},
      {"--build-time", [&](const std::string& v) { return parse_seconds(v, &build_seconds); },
       "a number of seconds from 0.001 to 86400"},
      {"--memory", [&](const std::string& v) { return parse_byte_count(v, &l.memory_bytes); },
       "a byte count (digits, then K, M or G)"},
      {"--output-limit", [&](const std::string& v) { return parse_byte_count(v, &l.output_bytes); },
       "a byte count (digits, then K, M or G)"},
      {"--processes", [&](const std::string& v) { return parse_processes(v, &l.processes); },
       "a whole number from 1 to 4096"},
      {"--isolation", [&](const std::string& v) { return parse_isolation(v, &out->isolation); },
       "best, bubblewrap, pid-namespace or subreaper"},
  };
  for (const ValueRead& read : reads) {
    const std::string* value = args.value(read.name);
    if (value != nullptr && !read.take(*value)) {
      *why = std::string(read.name) + " '" + *value + "' is not " + read.must_be;
      return false;
    }
  }
  if (!args.has("--wall-time")) l.wall_seconds = 2 * l.cpu_seconds + 1;
  out->run = *args.value("--run");
  if (const std::string* build = args.value("--build")) out->build = *build;
  out->build_limits = build_limits(l, build_seconds);
  if (out->run.empty()) *why = "--run needs a command";
  return why->empty();
}

std::string isolation_unavailable(Isolation isolation) {
  const RunnerAbilities& a = runner_abilities();
  if (isolation == Isolation::kBubblewrap && !a.bubblewrap) {
    return "--isolation bubblewrap: it cannot run here: " + a.bubblewrap_why;
  }
  if (isolation == Isolation::kPidNamespace && !a.pid_namespace) {
    return "--isolation pid-namespace: no pid namespace can be made here (it takes root)";
  }
  return "";
}

std::vector<std::string> isolation_warnings(Isolation isolation) {
  const RunnerAbilities& a = runner_abilities();
  if (isolation != Isolation::kBest || a.bubblewrap) return {};
  const std::string head = "warning: programs run without bubblewrap (" + a.bubblewrap_why + ")";
  if (a.own_uid) {
    return {head + ", each as a uid of its own: they may read every file that all users may "
                   "read, write where all users may write, and use the network"};
  }
  return {head + ", as this user: they may read and write every file it may, use the network, "
                 "and start processes without limit"};
}

std::string limits_text(const RunLimits& l) {
  return seconds_text(l.cpu_seconds) + " s of CPU, " + seconds_text(l.wall_seconds) +
         " s wall, " + bytes_text(l.memory_bytes) + ", " + bytes_text(l.output_bytes) +
         " of output, " + std::to_string(l.processes) + " processes";
}

std::string expand_run_command(std::string_view command, const Placeholders& p) {
  const std::pair<std::string_view, std::string> kWords[] = {
      {"{input}", shell_word(p.input)},
      {"{graph}", shell_word(p.input)},
      {"{source}", p.source},
      {"{output}", shell_word(p.output)},
  };
  std::string out;
  for (size_t at = 0; at < command.size();) {
    const auto word = std::find_if(std::begin(kWords), std::end(kWords), [&](const auto& w) {
      return command.substr(at, w.first.size()) == w.first;
    });
    if (word == std::end(kWords)) {
      out += command[at++];
    } else {
      out += word->second;
      at += word->first.size();
    }
  }
  return out;
}

bool names(std::string_view command, std::string_view placeholder) {
  return command.find(placeholder) != std::string_view::npos;
}

std::string copy_folder(const std::string& from, const std::string& to) {
  std::error_code error;
  for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
    if (std::string why = copy_entry(*it, to); !why.empty()) return why;
  }
  return error ? from + ": " + error.message() : "";
}

void remove_folder(const std::string& path) {
  std::error_code error;
  if (fs::remove_all(path, error) != static_cast<std::uintmax_t>(-1) && !error) return;
  open_up(path);
  fs::remove_all(path, error);
}

// A submission's scratch folder once built, or why it cannot run.
struct ProgramClass::Built {
  // The submission's own scratch folder (mode 0711): the build's folder,
  // then each run's, the only ones its runs may see in a sandbox.
  std::string box;
  std::string folder;                // the build's, in box
  std::unique_ptr<Sandbox> sandbox;  // around box, when runs enter sandboxes
  std::optional<ProgramRun> failed;  // a compile error, or not_run
};

ProgramClass::ProgramClass(const ProgramOptions& options) : options_(options) {}

ProgramClass::~ProgramClass() {
  if (!root_.empty()) remove_folder(root_);
}

bool ProgramClass::open(std::string* why) {
  std::error_code error;
  const fs::path temp = fs::temp_directory_path(error);
  root_ = private_folder(error ? "/tmp" : temp.string(), "tarnwick-grade-");
  if (root_.empty()) {
    *why = "a scratch folder in " + (error ? "/tmp" : temp.string()) + ": " + reason(errno);
    return false;
  }
  // Runs of uids of their own pass through it to their folders; nobody may list it.
  if (::chmod(root_.c_str(), 0711) != 0 || ::mkdir((root_ + "/out").c_str(), 0700) != 0) {
    *why = root_ + ": " + reason(errno);
    return false;
  }
  if (runner_abilities().own_uid) *why = passable(root_);
  const RunnerAbilities& a = runner_abilities();
  const Isolation used = options_.isolation == Isolation::kBest ? a.best : options_.isolation;
  sandboxed_ = used == Isolation::kBubblewrap && a.enters_sandboxes;
  return why->empty();
}

std::unique_ptr<ProgramClass::Built> ProgramClass::lay_out(const std::string& submission) const {
  auto b = std::make_unique<Built>();
  b->box = private_folder(root_, "sub-");
  std::string why = b->box.empty() || ::chmod(b->box.c_str(), 0711) != 0
                        ? "a scratch folder: " + reason(errno)
                        : "";
  if (why.empty()) b->folder = private_folder(b->box, "build-");
  if (why.empty() && b->folder.empty()) why = "a scratch folder: " + reason(errno);
  if (why.empty()) why = copy_folder(submission, b->folder);
  if (!why.empty()) {
    b->failed = not_run("copying the submission: " + why);
  } else if (sandboxed_) {
    b->sandbox = std::make_unique<Sandbox>();
    why = b->sandbox->open(b->box);
    if (!why.empty()) b->failed = not_run(why);
  }
  return b;
}

std::unique_ptr<ProgramClass::Built> ProgramClass::build_one(const std::string& submission,
                                                             size_t s) const {
  if (submission.empty()) {  // a folder refused before the build: nothing is copied
    auto b = std::make_unique<Built>();
    b->failed = not_run("no submission folder");
    return b;
  }
  std::unique_ptr<Built> b = lay_out(submission);
  if (b->failed || options_.build.empty()) return b;
  RunRequest r;
  r.argv = shell_command(options_.build);
  r.working_folder = b->folder;
  r.error_path = root_ + "/out/" + std::to_string(s) + ".build";
  r.limits = options_.build_limits;
  r.isolation = options_.isolation;
  r.sandbox = b->sandbox.get();
  const RunResult result = run_program(r);  // before its standard error is read
  ProgramRun built = program_run(result, true, read_all(r.error_path));
  if (built.failure != RunFailure::kNone || !built.not_run.empty()) b->failed = built;
  return b;
}

void ProgramClass::build(const std::vector<std::string>& submissions, int32_t threads) {
  if (sandboxed_) make_room_for_sandboxes(submissions.size());
  built_.clear();
  built_.resize(submissions.size());
  std::atomic<size_t> next{0};
  const int32_t count =
      std::max<int32_t>(1, std::min<int32_t>(static_cast<int32_t>(submissions.size()), threads));
  run_threads(count, [&](int32_t, int32_t) {
    for (size_t s; (s = next.fetch_add(1)) < submissions.size();) {
      try {
        built_[s] = build_one(submissions[s], s);
      } catch (const std::bad_alloc&) {
        built_[s] = std::make_unique<Built>();
        built_[s]->failed = not_run("out of memory");
      }
    }
  });
}

std::string ProgramClass::output_path(size_t s) const {
  return root_ + "/out/" + std::to_string(s) + ".out";
}

ProgramRun ProgramClass::run(size_t s, const TestRun& test) const {
  const Built& b = *built_[s];
  if (b.failed) return *b.failed;
  const std::string folder = private_folder(b.box, "run-");
  if (folder.empty()) return not_run("a scratch folder: " + reason(errno));
  const std::string& command = options_.run;
  const Placeholders p{folder + "/" + kInputName, std::to_string(test.source),
                       folder + "/" + kOutputName};
  std::string why = copy_folder(b.folder, folder);
  if (why.empty() && (names(command, "{input}") || names(command, "{graph}"))) {
    why = copy_file(test.input, p.input, 0644);
  }
  const bool to_file = names(command, "{output}");
  RunRequest r;
  r.argv = shell_command(expand_run_command(command, p));
  r.working_folder = folder;
  r.input_path = test.input;
  r.output_path = to_file ? "" : output_path(s);
  r.error_path = root_ + "/out/" + std::to_string(s) + ".err";
  r.limits = options_.limits;
  r.isolation = options_.isolation;
  r.sandbox = b.sandbox.get();
  RunResult result = why.empty() ? run_program(r) : not_run(why).result;
  if (to_file) take_output(p.output, output_path(s), r.limits, &result);
  remove_folder(folder);
  return program_run(result, false, read_all(r.error_path));
}

}  // namespace tarnwick
