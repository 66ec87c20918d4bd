// tarnwick-validate: checks a test graph before an exercise, reading it the
// way the judge does, and reports one finding a line in the form compilers
// use, then a summary.
//
//   tarnwick-validate [constraints] [--kattis] input_graph
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "graph/reader.h"
#include "cli/tool.h"
#include "tools/validate_lib.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kTool = {
    "tarnwick-validate",
    "Usage: tarnwick-validate [constraints] [--source S] [--kattis] input_graph\n",
    "Reads a graph file the way tarnwick does and reports, one a line as\n"
    "FILE:LINE:COLUMN: error|warning: text, what the judge refuses or warns about\n"
    "and what it accepts but a test author rarely means; then a summary.\n"
    "Constraints (a violated one is an error):\n"
    "  --min-vertices N, --max-vertices N   bounds on the vertex count n\n"
    "  --min-edges M, --max-edges M         bounds on the announced edge count m\n"
    "  --min-weight W, --max-weight W       the range of every weight\n"
    "  --connected                          every vertex reachable from vertex 1\n"
    "  --simple                             no pair given twice, no self-loop\n"
    "  --source S        tell the vertices whose shortest path from S takes a missing edge\n"
    "  --kattis          exit 42 for a valid file, 43 otherwise; no path: standard input\n"
    "Exit status: 0 no error, 3 errors found, 2 the file cannot be read, 1 wrong use.\n"};

constexpr int kErrorsFound = 3;
constexpr int kKattisValid = 42;
constexpr int kKattisInvalid = 43;

struct Args {
  GraphConstraints want;
  bool kattis = false;
  const char* path = nullptr;  // null: standard input
};

// Reads a whole decimal integer (an optional sign, digits, nothing else).
std::optional<int64_t> integer(const char* text) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || text[0] == ' ') return std::nullopt;
  return v;
}

// Takes the value of option `name` into *slot. Returns false with *why set
// when there is none or it is not an integer.
bool take_value(const std::string& name, const char* value, std::optional<int64_t>* slot,
                std::string* why) {
  std::optional<int64_t> v = value != nullptr ? integer(value) : std::nullopt;
  if (!v) {
    *why = name + " needs an integer";
    if (value != nullptr) *why += ", not '" + std::string(value) + "'";
    return false;
  }
  *slot = v;
  return true;
}

// Returns the slot of a numeric option, or null when `name` is not one.
std::optional<int64_t>* numeric(const std::string& name, GraphConstraints& want,
                                std::optional<int64_t>* source) {
  if (name == "--min-vertices") return &want.min_vertices;
  if (name == "--max-vertices") return &want.max_vertices;
  if (name == "--min-edges") return &want.min_edges;
  if (name == "--max-edges") return &want.max_edges;
  if (name == "--min-weight") return &want.min_weight;
  if (name == "--max-weight") return &want.max_weight;
  if (name == "--source") return source;
  return nullptr;
}

// Takes one option at argv[*i] (and its value). Returns false with *why set.
bool take_option(int argc, const char* const* argv, int* i, Args* args,
                 std::optional<int64_t>* source, std::string* why) {
  std::string name = argv[*i];
  const char* value = nullptr;
  if (size_t eq = name.find('='); eq != std::string::npos) {
    value = argv[*i] + eq + 1;
    name.resize(eq);
  }
  if (std::optional<int64_t>* slot = numeric(name, args->want, source)) {
    if (value == nullptr && *i + 1 < argc) value = argv[++*i];
    return take_value(name, value, slot, why);
  }
  bool* flag = name == "--connected" ? &args->want.connected
               : name == "--simple"  ? &args->want.simple
               : name == "--kattis"  ? &args->kattis
                                     : nullptr;
  if (flag == nullptr || value != nullptr) {
    *why = "unknown option '" + std::string(argv[*i]) + "'";
    return false;
  }
  *flag = true;
  return true;
}

// Reads the command line into *args. Returns false with *why set on wrong use.
bool parse_args(int argc, const char* const* argv, Args* args, std::string* why) {
  std::optional<int64_t> source;
  bool options = true;
  int paths = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a.size() > 1 && a[0] == '-') {
      if (!take_option(argc, argv, &i, args, &source, why)) return false;
    } else {
      args->path = a == "-" ? nullptr : argv[i];
      ++paths;
    }
  }
  if (source && (*source < std::numeric_limits<int32_t>::min() ||
                 *source > std::numeric_limits<int32_t>::max())) {
    *why = "--source " + std::to_string(*source) + " does not fit in 32 bits";
    return false;
  }
  if (source) args->want.source = static_cast<int32_t>(*source);
  if (paths > 1 || (paths == 0 && !args->kattis)) {
    *why = paths > 1 ? "one graph file at a time" : "";
    return false;
  }
  return true;
}

// Points *file at standard input when it is a regular file that can seek, so
// that it is read in place rather than copied into memory. Returns false when
// it is not one (a pipe, a terminal).
bool seekable_stdin(GraphBytes* file) {
  struct stat st;
  if (::fstat(0, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const off_t at = ::lseek(0, 0, SEEK_CUR);
  if (at < 0) return false;
  file->fd = 0;
  file->start = at;
  return true;
}

// Reads all of standard input into *bytes. Returns false with *err set.
bool slurp_stdin(std::string* bytes, std::string* err) {
  char chunk[1 << 16];
  for (;;) {
    ssize_t got = ::read(0, chunk, sizeof chunk);
    if (got == 0) return true;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *err = reason(errno);
      return false;
    }
    bytes->append(chunk, static_cast<size_t>(got));
  }
}

// Writes text to standard output. Returns false when it fails.
bool print(const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && ok;
}

int run_validate(int argc, const char* const* argv) {
  if (int answered = answer_help_or_version(kTool, argc, argv); answered >= 0) return answered;
  Args args;
  std::string why;
  if (!parse_args(argc, argv, &args, &why)) return wrong_use(kTool, why);
  const int invalid = args.kattis ? kKattisInvalid : kErrorsFound;
  const std::string name = args.path != nullptr ? args.path : "<stdin>";
  GraphBytes file;
  std::string bytes;
  file.path = args.path;
  if (args.path == nullptr && seekable_stdin(&file)) {
    // Read in place, from where standard input stands, as often as needed.
  } else if (args.path == nullptr && !slurp_stdin(&bytes, &why)) {
    cannot(kTool, name + ": " + why);
    return args.kattis ? kKattisInvalid : kExitCannot;
  }
  file.bytes = bytes;
  Validation v;
  std::string out;
  if (!validate(file, args.want, &v, &why) || !validation_text(file, name, v, &out, &why)) {
    cannot(kTool, name + ": " + why);
    return args.kattis ? kKattisInvalid : kExitCannot;
  }
  if (!print(out)) return cannot(kTool, "standard output: " + reason(errno != 0 ? errno : EIO));
  if (v.errors > 0) return invalid;
  return args.kattis ? kKattisValid : kExitOk;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  try {
    return tarnwick::run_validate(argc, argv);
  } catch (const std::bad_alloc&) {
    return tarnwick::cannot(tarnwick::kTool, "out of memory");
  } catch (const std::exception& e) {
    return tarnwick::cannot(tarnwick::kTool, e.what());
  }
}
