// The tests a package is made from: a test folder as tarnwick-testset writes
// it and tarnwick-grade --testset reads it (NAME.in, the graph with its
// source after the m-th edge; NAME.ans where the instructor gave one; the
// points file), each answer that is missing made as tarnwick-solve makes it.
#ifndef TARNWICK_PACKAGE_TESTDATA_H_
#define TARNWICK_PACKAGE_TESTDATA_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

struct PackagedTest {
  std::string name;            // NAME, of NAME.in
  std::string input, answer;   // the bytes of NAME.in and of its answer
  bool answered = false;       // the answer holds a model answer (else it is empty)
  bool made = false;           // the answer was made here, not read from NAME.ans
  bool sample = false;         // chosen by --samples: shown to the students
  int64_t milli_points = 1000; // its points, in thousandths
};

// Returns an empty string when `samples` can choose samples (a count, or a
// pattern as the shell matches names: "sample*"), else why it cannot.
std::string check_samples(const std::string& samples);

// Reads the tests of the folder `dir` in natural order of their names into
// *tests: each input, its answer (NAME.ans, else made by the model solver;
// empty when no model answer can be made, with a warning in *warnings), its
// points, and whether `samples` chooses it (the first N tests, or those whose
// names match the pattern). Returns false with *why set, one line, when the
// folder, a test or the points file cannot be read, or a sample would have
// no model answer, or `samples` chooses no test.
bool read_tests(const std::string& dir, const std::string& samples,
                std::vector<PackagedTest>* tests, std::vector<std::string>* warnings,
                std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_PACKAGE_TESTDATA_H_
