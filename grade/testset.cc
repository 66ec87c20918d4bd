// A test folder read (its inputs in natural order, its points), and a class graded on it.
#include "grade/testset.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>

#include "check/case.h"
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

// Returns the text of the file at path. Returns false with *err set when it cannot be read.
bool read_text(const std::string& path, std::string* text, std::string* err) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  if (in) all << in.rdbuf();
  if (!in || in.bad()) {
    *err = path + ": " + reason(errno != 0 ? errno : EIO);
    return false;
  }
  *text = all.str();
  return true;
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
GradeOptions grading_options(const ClassOptions& options, const ProgramClass* programs,
                             const std::string& input, const Case& judging) {
  GradeOptions grading{options.threads, {false, options.max_bytes}};
  if (programs == nullptr) return grading;
  grading.limits.max_bytes = UINT64_MAX;  // the run's output limit holds it
  grading.produce = [programs, input, source = judging.source()](size_t s) {
    return programs->run(s, {input, source});
  };
  return grading;
}

// Returns the file judged for each submission on test t.
std::vector<std::string> judged_paths(const ClassOptions& options, const ProgramClass* programs,
                                      const ClassResults& r, const std::string& test) {
  std::vector<std::string> paths;
  for (size_t s = 0; s < r.submissions.size(); ++s) {
    paths.push_back(programs != nullptr ? programs->output_path(s)
                                        : output_path(r.submissions[s], options.output_name, test));
  }
  return paths;
}

// Loads and solves test t, then judges its result file in every submission
// (made by its program first, when `programs` is set).
bool grade_test(size_t t, const ClassOptions& options, const ProgramClass* programs,
                ClassResults* out, std::string* why) {
  TestInput& test = out->set.tests[t];
  CaseOptions case_options;
  case_options.progress = options.progress;
  case_options.note_edges = true;  // a wrong answer's steps are told their graph lines
  GraphFile file;
  Case judging;
  const std::string input = out->set.dir + "/" + test.name + ".in";
  const bool made = judging.make(input.c_str(), file, SourceGiven::carried(), case_options, why);
  if (options.solved) options.solved();
  if (!made) return false;
  test.n = judging.graph().n;
  for (std::string& w : judging.warnings()) out->warnings.push_back(std::move(w));
  const ExplainRequest explain{&judging, &file, input, 0};
  GradeOptions grading = grading_options(options, programs, input, judging);
  grading.explain = &explain;
  grading.student_text = options.explain_wrong;
  const size_t count = out->set.tests.size();
  size_t s = 0;
  grade_all(judged_paths(options, programs, *out, test.name), judging, grading,
            [&](const Graded& g) {
              Graded& slot = out->results[s * count + t];
              slot = g;
              if (programs != nullptr) slot.path = out->submissions[s];
              if (programs == nullptr && !g.judged && g.error == ENOENT) slot.reason = "missing";
              ++s;
            });
  return true;
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
  const std::string points = dir + "/points";
  struct stat st {};
  if (::stat(points.c_str(), &st) != 0 && errno == ENOENT) return true;
  std::string text;
  return read_text(points, &text, why) && parse_points(text, points, set, why);
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
  if (options.programs != nullptr) {
    out->programs = *options.programs;
    programs.emplace(*options.programs);
    if (!programs->open(why)) return false;
    programs->build(submissions, options.threads);
  }
  for (size_t t = 0; t < set.tests.size(); ++t) {
    if (!grade_test(t, options, programs ? &*programs : nullptr, out, why)) return false;
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
