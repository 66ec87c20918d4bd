// tarnwick-validate: checks a test graph before an exercise, reading it the
// way the judge does, and reports one finding a line in the form compilers
// use, then a summary.
//
//   tarnwick-validate [constraints] [--source S | --carried-source] [--kattis] input_graph
#include <optional>
#include <string>

#include "check/case.h"
#include "cli/tool.h"
#include "graph/graph_file.h"
#include "validate/validate.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kTool = {
    "tarnwick-validate",
    "Usage: tarnwick-validate [constraints] [--source S | --carried-source] [--kattis] "
    "input_graph\n",
    "Reads a graph file the way tarnwick does and reports, one a line as\n"
    "FILE:LINE:COLUMN: error|warning: text, what the judge refuses or warns about\n"
    "and what it accepts but a test author rarely means; then a summary.\n"
    "Constraints (a violated one is an error):\n"
    "  --min-vertices N, --max-vertices N   bounds on the vertex count n\n"
    "  --min-edges M, --max-edges M         bounds on the announced edge count m\n"
    "  --min-weight W, --max-weight W       the range of every weight\n"
    "  --connected                          every vertex reachable from vertex 1\n"
    "  --simple                             no pair given twice, no self-loop\n"
    "The source:\n"
    "  --source S        tell the vertices whose shortest path from S takes a missing edge\n"
    "  --carried-source  the number after the m-th edge is the source, the file's last\n"
    "  --allow-non-vertex-source   a source of 0 or above n is a warning, not an error\n"
    "  --kattis          a problem package's input validator: the input on standard\n"
    "                    input (no path), its source carried (unless --source), n >= 1,\n"
    "                    the judge's warnings are errors; exit 42 valid, 43 invalid\n"
    "Exit status: 0 no error, 3 errors found, 2 the file cannot be read, 1 wrong use.\n"};

struct Args {
  ValidateOptions options;
  bool kattis = false;
  bool carried = false;
  const char* path = nullptr;  // null: standard input
};

// Returns the slot of a numeric constraint, or null when `name` is not one.
std::optional<int64_t>* numeric(const std::string& name, GraphConstraints& want) {
  if (name == "--min-vertices") return &want.min_vertices;
  if (name == "--max-vertices") return &want.max_vertices;
  if (name == "--min-edges") return &want.min_edges;
  if (name == "--max-edges") return &want.max_edges;
  if (name == "--min-weight") return &want.min_weight;
  if (name == "--max-weight") return &want.max_weight;
  return nullptr;
}

// Takes the value of option `name`, null when there is none. Returns false
// with *why set when it is not what the option takes.
bool take_value(const std::string& name, const char* value, Args* args, std::string* why) {
  int32_t id = 0;  // the case's own reading of a --source value, told before the graph is read
  int64_t v = 0;
  if (value == nullptr) {
    *why = name + (name == "--source" ? " needs a vertex id" : " needs an integer");
  } else if (name == "--source") {
    if (parse_source_flag(value, &id, why)) args->options.source = SourceGiven::flag(value);
  } else if (whole_number(value, &v)) {
    *numeric(name, args->options.want) = v;
  } else {
    *why = name + " needs an integer, not '" + value + "'";
  }
  return why->empty();
}

// Returns the slot of a flag, or null when `name` is not one.
bool* flag(const std::string& name, Args* args) {
  if (name == "--connected") return &args->options.want.connected;
  if (name == "--simple") return &args->options.want.simple;
  if (name == "--kattis") return &args->kattis;
  if (name == "--carried-source") return &args->carried;
  if (name == "--allow-non-vertex-source") return &args->options.allow_non_vertex_source;
  return nullptr;
}

// Takes one option at argv[*i] (and its value). Returns false with *why set.
bool take_option(int argc, const char* const* argv, int* i, Args* args, std::string* why) {
  std::string name = argv[*i];
  const char* value = nullptr;
  if (size_t eq = name.find('='); eq != std::string::npos) {
    value = argv[*i] + eq + 1;
    name.resize(eq);
  }
  if (name == "--source" || numeric(name, args->options.want) != nullptr) {
    if (value == nullptr && *i + 1 < argc) value = argv[++*i];
    return take_value(name, value, args, why);
  }
  bool* slot = flag(name, args);
  if (slot == nullptr || value != nullptr) {
    *why = "unknown option '" + std::string(argv[*i]) + "'";
    return false;
  }
  *slot = true;
  return true;
}

// Settles where the source comes from and what the file must be. Returns
// false with *why set when the options contradict each other.
bool settle(Args* args, std::string* why) {
  const bool flagged = args->options.source.how == SourceGiven::How::kFlag;
  if (flagged && args->carried) {
    *why = "--source and --carried-source: the source comes from one of them";
    return false;
  }
  // A problem package's test input carries its source, unless a flag gives it.
  if (args->carried || (args->kattis && !flagged)) args->options.source = SourceGiven::carried();
  args->options.test_input = args->kattis;
  return true;
}

// Reads the command line into *args. Returns false with *why set on wrong use.
bool parse_args(int argc, const char* const* argv, Args* args, std::string* why) {
  bool options = true;
  int paths = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a.size() > 1 && a[0] == '-') {
      if (!take_option(argc, argv, &i, args, why)) return false;
    } else {
      args->path = a == "-" ? nullptr : argv[i];
      ++paths;
    }
  }
  if (paths > 1 || (paths == 0 && !args->kattis)) {
    *why = paths > 1 ? "one graph file at a time" : "";
    return false;
  }
  return settle(args, why);
}

int run_validate(int argc, char** argv) {
  if (int answered = answer_help_or_version(kTool, argc, argv); answered >= 0) return answered;
  Args args;
  std::string why;
  if (!parse_args(argc, argv, &args, &why)) return wrong_use(kTool, why);
  const std::string name = args.path != nullptr ? args.path : "<stdin>";
  GraphFile file;
  if (args.path == nullptr) {
    file.adopt(0);  // read where it stands, once: a pipe is never copied
  } else if (!file.open(args.path, &why)) {
    return cannot(kTool, name + ": " + why);
  }
  Validation v;
  if (!validate(file, args.options, &v, &why)) return cannot(kTool, name + ": " + why);
  if (int status = print(kTool, validation_text(name, v)); status != kExitOk) return status;
  // An input validator exits 42 or 43 only for a file it has read: one that
  // cannot be read is a failure of its own (Kattis problem package format,
  // 2025-09, "Exit Codes for Input Validator Programs": 42 accepts, 43
  // rejects, any other code is a validator that failed to operate).
  if (args.kattis) return v.errors > 0 ? kExitKattisWrong : kExitKattisAccepted;
  return v.errors > 0 ? kExitErrorsFound : kExitOk;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::run_validate, argc, argv);
}
