// A test folder read (its inputs in natural order, its points), and a class graded on it.
#include "grade/testset.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <iterator>
#include <sstream>

#include "check/case.h"
#include "check/result_file.h"
#include "cli/tool.h"
#include "graph/graph_file.h"
#include "grade/report.h"
#include "graph/reader.h"
#include "explain/explain.h"

namespace tarnwick {

namespace {

// Returns the run of digits at the start of s.
std::string_view digit_run(std::string_view s) {
  size_t end = 0;
  while (end < s.size() && is_digit(s[end])) ++end;
  return s.substr(0, end);
}

// Compares two runs of digits by value. Returns <0, 0 or >0.
int compare_numbers(std::string_view a, std::string_view b) {
  while (a.size() > 1 && a[0] == '0') a.remove_prefix(1);
  while (b.size() > 1 && b[0] == '0') b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

// Reads "D[.DDD]" (at most three decimals, at most 1000000) into *milli.
bool parse_milli(std::string_view text, int64_t* milli) {
  std::string_view whole = digit_run(text);
  std::string_view rest = text.substr(whole.size()), fraction;
  if (!rest.empty()) {
    if (rest[0] != '.') return false;
    fraction = digit_run(rest.substr(1));
    if (fraction.empty() || fraction.size() > 3) return false;
    if (fraction.size() + 1 != rest.size()) return false;
  }
  if (whole.empty() || whole.size() > 7) return false;
  int64_t value = std::stoll(std::string(whole)) * 1000;
  std::string thousandths = std::string(fraction) + std::string(3 - fraction.size(), '0');
  *milli = value + std::stoll(thousandths);
  return *milli <= 1000000 * int64_t{1000};
}

// Takes one line's fields "NAME POINTS [VISIBILITY]" into the weights of
// set->tests, marking the test in *given. Returns false with *why set (after
// `where`) otherwise.
bool take_points(const std::vector<std::string>& f, const std::string& where, TestSet* set,
                 std::vector<bool>* given, std::string* why) {
  if (f.size() != 2 && f.size() != 3) {
    *why = where + "expected \"NAME POINTS [VISIBILITY]\", got " + std::to_string(f.size()) +
           " fields";
    return false;
  }
  if (f.size() == 3 && !is_gradescope_visibility(f[2])) {
    *why = where + "visibility '" + f[2] +
           "' is none of visible, hidden, after_due_date, after_published";
    return false;
  }
  auto test = std::find_if(set->tests.begin(), set->tests.end(),
                           [&](const TestInput& t) { return t.name == f[0]; });
  if (test == set->tests.end()) {
    *why = where + "no test '" + f[0] + "' (no " + f[0] + ".in)";
    return false;
  }
  auto seen = given->begin() + (test - set->tests.begin());
  if (*seen) {
    *why = where + "test '" + f[0] + "' is given points twice";
  } else if (!parse_points_value(f[1], &test->milli_points, why)) {
    *why = where + *why;
  } else if (f.size() == 3) {
    test->visibility = f[2];
  }
  *seen = true;
  return why->empty();
}

// Returns the options of grading test t's files through `judging`: a
// program's run first, when there are programs.
// A program's folder that is refused (folder_refusal) is not run: its
// reason stands for the run.
GradeOptions grading_options(const ClassOptions& options, const ProgramClass* programs,
                             const std::vector<std::string>& refused, const std::string& input,
                             const Case& judging) {
  GradeOptions grading{options.threads, {false, options.max_bytes}};
  if (programs == nullptr) return grading;
  grading.limits.max_bytes = UINT64_MAX;  // the run's output limit holds it
  grading.produce = [programs, &refused, input, source = judging.source()](size_t s) {
    if (!refused[s].empty()) return ProgramRun{RunFailure::kNone, {}, "", refused[s]};
    return programs->run(s, {input, source});
  };
  return grading;
}

// Sets the files judged for each submission on `test` into *paths, and
// where each must lie into *below: inside the submission folder, or for a
// program's output inside the grader's own folder of outputs.
void judged_files(const ClassOptions& options, const ProgramClass* programs,
                  const ClassResults& r, const std::string& test,
                  std::vector<std::string>* paths, std::vector<Below>* below) {
  for (size_t s = 0; s < r.submissions.size(); ++s) {
    if (programs != nullptr) {
      const std::string path = programs->output_path(s);
      const size_t cut = path.rfind('/');
      below->push_back({path.substr(0, cut), path.substr(cut + 1)});
      paths->push_back(path);
    } else {
      below->push_back({r.submissions[s], output_name(options.output_name, test)});
      paths->push_back(output_path(r.submissions[s], options.output_name, test));
    }
  }
}

// Sets every record of test t to not judged for `reason` (a test on which
// nothing can be judged).
void judge_none(size_t t, const std::string& reason, const ClassOptions& options,
                ClassResults* out) {
  const size_t count = out->set.tests.size();
  for (size_t s = 0; s < out->submissions.size(); ++s) {
    Graded& slot = out->results[s * count + t];
    slot = Graded{output_path(out->submissions[s], options.output_name, out->set.tests[t].name),
                  false, {}, reason};
    if (options.programs != nullptr) slot.path = out->submissions[s];
  }
}

// Loads and solves test t, then judges its result file in every submission
// (made by its program first, when `programs` is set). A test of no vertex
// is judged for no one. Returns false when the test cannot be loaded.
bool grade_test(size_t t, const ClassOptions& options, const ProgramClass* programs,
                const std::vector<std::string>& refused, ClassResults* out, std::string* why) {
  TestInput& test = out->set.tests[t];
  CaseOptions case_options;
  case_options.progress = options.progress;
  case_options.note_edges = true;  // a wrong answer's steps are told their graph lines
  GraphFile file;
  Case judging;
  const std::string input = out->set.dir + "/" + test.name + ".in";
  const bool made = judging.make(input.c_str(), file, SourceGiven::carried(), case_options, why);
  if (options.solved) options.solved();
  // As tarnwick-checker tells it, before the source: on no vertex every answer would pass.
  if (judging.fault() != Case::Fault::kGraph && !judging.vertexless().empty()) {
    judge_none(t, input + ": " + judging.vertexless(), options, out);
    return true;
  }
  if (!made) return false;
  test.n = judging.graph().n;
  for (std::string& w : judging.warnings()) out->warnings.push_back(std::move(w));
  const ExplainRequest explain{&judging, &file, input, 0};
  GradeOptions grading = grading_options(options, programs, refused, input, judging);
  grading.explain = &explain;
  grading.student_text = options.explain_wrong;
  std::vector<std::string> paths;
  judged_files(options, programs, *out, test.name, &paths, &grading.below);
  size_t s = 0;
  grade_all(paths, judging, grading, [&](const Graded& g) {
    Graded& slot = out->results[s * out->set.tests.size() + t];
    slot = g;
    if (programs != nullptr) slot.path = out->submissions[s];
    ++s;
  });
  return true;
}

// Returns, for each submission folder, why it is refused ("no such folder",
// "not a folder", "leads outside the submission"), or "".
std::vector<std::string> folder_refusals(const std::vector<std::string>& submissions) {
  std::vector<std::string> refused;
  for (const std::string& folder : submissions) {
    BelowFault fault = BelowFault::kNone;
    const int fd = open_own_folder(folder, &fault);
    refused.push_back(fd >= 0 ? "" : below_reason(fault, errno, reason(errno)));
    if (fd >= 0) ::close(fd);
  }
  return refused;
}

}  // namespace

bool natural_less(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    std::string_view x = digit_run(a), y = digit_run(b);
    if (!x.empty() && !y.empty()) {
      if (int c = compare_numbers(x, y); c != 0) return c < 0;
      if (x.size() != y.size()) return x.size() < y.size();  // "01" after "1"
      a.remove_prefix(x.size());
      b.remove_prefix(y.size());
    } else if (a[0] != b[0]) {
      return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
    } else {
      a.remove_prefix(1);
      b.remove_prefix(1);
    }
  }
  return a.size() < b.size();
}

bool list_tests(const std::string& dir, std::vector<std::string>* names, std::string* why) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) {
    *why = dir + ": " + reason(errno);
    return false;
  }
  while (const dirent* e = ::readdir(d)) {
    std::string file = e->d_name;
    struct stat st {};
    if (file.size() <= 3 || file.compare(file.size() - 3, 3, ".in") != 0) continue;
    if (::stat((dir + "/" + file).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      names->push_back(file.substr(0, file.size() - 3));
    }
  }
  ::closedir(d);
  return true;
}

bool load_testset(const std::string& dir, TestSet* set, std::string* why) {
  std::vector<std::string> names;
  if (!list_tests(dir, &names, why)) return false;
  if (names.empty()) {
    *why = dir + ": no test inputs (files NAME.in)";
    return false;
  }
  std::sort(names.begin(), names.end(), natural_less);
  set->dir = dir;
  for (std::string& name : names) set->tests.push_back({std::move(name)});
  // Any entry called points counts, a dangling link too: read, or refused.
  const std::string points = dir + "/points";
  struct stat st {};
  if (::lstat(points.c_str(), &st) != 0 && errno == ENOENT) return true;
  std::string text;
  return read_file(points, &text, why) && parse_points(text, points, set, why);
}

bool parse_points_value(std::string_view text, int64_t* milli, std::string* why) {
  if (parse_milli(text, milli)) return true;
  *why = "points '" + std::string(text) +
         "' are not a number from 0 to 1000000 with at most 3 decimals";
  return false;
}

bool parse_points(std::string_view text, const std::string& label, TestSet* set,
                  std::string* why) {
  std::vector<bool> given(set->tests.size(), false);
  std::istringstream in{std::string(text)};
  std::string line;
  for (int64_t number = 1; std::getline(in, line); ++number) {
    std::istringstream words(line);
    const std::vector<std::string> f{std::istream_iterator<std::string>(words), {}};
    if (f.empty() || f[0][0] == '#') continue;
    const std::string where = label + ":" + std::to_string(number) + ": ";
    if (!take_points(f, where, set, &given, why)) return false;
  }
  for (size_t i = 0; i < given.size(); ++i) {
    if (!given[i]) {
      *why = label + ": no points for test '" + set->tests[i].name + "'";
      return false;
    }
  }
  set->weighted = true;
  return true;
}

bool points_nameable(std::string_view name) {
  // parse_points splits a line as an istream does, at what isspace says.
  return !name.empty() && name[0] != '#' && std::none_of(name.begin(), name.end(), [](char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
  });
}

bool is_folder(const std::string& path, std::string* why) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *why = path + ": " + reason(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) *why = path + ": " + reason(ENOTDIR);
  return S_ISDIR(st.st_mode);
}

std::string check_output_name(std::string_view pattern) {
  if (pattern.empty() || pattern[0] == '/') return "--output-name must be a relative path";
  if (pattern.find("{name}") == std::string_view::npos) {
    return "--output-name '" + std::string(pattern) + "' must hold {name}";
  }
  return "";
}

std::string output_path(const std::string& submission, std::string_view pattern,
                        const std::string& test) {
  std::string path = submission;
  if (path.empty() || path.back() != '/') path += '/';
  return path + output_name(pattern, test);
}

std::string output_name(std::string_view pattern, const std::string& test) {
  std::string path;
  for (size_t at = 0; at < pattern.size();) {
    if (pattern.substr(at, 6) == "{name}") {
      path += test;
      at += 6;
    } else {
      path += pattern[at++];
    }
  }
  return path;
}

int64_t ClassResults::earned(size_t submission, size_t test) const {
  return succeeded(at(submission, test)) ? set.tests[test].milli_points : 0;
}

bool grade_class(const TestSet& set, const std::vector<std::string>& submissions,
                 const ClassOptions& options, ClassResults* out, std::string* why) {
  out->set = set;
  out->submissions = submissions;
  out->results.assign(submissions.size() * set.tests.size(), Graded{});
  std::optional<ProgramClass> programs;
  std::vector<std::string> refused(submissions.size());
  if (options.programs != nullptr) {
    out->programs = *options.programs;
    programs.emplace(*options.programs);
    if (!programs->open(why)) return false;
    // A refused folder is built as none: "" (its reason stands for every run).
    refused = folder_refusals(submissions);
    std::vector<std::string> built = submissions;
    for (size_t s = 0; s < built.size(); ++s) {
      if (!refused[s].empty()) built[s].clear();
    }
    programs->build(built, options.threads);
  }
  for (size_t t = 0; t < set.tests.size(); ++t) {
    if (!grade_test(t, options, programs ? &*programs : nullptr, refused, out, why)) return false;
  }
  return true;
}

Standing standing(const ClassResults& r, size_t s) {
  Standing st;
  for (size_t t = 0; t < r.set.tests.size(); ++t) {
    st.passed += succeeded(r.at(s, t));
    st.milli_points += r.earned(s, t);
  }
  return st;
}

int64_t total_milli_points(const TestSet& set) {
  int64_t total = 0;
  for (const TestInput& t : set.tests) total += t.milli_points;
  return total;
}

}  // namespace tarnwick
