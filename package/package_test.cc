// tarnwick-package as its users run it: golden runs (usage, refusals, each
// system's exact file list and key files), the example Kattis package made
// again from its own tests byte for byte, the Gradescope points file read
// by the real grader, and the CMS checker speaking CMS's convention unasked.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/escape.h"
#include "tests/cli_support.h"

namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;
namespace fs = std::filesystem;

const fs::path kExample = fs::path(TARNWICK_SOURCE_DIR) / "examples" / "kattis" / "shortestpaths";
const std::string kUsage =
    "Usage: tarnwick-package --system=kattis|domjudge|polygon|cms|gradescope [OPTIONS] "
    "tests_folder out\n";

// A 64-bit ELF header with no program header: static, as far as the package
// maker looks, and a stand-in for the static executables a package carries.
std::string static_stand_in() {
  std::string elf(64, '\0');
  elf.replace(0, 7, "\x7f" "ELF\x02\x01\x01", 7);
  elf[0x10] = 2;     // ET_EXEC
  elf[0x36] = 56;    // e_phentsize; e_phnum stays 0
  return elf;
}

// A scratch folder with a test folder "t" (a: answer made; b: answer given;
// c: answer made; points weighing them) and stand-in static programs in "bin".
struct Tests {
  Scratch s;
  std::string dir = (s.dir() / "t").string(), bin = (s.dir() / "bin").string();
  Tests() {
    fs::create_directories(s.dir() / "t");
    fs::create_directories(s.dir() / "bin");
    s.file("t/a.in", "3 3\n1 2 4\n2 3 1\n1 3 7\n1\n");
    s.file("t/b.in", "2 1\n1 2 5\n2\n");
    s.file("t/b.ans", "2 1\n\n");
    s.file("t/c.in", "4 3\n1 2 4\n2 3 1\n3 4 2\n2\n");
    s.file("t/points", "a 1\nb 2.5\nc 3\n");
    s.file("bin/tarnwick-checker-cms", static_stand_in());
    s.file("bin/tarnwick-grade", static_stand_in());
  }
  std::string out(const std::string& name) const { return (s.dir() / name).string(); }
};

Outcome package(const std::vector<std::string>& args, const Scratch& s) {
  return tarnwick_test::run_program(TARNWICK_PACKAGE, args, s);
}

// Returns the files below `root`, sorted, "path" or "path*" when executable.
std::vector<std::string> listing(const fs::path& root) {
  std::vector<std::string> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    const bool x = (e.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
    files.push_back(fs::relative(e.path(), root).string() + (x ? "*" : ""));
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Unpacks the zip archive with the system's unzip, or python3's zipfile,
// after testing every entry's CRC; returns false when neither is there.
bool unpack(const std::string& zip, const std::string& into, const Scratch& s) {
  const std::string script =
      "if command -v unzip >/dev/null; then unzip -tq \"$1\" && unzip -q \"$1\" -d \"$2\"; "
      "elif command -v python3 >/dev/null; then python3 -c 'import sys, zipfile, os\n"
      "z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None\n"
      "for i in z.infolist():\n  p = z.extract(i, sys.argv[2]); os.chmod(p, i.external_attr >> 16)' "
      "\"$1\" \"$2\"; else exit 77; fi";
  Outcome o = tarnwick_test::run_program("/bin/sh", {"-c", script, "sh", zip, into}, s);
  EXPECT_TRUE(o.status == 0 || o.status == 77) << o.out << o.err;
  return o.status == 0;
}

TEST(PackageCli, UsageAndRefusals) {
  Tests t;
  fs::create_directories(t.s.dir() / "mine");
  t.s.file("mine/notes.txt", "mine\n");
  fs::create_directories(t.s.dir() / "bin-dynamic");
  fs::copy_file(TARNWICK_GRADE, t.s.dir() / "bin-dynamic" / "tarnwick-grade");
  t.s.file("bin/tarnwick-checker-cms", "#!/bin/sh\necho 1.0\n");
  const std::string D = t.dir, O = t.out("p");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {{}, 1, "", kUsage},
      {{"--system=kattis", D}, 1, "", kUsage},
      {{D, O}, 1, "", "tarnwick-package: --system is needed: kattis, domjudge, polygon, cms or gradescope\n" + kUsage},
      {{"--system=hackerrank", D, O}, 1, "",
       "tarnwick-package: --system 'hackerrank' is none of kattis, domjudge, polygon, cms, gradescope\n" + kUsage},
      {{"--system=domjudge", D, O}, 1, "",
       "tarnwick-package: the DOMjudge package is a zip: OUT must end in .zip\n" + kUsage},
      // ".zip" ends in .zip: what is wrong is the empty short name before it.
      {{"--system=domjudge", D, t.out(".zip")}, 1, "",
       "tarnwick-package: the problem's short name '' (the output's name) must be lower-case "
       "letters and digits\n" + kUsage},
      {{"--system=kattis", D, t.out("Shortest")}, 1, "",
       "tarnwick-package: the problem's short name 'Shortest' (the output's name) must be lower-case "
       "letters and digits\n" + kUsage},
      {{"--system=cms", "--time", "0", D, O}, 1, "",
       "tarnwick-package: --time '0' is not a number of seconds from 0.001 to 3600\n" + kUsage},
      {{"--system=cms", "--memory", "1G", D, O}, 1, "",
       "tarnwick-package: --memory '1G' is not a number of MiB from 1 to 1048576\n" + kUsage},
      // What problem.yaml, the statement and problem.xml hold as they are: a
      // control byte or one that is not UTF-8 made problem.yaml unreadable.
      {{"--system=kattis", "--title", "Paths\x01", D, O}, 1, "",
       "tarnwick-package: --title must be one line of UTF-8 text without control characters, not "
       "empty\n" + kUsage},
      {{"--system=kattis", "--author", "Ada\nLovelace", D, O}, 1, "",
       "tarnwick-package: --author must be UTF-8 text without control characters\n" + kUsage},
      {{"--system=kattis", "--author", "Ad\xe1", D, O}, 1, "",
       "tarnwick-package: --author must be UTF-8 text without control characters\n" + kUsage},
      {{"--system=polygon", "--samples=", D, O}, 1, "",
       "tarnwick-package: --samples needs a count or a pattern\n" + kUsage},
      // --validate takes what the input validator takes after --kattis --strict, and no file.
      {{"--system=kattis", "--validate", "--max-vertex 1000", D, O}, 1, "",
       "tarnwick-package: --validate '--max-vertex 1000': unknown option '--max-vertex'\n" + kUsage},
      {{"--system=kattis", "--validate", "--min-weight one", D, O}, 1, "",
       "tarnwick-package: --validate '--min-weight one': --min-weight needs an integer, not "
       "'one'\n" + kUsage},
      {{"--system=kattis", "--validate", "--simple\n  --max-edges", D, O}, 1, "",
       "tarnwick-package: --validate '--simple --max-edges': --max-edges needs an integer\n" + kUsage},
      {{"--system=kattis", "--validate", "--connected=yes", D, O}, 1, "",
       "tarnwick-package: --validate '--connected=yes': --connected takes no value\n" + kUsage},
      {{"--system=kattis", "--validate", "--max-vertices 1000 t.in", D, O}, 1, "",
       "tarnwick-package: --validate '--max-vertices 1000 t.in': 't.in' is not an option (the "
       "validator reads standard input)\n" + kUsage},
      {{"--system=kattis", D + "/none", O}, 2, "", "tarnwick-package: " + D + "/none: No such file or directory\n"},
      {{"--system=kattis", "--samples", "x*", D, O}, 2, "", "tarnwick-package: --samples 'x*' matches no test\n"},
      {{"--system=kattis", "--samples", "4", D, O}, 2, "", "tarnwick-package: --samples 4: the folder holds 3 tests\n"},
      {{"--system=kattis", "--samples", "3", D, O}, 2, "",
       "tarnwick-package: every test is a sample: a Kattis package needs a test in data/secret\n"},
      {{"--system=polygon", D, t.out("mine")}, 2, "",
       "tarnwick-package: " + t.out("mine") + " exists (--force writes over it)\n"},
      {{"--system=polygon", "--force", D, t.out("mine")}, 2, "",
       "tarnwick-package: " + t.out("mine") + ": a folder with no problem.xml is not a package made "
       "before; it is not written over, even with --force\n"},
      {{"--system=gradescope", "--force", D, t.out("mine")+ "/x.zip"}, 0,
       t.out("mine") + "/x.zip: 7 files, 3 tests, 1 sample\n", ""},
      {{"--system=gradescope", "--force", D, t.out("mine")}, 1, "",
       "tarnwick-package: the Gradescope package is a zip: OUT must end in .zip\n" + kUsage},
      {{"--system=cms", "--static-dir", t.bin, D, O}, 2, "",
       "tarnwick-package: " + t.bin + "/tarnwick-checker-cms: not an ELF executable, and the package "
       "needs a static executable (build with -DTARNWICK_STATIC=ON and give its tools/ folder as "
       "--static-dir)\n"},
      {{"--system=gradescope", "--static-dir", t.out("bin-dynamic"), D, O + ".zip"}, 2, "",
       "tarnwick-package: " + t.out("bin-dynamic") + "/tarnwick-grade: linked dynamically (it names "
       "a dynamic loader), and the package needs a static executable (build with "
       "-DTARNWICK_STATIC=ON and give its tools/ folder as --static-dir)\n"},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args = k.args;
    // The stand-in folder for every gradescope run but the one that names another.
    if (!args.empty() && args[0] == "--system=gradescope" && args[1] == "--force") {
      args.insert(args.begin() + 1, {"--static-dir", t.bin});
    }
    Outcome o = package(args, t.s);
    const std::string what = args.empty() ? "(none)" : args[0] + " " + args.back();
    EXPECT_EQ(o.status, k.status) << what;
    EXPECT_EQ(o.out, k.out) << what;
    EXPECT_EQ(o.err, k.err) << what;
  }
  EXPECT_EQ(tarnwick_test::slurp(t.s.dir() / "mine" / "notes.txt"), "mine\n") << "left alone";
  EXPECT_FALSE(fs::exists(O)) << "nothing written by a refused run";
}

TEST(PackageCli, KattisTreeAndItsKeyFiles) {
  Tests t;
  const std::string O = t.out("paths");
  Outcome o = package({"--system=kattis", "--samples", "b", "--validate", "--simple", t.dir, O}, t.s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, O + ": 13 files, 3 tests, 1 sample\n");
  EXPECT_EQ(o.err, "");
  const std::vector<std::string> want = {
      "data/sample/b.ans", "data/sample/b.in", "data/secret/a.ans", "data/secret/a.in",
      "data/secret/c.ans", "data/secret/c.in", "data/testdata.yaml",
      "input_validators/tarnwick/tarnwick-validate.cc",
      "output_validators/tarnwick/tarnwick-checker-kattis.cc", "problem.yaml",
      "problem_statement/problem.en.tex", "submissions/accepted/tarnwick-solve.cc",
      "submissions/wrong_answer/fewest_edges.cc"};
  EXPECT_EQ(listing(O), want);
  const fs::path p = O;
  EXPECT_EQ(tarnwick_test::slurp(p / "data/sample/b.ans"), "2 1\n\n") << "given, kept";
  EXPECT_EQ(tarnwick_test::slurp(p / "data/secret/a.ans"), "1\n2\n2 3\n") << "made as the solver makes it";
  EXPECT_EQ(tarnwick_test::slurp(p / "data/testdata.yaml"),
            "# The flags of input_validators/tarnwick (tarnwick-validate --kattis): the one\n"
            "# strict layout, then the statement's constraints.\n"
            "input_validator_flags: \"--strict --simple\"\n");
  const std::string yaml = tarnwick_test::slurp(p / "problem.yaml");
  EXPECT_TRUE(std::regex_search(yaml, std::regex("\nuuid: [0-9a-f]{8}-[0-9a-f]{4}-8[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\n")));
  EXPECT_NE(yaml.find("\nvalidation: custom\n"), std::string::npos);
  const std::string checker = tarnwick_test::slurp(p / "output_validators/tarnwick/tarnwick-checker-kattis.cc");
  EXPECT_EQ(checker.rfind("// tarnwick-checker-kattis.cc: tarnwick-checker ", 0), 0u);
  EXPECT_NE(checker.find("#define TARNWICK_DEFAULT_SYSTEM \"kattis\"\n"), std::string::npos);
  // Made again with --force: the same bytes; the folder's other files gone.
  t.s.file("paths/stale.txt", "old\n");
  EXPECT_EQ(package({"--system=kattis", "--samples", "b", "--validate", "--simple", "--force", t.dir, O}, t.s).status, 0);
  EXPECT_EQ(listing(O), want);
}

TEST(PackageCli, DomjudgeZipIsTheKattisTreeAtItsRoot) {
  Tests t;
  const std::string O = t.out("paths.zip");
  Outcome o = package({"--system=domjudge", "--time", "2.5", t.dir, O}, t.s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, O + ": 14 files, 3 tests, 1 sample\n");
  const fs::path u = t.s.dir() / "unzipped";
  if (!unpack(O, u.string(), t.s)) GTEST_SKIP() << "neither unzip nor python3";
  std::vector<std::string> files = listing(u);
  EXPECT_EQ(files.size(), 14u);
  EXPECT_EQ(files[0], ".timelimit");
  EXPECT_EQ(tarnwick_test::slurp(u / ".timelimit"), "2.5\n");
  EXPECT_TRUE(fs::is_regular_file(u / "problem.yaml")) << "problem.yaml at the zip's root";
  EXPECT_EQ(tarnwick_test::slurp(u / "data/sample/a.in"), "3 3\n1 2 4\n2 3 1\n1 3 7\n1\n");
}

TEST(PackageCli, PolygonNumbersTestsFromOne) {
  Tests t;
  const std::string O = t.out("paths");
  Outcome o = package({"--system=polygon", "--samples", "2", "--time", "2", "--memory", "256", t.dir, O}, t.s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(listing(O), (std::vector<std::string>{"check.cpp", "files/check.cpp", "problem.xml",
                                                  "tests/01", "tests/01.a", "tests/02", "tests/02.a",
                                                  "tests/03", "tests/03.a"}));
  EXPECT_EQ(tarnwick_test::slurp(fs::path(O) / "tests/02.a"), "2 1\n\n");
  EXPECT_NE(tarnwick_test::slurp(fs::path(O) / "check.cpp").find("#define TARNWICK_DEFAULT_SYSTEM \"testlib\"\n"),
            std::string::npos);
  EXPECT_EQ(tarnwick_test::slurp(fs::path(O) / "problem.xml"),
            "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\n"
            "<problem short-name=\"paths\">\n  <names>\n"
            "    <name language=\"english\" value=\"Shortest Paths\"/>\n  </names>\n"
            "  <judging input-file=\"\" output-file=\"\">\n    <testset name=\"tests\">\n"
            "      <time-limit>2000</time-limit>\n      <memory-limit>268435456</memory-limit>\n"
            "      <test-count>3</test-count>\n"
            "      <input-path-pattern>tests/%02d</input-path-pattern>\n"
            "      <answer-path-pattern>tests/%02d.a</answer-path-pattern>\n      <tests>\n"
            "        <test method=\"manual\" points=\"1\" sample=\"true\"/>\n"
            "        <test method=\"manual\" points=\"2.5\" sample=\"true\"/>\n"
            "        <test method=\"manual\" points=\"3\"/>\n"
            "      </tests>\n    </testset>\n  </judging>\n</problem>\n");
  // One test is "1 test", as one sample is "1 sample".
  for (const char* name : {"b.in", "c.in", "points"}) fs::remove(t.s.dir() / "t" / name);
  o = package({"--system=polygon", t.dir, t.out("one")}, t.s);
  EXPECT_EQ(o.out, t.out("one") + ": 5 files, 1 test, 1 sample\n");
}

TEST(PackageCli, CmsTaskInItalyYamlLayout) {
  Tests t;
  const std::string O = t.out("paths");
  Outcome o = package({"--system=cms", "--static-dir", t.bin, "--title", "Paths \"short\"", t.dir, O}, t.s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(listing(O), (std::vector<std::string>{"check/checker*", "input/input0.txt", "input/input1.txt",
                                                  "input/input2.txt", "output/output0.txt",
                                                  "output/output1.txt", "output/output2.txt", "task.yaml"}));
  EXPECT_EQ(tarnwick_test::slurp(fs::path(O) / "check/checker"), static_stand_in());
  EXPECT_EQ(tarnwick_test::slurp(fs::path(O) / "task.yaml"),
            "# Made by tarnwick-package: a CMS task in the layout of cmsImportTask's\n"
            "# italy_yaml loader. Test i is input/input<i>.txt, its answer output/output<i>.txt.\n"
            "name: \"paths\"\ntitle: \"Paths \\\"short\\\"\"\nn_input: 3\ntime_limit: 1\n"
            "memory_limit: 1024\ninfile: \"\"\noutfile: \"\"\ntoken_mode: disabled\nscore_mode: max\n"
            "public_testcases: \"0\"\nscore_type: GroupMin\n"
            "score_type_parameters: [[1, 1], [2.5, 1], [3, 1]]\n");
}

TEST(PackageCli, GradescopeZipAndItsPointsReadByTheGrader) {
  Tests t;
  const std::string O = t.out("autograder.zip");
  Outcome o = package({"--system=gradescope", "--static-dir", t.bin, "--samples", "[ab]",
                       "--build", "cc -o sol sol.c", "--run", "./sol", t.dir, O}, t.s);
  EXPECT_EQ(o.status, 0) << o.err;
  const fs::path u = t.s.dir() / "unzipped";
  if (!unpack(O, u.string(), t.s)) GTEST_SKIP() << "neither unzip nor python3";
  EXPECT_EQ(listing(u), (std::vector<std::string>{"data/a.in", "data/b.in", "data/c.in", "data/points",
                                                  "run_autograder*", "setup.sh*", "tarnwick-grade*"}));
  EXPECT_EQ(tarnwick_test::slurp(u / "data/points"),
            "# NAME POINTS VISIBILITY, as tarnwick-grade --testset reads it\n"
            "a 1 visible\nb 2.5 visible\nc 3 hidden\n");
  const std::string run = tarnwick_test::slurp(u / "run_autograder");
  EXPECT_NE(run.find("--visibility hidden --build 'cc -o sol sol.c' --run './sol' \\\n  --time 1 --memory 1024M"),
            std::string::npos) << run;
  // The real grader on the data: each test its own visibility.
  fs::create_directories(t.s.dir() / "sub");
  t.s.file("sub/a.out", "1\n1 2\n1 2 3\n");
  Outcome g = tarnwick_test::run_program(
      TARNWICK_GRADE, {"--testset", (u / "data").string(), "--format=gradescope", (t.s.dir() / "sub").string()}, t.s);
  EXPECT_NE(g.out.find("\"name\": \"a\", \"score\": 1, \"max_score\": 1, \"status\": \"passed\", "
                       "\"output\": \"Success\", \"visibility\": \"visible\"}"), std::string::npos) << g.out;
  EXPECT_NE(g.out.find("\"max_score\": 3, \"status\": \"failed\", \"output\": \"not judged: missing (c.out)\", "
                       "\"visibility\": \"hidden\"}"), std::string::npos) << g.out;
}

TEST(PackageCli, NoModelAnswerIsWarnedAndNeverASample) {
  Tests t;
  t.s.file("t/neg.in", "2 1\n1 2 -5\n1\n");
  t.s.file("t/points", "a 1\nb 2.5\nc 3\nneg 1\n");
  Outcome o = package({"--system=polygon", t.dir, t.out("p")}, t.s);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "tarnwick-package: warning: " + t.dir + "/neg.in: no neg.ans and no model answer can be made "
            "(a weight among vertices 1..n is negative or above 2^30-1): its answer is empty, no model answer\n");
  EXPECT_EQ(tarnwick_test::slurp(fs::path(t.out("p")) / "tests/04.a"), "");
  o = package({"--system=polygon", "--samples", "neg", t.dir, t.out("q")}, t.s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "tarnwick-package: neg: a sample must have a model answer, and neg.ans is empty "
            "(choose other samples with --samples)\n");
}

// An answer file that is not a regular file is refused at once: a folder was
// read as an empty answer (no model answer), a FIFO or a link to a device
// stalled the package maker; a dangling link is no missing answer to make.
TEST(PackageCli, AnswerThatIsNotARegularFileIsRefused) {
  struct Case {
    const char* name;
    void (*make)(const fs::path&);
    std::string reason;
  };
  const Case cases[] = {
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, "not a regular file"},
      {"fifo", [](const fs::path& p) { ::mkfifo(p.c_str(), 0644); }, "not a regular file"},
      {"device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }, "not a regular file"},
      {"dangling link", [](const fs::path& p) { fs::create_symlink("none", p); },
       "No such file or directory"},
  };
  for (const Case& c : cases) {
    Tests t;
    fs::remove(t.s.dir() / "t" / "b.ans");
    c.make(t.s.dir() / "t" / "b.ans");
    Outcome o = tarnwick_test::run_program(
        "/usr/bin/timeout", {"20", TARNWICK_PACKAGE, "--system=polygon", t.dir, t.out("p")}, t.s);
    EXPECT_EQ(o.status, 2) << c.name;
    EXPECT_EQ(o.out, "") << c.name;
    EXPECT_EQ(o.err, "tarnwick-package: " + t.dir + "/b.ans: " + c.reason + "\n") << c.name;
    EXPECT_FALSE(fs::exists(t.out("p"))) << c.name;
  }
}

// The Gradescope package's points file names every test: a name with white
// space, or with '#' first, made a points file its own grader refuses (every
// submission's run failed), so such a test is refused.
TEST(PackageCli, GradescopeRefusesTestsItsPointsFileCannotName) {
  for (const std::string name : {"a b", "#1", "t\tab", "line\nend"}) {
    Tests t;
    fs::remove(t.s.dir() / "t" / "points");
    t.s.file("t/" + name + ".in", "2 1\n1 2 5\n1\n");
    Outcome o = package({"--system=gradescope", "--static-dir", t.bin, t.dir, t.out("g.zip")}, t.s);
    EXPECT_EQ(o.status, 2) << name;
    EXPECT_EQ(o.err, "tarnwick-package: test '" + tarnwick::printable(name) + "': the points file "
              "of a Gradescope package cannot name it (white space, or '#' first)\n");
    EXPECT_FALSE(fs::exists(t.out("g.zip"))) << name;
  }
}

// The CMS checker, as CMS calls check/checker: input, correct output, the
// contestant's output; no flag. The score on standard output.
TEST(PackageCli, CmsCheckerSpeaksCmsUnasked) {
  Tests t;
  t.s.file("right", "1\n1 2\n1 2 3\n");
  t.s.file("wrong", "1\n1 3\n");
  t.s.file("correct", "1\n1 2\n1 2 3\n");
  const std::string in = t.dir + "/a.in";
  // Called check/checker in a task: its name says no system.
  const std::string checker = (t.s.dir() / "checker").string();
  fs::copy_file(TARNWICK_CHECKER_CMS, checker);
  Outcome right = tarnwick_test::run_program(checker.c_str(), {in, t.out("correct"), t.out("right")}, t.s);
  EXPECT_EQ(right.status, 0);
  EXPECT_EQ(right.out, "1.0\n");
  EXPECT_EQ(right.err, "translate:success\n");
  Outcome wrong = tarnwick_test::run_program(checker.c_str(), {in, t.out("correct"), t.out("wrong")}, t.s);
  EXPECT_EQ(wrong.status, 0);
  EXPECT_EQ(wrong.out, "0.0\n");
}

// Returns `text` with the line naming the commit of a single-file source
// made neutral: the example is made from other commits than the build's.
std::string without_commit(const std::string& text) {
  return std::regex_replace(text, std::regex("// Made from the sources of commit [^\n]*\n"),
                            "// Made from the sources of commit C\n");
}

// examples/kattis/shortestpaths is made by tarnwick-package from its own
// tests, and making it again gives the same bytes: it cannot drift from the
// tool. When this fails after a change, make it again with the command of
// the README's "In Kattis and DOMjudge" section.
TEST(PackageCli, TheExamplePackageIsMadeByTheTool) {
  Scratch s;
  fs::create_directories(s.dir() / "tests");
  for (const char* group : {"sample", "secret"}) {
    for (const fs::directory_entry& f : fs::directory_iterator(kExample / "data" / group)) {
      fs::copy_file(f.path(), s.dir() / "tests" / f.path().filename());
    }
  }
  const std::string out = (s.dir() / "shortestpaths").string();
  Outcome o = package({"--system=kattis", "--title", "Shortest Paths", "--author", "The tarnwick developers",
                       "--samples", "1", "--validate",
                       "--min-vertices 1 --max-vertices 1000 --max-edges 10000 --min-weight 1 "
                       "--max-weight 1000 --connected --simple",
                       (s.dir() / "tests").string(), out}, s);
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(listing(out), listing(kExample));
  for (const std::string& file : listing(kExample)) {
    const std::string made = without_commit(tarnwick_test::slurp(fs::path(out) / file));
    const std::string kept = without_commit(tarnwick_test::slurp(kExample / file));
    // Told by the first line that differs: the files are whole programs.
    const size_t at = std::mismatch(made.begin(), made.end(), kept.begin(), kept.end()).first -
                      made.begin();
    const size_t line = std::count(made.begin(), made.begin() + at, '\n') + 1;
    EXPECT_TRUE(made == kept) << kExample / file << " differs from a package made again, first at "
                              << "line " << line << ": make it again (see above)";
  }
}

}  // namespace
