// tarnwick-package: a test folder made into what a judging system takes,
// ready to upload: a Kattis problem package, a DOMjudge zip, a Polygon-style
// folder, a CMS task folder or a Gradescope autograder zip. It runs after
// its flags and reads the tests itself.
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "grade/testset.h"
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
    "  cms          the folder OUT, a task for cmsImportTask -L italy_yaml\n"
    "  gradescope   OUT.zip, an autograder grading programs with tarnwick-grade\n"
    "The problem's short name is OUT's base name, without .zip.\n"
    "\n"
    "  --title TITLE          the problem's name (Shortest Paths)\n"
    "  --author NAME          its author and rights owner (The course staff)\n"
    "  --samples N|PATTERN    the samples: the first N tests, or those whose names\n"
    "                         match a shell pattern (1)\n"
    "  --validate FLAGS       tarnwick-validate's constraints, after --strict\n"
    "                         ('--max-vertices 1000 --simple')\n"
    "  --time S               the time limit of a run, in seconds (1)\n"
    "  --memory MIB           the memory limit of a run, in MiB (1024)\n"
    "  --build CMD, --run CMD Gradescope: how a submission is built and run\n"
    "                         ('g++ -O2 -o sol *.cpp', './sol')\n"
    "  --static-dir DIR       cms, gradescope: the folder of the static executables\n"
    "                         tarnwick-checker-cms, tarnwick-grade (this program's)\n"
    "  --force                write over OUT, a package made before\n"
    "  --help                 show this help and exit\n"
    "  --version              show the version and exit\n"
    "Exit status: 0 written, 2 cannot (\"tarnwick-package: reason\"), 1 wrong use.\n"};

// Returns the words of `text` joined by single spaces: flags given over
// several lines become one line of data/testdata.yaml.
std::string one_line_words(const std::string& text) {
  std::istringstream words(text);
  std::string word, joined;
  while (words >> word) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

class Package final : public Tool {
 public:
  Package()
      : Tool(kInfo, {{"--system", "a system"}, {"--title", "a title"}, {"--author", "a name"},
                     {"--samples", "a count or a pattern"}, {"--validate", "flags"},
                     {"--time", "seconds"}, {"--memory", "MiB"}, {"--build", "a command"},
                     {"--run", "a command"}, {"--static-dir", "a folder"}, {"--force", nullptr}}) {}

  bool take(const Args& args, std::string* why) override {
    if (args.operands.size() != 2) return false;
    tests_ = args.operands[0];
    out_ = args.operands[1];
    while (out_.size() > 1 && out_.back() == '/') out_.pop_back();
    force_ = args.has("--force");
    *why = take_options(args);
    return why->empty();
  }
  Stage stage() const override { return Stage::kAfterFlags; }

  int run(Front& front) override {
    std::string why;
    if (!static_program(o_.system).empty() && !read_static(&why)) return front.refuse(why);
    std::vector<PackagedTest> tests;
    std::vector<std::string> warnings;
    if (!read_tests(tests_, samples_, &tests, &warnings, &why)) return front.refuse(why);
    if (why = check_tests(o_.system, tests); !why.empty()) return front.refuse(why);
    const std::vector<PackageFile> files = package_files(o_, tests);
    if (!write_package(out_, files, zipped(o_.system), force_, marker(), &why)) {
      return front.refuse(why);
    }
    front.warn(warnings);
    return front.print(out_ + ": " + std::to_string(files.size()) + " files, " +
                       std::to_string(tests.size()) + " tests, " + sample_count(tests) + "\n");
  }

 private:
  // Takes the options after the operands. Returns why they are wrong, or "".
  std::string take_options(const Args& args) {
    const std::string* system = args.value("--system");
    if (system == nullptr) return "--system is needed: kattis, domjudge, polygon, cms or gradescope";
    if (!system_named(*system, &o_.system)) {
      return "--system '" + *system + "' is none of kattis, domjudge, polygon, cms, gradescope";
    }
    if (const std::string* v = args.value("--title")) o_.title = *v;
    if (const std::string* v = args.value("--author")) o_.author = *v;
    if (const std::string* v = args.value("--samples")) samples_ = *v;
    if (const std::string* v = args.value("--validate")) o_.validate_flags = one_line_words(*v);
    if (const std::string* v = args.value("--build")) o_.build = *v;
    if (const std::string* v = args.value("--run")) o_.run = *v;
    if (const std::string* v = args.value("--static-dir")) static_dir_ = *v;
    if (o_.title.empty() || o_.title.find('\n') != std::string::npos) {
      return "--title must be one line, not empty";
    }
    if (std::string w = check_samples(samples_); !w.empty()) return w;
    if (std::string w = take_limits(args); !w.empty()) return w;
    return take_name();
  }

  // Takes --time and --memory. Returns why they are wrong, or "".
  std::string take_limits(const Args& args) {
    if (const std::string* v = args.value("--time")) {
      std::string ignored;
      if (!parse_points_value(*v, &o_.time_ms, &ignored) || o_.time_ms <= 0 || o_.time_ms > 3600000) {
        return "--time '" + *v + "' is not a number of seconds from 0.001 to 3600";
      }
    }
    if (const std::string* v = args.value("--memory")) {
      if (!whole_number(*v, &o_.memory_mib) || o_.memory_mib <= 0 || o_.memory_mib > 1048576) {
        return "--memory '" + *v + "' is not a number of MiB from 1 to 1048576";
      }
    }
    return "";
  }

  // Takes the short name from OUT. Returns why it cannot be one, or "".
  std::string take_name() {
    std::string name = out_.substr(out_.find_last_of('/') + 1);
    const bool zip = name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0;
    if (zipped(o_.system) && !zip) return "the " + system_word() + " package is a zip: OUT must end in .zip";
    if (zipped(o_.system)) name.resize(name.size() - 4);
    o_.short_name = name;
    return check_short_name(o_.system, name);
  }

  // Reads the static executable the system's package carries.
  bool read_static(std::string* why) {
    std::string dir = static_dir_.empty() ? own_folder() : static_dir_;
    if (dir.empty()) {
      *why = "cannot tell this program's folder: give --static-dir";
      return false;
    }
    return read_static_program(dir, static_program(o_.system), &o_.static_bytes, why);
  }

  // Returns the file a package of the system made before holds.
  std::string marker() const {
    if (o_.system == System::kPolygon) return "problem.xml";
    return o_.system == System::kCms ? "task.yaml" : "problem.yaml";
  }
  std::string system_word() const {
    return o_.system == System::kDomjudge ? "DOMjudge" : "Gradescope";
  }
  // Returns "1 sample" or "2 samples".
  static std::string sample_count(const std::vector<PackagedTest>& tests) {
    size_t n = 0;
    for (const PackagedTest& t : tests) n += t.sample;
    return std::to_string(n) + (n == 1 ? " sample" : " samples");
  }

  std::string tests_, out_, samples_ = "1", static_dir_;
  PackageOptions o_;
  bool force_ = false;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Package package;
  return tarnwick::run_tool(package, argc, argv);
}
