// The folder written test by test: the generator writes each input, one case
// made from it both hears the validator and solves the row the model answer
// is traced from, and each file goes in whole by a rename.
#include "testset/folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include "check/case.h"
#include "cli/escape.h"
#include "cli/out_buffer.h"
#include "cli/whole_file.h"
#include "gen/answer.h"
#include "grade/grade.h"
#include "grade/testset.h"
#include "graph/graph_file.h"
#include "validate/validate.h"

namespace tarnwick {
namespace {

std::string num(int64_t v) { return std::to_string(v); }

// Returns "1 edge" or "2 edges".
std::string counted(int64_t count, const char* one, const char* many) {
  return num(count) + " " + (count == 1 ? one : many);
}

// Returns "1 point" or "2.5 points".
std::string points_text(int64_t milli) {
  return milli_text(milli) + (milli == 1000 ? " point" : " points");
}

// Returns what write() checks in plan's input: validate_command's options.
ValidateOptions validation_options(const TestPlan& plan) {
  ValidateOptions o;
  o.want.simple = plan.graph.simple;
  o.want.connected = plan.graph.connected;
  o.want.min_weight = plan.graph.wmin;
  o.want.max_weight = plan.graph.wmax;
  o.source = SourceGiven::carried();
  o.test_input = true;
  o.strict_layout = true;
  return o;
}

// Makes the case of plan's input, written at in.temporary(), through the
// validator, solving the row where a model answer can be traced, and tells
// the findings in *t. Returns false with *why set when the input cannot be read.
bool check_input(const TestPlan& plan, const WholeFile& in, const FolderOptions& options,
                 Case& judging, WrittenTest* t, std::string* why) {
  GraphFile file;
  if (!file.open(in.temporary().c_str(), why)) {
    *why = in.path() + ": " + *why;
    return false;
  }
  Validator validator(validation_options(plan), file);
  CaseOptions case_options = validator.load_options();
  // The validator solves no carried source's row; the answer needs one, by the search.
  case_options.solve_if = answerable;
  case_options.progress = options.progress;
  std::string refused;  // a refused input is one of the validator's findings
  judging.make(file, plan.name + ".in", SourceGiven::carried(), case_options, &refused);
  Validation v;
  if (!validator.finish(judging, &v, why)) {
    *why = in.path() + ": " + *why;
    return false;
  }
  t->errors = v.errors;
  t->warnings = v.warnings;
  t->report = "$ " + validate_command(plan) + "\n" + validation_text(plan.name + ".in", v);
  t->answered = !judging.parents().empty();
  return true;
}

// Returns the files that writing `plans` makes, in the order they are written.
std::vector<std::string> files_of(const std::vector<TestPlan>& plans) {
  std::vector<std::string> files;
  for (const TestPlan& plan : plans) {
    files.insert(files.end(), {plan.name + ".in", plan.name + ".ans"});
  }
  files.insert(files.end(), {"points", kReportName});
  return files;
}

// Returns true when every test in the folder `dir` is one of `files`.
// Returns false with *why set otherwise, or when the folder cannot be read.
bool only_tests_of(const std::string& dir, const std::vector<std::string>& files,
                   std::string* why) {
  std::vector<std::string> present;
  if (!list_tests(dir, &present, why)) return false;
  std::sort(present.begin(), present.end(), natural_less);
  const std::set<std::string> named(files.begin(), files.end());
  for (const std::string& name : present) {
    if (named.count(name + ".in") != 0) continue;
    *why = dir + "/" + name +
           ".in: a test the description does not name, which tarnwick-grade --testset would "
           "grade too";
    return false;
  }
  return true;
}

}  // namespace

TestsetWriter::TestsetWriter(std::string dir, FolderOptions options)
    : dir_(std::move(dir)), options_(std::move(options)) {
  while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
}

bool TestsetWriter::prepare(const std::vector<TestPlan>& plans, std::string* why) {
  if (::mkdir(dir_.c_str(), 0777) != 0 && errno != EEXIST) {
    *why = dir_ + ": " + reason(errno);
    return false;
  }
  const std::vector<std::string> files = files_of(plans);
  if (!is_folder(dir_, why) || !only_tests_of(dir_, files, why)) return false;
  struct stat st {};
  for (const std::string& name : files) {
    if (options_.force || ::lstat((dir_ + "/" + name).c_str(), &st) != 0) continue;
    *why = dir_ + "/" + name + " exists (--force writes over it)";
    return false;
  }
  return true;
}

bool TestsetWriter::write(const TestPlan& plan, std::string* why) {
  WholeFile in(dir_, plan.name + ".in"), ans(dir_, plan.name + ".ans");
  if (!in.write([&plan](OutBuffer& out) { write_graph(plan.graph, out); }, why)) return false;
  WrittenTest t;
  t.plan = plan;
  Case judging;
  if (!check_input(plan, in, options_, judging, &t, why)) return false;
  const auto answer = [&judging](OutBuffer& out) {
    if (!judging.parents().empty()) write_answer(judging, out);
  };
  if (!ans.write(answer, why) || !in.keep(why) || !ans.keep(why)) return false;
  written_.push_back(std::move(t));
  return true;
}

bool TestsetWriter::finish(std::string* why) const {
  std::string points, report;
  for (const WrittenTest& t : written_) {
    points += t.plan.name + " " + milli_text(t.plan.milli_points) + "\n";
    report += t.report;
  }
  return write_whole_text(dir_, "points", points, why) &&
         write_whole_text(dir_, kReportName, report, why);
}

std::string validate_command(const TestPlan& plan) {
  const GenOptions& g = plan.graph;
  return std::string("tarnwick-validate --kattis --strict") + (g.simple ? " --simple" : "") +
         (g.connected ? " --connected" : "") + " --min-weight " + num(g.wmin) +
         " --max-weight " + num(g.wmax) + " " + plan.name + ".in";
}

std::string test_line(const WrittenTest& test) {
  const GenOptions& g = test.plan.graph;
  const std::string answer = test.answered ? std::string("a model answer")
                                            : std::string("empty, no model answer (") +
                                                  kNoAnswerWeights + ")";
  return test.plan.name + ": " + counted(g.n, "vertex", "vertices") + ", " +
         counted(g.m, "edge", "edges") + ", source " + num(g.source) + ", " +
         points_text(test.plan.milli_points) + "; " + test.plan.name + ".ans: " + answer + "; " +
         counted(test.errors, "error", "errors") + ", " +
         counted(test.warnings, "warning", "warnings") + "\n";
}

std::string summary_line(const std::string& dir, const std::vector<WrittenTest>& tests) {
  int64_t milli = 0, answered = 0, errors = 0, warnings = 0;
  for (const WrittenTest& t : tests) {
    milli += t.plan.milli_points;
    answered += t.answered;
    errors += t.errors;
    warnings += t.warnings;
  }
  const int64_t empty = static_cast<int64_t>(tests.size()) - answered;
  return printable(dir) + ": " + counted(static_cast<int64_t>(tests.size()), "test", "tests") +
         ", " + points_text(milli) + ", " + counted(answered, "model answer", "model answers") +
         (empty > 0 ? ", " + counted(empty, "empty answer file", "empty answer files") : "") +
         "; " + kReportName + ": " + counted(errors, "error", "errors") + ", " +
         counted(warnings, "warning", "warnings") + "\n";
}

}  // namespace tarnwick
