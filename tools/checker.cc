// tarnwick-checker: tarnwick as the checker of a judging system (its usage
// and summary below; exit statuses are the system's, see systems/checker.h).
// It makes the case of the one test it is given.
#include <iterator>
#include <string>
#include <string_view>

#include "systems/checker.h"
#include "systems/command_line.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-checker",
    "Usage: tarnwick-checker --kattis input_file answer_file feedback_dir [--source S] "
    "< team_output\n"
    "       tarnwick-checker --testlib input_file output_file answer_file [result_file "
    "[-appes]] [--source S] [--judge-details]\n"
    "       tarnwick-checker --cms input_file correct_output contestant_output [--source S]\n",
    "Judges a team's output for one test case as tarnwick would, speaking the\n"
    "judging system's language. The source is --source S, or else the first number\n"
    "after the m-th edge of input_file. The answer file must be accepted; an empty\n"
    "one means the test has no model answer.\n"
    "  --kattis, --domjudge  output validator: exit 42 accepted, 43 wrong, else a\n"
    "                        judge error; judgemessage.txt and teammessage.txt\n"
    "                        are written into feedback_dir\n"
    "  --testlib             checker: exit 0 accepted, 1 wrong, 2 output_file\n"
    "                        unreadable, 3 judge failure; one line on standard error,\n"
    "                        or in result_file (testlib's XML with -appes);\n"
    "                        --testset X and --group Y are ignored\n"
    "  --cms                 checker: 1.0 or 0.0 on standard output, the message on\n"
    "                        standard error, exit 0; non-zero when the test is broken\n"
    "  --judge-details       testlib: the message tells the expected distance (for\n"
    "                        systems that keep it from contestants)\n"
    "A name ending in -kattis, -domjudge, -testlib or -cms (a symbolic link) chooses\n"
    "the system as the flag does.\n"};

// The system spoken when neither a flag nor the program's name asks for one:
// none, but a single-file source (cmake/SingleFile.cmake) and the executable
// tarnwick-checker-cms are made for one and define TARNWICK_DEFAULT_SYSTEM.
#ifdef TARNWICK_DEFAULT_SYSTEM
constexpr std::string_view kDefaultSystem = TARNWICK_DEFAULT_SYSTEM;
#else
constexpr std::string_view kDefaultSystem = "";
#endif

class Checker final : public Tool {
 public:
  Checker() : Tool(kInfo, {std::begin(kCheckerOptions), std::end(kCheckerOptions)}, {std::begin(kCheckerWords), std::end(kCheckerWords)}) {}

  bool take(const Args& args, std::string* why) override {
    return read_checker_args(args, kDefaultSystem, &args_, why);
  }
  Stage stage() const override { return Stage::kPerTest; }
  int wrong_use(const Args& args, const std::string& why) const override {
    std::string ignored;
    CheckerArgs known = args_;
    known.system = system_asked(args, kDefaultSystem, &ignored);
    return tell_wrong_use(known, info().usage, why);
  }
  // A failure no path handles (out of memory) is told the system's way.
  int failed(const std::string& why) const override { return tell_failure(args_, why); }

  int run(Front& front) override {
    return run_checker(args_, front.progress(), [&front] { front.end_progress(); });
  }

 private:
  CheckerArgs args_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Checker checker;
  return tarnwick::run_tool(checker, argc, argv);
}
