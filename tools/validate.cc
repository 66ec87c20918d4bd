// tarnwick-validate: checks a test graph before an exercise, reading it the
// way the judge does, and reports one finding a line in the form compilers
// use, then a summary. It runs after the case, whose load it watches, and
// tells a refused graph as a finding of its own.
#include <optional>
#include <string>
#include <string_view>

#include "validate/command_line.h"
#include "validate/validate.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-validate",
    "Usage: tarnwick-validate [constraints] [--source S | --carried-source] "
    "[--allow-non-vertex-source] [--kattis] [--strict] input_graph\n",
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

class Validate final : public Tool {
 public:
  Validate() : Tool(kInfo, validate_options()) {}

  bool take(const Args& args, std::string* why) override {
    return read_validate_command(args, kKattisByDefault, &c_, why);
  }
  Stage stage() const override { return Stage::kAfterCase; }
  CaseRequest request() const override {
    CaseRequest request{c_.path, c_.options.source, c_.path.empty()};
    request.tells_refusals = true;  // a refused graph is a finding
    request.warns = false;          // the judge's warnings are findings too
    return request;
  }
  CaseOptions load_options(GraphFile& file) override {
    validator_.emplace(c_.options, file);
    return validator_->load_options();
  }

  int run(Front& front) override {
    const std::string name = c_.path.empty() ? "<stdin>" : c_.path;
    Validation v;
    std::string why;
    if (!validator_->finish(front.judging, &v, &why)) return front.refuse(name + ": " + why);
    if (int status = front.print(validation_text(name, v)); status != kExitOk) return status;
    // An input validator exits 42 or 43 only for a file it has read: one that
    // cannot be read is a failure of its own (Kattis problem package format,
    // 2025-09, "Exit Codes for Input Validator Programs": 42 accepts, 43
    // rejects, any other code is a validator that failed to operate).
    if (c_.kattis) return v.errors > 0 ? kExitKattisWrong : kExitKattisAccepted;
    return v.errors > 0 ? kExitErrorsFound : kExitOk;
  }

 private:
  ValidateCommand c_;
  std::optional<Validator> validator_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Validate validate;
  return tarnwick::run_tool(validate, argc, argv);
}
