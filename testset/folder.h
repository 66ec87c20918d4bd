// A test folder written from a description: each test's input (the graph,
// its source after the m-th edge) and model answer, the input validated as
// the case is made from it, then the points file and the validator's report,
// validate.txt. Every file is written whole: into a temporary file in the
// folder, renamed over its name once complete.
#ifndef TARNWICK_TESTSET_FOLDER_H_
#define TARNWICK_TESTSET_FOLDER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testset/description.h"

namespace tarnwick {

// The name of the validator's report in a written folder.
inline constexpr char kReportName[] = "validate.txt";

// One test as written.
struct WrittenTest {
  TestPlan plan;
  bool answered = false;             // NAME.ans holds a model answer; else it is empty
  int64_t errors = 0, warnings = 0;  // what the validator found in NAME.in
  std::string report;                // its part of validate.txt: the command, then what it prints
};

struct FolderOptions {
  bool force = false;                    // write over the files of the tests described
  std::function<void(double)> progress;  // hears the share done of a long pass
};

class TestsetWriter {
 public:
  TestsetWriter(std::string dir, FolderOptions options);

  // Makes the folder when it is missing (not its parents) and checks that the
  // tests of `plans` can be written there: it holds no other test (NAME.in),
  // and without options.force none of their files, nor the points file or
  // the report. Returns false with *why set ("PATH: reason") otherwise.
  bool prepare(const std::vector<TestPlan>& plans, std::string* why);
  // Writes NAME.in and NAME.ans of `plan`, validating the input on the way.
  // Returns false with *why set ("PATH: reason") when a file cannot be written.
  bool write(const TestPlan& plan, std::string* why);
  // Writes the points file and the report of the tests written. Returns
  // false with *why set ("PATH: reason").
  bool finish(std::string* why) const;

  // Returns the tests written, in order.
  const std::vector<WrittenTest>& written() const { return written_; }

 private:
  std::string dir_;
  FolderOptions options_;
  std::vector<WrittenTest> written_;
};

// Returns the command line of tarnwick-validate that, run in the folder,
// checks plan's input as write() does: "tarnwick-validate --kattis --strict
// --simple --min-weight 1 --max-weight 100 NAME.in".
std::string validate_command(const TestPlan& plan);

// Returns the line that tells a written test: "NAME: 50 vertices, 200 edges,
// source 1, 2.5 points; NAME.ans: a model answer; 0 errors, 0 warnings".
std::string test_line(const WrittenTest& test);

// Returns the last line: "DIR: 3 tests, 10 points, 3 model answers;
// validate.txt: 0 errors, 0 warnings", and how many answer files are empty.
std::string summary_line(const std::string& dir, const std::vector<WrittenTest>& tests);

}  // namespace tarnwick

#endif  // TARNWICK_TESTSET_FOLDER_H_
