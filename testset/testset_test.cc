// tarnwick-testset end to end: golden descriptions and the exact folders and
// lines they give, descriptions and command lines refused, files never
// written over unasked; and what it writes agrees with the other tools: the
// generator's and the solver's bytes, the judge's Success, the validator's
// report, and a class graded on the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_support.h"

namespace {

namespace fs = std::filesystem;
using tarnwick_test::Outcome;
using tarnwick_test::Scratch;
using Files = std::map<std::string, std::string>;

const std::string kUsage = "Usage: tarnwick-testset [--force] description folder\n";

Outcome run(const char* binary, const std::vector<std::string>& args, const Scratch& s) {
  return tarnwick_test::run_program(binary, args, s);
}

// Returns every file of the folder by name, with its bytes.
Files folder_files(const fs::path& dir) {
  Files files;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    files[e.path().filename().string()] = tarnwick_test::slurp(e.path());
  }
  return files;
}

// Returns text split at white space.
std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A description and the folder it must give, every byte of it.
struct Golden {
  const char* name;
  std::string description;
  std::string out;
  Files files;
};

const Golden kGoldens[] = {
    {"RepeatsAndASelfLoopFromTheSource",
     "# tarnwick-gen 5 7 1 9 42 connected --source 1\n"
     "small 5 7 1 9 42 connected repeats points=0.5\n",
     "small: 5 vertices, 7 edges, source 1, 0.5 points; small.ans: a model answer; 0 errors, "
     "2 warnings\n"
     "DIR: 1 test, 0.5 points, 1 model answer; validate.txt: 0 errors, 2 warnings\n",
     {{"small.in", "5 7\n1 2 1\n5 1 4\n3 2 4\n4 2 5\n4 4 8\n5 4 5\n1 1 7\n1\n"},
      // Vertex 1's self-loop weighs 7: its own line goes out to 2 and back, 2.
      {"small.ans", "2 1\n2\n2 3\n2 4\n5\n"},
      {"points", "small 0.5\n"},
      {"validate.txt",
       "$ tarnwick-validate --kattis --strict --connected --min-weight 1 --max-weight 9 small.in\n"
       "small.in:6:1: warning: self-loop at vertex 4 (weight 8): it replaces the vertex's "
       "diagonal 0, which a path written from source 4 weighs on its first step\n"
       "small.in:8:1: warning: self-loop at vertex 1 (weight 7): it replaces the vertex's "
       "diagonal 0, which a path written from source 1 weighs on its first step\n"
       "small.in: 0 errors, 2 warnings; 5 vertices, 7 edges read, source 1\n"}}},
    {"SimpleByDefaultAndAnUnsolvableTest",
     "k4 4 6 1 1 3 source=2   # the complete graph\n"
     "\n"
     "neg 3 2 -1 -1 7 connected source=3 points=2\n",
     "k4: 4 vertices, 6 edges, source 2, 1 point; k4.ans: a model answer; 0 errors, 0 warnings\n"
     "neg: 3 vertices, 2 edges, source 3, 2 points; neg.ans: empty, no model answer (a weight "
     "among vertices 1..n is negative or above 2^30-1); 0 errors, 3 warnings\n"
     "DIR: 2 tests, 3 points, 1 model answer, 1 empty answer file; validate.txt: 0 errors, "
     "3 warnings\n",
     {{"k4.in", "4 6\n4 2 1\n4 3 1\n3 1 1\n2 3 1\n1 2 1\n4 1 1\n2\n"},
      {"k4.ans", "1\n2\n3\n4\n"},
      {"neg.in", "3 2\n2 1 -1\n3 1 -1\n3\n"},
      {"neg.ans", ""},
      {"points", "k4 1\nneg 2\n"},
      {"validate.txt",
       "$ tarnwick-validate --kattis --strict --simple --min-weight 1 --max-weight 1 k4.in\n"
       "k4.in: 0 errors, 0 warnings; 4 vertices, 6 edges read, source 2\n"
       "$ tarnwick-validate --kattis --strict --simple --connected --min-weight -1 "
       "--max-weight -1 neg.in\n"
       "neg.in:2:5: warning: negative weight -1: the edge both ways is a negative cycle\n"
       "neg.in:2:5: warning: weights outside 0..2^30-1: the judge runs the exact all-pairs "
       "pass, n^3 = 27 steps for n = 3 (weights in range need one search, about (n + m) log n "
       "steps); negative edges make every distance depend on its loop order\n"
       "neg.in:3:5: warning: negative weight -1: the edge both ways is a negative cycle\n"
       "neg.in: 0 errors, 3 warnings; 3 vertices, 2 edges read, source 3\n"}}},
};

void PrintTo(const Golden& g, std::ostream* os) { *os << g.name; }

class TestsetGolden : public testing::TestWithParam<Golden> {};

TEST_P(TestsetGolden, WritesTheFolder) {
  const Golden& g = GetParam();
  Scratch s;
  const std::string dir = (s.dir() / "data").string();
  Outcome o = run(TARNWICK_TESTSET, {s.file("tests.txt", g.description), dir}, s);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, tarnwick_test::replace_all(g.out, "DIR", dir));
  EXPECT_EQ(folder_files(dir), g.files);  // nothing else, no temporary file left
}

INSTANTIATE_TEST_SUITE_P(Cases, TestsetGolden, testing::ValuesIn(kGoldens),
                         tarnwick_test::param_name<Golden>);

// A wrong line is told at its place, in tarnwick-gen's words for the graph,
// and nothing is written: the folder is not even made.
TEST(TestsetCli, RefusesAWrongDescription) {
  const std::pair<const char*, const char*> cases[] = {
      {"a 5 7 1 9", ":2: expected NAME vertices edges min_weight max_weight seed, got 5 words"},
      {"a", ":2: expected NAME vertices edges min_weight max_weight seed, got 1 word"},
      {"a 5 7 1 9 1 connectd",
       ":2: unknown word 'connectd': after the seed come connected, simple or repeats, source=S "
       "and points=P"},
      {"a/b 5 7 1 9 1",
       ":2: test name 'a/b' is not a plain file name: letters, digits, '-', '_' and '.', not "
       "starting with '.' or '-'"},
      {"-a 5 7 1 9 1",
       ":2: test name '-a' is not a plain file name: letters, digits, '-', '_' and '.', not "
       "starting with '.' or '-'"},
      {"a 0 7 1 9 1", ":2: vertices must be an integer from 1 to 10009"},
      {"a 5 7 9 1 1", ":2: min_weight is above max_weight"},
      {"a 5 7 1 9 -1", ":2: seed must be an integer from 0 to 2^64-1"},
      {"a 5 11 1 9 1", ":2: a simple graph allows at most 10 edges on 5 vertices"},
      {"a 5 3 1 9 1 connected", ":2: a connected graph on 5 vertices needs at least 4 edges"},
      {"a 5 7 1 9 1 source=6", ":2: the source must be a vertex of the graph, 1 to 5, not '6'"},
      {"a 5 7 1 9 1 source=", ":2: the source must be a vertex of the graph, 1 to 5, not ''"},
      {"a 5 7 1 9 1 points=1.2345",
       ":2: points '1.2345' are not a number from 0 to 1000000 with at most 3 decimals"},
      {"a 5 7 1 9 1 simple repeats", ":2: a test is simple or repeats, not both"},
      {"a 5 7 1 9 1 connected connected", ":2: 'connected' is given twice"},
      {"a 5 7 1 9 1 points=1 points=2", ":2: 'points=' is given twice"},
      {"a 5 7 1 9 1\nb 5 7 1 9 1\na 5 7 1 9 2",
       ":4: test 'a' is described twice, first on line 2"},
      {"  # only comments\n", ": no test described"},
  };
  Scratch s;
  const std::string dir = (s.dir() / "data").string();
  for (const auto& [lines, why] : cases) {
    const std::string description = s.file("tests.txt", std::string("# NAME ...\n") + lines);
    Outcome o = run(TARNWICK_TESTSET, {description, dir}, s);
    EXPECT_EQ(o.err, "tarnwick-testset: " + description + why + "\n") << lines;
    EXPECT_EQ(o.status, 2) << lines;
    EXPECT_EQ(o.out, "") << lines;
    EXPECT_FALSE(fs::exists(dir)) << lines;
  }
  // Repeats lift the simple graph's bound, as tarnwick-gen's --simple does.
  Outcome lifted = run(TARNWICK_TESTSET, {s.file("t", "a 5 11 1 9 1 repeats\n"), dir}, s);
  EXPECT_EQ(lifted.status, 0) << lifted.err;
}

TEST(TestsetCli, WrongUseAndUnreadableDescriptions) {
  Scratch s;
  const std::string description = s.file("tests.txt", "a 3 2 1 9 1\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {description}, {description, "x", "y"}, {"--force"}}) {
    Outcome o = run(TARNWICK_TESTSET, args, s);
    EXPECT_EQ(o.err, kUsage);
    EXPECT_EQ(o.status, 1);
  }
  Outcome valued = run(TARNWICK_TESTSET, {"--force=yes", description, "d"}, s);
  EXPECT_EQ(valued.err, "tarnwick-testset: --force takes no value\n" + kUsage);
  const std::string missing = (s.dir() / "missing.txt").string();
  Outcome gone = run(TARNWICK_TESTSET, {missing, (s.dir() / "d").string()}, s);
  EXPECT_EQ(gone.err, "tarnwick-testset: " + missing + ": No such file or directory\n");
  EXPECT_EQ(gone.status, 2);
  Outcome folder = run(TARNWICK_TESTSET, {s.dir().string(), (s.dir() / "d").string()}, s);
  EXPECT_EQ(folder.err, "tarnwick-testset: " + s.dir().string() + ": Is a directory\n");
}

// The folder: made when missing, not its parents; never a file; and what is
// in it is written over only with --force, and a test it holds that the
// description does not name is refused with or without it.
TEST(TestsetCli, WritesOverNothingUnasked) {
  Scratch s;
  const std::string dir = (s.dir() / "data").string();
  const std::string first = s.file("first.txt", "a 3 2 1 9 1\nb 3 2 1 9 2\n");
  ASSERT_EQ(run(TARNWICK_TESTSET, {first, dir}, s).status, 0);
  const Files written = folder_files(dir);
  const std::string other = s.file("other.txt", "a 4 3 1 9 5\nb 3 2 1 9 2 points=3\n");
  Outcome again = run(TARNWICK_TESTSET, {other, dir}, s);
  EXPECT_EQ(again.err, "tarnwick-testset: " + dir + "/a.in exists (--force writes over it)\n");
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(folder_files(dir), written);
  Outcome forced = run(TARNWICK_TESTSET, {"--force", other, dir + "/"}, s);
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(tarnwick_test::slurp(dir + "/a.in"), "4 3\n3 1 3\n3 4 2\n2 4 3\n1\n");
  EXPECT_EQ(tarnwick_test::slurp(dir + "/points"), "a 1\nb 3\n");
  const std::string fewer = s.file("fewer.txt", "b 3 2 1 9 2\n");
  Outcome stray = run(TARNWICK_TESTSET, {"--force", fewer, dir}, s);
  EXPECT_EQ(stray.err, "tarnwick-testset: " + dir +
                           "/a.in: a test the description does not name, which tarnwick-grade "
                           "--testset would grade too\n");
  EXPECT_EQ(stray.status, 2);
  const std::string deep = (s.dir() / "no" / "data").string();
  EXPECT_EQ(run(TARNWICK_TESTSET, {first, deep}, s).err,
            "tarnwick-testset: " + deep + ": No such file or directory\n");
  EXPECT_EQ(run(TARNWICK_TESTSET, {first, first}, s).err,
            "tarnwick-testset: " + first + ": Not a directory\n");
}

// A file that cannot be put in place is told, and its temporary file is gone.
TEST(TestsetCli, LeavesNoTemporaryFile) {
  Scratch s;
  const std::string dir = (s.dir() / "data").string();
  fs::create_directories(dir + "/a.ans");
  Outcome o = run(TARNWICK_TESTSET, {"--force", s.file("t", "a 3 2 1 9 1\n"), dir}, s);
  EXPECT_EQ(o.err, "tarnwick-testset: " + dir + "/a.ans: Is a directory\n");
  EXPECT_EQ(o.status, 2);
  for (const auto& [name, bytes] : folder_files(dir)) EXPECT_NE(name[0], '.') << name;
}

// The description may come on standard input.
TEST(TestsetCli, DescriptionOnStandardInput) {
  Scratch s;
  const std::string dir = (s.dir() / "data").string();
  const std::string command = std::string(TARNWICK_TESTSET) + " - " + dir +
                              " >/dev/null 2>" + (s.dir() / "err").string();
  std::FILE* p = popen(command.c_str(), "w");
  ASSERT_NE(p, nullptr);
  std::fputs("a 3 2 1 9 1 points=4\nb 3 2 1 9 1 source=x\n", p);
  EXPECT_EQ(pclose(p), 2 << 8);
  EXPECT_EQ(tarnwick_test::slurp(s.dir() / "err"),
            "tarnwick-testset: <stdin>:2: the source must be a vertex of the graph, 1 to 3, not "
            "'x'\n");
  p = popen(command.c_str(), "w");
  std::fputs("a 3 2 1 9 1 points=4\n", p);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(tarnwick_test::slurp(dir + "/points"), "a 4\n");
}

// Returns validate.txt of `dir` as the commands it names print it, each run
// on the folder's file; checks that each exits as a valid input.
std::string report_again(const std::string& dir, const Scratch& s) {
  std::istringstream report(tarnwick_test::slurp(dir + "/validate.txt"));
  std::string again;
  for (std::string line; std::getline(report, line);) {
    if (!line.starts_with("$ tarnwick-validate ")) continue;
    std::vector<std::string> args = words(line.substr(20));
    args.back() = dir + "/" + args.back();
    Outcome o = run(TARNWICK_VALIDATE, args, s);
    EXPECT_EQ(o.status, 42) << line << "\n" << o.out;
    again += line + "\n" + tarnwick_test::replace_all(o.out, dir + "/", "");
  }
  return again;
}

// What the folder holds is what the other tools make and read: each input is
// tarnwick-gen's file, each answer tarnwick-solve's (the judge accepts it) or
// empty where the solver refuses, the report is what the commands it names
// print, and a class is graded on the folder with its points.
TEST(TestsetAgrees, WithEveryOtherTool) {
  const std::pair<const char*, const char*> tests[] = {
      {"one 60 300 1 100 5 connected", "--simple 60 300 1 100 5 connected --source 1"},
      {"two 40 90 0 1073741823 8 repeats source=7 points=2.5", "40 90 0 1073741823 8 --source 7"},
      {"wide 30 60 1073741824 2147483647 3 simple connected points=0",
       "--simple 30 60 1073741824 2147483647 3 connected --source 1"},
      {"sparse 200 50 -5 5 9 repeats source=200", "200 50 -5 5 9 --source 200"},
  };
  Scratch s;
  const std::string dir = (s.dir() / "data").string(), mine = (s.dir() / "mine").string();
  std::string description;
  for (const auto& [line, gen] : tests) description += std::string(line) + "\n";
  ASSERT_EQ(run(TARNWICK_TESTSET, {s.file("tests.txt", description), dir}, s).status, 0);
  fs::create_directory(mine);
  for (const auto& [line, gen] : tests) {
    const std::string name = words(line)[0], in = dir + "/" + name + ".in";
    const std::string ans = dir + "/" + name + ".ans";
    EXPECT_EQ(tarnwick_test::slurp(in), run(TARNWICK_GEN, words(gen), s).out) << name;
    Outcome solved = run(TARNWICK_SOLVE, {in}, s);
    EXPECT_EQ(tarnwick_test::slurp(ans), solved.status == 0 ? solved.out : "") << name;
    if (solved.status == 0) {
      EXPECT_EQ(run(TARNWICK_BINARY, {in, ans, words(gen).back()}, s).out, "Success\n") << name;
    }
    // The checker takes an empty answer as none, and judges the team's output alone.
    const std::string team = solved.status == 0 ? ans : s.file("team", "");
    Outcome checked = run(TARNWICK_CHECKER, {"--testlib", in, team, ans}, s);
    EXPECT_EQ(checked.status, solved.status == 0 ? 0 : 1) << name << ": " << checked.err;
    fs::copy_file(ans, mine + "/" + name + ".out");
  }
  EXPECT_EQ(report_again(dir, s), tarnwick_test::slurp(dir + "/validate.txt"));
  // The two answers the solver can write pass; the others are empty files.
  Outcome graded = run(TARNWICK_GRADE, {"--testset", dir, mine}, s);
  EXPECT_EQ(graded.status, 0) << graded.err;
  EXPECT_TRUE(graded.out.ends_with(mine + "\t2 of 4 tests passed\t3.5 of 4.5 points\n"))
      << graded.out;
  EXPECT_NE(graded.out.find(mine + "/wide.out\twide\tEmpty file\n"), std::string::npos);
}

// The README's class: the bundled description prints what the README shows,
// and run again, the refusal it quotes.
TEST(TestsetReadme, ShowsWhatTheExamplePrints) {
  Scratch s;
  const std::string dir = (s.dir() / "data").string();
  const std::string example = std::string(TARNWICK_SOURCE_DIR) + "/examples/class-tests.txt";
  const std::string readme = tarnwick_test::slurp(std::string(TARNWICK_SOURCE_DIR) + "/README.md");
  Outcome o = run(TARNWICK_TESTSET, {example, dir}, s);
  const std::string shown = tarnwick_test::replace_all(o.out, dir, "build/class/data");
  EXPECT_NE(readme.find("```\n" + shown + "```\n"), std::string::npos) << shown;
  Outcome again = run(TARNWICK_TESTSET, {example, dir}, s);
  std::string refusal = tarnwick_test::replace_all(again.err, dir, "build/class/data");
  refusal.pop_back();  // its line end
  EXPECT_NE(tarnwick_test::replace_all(readme, "\n", " ").find("`" + refusal + "`"),
            std::string::npos)
      << refusal;
}

}  // namespace
