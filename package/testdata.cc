// A test folder read for packaging: the grader's listing and points, each
// input read whole, each missing answer made through the judging case and
// the model solver's writer.
#include "package/testdata.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "check/case.h"
#include "cli/out_buffer.h"
#include "cli/tool.h"
#include "gen/answer.h"
#include "grade/testset.h"
#include "graph/graph_file.h"
#include "graph/reader.h"

namespace tarnwick {
namespace {

// Reads the regular file at `path` whole into *bytes, never waiting on a FIFO
// nor reading a device (cli's read_file). Returns false with *why set ("PATH:
// reason"), or, with *missing set, when there is no entry of that name at
// all (a dangling link is there, and refused).
bool read_bytes(const std::string& path, std::string* bytes, std::string* why,
                bool* missing = nullptr) {
  struct stat st;
  if (missing != nullptr && ::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
    return *missing = true, false;
  }
  return read_file(path, bytes, why);
}

// Makes the model answer of the input at `path` into t->answer, empty with
// t->answered false when its weights allow none. Returns false with *why set
// when the input cannot be judged at all.
bool make_answer(const std::string& path, PackagedTest* t, std::string* why) {
  CaseOptions options;
  options.solve_if = answerable;
  GraphFile file;
  Case judging;
  if (!judging.make(path.c_str(), file, SourceGiven::carried(), options, why)) return false;
  t->made = true;
  t->answered = !judging.parents().empty();
  if (!t->answered) return true;
  char* data = nullptr;
  size_t size = 0;
  std::FILE* memory = ::open_memstream(&data, &size);
  if (memory == nullptr) {
    *why = path + ": " + reason(errno);
    return false;
  }
  OutBuffer out(memory);
  write_answer(judging, out);
  int error = 0;
  out.finish(&error);
  std::fclose(memory);
  t->answer.assign(data, size);
  std::free(data);
  return true;
}

// Returns true when `samples` is a count: digits alone.
bool is_count(const std::string& samples) {
  return !samples.empty() && samples.find_first_not_of("0123456789") == std::string::npos;
}

// Marks the tests `samples` chooses. Returns false with *why set when it
// chooses none, or more than there are, or one without a model answer.
bool choose_samples(const std::string& samples, std::vector<PackagedTest>* tests,
                    std::string* why) {
  const bool count = is_count(samples);
  const size_t n = count ? std::strtoull(samples.c_str(), nullptr, 10) : 0;
  if (count && n > tests->size()) {
    *why = "--samples " + samples + ": the folder holds " + std::to_string(tests->size()) +
           " tests";
    return false;
  }
  size_t chosen = 0;
  for (size_t i = 0; i < tests->size(); ++i) {
    PackagedTest& t = (*tests)[i];
    t.sample = count ? i < n : ::fnmatch(samples.c_str(), t.name.c_str(), 0) == 0;
    chosen += t.sample;
    if (t.sample && !t.answered) {
      *why = t.name + ": a sample must have a model answer, and " + t.name +
             ".ans is empty (choose other samples with --samples)";
      return false;
    }
  }
  if (chosen > 0 || (count && n == 0)) return true;
  *why = "--samples '" + samples + "' matches no test";
  return false;
}

}  // namespace

std::string check_samples(const std::string& samples) {
  if (samples.empty()) return "--samples needs a count or a pattern";
  if (is_count(samples) && samples.size() > 9) return "--samples " + samples + " is too many";
  return "";
}

bool read_tests(const std::string& dir, const std::string& samples,
                std::vector<PackagedTest>* tests, std::vector<std::string>* warnings,
                std::string* why) {
  TestSet set;
  if (!load_testset(dir, &set, why)) return false;
  for (const TestInput& input : set.tests) {
    PackagedTest t;
    t.name = input.name;
    t.milli_points = input.milli_points;
    const std::string base = set.dir + "/" + input.name;
    bool missing = false;
    if (!read_bytes(base + ".in", &t.input, why)) return false;
    if (read_bytes(base + ".ans", &t.answer, why, &missing)) {
      t.answered = !t.answer.empty();
    } else if (!missing || !make_answer(base + ".in", &t, why)) {
      return false;
    } else if (!t.answered) {
      warnings->push_back("warning: " + base + ".in: no " + input.name + ".ans and no model answer can be made (" +
                          kNoAnswerWeights + "): its answer is empty, no model answer");
    }
    tests->push_back(std::move(t));
  }
  return choose_samples(samples, tests, why);
}

}  // namespace tarnwick
