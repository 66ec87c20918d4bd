// tarnwick-package: a test folder made into what a judging system takes,
// ready to upload: a Kattis problem package, a DOMjudge zip, a Polygon-style
// folder, a CMS task folder or a Gradescope autograder zip. It runs after
// its flags and reads the tests itself.
#include <string>
#include <vector>

#include "package/command_line.h"
#include "package/output.h"
#include "package/systems.h"
#include "package/testdata.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-package",
    "Usage: tarnwick-package --system=kattis|domjudge|polygon|cms|gradescope [OPTIONS] "
    "tests_folder out\n",
    "Make a test folder (NAME.in, the graph with its source after the m-th edge;\n"
    "NAME.ans, else made as tarnwick-solve makes it; the points file) into what a\n"
    "judging system takes, ready to upload:\n"
    "  kattis       the folder OUT, a problem package of the legacy Kattis format\n"
    "  domjudge     OUT.zip, the same package for DOMjudge to import\n"
    "  polygon      the folder OUT: check.cpp, problem.xml, tests/01, tests/01.a, ...\n"
    "  cms          the folder OUT, a task for cmsImportTask -L italy_yaml --no-statement\n"
    "  gradescope   OUT.zip, an autograder grading programs with tarnwick-grade\n"
    "The problem's short name is OUT's base name, without .zip (for kattis and\n"
    "domjudge: lower-case letters and digits).\n"
    "\n"
    "  --title TITLE          the problem's name (Shortest Paths)\n"
    "  --author NAME          its author and rights owner (The course staff)\n"
    "  --samples N|PATTERN    the samples: the first N tests, or those whose names\n"
    "                         match a shell pattern (1)\n"
    "  --validate FLAGS       tarnwick-validate's constraints, after --kattis --strict\n"
    "                         ('--max-vertices 1000 --simple')\n"
    "  --time S               the time limit of a run, in seconds (1)\n"
    "  --memory MIB           the memory limit of a run, in MiB (1024)\n"
    "  --build CMD            Gradescope: how a submission is built\n"
    "                         ('g++ -std=gnu++20 -O2 -o sol $(ls *.cpp *.cc *.cxx 2>/dev/null)')\n"
    "  --run CMD              Gradescope: how it is run ('./sol')\n"
    "  --static-dir DIR       cms, gradescope: the folder of the static executables\n"
    "                         tarnwick-checker-cms, tarnwick-grade (this program's)\n"
    "  --force                write over OUT, a package made before\n"
    "  --help                 show this help and exit\n"
    "  --version              show the version and exit\n"
    "Exit status: 0 written, 2 cannot (\"tarnwick-package: reason\"), 1 wrong use.\n"};

class Package final : public Tool {
 public:
  Package()
      : Tool(kInfo, {{"--system", "a system"}, {"--title", "a title"}, {"--author", "a name"},
                     {"--samples", "a count or a pattern"}, {"--validate", "flags"},
                     {"--time", "seconds"}, {"--memory", "MiB"}, {"--build", "a command"},
                     {"--run", "a command"}, {"--static-dir", "a folder"}, {"--force", nullptr}}) {}

  bool take(const Args& args, std::string* why) override {
    return read_package_command(args, &c_, why);
  }
  Stage stage() const override { return Stage::kAfterFlags; }

  int run(Front& front) override {
    std::string why;
    const PackageOptions& o = c_.options;
    if (!static_program(o.system).empty() && !read_static(&c_, &why)) return front.refuse(why);
    std::vector<PackagedTest> tests;
    std::vector<std::string> warnings;
    if (!read_tests(c_.tests, c_.samples, &tests, &warnings, &why)) return front.refuse(why);
    if (why = check_tests(o.system, tests); !why.empty()) return front.refuse(why);
    const std::vector<PackageFile> files = package_files(o, tests);
    if (!write_package(c_.out, files, zipped(o.system), c_.force, package_marker(o.system), &why)) {
      return front.refuse(why);
    }
    front.warn(warnings);
    return front.print(c_.out + ": " + std::to_string(files.size()) + " files, " +
                       std::to_string(tests.size()) + (tests.size() == 1 ? " test, " : " tests, ") +
                       sample_count(tests) + "\n");
  }

 private:
  PackageCommand c_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Package package;
  return tarnwick::run_tool(package, argc, argv);
}
