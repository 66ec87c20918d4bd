// A test set graded for a whole class: the tests of a folder (NAME.in, the
// graph with its source after the m-th edge, and an optional points file),
// each loaded and solved once, and every submission's result file for each
// judged against it; or every submission's program built once and run on
// each test, its output judged the same way.
#ifndef TARNWICK_GRADE_TESTSET_H_
#define TARNWICK_GRADE_TESTSET_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grade/grade.h"
#include "grade/programs.h"

namespace tarnwick {

struct TestInput {
  std::string name;           // the file name without ".in"
  int64_t milli_points = 1000;  // its weight, in thousandths of a point
  int32_t n = 0;              // the vertices of its graph, once graded
  std::string visibility = {};// its Gradescope visibility from the points file; empty: the default
};

struct TestSet {
  std::string dir;
  std::vector<TestInput> tests;  // in natural order of their names
  bool weighted = false;         // a points file gave the weights
};

// The default name of a result file inside a submission folder.
inline constexpr char kDefaultOutputName[] = "{name}.out";

// Returns true when a sorts before b in natural order: runs of digits compare
// by their value ("2" before "10"), everything else byte by byte.
bool natural_less(std::string_view a, std::string_view b);

// Lists the names of the tests in the folder `dir`, every regular file
// NAME.in, into *names, in no order. Returns false with *why set ("DIR:
// reason") when the folder cannot be read.
bool list_tests(const std::string& dir, std::vector<std::string>* names, std::string* why);

// Lists the tests of the folder `dir` (every regular file NAME.in) into *set
// and reads its points file, when there is one. Returns false with *why set,
// one line, when the folder cannot be read, holds no test, or its points
// file is unreadable or wrong.
bool load_testset(const std::string& dir, TestSet* set, std::string* why);

// Reads a test's points, a number from 0 to 1000000 with at most three
// decimals ("2.5"), into *milli, in thousandths of a point. Returns false
// with *why set ("points 'x' are not a number ...") otherwise.
bool parse_points_value(std::string_view text, int64_t* milli, std::string* why);

// Reads the text of a points file, called `label` in messages, into the
// weights of set->tests: lines "NAME POINTS", blank lines and lines starting
// with '#' skipped; POINTS a number from 0 to 1000000 with at most three
// decimals; every test named exactly once. Returns false with *why set
// ("LABEL:LINE: reason") otherwise.
bool parse_points(std::string_view text, const std::string& label, TestSet* set,
                  std::string* why);

// Returns true when a line of a points file can name the test `name`: no
// white space splits it, and no '#' in front makes its line a comment.
bool points_nameable(std::string_view name);

// Returns true when `path` is a folder (or a link to one). Returns false with
// *why set ("PATH: reason") otherwise.
bool is_folder(const std::string& path, std::string* why);

// Returns an empty string when `pattern` can name result files (not empty,
// not absolute, holding "{name}"), else why it cannot.
std::string check_output_name(std::string_view pattern);

// Returns the name of a test's result file inside a submission folder: the
// pattern with every "{name}" replaced by the test's name.
std::string output_name(std::string_view pattern, const std::string& test);

// Returns the path of a test's result file in a submission folder: the
// pattern with every "{name}" replaced by the test's name, inside the folder.
std::string output_path(const std::string& submission, std::string_view pattern,
                        const std::string& test);

struct ClassOptions {
  std::string output_name = kDefaultOutputName;
  int32_t threads = 1;
  uint64_t max_bytes = kDefaultMaxResultBytes;
  std::function<void(double)> progress;  // hears the share done of a long pass
  std::function<void()> solved;          // called once each test's row is solved
  bool explain_wrong = false;  // Graded::student for every wrong answer
  // When set, each submission folder holds a program: built once, run on
  // every test, its output judged (output_name and max_bytes are not used).
  const ProgramOptions* programs = nullptr;
};

// Every outcome of a class, [submission * tests + test].
struct ClassResults {
  TestSet set;
  std::vector<std::string> submissions;
  std::vector<Graded> results;
  std::vector<std::string> warnings;  // the judge's, for every test in turn
  // When programs ran: how (Graded::path is then the submission folder).
  std::optional<ProgramOptions> programs;

  const Graded& at(size_t submission, size_t test) const {
    return results[submission * set.tests.size() + test];
  }
  // Returns the points earned on a test: all of its points when it succeeded, else 0.
  int64_t earned(size_t submission, size_t test) const;
};

// Loads and solves each test of `set` once and judges every submission's
// result file for it, in parallel, opened below the submission folder: a file
// that does not exist is "not judged: missing", one reached through a
// symbolic link or outside the folder "not judged: leads outside the
// submission", and every file of a folder that is not there "not judged: no
// such folder" ("not a folder" for a file). A test of no vertex is "not
// judged: DATA/NAME.in: REASON" for every submission. With options.programs, first builds every submission, then for
// each test runs every program (in parallel) and judges its output. Returns
// false with *why set ("DATA/NAME.in: reason") when a test cannot be judged
// at all, or the programs have no scratch folder.
bool grade_class(const TestSet& set, const std::vector<std::string>& submissions,
                 const ClassOptions& options, ClassResults* out, std::string* why);

// One submission's standing.
struct Standing {
  int64_t passed = 0, milli_points = 0;
};

// Returns the standing of submission s.
Standing standing(const ClassResults& r, size_t s);

// Returns the points the whole test set is worth, in thousandths.
int64_t total_milli_points(const TestSet& set);

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_TESTSET_H_
