// tarnwick-checker: tarnwick as the checker of a judging system (its usage
// and summary below; exit statuses are the system's, see systems/checker.h).
// It makes the case of the one test it is given.
#include <string>
#include <string_view>

#include "systems/checker.h"
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

// Returns the system called `name` ("kattis", "domjudge", "testlib", "cms"), or kNone.
System system_named(std::string_view name) {
  if (name == "kattis" || name == "domjudge") return System::kKattis;
  if (name == "testlib") return System::kTestlib;
  if (name == "cms") return System::kCms;
  return System::kNone;
}

// Returns the system a program name calls for: a base name ending in
// "-kattis" (or "-domjudge"), "-testlib" or "-cms"; kNone for any other.
System system_from_name(std::string_view argv0) {
  const std::string_view base = argv0.substr(argv0.find_last_of('/') + 1);
  const size_t dash = base.rfind('-');
  return dash == std::string_view::npos ? System::kNone : system_named(base.substr(dash + 1));
}

// Returns "" when the files suit the system (testlib's: input_file
// output_file answer_file [result_file [-appes]]), else why not.
std::string files_fit(const CheckerArgs& args) {
  const std::vector<std::string>& f = args.files;
  switch (args.system) {
    case System::kNone:
      return "no judging system: give --kattis, --testlib or --cms";
    case System::kKattis:
      if (f.size() != 3) return "a Kattis validator takes input_file answer_file feedback_dir";
      // Joined to a file name, an empty path would be the root folder.
      return f[2].empty() ? "feedback_dir is an empty path" : "";
    case System::kCms:
      if (f.size() != 3) return "a CMS checker takes input_file correct_output contestant_output";
      return args.judge_details ? "--judge-details: CMS shows the checker's message to contestants"
                                : "";
    case System::kTestlib:
      if (f.size() < 3 || f.size() > 5) {
        return "a testlib checker takes input_file output_file answer_file [result_file "
               "[-appes]]";
      }
      if (f.size() == 5 && f[4] != "-appes" && f[4] != "-APPES") {
        return "after result_file comes -appes or -APPES, not '" + f[4] + "'";
      }
  }
  return "";
}

constexpr const char* kSystems[] = {"--kattis", "--domjudge", "--testlib", "--cms"};

// The system asked for when neither a flag nor the program's name asks for
// one: none, but a single-file source (cmake/SingleFile.cmake) is made for
// one system and defines TARNWICK_DEFAULT_SYSTEM as its name.
#ifdef TARNWICK_DEFAULT_SYSTEM
constexpr std::string_view kDefaultSystem = TARNWICK_DEFAULT_SYSTEM;
#else
constexpr std::string_view kDefaultSystem = "";
#endif

// Returns the system the command line asks for, as far as it was read: the
// flags, else the program's name, else the default. Sets *why when two flags
// disagree.
System system_asked(const Args& args, std::string* why) {
  System system = system_from_name(args.program);
  if (system == System::kNone) system = system_named(kDefaultSystem);
  bool flagged = false;
  for (const char* flag : kSystems) {
    if (!args.has(flag)) continue;
    const System named = system_named(flag + 2);
    if (flagged && named != system) *why = "more than one judging system given";
    system = named;
    flagged = true;
  }
  return system;
}

class Checker final : public Tool {
 public:
  // testlib's registerTestlibCmd drops --testset X and --group Y before it
  // counts the files (testlib.h 0.9.44, __testlib_set_testset_and_group: the
  // test set may not be empty, the group may); its result file may be
  // followed by -appes.
  Checker()
      : Tool(kInfo,
             {{"--kattis", nullptr}, {"--domjudge", nullptr}, {"--testlib", nullptr},
              {"--cms", nullptr}, {"--source", "a vertex id"}, {"--judge-details", nullptr},
              {"--testset", "a test set name"}, {"--group", "a group"}},
             {"-appes", "-APPES"}) {}

  bool take(const Args& args, std::string* why) override {
    args_.system = system_asked(args, why);
    if (const std::string* source = args.value("--source")) args_.source = *source;
    args_.judge_details = args.has("--judge-details");
    args_.files = args.operands;
    const std::string* testset = args.value("--testset");
    if (testset != nullptr && testset->empty()) *why = "--testset needs a test set name";
    if (why->empty()) *why = files_fit(args_);
    return why->empty();
  }
  Stage stage() const override { return Stage::kPerTest; }
  int wrong_use(const Args& args, const std::string& why) const override {
    std::string ignored;
    CheckerArgs known = args_;
    known.system = system_asked(args, &ignored);
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
