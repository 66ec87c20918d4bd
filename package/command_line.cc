// tarnwick-package's command line (see command_line.h).
#include "package/command_line.h"

#include <sstream>

#include "cli/escape.h"
#include "grade/testset.h"
#include "package/output.h"
#include "validate/command_line.h"

namespace tarnwick {
namespace {

// Returns the words of `text` joined by single spaces: flags given over
// several lines become one line of data/testdata.yaml.
std::string one_line_words(const std::string& text) {
  std::istringstream words(text);
  std::string word, joined;
  while (words >> word) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

// Returns why `flags` cannot follow "--kattis --strict" on the command line of
// the package's input validator (an unknown option, a value that is not one,
// an operand: the validator reads the test on standard input), or "".
std::string check_validate_flags(const std::string& flags) {
  std::istringstream in(flags);
  std::vector<std::string> words{"tarnwick-validate", "--kattis", "--strict"};
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  const std::vector<OptionSpec> options = validate_options();
  Args args;
  ValidateCommand command;
  std::string why;
  const bool read = read_args(options, {}, static_cast<int>(argv.size()), argv.data(), &args, &why);
  if (read && !args.operands.empty()) {
    why = "'" + args.operands[0] + "' is not an option (the validator reads standard input)";
  } else if (read && read_validate_command(args, true, &command, &why)) {
    return "";
  }
  return "--validate '" + flags + "': " + why;
}

// Takes --time and --memory. Returns why they are wrong, or "".
std::string take_limits(const Args& args, PackageOptions* o) {
  if (const std::string* v = args.value("--time")) {
    std::string ignored;
    if (!parse_points_value(*v, &o->time_ms, &ignored) || o->time_ms <= 0 || o->time_ms > 3600000) {
      return "--time '" + *v + "' is not a number of seconds from 0.001 to 3600";
    }
  }
  if (const std::string* v = args.value("--memory")) {
    if (!whole_number(*v, &o->memory_mib) || o->memory_mib <= 0 || o->memory_mib > 1048576) {
      return "--memory '" + *v + "' is not a number of MiB from 1 to 1048576";
    }
  }
  return "";
}

// Takes the short name from OUT. Returns why it cannot be one, or "".
std::string take_name(const std::string& out, PackageOptions* o) {
  std::string name = out.substr(out.find_last_of('/') + 1);
  const bool zip = name.size() >= 4 && name.compare(name.size() - 4, 4, ".zip") == 0;
  if (zipped(o->system) && !zip) {
    const char* word = o->system == System::kDomjudge ? "DOMjudge" : "Gradescope";
    return std::string("the ") + word + " package is a zip: OUT must end in .zip";
  }
  if (zipped(o->system)) name.resize(name.size() - 4);
  o->short_name = name;
  return check_short_name(o->system, name);
}

// Takes the options. Returns why they are wrong, or "".
std::string take_options(const Args& args, PackageCommand* c) {
  PackageOptions& o = c->options;
  const std::string* system = args.value("--system");
  if (system == nullptr) return "--system is needed: kattis, domjudge, polygon, cms or gradescope";
  if (!system_named(*system, &o.system)) {
    return "--system '" + *system + "' is none of kattis, domjudge, polygon, cms, gradescope";
  }
  if (const std::string* v = args.value("--title")) o.title = *v;
  if (const std::string* v = args.value("--author")) o.author = *v;
  if (const std::string* v = args.value("--samples")) c->samples = *v;
  if (const std::string* v = args.value("--validate")) o.validate_flags = one_line_words(*v);
  if (const std::string* v = args.value("--build")) o.build = *v;
  if (const std::string* v = args.value("--run")) o.run = *v;
  if (const std::string* v = args.value("--static-dir")) c->static_dir = *v;
  if (o.title.empty() || !plain_text(o.title)) {
    return "--title must be one line of UTF-8 text without control characters, not empty";
  }
  if (!plain_text(o.author)) return "--author must be UTF-8 text without control characters";
  if (std::string w = check_samples(c->samples); !w.empty()) return w;
  if (std::string w = check_validate_flags(o.validate_flags); !w.empty()) return w;
  if (std::string w = take_limits(args, &o); !w.empty()) return w;
  return take_name(c->out, &o);
}

}  // namespace

bool read_package_command(const Args& args, PackageCommand* out, std::string* why) {
  if (args.operands.size() != 2) return false;
  out->tests = args.operands[0];
  out->out = args.operands[1];
  while (out->out.size() > 1 && out->out.back() == '/') out->out.pop_back();
  out->force = args.has("--force");
  *why = take_options(args, out);
  return why->empty();
}

bool read_static(PackageCommand* c, std::string* why) {
  const std::string dir = c->static_dir.empty() ? own_folder() : c->static_dir;
  if (dir.empty()) {
    *why = "cannot tell this program's folder: give --static-dir";
    return false;
  }
  return read_static_program(dir, static_program(c->options.system), &c->options.static_bytes, why);
}

std::string package_marker(System system) {
  if (system == System::kPolygon) return "problem.xml";
  return system == System::kCms ? "task.yaml" : "problem.yaml";
}

std::string sample_count(const std::vector<PackagedTest>& tests) {
  size_t n = 0;
  for (const PackagedTest& t : tests) n += t.sample;
  return std::to_string(n) + (n == 1 ? " sample" : " samples");
}

}  // namespace tarnwick
