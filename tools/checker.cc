// tarnwick-checker: tarnwick as the checker of a judging system (its usage
// and summary below; exit statuses are the system's, see tools/adapter.h).
#include <cstdio>
#include <string>

#include "systems/checker.h"
#include "cli/escape.h"
#include "cli/tool.h"

namespace tarnwick {
namespace {

const ToolInfo kTool = {
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

// Tells wrong use the system's way: testlib's one line "FAIL reason" (exit 3),
// else the usage line. Returns the exit status.
int checker_wrong_use(System system, const std::string& why) {
  if (system == System::kTestlib) {
    std::fprintf(stderr, "FAIL %s\n", printable(why).c_str());
  } else {
    wrong_use(kTool, why);
  }
  return exit_status(system, Checked::kWrongUse);
}

int checker_main(int argc, char** argv) {
  if (int status = answer_help_or_version(kTool, argc, argv); status >= 0) return status;
  CheckerArgs args;
  std::string why;
  if (!parse_checker_args(argc, argv, &args, &why)) return checker_wrong_use(args.system, why);
  // A failure no path handles (out of memory) is told the system's way.
  return guarded_main(kTool.name, [&args](int, char**) { return run_checker(args); }, argc, argv,
                      [&args](const std::string& why) { return judge_failure(args, why); });
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::checker_main, argc, argv);
}
