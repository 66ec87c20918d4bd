// tarnwick-validate: checks a test graph before an exercise, reading it the
// way the judge does, and reports one finding a line in the form compilers
// use, then a summary. It runs after the case, whose load it watches, and
// tells a refused graph as a finding of its own.
#include <optional>
#include <string>
#include <string_view>

#include "validate/validate.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-validate",
    "Usage: tarnwick-validate [constraints] [--source S | --carried-source] [--kattis] "
    "[--strict] input_graph\n",
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
    "  --strict          the input is written one way only: \"n m\", then each edge\n"
    "                    \"u v w\" and the source alone on a line; one space between\n"
    "                    numbers; every line ends with \\n; no blank line, no '+',\n"
    "                    no leading zero\n"
    "Exit status: 0 no error, 3 errors found, 2 the file cannot be read, 1 wrong use.\n"};

// Whether --kattis is always on: a single-file source made to be a problem
// package's input validator (cmake/SingleFile.cmake) defines
// TARNWICK_DEFAULT_SYSTEM as "kattis", and is called with the package's
// flags alone.
#ifdef TARNWICK_DEFAULT_SYSTEM
constexpr bool kKattisByDefault = std::string_view(TARNWICK_DEFAULT_SYSTEM) == "kattis";
#else
constexpr bool kKattisByDefault = false;
#endif

// The numeric constraints, by option.
const std::pair<const char*, std::optional<int64_t> GraphConstraints::*> kBounds[] = {
    {"--min-vertices", &GraphConstraints::min_vertices},
    {"--max-vertices", &GraphConstraints::max_vertices},
    {"--min-edges", &GraphConstraints::min_edges},
    {"--max-edges", &GraphConstraints::max_edges},
    {"--min-weight", &GraphConstraints::min_weight},
    {"--max-weight", &GraphConstraints::max_weight}};

class Validate final : public Tool {
 public:
  Validate()
      : Tool(kInfo, {{"--min-vertices", "an integer"}, {"--max-vertices", "an integer"},
                     {"--min-edges", "an integer"}, {"--max-edges", "an integer"},
                     {"--min-weight", "an integer"}, {"--max-weight", "an integer"},
                     {"--connected", nullptr}, {"--simple", nullptr},
                     {"--source", "a vertex id"}, {"--carried-source", nullptr},
                     {"--allow-non-vertex-source", nullptr}, {"--kattis", nullptr},
                     {"--strict", nullptr}}) {}

  bool take(const Args& args, std::string* why) override {
    GraphConstraints& want = options_.want;
    for (const auto& [name, bound] : kBounds) {
      int64_t v = 0;
      const std::string* text = args.value(name);
      if (text != nullptr && !whole_number(*text, &v)) {
        *why = std::string(name) + " needs an integer, not '" + *text + "'";
      }
      if (text != nullptr) want.*bound = v;
    }
    want.connected = args.has("--connected"), want.simple = args.has("--simple");
    options_.allow_non_vertex_source = args.has("--allow-non-vertex-source");
    kattis_ = options_.test_input = args.has("--kattis") || kKattisByDefault;
    options_.strict_layout = args.has("--strict");
    return why->empty() && take_source(args, why) && take_path(args.operands, why);
  }
  Stage stage() const override { return Stage::kAfterCase; }
  CaseRequest request() const override {
    CaseRequest request{path_, options_.source, path_.empty()};
    request.tells_refusals = true;  // a refused graph is a finding
    request.warns = false;          // the judge's warnings are findings too
    return request;
  }
  CaseOptions load_options(GraphFile& file) override {
    validator_.emplace(options_, file);
    return validator_->load_options();
  }

  int run(Front& front) override {
    const std::string name = path_.empty() ? "<stdin>" : path_;
    Validation v;
    std::string why;
    if (!validator_->finish(front.judging, &v, &why)) return front.refuse(name + ": " + why);
    if (int status = front.print(validation_text(name, v)); status != kExitOk) return status;
    // An input validator exits 42 or 43 only for a file it has read: one that
    // cannot be read is a failure of its own (Kattis problem package format,
    // 2025-09, "Exit Codes for Input Validator Programs": 42 accepts, 43
    // rejects, any other code is a validator that failed to operate).
    if (kattis_) return v.errors > 0 ? kExitKattisWrong : kExitKattisAccepted;
    return v.errors > 0 ? kExitErrorsFound : kExitOk;
  }

 private:
  // Settles where the source comes from. Returns false with *why set.
  bool take_source(const Args& args, std::string* why) {
    const std::string* flag = args.value("--source");
    int32_t id = 0;  // the case's own reading of a --source value, told before the graph is read
    if (flag != nullptr && args.has("--carried-source")) {
      *why = "--source and --carried-source: the source comes from one of them";
    } else if (flag != nullptr && parse_source_flag(*flag, &id, why)) {
      options_.source = SourceGiven::flag(*flag);
    } else if (flag == nullptr && (args.has("--carried-source") || kattis_)) {
      // A problem package's test input carries its source, unless a flag gives it.
      options_.source = SourceGiven::carried();
    }
    return why->empty();
  }
  // Takes the one graph file ("-" or none with --kattis: standard input).
  bool take_path(const std::vector<std::string>& operands, std::string* why) {
    if (operands.size() > 1) *why = "one graph file at a time";
    if (operands.empty() && !kattis_) return false;
    path_ = operands.empty() || operands[0] == "-" ? "" : operands[0];
    return why->empty();
  }

  ValidateOptions options_;
  bool kattis_ = false;
  std::string path_;
  std::optional<Validator> validator_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Validate validate;
  return tarnwick::run_tool(validate, argc, argv);
}
