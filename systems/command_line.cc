// The checker's command line: the system asked for and the files it takes
// (see command_line.h).
#include "systems/command_line.h"

#include <string_view>
#include <vector>

namespace tarnwick {
namespace {

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


}  // namespace

System system_asked(const Args& args, std::string_view default_system, std::string* why) {
  System system = system_from_name(args.program);
  if (system == System::kNone) system = system_named(default_system);
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

bool read_checker_args(const Args& args, std::string_view default_system, CheckerArgs* out,
                       std::string* why) {
  out->system = system_asked(args, default_system, why);
  if (const std::string* source = args.value("--source")) out->source = *source;
  out->judge_details = args.has("--judge-details");
  out->files = args.operands;
  const std::string* testset = args.value("--testset");
  if (testset != nullptr && testset->empty()) *why = "--testset needs a test set name";
  if (why->empty()) *why = files_fit(*out);
  return why->empty();
}

}  // namespace tarnwick
