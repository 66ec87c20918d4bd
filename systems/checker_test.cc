// tarnwick-checker called exactly as each judging system calls it: the files
// laid out in a scratch folder, the team output piped in (Kattis, DOMjudge)
// or named (testlib, CMS), then the exit status, the feedback files, the
// result file and both streams.
#include "systems/checker.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/escape.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;
namespace fs = std::filesystem;

// Runs `binary` with `args` and standard input read from the file `in`
// (closed when `in` is empty).
Outcome run_piped(const std::string& binary, const std::vector<std::string>& args,
                  const std::string& in, const Scratch& s) {
  std::string out = (s.dir() / "stdout").string(), err = (s.dir() / "stderr").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in.empty()) {
    posix_spawn_file_actions_addclose(&actions, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv{const_cast<char*>(binary.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  Outcome o;
  if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  o.out = tarnwick_test::slurp(out);
  o.err = tarnwick_test::slurp(err);
  return o;
}

// Returns the file's bytes, or "(none)" when it does not exist.
std::string feedback(const fs::path& p) {
  return fs::exists(p) ? tarnwick_test::slurp(p) : "(none)";
}

constexpr char kEdges[] = "3 3\n1 2 4\n2 3 1\n1 3 7\n";  // distances from 1: 0, 4, 5
constexpr char kModel[] = "1\n1 2\n1 2 3\n";
// What contestants are told: tarnwick-explain --student's text, never the
// expected distance.
const std::string kWrong3 =
    "Wrong answer in path 1 to 3\n"
    "Line 3 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 1, weight 0: the source's own diagonal\n"
    "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\n"
    "Total 7: not the shortest distance from 1 to 3.\n"
    "The path ends at 3, vertex 3 of this line.\n";
const std::string kWrong2 =
    "Wrong answer in path 1 to 2\n"
    "Line 2 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 1, weight 0: the source's own diagonal\n"
    "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\n"
    "Total 7: not the shortest distance from 1 to 2.\n"
    "The path ends at 3, not at vertex 2 (the judge does not check the end).\n"
    "The file ends after line 2: line 3 is missing.\n";
const std::string kMissing3 =
    "Wrong answer in path 1 to 3\n"
    "line 3 is missing: the output ends after line 2, and each of the 3 vertices needs a line\n";
const std::string kPast4 =
    "Wrong answer in path 1 to 4\n"
    "Line 4 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
    "Total 4: not the weight the judge expects for this line.\n"
    "The path ends at 2, not at vertex 4 (the judge does not check the end).\n"
    "Note: line 4: the graph has 3 vertices; this line is compared with the direct weight from 1 "
    "to 4\n";

// What tarnwick-explain says of the same outputs: the judges' message of a
// validator.
const std::string kExplainedWrong3 =
    "Wrong answer in path 1 to 3\n"
    "Line 3 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 1, weight 0: the source's own diagonal\n"
    "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\n"
    "Total 7, expected 5: difference +2.\n"
    "The path ends at 3, vertex 3 of this line.\n"
    "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n";
const std::string kExplainedWrong2 =
    "Wrong answer in path 1 to 2\n"
    "Line 2 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 1, weight 0: the source's own diagonal\n"
    "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\n"
    "Total 7, expected 4: difference +3.\n"
    "The path ends at 3, not at vertex 2 (the judge does not check the end).\n"
    "A shortest path from 1 to 2: 1-2, weight 4 (as a line: \"2\").\n"
    "The file ends after line 2: line 3 is missing.\n";
const std::string kExplainedMissing3 =
    "Wrong answer in path 1 to 3\n"
    "Line 3 was never read: the file ends first.\n"
    "A shortest path from 1 to 3: 1-2-3, weight 5 (as a line: \"2 3\").\n"
    "The file ends after line 2: line 3 is missing.\n";
const std::string kExplainedPast4 =
    "Wrong answer in path 1 to 4\n"
    "Line 4 as the judge weighs it, from source 1:\n"
    "  step 1: 1 to 2, weight 4: edge 1-2, graph line 2\n"
    "Total 4, expected 0: difference +4.\n"
    "The path ends at 2, not at vertex 4 (the judge does not check the end).\n"
    "Note: line 4: the graph has 3 vertices; this line is compared with the direct weight from 1 "
    "to 4\n";

// Returns a message as one line, as the checker writes it (pinned by
// OneLine.JoinsLinesAsSentences): lines without their indent, joined by "; ",
// by a space after ':' or '.'.
std::string one_line(const std::string& message) {
  std::string out;
  std::istringstream lines(message);
  for (std::string line; std::getline(lines, line);) {
    line.erase(0, line.find_first_not_of(' '));
    if (!out.empty()) out += out.back() == ':' || out.back() == '.' ? " " : "; ";
    out += line;
  }
  return out;
}

const std::string kNotVertex =
    "source 0 is not a vertex of the graph (1..3): lines are compared with its direct weights";
const std::string kCut = "the edge list ends after 1 of 3 edges: edge 2 meets the end of the file";
const std::string kMe = "tarnwick-checker: ";
const std::string kNoModel = "ANS is empty: no model answer was checked";

// One test case and what each system must make of it. In messages, IN and ANS
// stand for the paths of the input and answer files.
struct Case {
  const char* name;
  std::string input, answer, team;
  std::vector<std::string> flags;
  int kattis;                  // exit status as a Kattis validator
  std::string judge_message;   // judgemessage.txt, or "(none)"
  std::string team_message;    // teammessage.txt, or "(none)"
  std::string error;           // standard error as a Kattis validator
  int testlib;                 // exit status as a testlib checker
  std::string testlib_error;   // its line on standard error
  std::string cms_out;         // standard output as a CMS checker, whose exit status is 0
  std::string cms_error;       // its standard error
};

// Returns the case of a verdict on a judgeable test: every system's message
// from the judges' message, the contestants' one and the lines for judges only.
Case judged(const char* name, const std::string& input, const std::string& answer,
            const std::string& team, const std::vector<std::string>& flags,
            const std::string& judges, const std::string& contestants,
            const std::vector<std::string>& notes = {}) {
  const bool ok = contestants == "Success\n";
  // The judges' notes: in judgemessage.txt alone for Kattis (never twice for
  // DOMjudge, which shows standard error after it), on the line for testlib,
  // marked for the judges alone for CMS.
  std::string lines, admin;
  for (const std::string& n : notes) lines += n + "\n", admin += "ADMIN_MESSAGE: " + n + "\n";
  const std::string line = one_line(contestants + lines) + "\n";
  return {name, input, answer, team, flags, ok ? 42 : 43, judges + lines, contestants, "",
          ok ? 0 : 1, (ok ? "ok " : "wrong answer ") + line, ok ? "1.0\n" : "0.0\n",
          (ok ? "translate:success\n" : one_line(contestants) + "\n") + admin};
}

// Returns the case of a test that cannot be judged, for `why`.
Case broken(const char* name, const std::string& input, const std::string& answer,
            const std::vector<std::string>& flags, const std::string& why) {
  return {name, input, answer, kModel, flags, 2, "judge error: " + why + "\n", "(none)",
          kMe + why + "\n", 3, "FAIL " + why + "\n", "", kMe + why + "\n"};
}

std::vector<Case> cases() {
  const std::string in = std::string(kEdges) + "1\n";
  const std::string no_source = "IN: no source vertex after the m-th edge";
  const std::string bad_answer =
      "broken test IN: its answer file ANS is not accepted: Wrong answer in path 1 to 2";
  const std::string no_vertex = ": a test graph needs at least one vertex";
  const std::vector<std::string> none;
  return {
      judged("accepted", in, kModel, "1\n2\n2 3\n", none, "Success\n", "Success\n"),
      judged("wrong", in, kModel, "1\n1 2\n1 3\n", none, kExplainedWrong3, kWrong3),
      judged("empty", in, kModel, "", none, "Empty file\nThe result file holds no line.\n",
             "Empty file\n"),
      // Cut short after a wrong line: wrong whatever a short file is taken to mean.
      judged("truncated", in, kModel, "1\n1 3", none, kExplainedWrong2, kWrong2),
      // Every line right, but the output stops before the last vertex's line.
      judged("stops early", in, kModel, "1\n1 2\n", none, kExplainedMissing3, kMissing3),
      judged("line past n", in, kModel, "1\n2\n2 3\n2\n", none, kExplainedPast4, kPast4),
      broken("broken graph", "10010 0\n1\n", kModel, none,
             "IN: the vertex count is too large: at most 10009 vertices fit"),
      // On no vertex every output would be accepted: a broken test, never a verdict.
      broken("no vertex count", "", "1\n", {"--source", "1"}, "IN: no vertex count" + no_vertex),
      broken("no vertex, carried source", "", "1\n", none, "IN: no vertex count" + no_vertex),
      broken("no vertex", "0 0\n1\n", "1\n", none, "IN: a vertex count of 0 or less" + no_vertex),
      broken("no source", kEdges, kModel, none, no_source),
      judged("source flag", kEdges, kModel, kModel, {"--source", "1"}, "Success\n", "Success\n"),
      judged("source flag wins", in, "1\n0\n2 3\n", "1\n0\n2 3\n", {"--source=2"}, "Success\n",
             "Success\n"),
      broken("carried source too large", std::string(kEdges) + "10010\n", kModel, none,
             "IN: source vertex id after the m-th edge is outside 0..10009"),
      broken("source flag too large", in, kModel, {"--source=10010"},
             "source vertex id '10010' is outside 0..10009 (--source)"),
      broken("source flag not a number", in, kModel, {"--source=2x"},
             "source vertex id '2x' is not a whole number (--source)"),
      broken("cut edge list, no source", "3 3\n1 2 4\n2 3", kModel, none,
             no_source + " (" + kCut + ")"),
      judged("cut edge list, source flag", "3 3\n1 2 4\n", "1\n1 2\n3\n", "1\n2\n3\n",
             {"--source", "1"}, "Success\n", "Success\n", {"IN: warning: " + kCut}),
      judged("source not a vertex", std::string(kEdges) + "0\n", "0\n0\n0\n", "0\n0\n0\n", none,
             "Success\n", "Success\n", {"warning: " + kNotVertex}),
      broken("broken answer", in, "1\n1 3\n", none, bad_answer),
      // An empty answer file: no model answer, the team output alone is judged.
      judged("no model answer, wrong", in, "", "1\n1 2\n1 3\n", none, kExplainedWrong3, kWrong3,
             {kNoModel}),
      judged("no model answer, accepted", in, "", kModel, none, "Success\n", "Success\n",
             {kNoModel}),
  };
}
// A case's files laid out in a scratch folder.
struct Laid {
  Scratch s;
  std::string in, ans, team;

  explicit Laid(const Case& c)
      : in(s.file("case.in", c.input)), ans(s.file("case.ans", c.answer)),
        team(s.file("team.out", c.team)) {}
  // Returns `files` (the system's flag first) followed by the case's flags.
  std::vector<std::string> args(const Case& c, std::vector<std::string> files) const {
    files.insert(files.end(), c.flags.begin(), c.flags.end());
    return files;
  }
  // Returns text with the words IN and ANS replaced by the paths of the case's files.
  std::string with_paths(const std::string& text) const {
    return std::regex_replace(std::regex_replace(text, std::regex("\\bIN\\b"), in),
                              std::regex("\\bANS\\b"), ans);
  }
};

TEST(KattisValidator, CalledAsAnOutputValidator) {
  for (const Case& c : cases()) {
    Laid l(c);
    fs::path fb = l.s.dir() / "feedback";
    fs::create_directory(fb);
    Outcome o = run_piped(TARNWICK_CHECKER, l.args(c, {"--kattis", l.in, l.ans, fb.string()}),
                          l.team, l.s);
    EXPECT_EQ(o.status, c.kattis) << c.name;
    EXPECT_EQ(feedback(fb / "judgemessage.txt"), l.with_paths(c.judge_message)) << c.name;
    EXPECT_EQ(feedback(fb / "teammessage.txt"), c.team_message) << c.name;
    EXPECT_EQ(o.err, l.with_paths(c.error)) << c.name;
    EXPECT_EQ(o.out, "") << c.name;
  }
}

TEST(TestlibChecker, CalledAsATestlibChecker) {
  for (const Case& c : cases()) {
    Laid l(c);
    Outcome o = tarnwick_test::run_program(
        TARNWICK_CHECKER, l.args(c, {"--testlib", l.in, l.team, l.ans}), l.s);
    EXPECT_EQ(o.status, c.testlib) << c.name;
    EXPECT_EQ(o.err, l.with_paths(c.testlib_error)) << c.name;
    EXPECT_EQ(o.out, "") << c.name;
  }
}

// With --judge-details, testlib's one line tells the judges what the line
// weighs against the expected distance, and says a line is past the graph's
// vertices only when it is: the last vertex's line is not.
TEST(TestlibChecker, JudgeDetailsTellTheExpectedDistance) {
  const std::string in = std::string(kEdges) + "1\n";
  const std::string wrong = "wrong answer Wrong answer in path 1 to ";
  struct {
    const char* name;
    std::string team;
    int status;
    std::string err;
  } cases[] = {
      {"accepted", "1\n2\n2 3\n", 0, "ok Success\n"},
      {"the last vertex's line", "1\n1 2\n1 3\n", 1,
       wrong + "3; line 3 weighs 7, not the expected distance 5 from vertex 1 to vertex 3\n"},
      {"a line before it", "1\n1 3\n1 2 3\n", 1,
       wrong + "2; line 2 weighs 7, not the expected distance 4 from vertex 1 to vertex 2\n"},
      {"a line past the vertices", "1\n2\n2 3\n2\n", 1,
       wrong + "4; line 4 weighs 4, not the expected distance 0 from vertex 1 to vertex 4 (line 4 "
       "is past the graph's 3 vertices)\n"},
      {"the last vertex's line missing", "1\n1 2\n", 1,
       wrong + "3; line 3 is missing: the output ends after line 2, and each of the 3 vertices "
       "needs a line\n"},
  };
  for (const auto& c : cases) {
    Scratch s;
    const std::string input = s.file("case.in", in), ans = s.file("case.ans", kModel),
                      team = s.file("team.out", c.team);
    Outcome o = tarnwick_test::run_program(
        TARNWICK_CHECKER, {"--testlib", input, team, ans, "--judge-details"}, s);
    EXPECT_EQ(o.status, c.status) << c.name;
    EXPECT_EQ(o.err, c.err) << c.name;
    EXPECT_EQ(o.out, "") << c.name;
  }
}

// CMS calls `checker input correct_output contestant_output` and takes the
// first lines of standard output and standard error; any exit but 0 is a
// failure of the checker, kept for a broken test.
TEST(CmsChecker, CalledAsACmsChecker) {
  for (const Case& c : cases()) {
    Laid l(c);
    Outcome o =
        tarnwick_test::run_program(TARNWICK_CHECKER, l.args(c, {"--cms", l.in, l.ans, l.team}), l.s);
    EXPECT_EQ(o.status, c.testlib == 3 ? 2 : 0) << c.name;
    EXPECT_EQ(o.out, c.cms_out) << c.name;
    EXPECT_EQ(o.err, l.with_paths(c.cms_error)) << c.name;
  }
}

// An output file that cannot be read is the team's doing, which testlib calls
// a presentation error (exit 2) and CMS scores 0; but a broken test is told first.
TEST(CheckerCommandLine, OutputThatCannotBeReadIsNotAJudgeFailure) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel),
              broken = s.file("broken.ans", "1\n1 3\n");
  std::string missing = (s.dir() / "missing").string(), folder = s.dir().string();
  const std::string bad_answer = "broken test " + in + ": its answer file " + broken +
                                 " is not accepted: Wrong answer in path 1 to 2\n";
  struct Case {
    std::string output, answer;
    int testlib;
    std::string testlib_err, cms_out, cms_err;
  };
  const Case cases[] = {
      {missing, ans, 2, "wrong output format " + missing + ": No such file or directory\n",
       "0.0\n", missing + ": No such file or directory\n"},
      {folder, ans, 2, "wrong output format " + folder + ": Is a directory\n", "0.0\n",
       folder + ": Is a directory\n"},
      {missing, broken, 3, "FAIL " + bad_answer, "", kMe + bad_answer},
  };
  for (const Case& c : cases) {
    Outcome o = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", in, c.output, c.answer}, s);
    EXPECT_EQ(o.status, c.testlib) << c.output;
    EXPECT_EQ(o.err, c.testlib_err) << c.output;
    o = tarnwick_test::run_program(TARNWICK_CHECKER, {"--cms", in, c.answer, c.output}, s);
    EXPECT_EQ(o.status, c.testlib == 3 ? 2 : 0) << c.output;
    EXPECT_EQ(o.out, c.cms_out) << c.output;
    EXPECT_EQ(o.err, c.cms_err) << c.output;
  }
}

// testlib's calling forms (testlib.h 0.9.44, registerTestlibCmd and
// InStream::quit): a 4th argument takes the message, a 5th -appes or -APPES
// makes it XML; --testset X and --group Y may come anywhere and are dropped.
TEST(TestlibChecker, ResultFileAndItsXml) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel),
              wrong = s.file("wrong.out", "1\n1 2\n1 3\n"), res = (s.dir() / "result").string();
  const std::string head = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><result outcome = \"";
  const std::string missing = (s.dir() / "none" / "result").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string file, err;
  };
  const std::string see = "\nSee file to check exit message\n", line = one_line(kWrong3);
  const Case cases[] = {
      {{in, ans, ans, res}, 0, "Success", see},
      {{in, wrong, ans, res}, 1, line, see},
      {{"--testset", "tests", in, wrong, "--group", "", ans, res, "-appes"}, 1,
       head + "wrong-answer\">" + line + "</result>\n", see},
      {{in, ans, ans, res, "-APPES", "--testset", "x"}, 0, head + "accepted\">Success</result>\n", see},
      {{in, s.dir().string(), ans, res, "-appes"}, 2,
       head + "presentation-error\">" + s.dir().string() + ": Is a directory</result>\n", see},
      {{in, ans, wrong, res, "-appes"}, 3,
       head + "fail\">broken test " + in + ": its answer file " + wrong +
           " is not accepted: Wrong answer in path 1 to 3</result>\n", see},
      {{in, ans, ans, missing}, 3, "(none)", "FAIL " + missing + ": No such file or directory\n"},
  };
  for (const Case& c : cases) {
    fs::remove(res);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--testlib");
    Outcome o = tarnwick_test::run_program(TARNWICK_CHECKER, args, s);
    EXPECT_EQ(o.status, c.status) << c.file;
    EXPECT_EQ(feedback(res), c.file);
    EXPECT_EQ(o.err, c.err) << c.file;
  }
}

// The one line that testlib and CMS show: sentences run on, steps are parted
// by "; ", control characters never break it.
TEST(OneLine, JoinsLinesAsSentences) {
  struct {
    std::string_view text, line;
  } const kCases[] = {
      {"Success\n", "Success"},
      {"Line 3, from source 1:\n  step 1: 1 to 3\n  step 2: 3 to 2\nTotal 7.\nThe end\n",
       "Line 3, from source 1: step 1: 1 to 3; step 2: 3 to 2; Total 7. The end"},
      {"a\tb\n\nc", "a\\tb; ; c"},
      {"", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(tarnwick::one_line(c.text), c.line) << c.text;
}

// testlib's escapes, and bytes from 0x80 as \xNN: the file is declared
// windows-1251, where 0x98 is no character.
TEST(TestlibChecker, XmlAsTestlibEscapesIt) {
  EXPECT_EQ(testlib_result_text(TeamOutcome::kWrong, "a<b> & \"c\"\x01\x1f\x7f\xc3\xa9\x98", true),
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?><result outcome = \"wrong-answer\">"
            "a&lt;b&gt; &amp; &quot;c&quot;..\x7f\\xc3\\xa9\\x98</result>\n");
  EXPECT_EQ(testlib_result_text(TeamOutcome::kNoOutput, "x", true),
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>"
            "<result outcome = \"presentation-error\">x</result>\n");
  EXPECT_EQ(testlib_result_text(TeamOutcome::kWrong, "a<b>", false), "a<b>");
}

TEST(CheckerCommandLine, SystemFromTheNameItIsCalledUnder) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel),
              team = s.file("team.out", "1\n1 3\n");
  fs::create_directories(s.dir() / "a-testlib");
  for (const char* name : {"tarnwick-kattis", "run-testlib", "checker-cms", "judge-domjudge",
                           "a-testlib/checker"}) {
    fs::create_symlink(TARNWICK_CHECKER, s.dir() / name);
  }
  auto as = [&](const char* name) { return (s.dir() / name).string(); };
  EXPECT_EQ(run_piped(as("tarnwick-kattis"), {in, ans, s.dir().string()}, team, s).status, 43);
  EXPECT_EQ(tarnwick_test::slurp(s.dir() / "teammessage.txt"), kWrong2);
  EXPECT_EQ(run_piped(as("judge-domjudge"), {in, ans, s.dir().string()}, team, s).status, 43);
  EXPECT_EQ(run_piped(as("run-testlib"), {in, ans, ans}, team, s).status, 0);
  EXPECT_EQ(run_piped(as("run-testlib"), {in, team, ans}, team, s).status, 1);
  EXPECT_EQ(run_piped(as("checker-cms"), {in, ans, team}, team, s).out, "0.0\n");
  // Only the program's own name counts, not its folder's; the plain name needs a flag.
  EXPECT_EQ(run_piped(as("a-testlib/checker"), {in, ans, ans}, team, s).status, 1);
  EXPECT_EQ(run_piped(TARNWICK_CHECKER, {in, ans, ans}, team, s).status, 1);
}

TEST(KattisValidator, TeamOutputThroughAPipeIsExplainedToo) {
  // The team output is weighed as it is judged, once: a pipe gets the same
  // account as a file.
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n");
  std::string ans = s.file("case.ans", kModel), team = s.file("team.out", "1\n1 2\n1 3\n");
  fs::path fb = s.dir() / "feedback";
  fs::create_directory(fb);
  std::string command = "cat '" + team + "' | '" + TARNWICK_CHECKER + "' --kattis '" + in +
                        "' '" + ans + "' '" + fb.string() + "'";
  Outcome o = tarnwick_test::run_program("/bin/sh", {"-c", command}, s);
  EXPECT_EQ(o.status, 43);
  EXPECT_EQ(feedback(fb / "judgemessage.txt"), kExplainedWrong3);
  EXPECT_EQ(feedback(fb / "teammessage.txt"), kWrong3);
}

// An endless team output wrong at line 2 is judged and explained without
// reading it to its end (under timeout(1): reading on fails the test).
TEST(KattisValidator, EndlessTeamOutputIsJudgedOnceTheVerdictStands) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel);
  fs::path fb = s.dir() / "feedback";
  fs::create_directory(fb);
  std::string command = "yes 1 | timeout 20 '" + std::string(TARNWICK_CHECKER) + "' --kattis '" +
                        in + "' '" + ans + "' '" + fb.string() + "'";
  Outcome o = tarnwick_test::run_program("/bin/sh", {"-c", command}, s);
  EXPECT_EQ(o.status, 43);
  EXPECT_EQ(feedback(fb / "teammessage.txt").substr(0, 28), "Wrong answer in path 1 to 2\n");
}

TEST(KattisValidator, FeedbackThatCannotBeWrittenIsAJudgeError) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel);
  std::string missing = (s.dir() / "missing").string();
  Outcome o = run_piped(TARNWICK_CHECKER, {"--kattis", in, ans, missing}, ans, s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err,
            "tarnwick-checker: " + missing + "/judgemessage.txt: No such file or directory\n");
  o = run_piped(TARNWICK_CHECKER, {"--kattis", in, ans, s.dir().string()}, s.dir().string(), s);
  EXPECT_EQ(o.status, 2) << "standard input is a folder";
  EXPECT_EQ(o.err, "tarnwick-checker: standard input: Is a directory\n");
}

// Standard input that came closed is no team output: the input file opened
// first must not take its number and be read again as an empty output.
TEST(KattisValidator, ClosedStandardInputIsAJudgeError) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel);
  Outcome o = run_piped(TARNWICK_CHECKER, {"--kattis", in, ans, s.dir().string()}, "", s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "tarnwick-checker: standard input: Bad file descriptor\n");
  EXPECT_EQ(feedback(s.dir() / "judgemessage.txt"),
            "judge error: standard input: Bad file descriptor\n");
}

// A feedback or result file left behind as a FIFO is refused at once, never
// waited on; when teammessage.txt is the one refused, judgemessage.txt says why.
TEST(CheckerCommandLine, OutputFileThatIsAFifoIsRefusedWithoutWaiting) {
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", kModel);
  fs::path fb = s.dir() / "feedback", res = s.dir() / "result";
  fs::create_directory(fb);
  ASSERT_EQ(mkfifo((fb / "teammessage.txt").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(res.c_str(), 0644), 0);
  const std::string team_fifo = (fb / "teammessage.txt").string();
  // Under timeout(1): a checker that waits fails the test instead of hanging it.
  Outcome o = run_piped("/usr/bin/timeout", {"20", TARNWICK_CHECKER, "--kattis", in, ans, fb.string()},
                        ans, s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, kMe + team_fifo + ": not a regular file\n");
  EXPECT_EQ(feedback(fb / "judgemessage.txt"),
            "judge error: " + team_fifo + ": not a regular file\n");
  fs::remove(fb / "teammessage.txt");
  fs::remove(fb / "judgemessage.txt");
  ASSERT_EQ(mkfifo((fb / "judgemessage.txt").c_str(), 0644), 0);
  o = run_piped("/usr/bin/timeout", {"20", TARNWICK_CHECKER, "--kattis", in, ans, fb.string()}, ans,
                s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, kMe + (fb / "judgemessage.txt").string() + ": not a regular file\n");
  o = tarnwick_test::run_program(
      "/usr/bin/timeout", {"20", TARNWICK_CHECKER, "--testlib", in, ans, ans, res.string()}, s);
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, "FAIL " + res.string() + ": not a regular file\n");
}

// Returns true when `line` is a message CMS takes (cms/grading/steps/trusted.py,
// extract_outcome_and_text and _sanitize_message, and the '%' formatting of
// older releases): stripped, none of the characters U+0000..U+0008,
// U+000A..U+001F, U+007F..U+00BF, and no '%'.
bool cms_takes(std::string line) {
  line.erase(0, line.find_first_not_of(" \t\r\v\f"));
  line.erase(line.find_last_not_of(" \t\r\v\f") + 1);
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = line[i], next = i + 1 < line.size() ? line[i + 1] : 0;
    if ((c < 0x20 && c != '\t') || c == 0x7f || c == '%') return false;
    if (c == 0xc2 && next >= 0x80 && next <= 0xbf) return false;  // U+0080..U+00BF
  }
  return true;
}

// Whatever bytes a contestant writes, CMS can read the checker's streams: a
// float on the first line of standard output, valid UTF-8 on standard error
// whose first line it can show and whose further lines are for the judges.
// And testlib's -appes result file is always well-formed XML.
TEST(CheckerCommandLine, AnyContestantBytesMakeMessagesEverySystemTakes) {
  const bool xmllint = fs::exists("/usr/bin/xmllint");
  Scratch s;
  std::string in = s.file("case.in", std::string(kEdges) + "1\n"), ans = s.file("case.ans", "");
  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    std::string bytes = round % 2 == 0 ? "1\n1 " : "";
    for (int i = 0, size = random() % 200; i < size; ++i) bytes += static_cast<char>(random());
    if (round == 0) bytes = "1\n1 3\xff\n";
    if (round == 1) bytes = "1\n100% \xc2\xa0\xf0\x9f\x98\x80\x98\n";
    const std::string team = s.file("team.out", bytes), res = (s.dir() / "result").string();
    Outcome o = tarnwick_test::run_program(TARNWICK_CHECKER, {"--cms", in, ans, team}, s);
    ASSERT_EQ(o.status, 0) << tarnwick::hex(bytes);
    EXPECT_TRUE(o.out == "0.0\n" || o.out == "1.0\n") << o.out;
    EXPECT_TRUE(tarnwick::is_utf8(o.err)) << o.err;
    std::istringstream lines(o.err);
    std::string line;
    std::getline(lines, line);
    EXPECT_TRUE(cms_takes(line)) << line;
    while (std::getline(lines, line)) {
      EXPECT_EQ(line.rfind("ADMIN_MESSAGE: ", 0), 0u) << line;
      EXPECT_TRUE(cms_takes(line)) << line;
    }
    o = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", in, team, ans, res, "-appes"}, s);
    EXPECT_TRUE(o.status == 0 || o.status == 1) << o.status;
    if (!xmllint) continue;
    o = tarnwick_test::run_program("/usr/bin/xmllint", {"--noout", res}, s);
    EXPECT_EQ(o.status, 0) << o.err << tarnwick_test::slurp(res);
  }
  if (!xmllint) GTEST_SKIP() << "no xmllint (libxml2-utils): the XML was not parsed";
}

// A test whose exact pass needs more memory than the process may have is a
// judge error told the system's way, never a crash (the grader's refusal too).
TEST(CheckerCommandLine, OutOfMemoryIsAJudgeErrorNotACrash) {
#if defined(TARNWICK_UNDER_ASAN)
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  if (!fs::exists("/usr/bin/prlimit")) GTEST_SKIP() << "no prlimit (util-linux)";
  Scratch s;
  std::string in = s.file("case.in", "10009 1\n1 2 -1\n1\n"), ans = s.file("case.ans", "1\n");
  fs::path fb = s.dir() / "feedback";
  fs::create_directory(fb);
  auto limited = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "--as=" + std::to_string(64L << 20));
    return run_piped("/usr/bin/prlimit", args, ans, s);
  };
  Outcome o = limited({TARNWICK_CHECKER, "--kattis", in, ans, fb.string()});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "tarnwick-checker: out of memory\n");
  EXPECT_EQ(feedback(fb / "judgemessage.txt"), "judge error: out of memory\n");
  o = limited({TARNWICK_CHECKER, "--testlib", in, ans, ans});
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, "FAIL out of memory\n");
  o = limited({TARNWICK_CHECKER, "--cms", in, ans, ans});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "tarnwick-checker: out of memory\n");
  EXPECT_EQ(o.out, "");
  o = limited({TARNWICK_GRADE, in, "1", ans});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "tarnwick-grade: out of memory\n");
  EXPECT_EQ(o.out, "");
}

TEST(CheckerCommandLine, WrongUseNeverLooksLikeAVerdict) {
  const std::string usage =
      "Usage: tarnwick-checker --kattis input_file answer_file feedback_dir [--source S] "
      "< team_output\n"
      "       tarnwick-checker --testlib input_file output_file answer_file [result_file "
      "[-appes]] [--source S] [--judge-details]\n"
      "       tarnwick-checker --cms input_file correct_output contestant_output [--source S]\n";
  struct Case {
    std::vector<std::string> args;
    int status;  // 3: testlib's one line "FAIL reason"; else the reason and the usage
    std::string why;
  };
  const std::string kattis = "a Kattis validator takes input_file answer_file feedback_dir";
  const std::string testlib =
      "a testlib checker takes input_file output_file answer_file [result_file [-appes]]";
  const Case cases[] = {
      {{"a", "b", "c"}, 1, "no judging system: give --kattis, --testlib or --cms"},
      {{"--kattis", "a", "b"}, 1, kattis},
      {{"--kattis", "a", "b", "c", "d"}, 1, kattis},
      // Not "/": the feedback would land in the root folder.
      {{"--kattis", "a", "b", ""}, 1, "feedback_dir is an empty path"},
      {{"--cms", "a", "b"}, 1, "a CMS checker takes input_file correct_output contestant_output"},
      {{"--cms", "a", "b", "c", "--judge-details"}, 1,
       "--judge-details: CMS shows the checker's message to contestants"},
      {{"--testlib", "a", "b"}, 3, testlib},
      {{"--testlib", "a", "b", "c", "d", "-appes", "f"}, 3, testlib},
      {{"--testlib", "a", "b", "c", "d", "-xml"}, 3, "unknown option '-xml'"},
      {{"--testlib", "a", "b", "c", "d", "--", "-xml"}, 3, "after result_file comes -appes or -APPES, not '-xml'"},
      {{"--testlib", "a", "b", "c", "--testset"}, 3, "--testset needs a test set name"},
      {{"--testlib", "a", "b", "c", "--testset", ""}, 3, "--testset needs a test set name"},
      {{"--testlib", "a", "b", "c", "--group"}, 3, "--group needs a group"},
      {{"--testlib", "a", "b", "c", "--case_sensitive"}, 3, "unknown option '--case_sensitive'"},
      // Told the way of the last system named: 3 is a judge error for both.
      {{"--kattis", "--testlib", "a", "b", "c"}, 3, "more than one judging system given"},
  };
  Scratch s;
  for (const Case& c : cases) {
    Outcome o = tarnwick_test::run_program(TARNWICK_CHECKER, c.args, s);
    EXPECT_EQ(o.status, c.status) << c.why;
    EXPECT_EQ(o.err, c.status == 3 ? "FAIL " + c.why + "\n" : "tarnwick-checker: " + c.why + "\n" + usage);
  }
  Outcome help = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", "--help"}, s);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind(usage, 0), 0u);
  EXPECT_EQ(tarnwick_test::run_program(TARNWICK_CHECKER, {"--version"}, s).out,
            "tarnwick-checker 0.1.0\n");
}

// An edge list cut by a number too large for 32 bits carries no source: the
// numbers after it are not read as one, in any system.
TEST(CheckerCommandLine, EdgeCutByAHugeNumberCarriesNoSource) {
  Scratch s;
  const std::string input = s.file("t.in", "3 2\n1 2 4\n2 3 99999999999\n1\n");
  const std::string ans = s.file("t.ans", ""), team = s.file("team", "1\n1 2\n");
  const std::string why = input +
                          ": no source vertex after the m-th edge (the edge list ends after 1 of 2 "
                          "edges: edge 2 meets a number too large for 32 bits)";
  Outcome k = run_piped(TARNWICK_CHECKER, {"--kattis", input, ans, s.dir().string()}, team, s);
  EXPECT_EQ(k.status, 2);
  EXPECT_EQ(k.err, "tarnwick-checker: " + why + "\n");
  EXPECT_EQ(feedback(s.dir() / "judgemessage.txt"), "judge error: " + why + "\n");
  Outcome t = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", input, team, ans}, s);
  EXPECT_EQ(t.status, 3);
  EXPECT_EQ(t.err, "FAIL " + why + "\n");
  Outcome c = tarnwick_test::run_program(TARNWICK_CHECKER, {"--cms", input, ans, team}, s);
  EXPECT_EQ(c.status, 2);
  EXPECT_EQ(c.out, "");
}

// A carried source that is not a whole number ("1e3") is a broken test, not source 1.
TEST(CheckerCommandLine, CarriedSourceThatIsNotAWholeNumber) {
  Scratch s;
  const std::string input = s.file("t.in", "2 1\n1 2 3\n1e3\n"), ans = s.file("t.ans", "1\n2\n");
  Outcome t = tarnwick_test::run_program(TARNWICK_CHECKER, {"--testlib", input, ans, ans}, s);
  EXPECT_EQ(t.status, 3);
  EXPECT_EQ(t.err, "FAIL " + input + ": the source vertex after the m-th edge is not a whole number\n");
  Outcome flagged = tarnwick_test::run_program(TARNWICK_CHECKER,
                                               {"--testlib", input, ans, ans, "--source", "1"}, s);
  EXPECT_EQ(flagged.status, 0) << flagged.err;  // a flag wins: what follows the edges is not read
}

TEST(CheckerCommandLine, SourceFlagAndName) {
  struct Case {
    const char* text;
    bool ok;
    int32_t source;
  };
  for (const Case& c : {Case{"1", true, 1}, Case{"10009", true, 10009}, Case{" 7", true, 7},
                        Case{"0", true, 0}, Case{"10010", false, 0}, Case{"-1", false, 0},
                        Case{"1x", false, 0}, Case{"x", false, 0}, Case{"", false, 0},
                        Case{"99999999999", false, 0}}) {
    int32_t source = -5;
    std::string why;
    EXPECT_EQ(parse_source_flag(c.text, &source, &why), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(source, c.source) << c.text;
    }
  }
}

}  // namespace
}  // namespace tarnwick
