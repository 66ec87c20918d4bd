// The example problem package (examples/kattis/shortestpaths, made by
// tarnwick-package) as the Kattis tools would take it, short of running
// them: its layout, every input valid under its validator's flags, every
// answer accepted, a right submission accepted and its wrong one rejected.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli_support.h"

namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;
namespace fs = std::filesystem;

const fs::path kPackage = fs::path(TARNWICK_SOURCE_DIR) / "examples" / "kattis" / "shortestpaths";

// Runs `command` by the shell with the folder of the built tools first on PATH.
Outcome with_tools(const std::string& command, const Scratch& s) {
  const std::string tools = fs::path(TARNWICK_CHECKER).parent_path().string();
  return tarnwick_test::run_program("/bin/sh", {"-c", "PATH='" + tools + "':\"$PATH\" " + command},
                                    s);
}

// Returns path in single quotes, for the shell.
std::string q(const fs::path& path) {
  std::string quoted = "'";
  quoted += path.string();  // (one concatenation trips GCC 12's -Wrestrict)
  return quoted + "'";
}

// Returns the package's test inputs, samples first.
std::vector<fs::path> inputs() {
  std::vector<fs::path> found;
  for (const char* group : {"sample", "secret"}) {
    for (const fs::directory_entry& f : fs::directory_iterator(kPackage / "data" / group)) {
      if (f.path().extension() == ".in") found.push_back(f.path());
    }
  }
  return found;
}

TEST(KattisPackage, LaidOutAsTheFormatAndItsToolsWantIt) {
  for (const char* file : {"problem.yaml", "problem_statement/problem.en.tex", "data/testdata.yaml",
                           "input_validators/tarnwick/tarnwick-validate.cc",
                           "output_validators/tarnwick/tarnwick-checker-kattis.cc",
                           "submissions/accepted/tarnwick-solve.cc",
                           "submissions/wrong_answer/fewest_edges.cc"}) {
    EXPECT_TRUE(fs::is_regular_file(kPackage / file)) << file;
  }
  const std::string yaml = tarnwick_test::slurp(kPackage / "problem.yaml");
  EXPECT_NE(yaml.find("\nproblem_format_version: legacy\n"), std::string::npos);
  EXPECT_NE(yaml.find("\nvalidation: custom\n"), std::string::npos);
  std::vector<fs::path> in = inputs();
  ASSERT_GE(in.size(), 2u);
  EXPECT_EQ(in[0].parent_path().filename(), "sample");
  for (const fs::path& p : in) EXPECT_TRUE(fs::is_regular_file(fs::path(p).replace_extension(".ans")));
}

TEST(KattisPackage, AnswersAcceptedWrongSubmissionRejected) {
  Scratch s;
  // The validator with the flags of data/testdata.yaml, the checker as the package's sources speak.
  const std::string yaml = tarnwick_test::slurp(kPackage / "data" / "testdata.yaml");
  const size_t at = yaml.find("input_validator_flags: \"");
  ASSERT_NE(at, std::string::npos);
  const std::string flags = yaml.substr(at + 24, yaml.find('"', at + 24) - at - 24);
  const std::string validate = q(TARNWICK_VALIDATE) + " --kattis " + flags;
  const std::string check = q(TARNWICK_CHECKER) + " --kattis";
  const std::string out = (s.dir() / "team.out").string();
  int rejected = 0;
  for (const fs::path& in : inputs()) {
    const fs::path ans = fs::path(in).replace_extension(".ans");
    const std::string judge = check + " " + q(in) + " " + q(ans) + " " + q(s.dir()) + "/ < ";
    EXPECT_EQ(with_tools(validate + " < " + q(in), s).status, 42) << in;
    EXPECT_EQ(with_tools(judge + q(ans), s).status, 42) << ans;
    with_tools(q(fs::path(TARNWICK_EXAMPLE_ACCEPTED)) + " < " + q(in) + " > " + q(out), s);
    EXPECT_EQ(with_tools(judge + q(out), s).status, 42) << in << ": accepted submission";
    with_tools(q(fs::path(TARNWICK_EXAMPLE_WRONG)) + " < " + q(in) + " > " + q(out), s);
    const int status = with_tools(judge + q(out), s).status;
    EXPECT_TRUE(status == 42 || status == 43) << in << ": wrong submission, " << status;
    rejected += status == 43;
  }
  EXPECT_GE(rejected, 1) << "the wrong submission must fail some test";
}

}  // namespace
