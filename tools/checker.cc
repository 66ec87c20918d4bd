// tarnwick-checker: tarnwick as the checker of a judging system.
//
//   tarnwick-checker --kattis input_file answer_file feedback_dir [--source S] < team_output
//   tarnwick-checker --testlib input_file output_file answer_file [--source S]
//
// The system may also come from the name it is called under: a name ending in
// "-kattis" (or "-domjudge") or "-testlib", such as a symbolic link. The source
// is --source S, or else the first number after the m-th edge of input_file.
// Exit statuses are the system's (see tools/adapter.h); --help and --version exit 0.
#include <string>

#include "tools/adapter.h"
#include "cli/tool.h"

namespace tarnwick {
namespace {

const ToolInfo kTool = {
    "tarnwick-checker",
    "Usage: tarnwick-checker --kattis input_file answer_file feedback_dir [--source S] "
    "< team_output\n"
    "       tarnwick-checker --testlib input_file output_file answer_file [--source S]\n",
    "Judges a team's output for one test case as tarnwick would, speaking the\n"
    "judging system's language. The source is --source S, or else the first number\n"
    "after the m-th edge of input_file. The answer file must be accepted.\n"
    "  --kattis, --domjudge  output validator: exit 42 accepted, 43 wrong, else a\n"
    "                        judge error; judgemessage.txt and teammessage.txt\n"
    "                        are written into feedback_dir\n"
    "  --testlib             checker: exit 0 accepted, 1 wrong, 2 output_file\n"
    "                        unreadable, 3 judge failure; one line on standard error\n"
    "A name ending in -kattis, -domjudge or -testlib (a symbolic link) chooses the\n"
    "system as the flag does.\n"};

int checker_main(int argc, char** argv) {
  if (int status = answer_help_or_version(kTool, argc, argv); status >= 0) return status;
  CheckerArgs args;
  std::string why;
  if (!parse_checker_args(argc, argv, &args, &why)) {
    wrong_use(kTool, why);
    return exit_status(args.system, Checked::kWrongUse);
  }
  // A failure no path handles (out of memory) is told the system's way.
  return guarded_main(kTool.name, [&args](int, char**) { return run_checker(args); }, argc, argv,
                      [&args](const std::string& why) { return judge_failure(args, why); });
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::checker_main, argc, argv);
}
