// tarnwick-grade: its records, escaped for scripts; its command line; and the
// same verdict for every file as a separate run of the judge.
#include "grade/grade.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/escape.h"
#include "tests/cli_support.h"
#include "grade/report.h"
#include "grade/testset.h"

namespace tarnwick {
namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;

Outcome grade(const std::vector<std::string>& args, const Scratch& scratch) {
  return tarnwick_test::run_program(TARNWICK_GRADE, args, scratch);
}

TEST(GradeFormat, RecordsInEachFormat) {
  Graded wrong{"r,1", true, {Verdict::kWrongAnswer, 4, 7}, ""};
  Graded missing{"m\xff", false, {}, "No such file or directory"};
  Graded empty{"e", true, {Verdict::kEmptyFile, 4, 1}, ""};
  EXPECT_EQ(format_record(Format::kText, wrong), "r,1\tWrong answer in path 4 to 7\n");
  EXPECT_EQ(format_record(Format::kText, missing),
            "m\\xff\tnot judged: No such file or directory\n");
  EXPECT_EQ(format_record(Format::kCsv, wrong), "\"r,1\",Wrong answer in path 4 to 7,7,true,,\n");
  EXPECT_EQ(format_record(Format::kCsv, empty), "e,Empty file,,true,,\n");
  // The csv stays valid UTF-8 (Python's csv reader decodes the whole file); path_bytes is exact.
  EXPECT_EQ(format_record(Format::kCsv, missing),
            "m\\xff,not judged: No such file or directory,,false,6dff,\n");
  // A line end and a backslash followed by n read back differently.
  Graded two_lines{"a\nb", true, {}, ""}, backslash_n{"a\\nb", true, {}, ""};
  EXPECT_EQ(format_record(Format::kText, two_lines), "a\\nb\tEmpty file\n");
  EXPECT_EQ(format_record(Format::kText, backslash_n), "a\\\\nb\tEmpty file\n");
  RecordPlace place{"subs/ada", "t,1", 2500};
  EXPECT_EQ(format_record(Format::kText, wrong, &place), "r,1\tt,1\tWrong answer in path 4 to 7\n");
  EXPECT_EQ(format_record(Format::kCsv, wrong, &place),
            "subs/ada,\"t,1\",\"r,1\",Wrong answer in path 4 to 7,7,true,2.5,,\n");
  EXPECT_EQ(format_record(Format::kJsonl, empty, &place),
            "{\"submission\":\"subs/ada\",\"test\":\"t,1\",\"path\":\"e\",\"verdict\":\"Empty file\","
            "\"line\":null,\"judged\":true,\"points\":2.5}\n");
  EXPECT_EQ(format_record(Format::kJsonl, missing),
            "{\"path\":\"m\\\\xff\",\"path_bytes\":\"6dff\","
            "\"verdict\":\"not judged: No such file or directory\","
            "\"line\":null,\"judged\":false}\n");
  EXPECT_EQ(format_record(Format::kJsonl, wrong),
            "{\"path\":\"r,1\",\"verdict\":\"Wrong answer in path 4 to 7\",\"line\":7,"
            "\"judged\":true}\n");
  // A trap that decided a wrong answer follows the verdict in every record.
  Graded trapped = wrong;
  trapped.note = "the file ends with an empty line: line 7 is judged";
  EXPECT_EQ(format_record(Format::kText, trapped),
            "r,1\tWrong answer in path 4 to 7\tnote: the file ends with an empty line: line 7 is "
            "judged\n");
  EXPECT_EQ(format_record(Format::kCsv, trapped),
            "\"r,1\",Wrong answer in path 4 to 7,7,true,,the file ends with an empty line: line 7 "
            "is judged\n");
  EXPECT_EQ(format_record(Format::kJsonl, trapped),
            "{\"path\":\"r,1\",\"verdict\":\"Wrong answer in path 4 to 7\",\"line\":7,"
            "\"judged\":true,\"note\":\"the file ends with an empty line: line 7 is judged\"}\n");
  Tally t;
  for (const Graded* g : {&wrong, &missing, &empty, &empty}) t.add(*g);
  EXPECT_EQ(t.summary(), "4 files: 0 succeeded, 1 wrong, 2 empty, 1 not judged");
}

constexpr char kGraph[] = "3 3\n1 2 4\n2 3 1\n1 3 7\n";

TEST(GradeCli, GoldenRuns) {
  Scratch s;
  std::string g = s.file("graph", kGraph), right = s.file("right", "1\n1 2\n1 2 3\n"),
              wrong = s.file("wrong", "1\n1 2\n1 3\n"), empty = s.file("empty", ""),
              odd = s.file("a,\"b\"\n\t\xff", "1\n1 2\n1 2 3\n");
  std::string missing = (s.dir() / "missing").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const std::string usage =
      "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
      "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n";
  const std::string P = s.dir().string() + "/";
  const Case cases[] = {
      {{g, "1", right, wrong, empty}, 0,
       P + "right\tSuccess\n" + P + "wrong\tWrong answer in path 1 to 3\n" + P +
           "empty\tEmpty file\n",
       "tarnwick-grade: 3 files: 1 succeeded, 1 wrong, 1 empty, 0 not judged\n"},
      {{"--format=csv", g, "1", odd, missing, "--", right}, 2,
       "path,verdict,line,judged,path_bytes,note\n\"" + P + "a,\"\"b\"\"\n\t\\xff\",Success,,true," +
           hex(odd) + ",\n" + P + "missing,not judged: No such file or directory,,false,,\n" + P +
           "right,Success,,true,,\n",
       "tarnwick-grade: 3 files: 2 succeeded, 0 wrong, 0 empty, 1 not judged\n"},
      {{g, "1", P}, 2, P + "\tnot judged: Is a directory\n",
       "tarnwick-grade: 1 file: 0 succeeded, 0 wrong, 0 empty, 1 not judged\n"},
      {{g, "2", odd}, 0, P + "a,\"b\"\\n\\t\\xff\tWrong answer in path 2 to 2\n",
       "tarnwick-grade: 1 file: 0 succeeded, 1 wrong, 0 empty, 0 not judged\n"},
      {{g, "2x", odd}, 1, "",
       "tarnwick-grade: source vertex id '2x' is not a whole number (the judge would read it as 2)\n" +
           usage},
      {{g, "x", odd}, 1, "",
       "tarnwick-grade: source vertex id 'x' is not a whole number (the judge would read it as 0)\n" +
           usage},
      {{s.file("cut", "3 3\n1 2 4\n2 3"), "1", right}, 0,
       P + "right\tWrong answer in path 1 to 3\n",
       "tarnwick-grade: " + P +
           "cut: warning: the edge list ends after 1 of 3 edges: edge 2 meets the end of the file\n"
           "tarnwick-grade: 1 file: 0 succeeded, 1 wrong, 0 empty, 0 not judged\n"},
      {{g, "0", right}, 0, P + "right\tWrong answer in path 0 to 2\n",
       "tarnwick-grade: warning: source 0 is not a vertex of the graph (1..3): lines are "
       "compared with its direct weights\n"
       "tarnwick-grade: 1 file: 0 succeeded, 1 wrong, 0 empty, 0 not judged\n"},
      {{g, "10010", right}, 2, "",
       "tarnwick-grade: source vertex id '10010' is outside 0..10009\n"},
      {{missing, "1", right}, 2, "",
       "tarnwick-grade: " + P + "missing: No such file or directory\n"},
      {{s.file("big", "10010 0\n"), "1", right}, 2, "",
       "tarnwick-grade: " + P + "big: the vertex count is too large: at most 10009 vertices fit\n"},
      {{g, "1"}, 1, "",
       "tarnwick-grade: a graph, a source and at least one result file are needed\n" + usage},
      {{"--format=xml", g, "1", right}, 1, "",
       "tarnwick-grade: unknown format 'xml' (text, csv, jsonl, gradescope, junit or html)\n" + usage},
      // The largest cap taken is 2^62 bytes, 4294967296G; one more is refused.
      {{"--max-result-bytes", "4294967296G", g, "1", right}, 0, P + "right\tSuccess\n",
       "tarnwick-grade: 1 file: 1 succeeded, 0 wrong, 0 empty, 0 not judged\n"},
      {{"--max-result-bytes", "4294967297G", g, "1", right}, 1, "",
       "tarnwick-grade: --max-result-bytes '4294967297G' is not a byte count (digits, then K, M "
       "or G)\n" + usage},
      // 2^34 G is 2^64 bytes: refused, not wrapped to a cap of 0.
      {{"--max-result-bytes", "17179869184G", g, "1", right}, 1, "",
       "tarnwick-grade: --max-result-bytes '17179869184G' is not a byte count (digits, then K, M "
       "or G)\n" + usage},
      {{"--fast", g, "1", right}, 1, "", "tarnwick-grade: unknown option '--fast'\n" + usage},
      {{"--version"}, 0, "tarnwick-grade 0.1.0\n", ""},
  };
  for (const Case& c : cases) {
    Outcome o = grade(c.args, s);
    EXPECT_EQ(o.status, c.status) << c.args[0];
    EXPECT_EQ(o.out, c.out) << c.args[0];
    EXPECT_EQ(o.err, c.err) << c.args[0];
  }
  EXPECT_EQ(grade({"--help"}, s).out.rfind(usage, 0), 0u);
}

TEST(GradeCli, JsonLinesForAnOddPath) {
  Scratch s;
  std::string g = s.file("graph", kGraph), odd = s.file("q\"\n\xff", "1\n1 3\n");
  Outcome o = grade({"--format=jsonl", g, "1", odd}, s);
  EXPECT_EQ(o.status, 0);
  std::string path = json_string(exact_text(odd)), bytes;
  for (unsigned char c : odd) {
    bytes += "0123456789abcdef"[c >> 4];
    bytes += "0123456789abcdef"[c & 15];
  }
  EXPECT_EQ(o.out, "{\"path\":" + path + ",\"path_bytes\":\"" + bytes +
                       "\",\"verdict\":\"Wrong answer in path 1 to 2\",\"line\":2,"
                       "\"judged\":true}\n");
  EXPECT_NE(path.find("\\\"\\u000a\\\\xff"), std::string::npos);
}

// Random graphs, some with negative weights, self-loops, vertices outside 1..n
// or a cut edge list.
std::string random_graph(std::mt19937& rng, int* n) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  *n = pick(1, 25);
  int m = pick(0, 3 * *n), low = pick(0, 3) == 0 ? -6 : 0, high = pick(0, 3) == 0 ? INF + 5 : 30;
  std::string text = std::to_string(*n) + " " + std::to_string(m) + "\n";
  for (int e = 0; e < m; ++e) {
    text += std::to_string(pick(pick(0, 9) == 0 ? 0 : 1, *n + (pick(0, 9) == 0 ? 2 : 0))) + " " +
            std::to_string(pick(1, *n)) + " " + std::to_string(pick(low, high)) + "\n";
  }
  if (pick(0, 7) == 0) text.resize(text.size() * 2 / 3);
  return text;
}

// Submissions for a graph: the model answer (when the solver writes one) and
// mutations of it, random paths, and files the judge cannot read.
std::vector<std::string> submissions(std::mt19937& rng, const std::string& model, int n) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<std::string> out = {model, "", model + "\n", model + " 1\n"};
  std::string crlf = tarnwick_test::replace_all(model, "\n", " \r\n");
  out.push_back(crlf);
  for (int i = 0; i < 6; ++i) {
    // Cut short anywhere, or a line slipped in there.
    std::string cut = model.substr(0, pick(0, static_cast<int>(model.size())));
    bool slip = pick(0, 1) == 0;
    std::string slipped = cut + std::to_string(pick(0, n + 1)) + " x\n" + model.substr(cut.size());
    out.push_back(slip ? slipped : cut);
  }
  for (int i = 0; i < 3; ++i) {
    std::string r;
    for (int line = pick(0, n + 2); line > 0; --line) {
      for (int ids = pick(0, 4); ids > 0; --ids) r += std::to_string(pick(-1, n + 1)) + " ";
      r += "\n";
    }
    out.push_back(r);
  }
  return out;
}

// Returns what tarnwick-grade should print for a file, from a run of the judge.
std::string judge_says(const std::string& graph, const std::string& path, const std::string& source,
                       const Scratch& s) {
  Outcome o = tarnwick_test::run_judge({graph, path, source}, s);
  if (o.status == 0) return path + "\t" + o.out;
  std::string prefix = "tarnwick: " + path + ": ";
  EXPECT_EQ(o.err.rfind(prefix, 0), 0u) << o.err;
  return path + "\tnot judged: " + o.err.substr(prefix.size());
}

// Returns grading text without the traps told after verdicts.
std::string without_traps(const std::string& text) {
  return std::regex_replace(text, std::regex("\tnote: [^\n]*"), "");
}

// Returns how many times `what` occurs in text.
int count(const std::string& text, const std::string& what) {
  int found = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++found;
  return found;
}

TEST(GradeCli, SameVerdictAsTheJudgeOnRandomCases) {
  std::mt19937 rng(20261208);
  Scratch s;
  int compared = 0, succeeded = 0, wrong = 0, traps = 0;
  for (int round = 0; round < 40; ++round) {
    int n = 0;
    std::string graph = s.file("graph", random_graph(rng, &n));
    std::string source = std::to_string(std::uniform_int_distribution<int>(0, n + 2)(rng));
    Outcome model = tarnwick_test::run_program(TARNWICK_SOLVE, {graph, source}, s);
    // A source that is not a vertex is compared with its direct weights, which
    // line k = "k" weighs exactly.
    std::string direct;
    for (int k = 1; k <= n; ++k) direct += std::to_string(k) + "\n";
    std::vector<std::string> texts = submissions(rng, model.status == 0 ? model.out : direct, n);
    std::vector<std::string> args = {graph, source};
    for (size_t i = 0; i < texts.size(); ++i) {
      args.push_back(s.file(std::to_string(i) + ".result", texts[i]));
    }
    args.push_back((s.dir() / "missing").string());
    args.push_back(s.dir().string());
    std::string expected;
    for (size_t i = 2; i < args.size(); ++i) expected += judge_says(graph, args[i], source, s);
    Outcome o = grade(args, s);
    EXPECT_EQ(o.status, 2);
    // The verdicts are the judge's; a trap that decided one is told after it.
    traps += count(o.out, "\tnote: ");
    EXPECT_EQ(without_traps(o.out), expected) << "graph:\n" << tarnwick_test::slurp(graph) << "source " << source;
    compared += static_cast<int>(args.size()) - 2;
    succeeded += count(o.out, "\tSuccess\n");
    wrong += count(o.out, "\tWrong answer");
  }
  EXPECT_GT(compared, 500);
  EXPECT_GT(succeeded, compared / 6) << "too few accepted files to compare";
  EXPECT_GT(wrong, compared / 6) << "too few wrong files to compare";
  EXPECT_GT(traps, 20) << "a right file with one more line end falls into a trap each round";
}

// --help and --version that cannot be written say why, as every refusal does.
TEST(GradeCli, HelpThatCannotBeWrittenSaysWhy) {
  Scratch s;
  for (std::string tool : {TARNWICK_GRADE, TARNWICK_CHECKER, TARNWICK_SOLVE}) {
    std::string name = tool.substr(tool.rfind('/') + 1);
    for (const char* flag : {"--help", "--version"}) {
      Outcome o = tarnwick_test::run_program("/bin/sh", {"-c", tool + " " + flag + " >/dev/full"}, s);
      EXPECT_EQ(o.status, 2) << name << flag;
      EXPECT_EQ(o.err, name + ": standard output: No space left on device\n") << name << flag;
    }
  }
}

// A FIFO among the files (no program writing into it) must not stall the
// class: it holds nothing, and the files after it are judged.
TEST(GradeCli, FifoWithoutAWriterDoesNotStallTheClass) {
  if (!std::filesystem::exists("/usr/bin/timeout")) GTEST_SKIP() << "no timeout (coreutils)";
  Scratch s;
  std::string g = s.file("graph", kGraph), right = s.file("right", "1\n1 2\n1 2 3\n");
  std::string fifo = (s.dir() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Outcome o = tarnwick_test::run_program("/usr/bin/timeout", {"10", TARNWICK_GRADE, g, "1", fifo, right}, s);
  EXPECT_EQ(o.status, 0) << "124: stalled";
  EXPECT_EQ(o.out, fifo + "\tEmpty file\n" + right + "\tSuccess\n");
}

// Gradescope's student text weighs a wrong file again, but a FIFO is never
// opened twice: its verdict alone is shown, and the grader does not stall.
TEST(GradeCli, GradescopeDoesNotOpenAFifoTwice) {
  if (!std::filesystem::exists("/usr/bin/timeout")) GTEST_SKIP() << "no timeout (coreutils)";
  Scratch s;
  std::filesystem::create_directories(s.dir() / "data");
  std::filesystem::create_directories(s.dir() / "sub");
  s.file("data/t1.in", std::string(kGraph) + "1\n");
  const std::string data = (s.dir() / "data").string(), sub = (s.dir() / "sub").string();
  ASSERT_EQ(mkfifo((sub + "/t1.out").c_str(), 0600), 0);
  // One writer: it opens the FIFO once, writes a wrong answer and closes it.
  const std::string script = "printf '1\\n1 3\\n' > " + sub + "/t1.out & /usr/bin/timeout 10 " +
                             TARNWICK_GRADE + " --testset " + data + " --format=gradescope " + sub;
  Outcome o = tarnwick_test::run_program("/bin/sh", {"-c", script}, s);
  EXPECT_EQ(o.status, 0) << "124: stalled; " << o.err;
  EXPECT_NE(o.out.find("\"output\": \"Wrong answer in path 1 to 2\""), std::string::npos) << o.out;
}

// Where no thread can start (an address-space or thread limit), the files are
// judged all the same, as the judge judges one under the same limit.
TEST(GradeCli, JudgesWhereNoThreadCanStart) {
#if defined(TARNWICK_UNDER_ASAN)
  GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit";
#endif
  if (!std::filesystem::exists("/usr/bin/prlimit")) GTEST_SKIP() << "no prlimit (util-linux)";
  Scratch s;
  std::string g = s.file("graph", kGraph), right = s.file("right", "1\n1 2\n1 2 3\n"),
              wrong = s.file("wrong", "1\n1 3\n");
  // Room for the judge and a read buffer, not for a thread's stack.
  std::vector<std::string> limited = {"--as=" + std::to_string(12L << 20), TARNWICK_GRADE, g, "1",
                                      right, wrong, right};
  Outcome judge = tarnwick_test::run_program("/usr/bin/prlimit",
                                             {limited[0], TARNWICK_BINARY, g, right, "1"}, s);
  ASSERT_EQ(judge.out, "Success\n") << "the limit leaves no room for the judge: " << judge.err;
  Outcome o = tarnwick_test::run_program("/usr/bin/prlimit", limited, s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, right + "\tSuccess\n" + wrong + "\tWrong answer in path 1 to 2\n" + right +
                       "\tSuccess\n");
}

TEST(GradeAll, KeepsTheOrderOnManyThreads) {
  Graph g;
  g.n = 3;
  std::vector<std::string> paths;
  for (int i = 0; i < 200; ++i) paths.push_back("/nonexistent/" + std::to_string(i));
  std::vector<std::string> seen;
  Case judging;
  GraphFile file;
  file.assign("3 0\n");
  std::string why;
  ASSERT_TRUE(judging.make(file, "g", SourceGiven::argument("1"), {}, &why)) << why;
  grade_all(paths, judging, {8}, [&](const Graded& graded) { seen.push_back(graded.path); });
  EXPECT_EQ(seen, paths);
}

TEST(Testset, NamesSortNaturally) {
  std::vector<std::string> names = {"10", "b", "2", "a10", "01", "1", "a2", "a", "\xff"};
  std::sort(names.begin(), names.end(), natural_less);
  EXPECT_EQ(names, (std::vector<std::string>{"1", "01", "2", "10", "a", "a2", "a10", "b", "\xff"}));
  EXPECT_EQ(output_path("subs/ada", "{name}.out", "t1"), "subs/ada/t1.out");
  EXPECT_EQ(output_path("subs/ada/", "out/{name}-{name}.txt", "2"), "subs/ada/out/2-2.txt");
  EXPECT_EQ(milli_text(7500), "7.5");
  EXPECT_EQ(milli_text(250), "0.25");
  EXPECT_EQ(milli_text(3000), "3");
  EXPECT_EQ(milli_text(1000000001), "1000000.001");
}

TEST(Testset, PointsFile) {
  struct Case {
    std::string text;
    std::string why;                   // "" when the file is right
    std::vector<int64_t> milli = {};  // then the weights of tests a, b, c
    std::vector<std::string> visibility = {"", "", ""};  // and their visibilities
  };
  const Case cases[] = {
      {"a 1\nb 2\nc 3\n", "", {1000, 2000, 3000}},
      {"# weights\n\n  c 0.125\r\n\tb\t0\na 1000000", "", {1000000000, 0, 125}},
      {"a 1\nb 2\n", "P: no points for test 'c'"},
      {"a 1\nb 2\nc 3\nd 4\n", "P:4: no test 'd' (no d.in)"},
      {"a 1\nb 2\na 3\n", "P:3: test 'a' is given points twice"},
      {"a 1 visible\nb 2 after_due_date\nc 3\n", "", {1000, 2000, 3000}, {"visible", "after_due_date", ""}},
      {"a 1 public\n", "P:1: visibility 'public' is none of visible, hidden, after_due_date, after_published"},
      {"a 1 hidden x\n", "P:1: expected \"NAME POINTS [VISIBILITY]\", got 4 fields"},
      {"a\n", "P:1: expected \"NAME POINTS [VISIBILITY]\", got 1 fields"},
      {"a 1.2345\n", "P:1: points '1.2345' are not a number from 0 to 1000000 with at most 3 decimals"},
      {"a -1\n", "P:1: points '-1' are not a number from 0 to 1000000 with at most 3 decimals"},
      {"a 1e3\n", "P:1: points '1e3' are not a number from 0 to 1000000 with at most 3 decimals"},
      {"a .5\n", "P:1: points '.5' are not a number from 0 to 1000000 with at most 3 decimals"},
      {"a 1.5x\n", "P:1: points '1.5x' are not a number from 0 to 1000000 with at most 3 decimals"},
      {"a 1000000.001\n", "P:1: points '1000000.001' are not a number from 0 to 1000000 with at most 3 decimals"},
  };
  for (const Case& c : cases) {
    TestSet set;
    set.tests = {{"a"}, {"b"}, {"c"}};
    std::string why;
    EXPECT_EQ(parse_points(c.text, "P", &set, &why), c.why.empty()) << c.text;
    EXPECT_EQ(why, c.why) << c.text;
    if (!c.why.empty()) continue;
    EXPECT_TRUE(set.weighted);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(set.tests[i].milli_points, c.milli[i]) << c.text;
      EXPECT_EQ(set.tests[i].visibility, c.visibility[i]) << c.text;
    }
  }
}

// A file called ".in" names no test; "x.in" that is a folder is no test either.
TEST(Testset, OnlyNamedRegularInputsAreTests) {
  Scratch s;
  std::filesystem::create_directories(s.dir() / "data" / "x.in");
  s.file("data/.in", "1 0\n1\n");
  s.file("data/1.in", "1 0\n1\n");
  TestSet set;
  std::string why;
  ASSERT_TRUE(load_testset((s.dir() / "data").string(), &set, &why)) << why;
  ASSERT_EQ(set.tests.size(), 1u);
  EXPECT_EQ(set.tests[0].name, "1");
}

// The histogram of first wrong lines keeps the lines past n in a bin of their own.
TEST(ClassReport, HistogramKeepsLinesPastTheVertices) {
  ClassResults r;
  r.set.tests = {{"t", 1000, 3}};
  r.submissions = {"a", "b"};
  r.results = {Graded{"a/t.out", true, {Verdict::kWrongAnswer, 1, 5}, ""},
               Graded{"b/t.out", true, {Verdict::kWrongAnswer, 1, 2}, ""}};
  const std::string html = html_report(r, 0);
  EXPECT_NE(html.find("<title>lines after 3: 1 wrong, 0 missing</title>"), std::string::npos);
  EXPECT_NE(html.find("<title>line 2: 1 wrong, 0 missing</title>"), std::string::npos);
  EXPECT_NE(html.find("&gt;3</text>"), std::string::npos);
}

// A class of two tests and two submissions made up in memory, graded at the
// start of 1970: one wrong at line 2 (with what the student is told), the
// other with an empty file and a missing one. `weight` is test 2's points.
ClassResults made_up_class(int64_t weight) {
  ClassResults r;
  r.set.dir = "data//";
  r.set.tests = {{"1", 1000, 3}, {"2", weight, 4}};
  r.submissions = {"subs/ada", "subs/bob"};
  Graded wrong{"subs/ada/1.out", true, {Verdict::kWrongAnswer, 1, 2}, ""};
  wrong.student = "Wrong answer in path 1 to 2\nLine 2 <as> the judge weighs it\n";
  r.results = {wrong, Graded{"subs/ada/2.out", true, {Verdict::kSuccess, 2, 0}, ""},
               Graded{"subs/bob/1.out", true, {Verdict::kEmptyFile, 1, 0}, ""},
               Graded{"subs/bob/2.out", false, {}, "missing"}};
  return r;
}

// The page in order: heading, summary, legend, the students' table (a cell
// opening what the student is told), then the tests; points only when weighed.
TEST(ClassReport, HtmlPinsItsParts) {
  struct Case {
    int64_t weight;
    std::vector<std::string> in_order, absent;
  };
  const std::string row_head = "<tr><td>subs/ada</td><td class=\"n\">1</td>";
  const std::string ada_1 =
      "<td class=\"o wrong\" data-v=\"2\" title=\"Wrong answer in path 1 to 2\"><details>"
      "<summary>line 2</summary><div class=\"why\"><b>subs/ada, test 1</b><pre>Wrong answer in "
      "path 1 to 2\nLine 2 &lt;as&gt; the judge weighs it\n</pre></div></details></td>";
  const std::vector<std::string> common = {
      "<title>Class report: data, 1970-01-01T00:00:00Z</title>",
      "<h1>Class report: <span id=\"testset\">data</span> <small>graded <time "
      "datetime=\"1970-01-01T00:00:00Z\">1970-01-01T00:00:00Z</time></small></h1>",
      "<p id=\"summary\">2 submissions x 2 tests: 1 succeeded, 1 wrong, 1 empty, 1 not judged; 0 "
      "of 2 passed every test"};
  const std::vector<std::string> table = {
      "<p class=\"legend\"><span class=\"o passed\">Success</span><span class=\"o wrong\">Wrong "
      "answer</span><span class=\"o wrong missing\">Wrong answer: a line missing</span><span "
      "class=\"o empty\">Empty file</span><span class=\"o notjudged\">not judged or "
      "missing</span></p>",
      "<table id=\"students\"><thead><tr><th>Submission</th><th>Passed (of 2)</th>"};
  const std::vector<std::string> tail = {
      "<td class=\"o empty\" data-v=\"1\" title=\"Empty file\"><details><summary>empty</summary>",
      "<td class=\"o notjudged\" data-v=\"0\" title=\"not judged: missing\"><details><summary>"
      "missing</summary><div class=\"why\"><b>subs/bob, test 2</b><pre>not judged: missing "
      "(2.out)</pre>",
      "</tbody></table>\n<h2>Tests</h2>",
      "<tr><th>1</th><td><div class=\"bar\"><span class=\"o wrong\" style=\"flex: 1\"></span><span "
      "class=\"o empty\" style=\"flex: 1\"></span></div></td><td>0 succeeded, 1 wrong, 1 empty, 0 "
      "not judged</td></tr>",
      "<rect class=\"o wrong\"", "Test 2: no wrong answers.", "<script>", "</body></html>\n"};
  auto with = [&](const std::string& summary_end, std::vector<std::string> middle) {
    std::vector<std::string> all = common;
    all.push_back(summary_end);
    all.insert(all.end(), table.begin(), table.end());
    all.insert(all.end(), middle.begin(), middle.end());
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  const Case cases[] = {
      {1000,
       with(".</p>",
            {"<th class=\"t\">1</th><th class=\"t\">2</th></tr></thead>", row_head + ada_1}),
       {"Points", "points", "id=\"programs\"", "compile error"}},
      {2500,
       with("; mean 1.25 of 3.5 points.</p>",
            {"<th>Points (of 3.5)</th><th class=\"t\">1</th>",
             row_head + "<td class=\"n\">2.5</td>" + ada_1}),
       {"id=\"programs\""}},
  };
  for (const Case& c : cases) {
    const std::string html = html_report(made_up_class(c.weight), 0);
    size_t at = 0;
    for (const std::string& part : c.in_order) {
      const size_t found = html.find(part, at);
      EXPECT_NE(found, std::string::npos) << c.weight << ": " << part << "\nnot after " << at
                                          << " in\n" << html;
      if (found != std::string::npos) at = found + part.size();
    }
    for (const std::string& part : c.absent) {
      EXPECT_EQ(html.find(part), std::string::npos) << c.weight << ": " << part;
    }
    // One page that fetches nothing.
    EXPECT_FALSE(std::regex_search(html, std::regex("https?://|(src|href)=", std::regex::icase)));
  }
}

// Every text on the page is escaped one way: markup as references, control
// characters as the text format writes them, and bytes that are no character
// a page may hold (not UTF-8, noncharacters such as U+FFFE, C1 controls) as \xNN.
TEST(ClassReport, HtmlEscapesEveryText) {
  struct Case {
    std::string name, shown;
    std::string pre = "";  // in a <pre>, when line ends are kept there
  };
  const Case cases[] = {
      {"<b>&\"x\"'", "&lt;b&gt;&amp;&quot;x&quot;&#39;"},
      {"a\xff" "b", "a\\xffb"},
      {"a\\xffb", "a\\\\xffb"},
      {"tab\tend\n", "tab\\tend\\n", "tab\\tend\n | tab\\tend\n"},
      {"\xef\xbf\xbe|\xef\xbf\xbf", "\\xef\\xbf\\xbe|\\xef\\xbf\\xbf"},
      {"\xef\xb7\x90\xf4\x8f\xbf\xbf", "\\xef\\xb7\\x90\\xf4\\x8f\\xbf\\xbf"},
      {"\xc2\x85", "\\xc2\\x85"},
      {"\xc0\xaf\xed\xa0\x80", "\\xc0\\xaf\\xed\\xa0\\x80"},
      {"\xe2\x80", "\\xe2\\x80"},
      {"caf\xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbd", "caf\xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbd"},
  };
  for (const Case& c : cases) {
    ClassResults r = made_up_class(1000);
    r.set.dir = c.name;
    r.set.tests[0].name = c.name;
    r.submissions[1] = c.name;
    r.results[2].path = c.name + "/1.out";
    r.results[0].student = c.name + " | " + c.name;
    const std::string pre = c.pre.empty() ? c.shown + " | " + c.shown : c.pre;
    const std::string html = html_report(r, 0);
    for (const std::string& part :
         {"<span id=\"testset\">" + c.shown + "</span>", "<th class=\"t\">" + c.shown + "</th>",
          "<tr><td>" + c.shown + "</td>", "<b>" + c.shown + ", test " + c.shown + "</b>",
          "<pre>" + pre + "</pre>"}) {
      EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    EXPECT_TRUE(is_utf8(html)) << c.shown;
    EXPECT_EQ(html.find("\xef\xbf\xbe"), std::string::npos) << c.shown;
    EXPECT_EQ(html.find("\xef\xbf\xbf"), std::string::npos) << c.shown;
  }
}

// A test set of two tests (the second weighted 2.5) and three submissions:
// all right; one wrong line and an empty file; nothing at all.
struct Class {
  Scratch s;
  std::string data = (s.dir() / "data").string(), subs = (s.dir() / "subs").string();
  Class() {
    std::filesystem::create_directories(s.dir() / "data");
    for (const char* who : {"ada", "bob", "cy"}) std::filesystem::create_directories(s.dir() / "subs" / who);
    s.file("data/t1.in", "3 3\n1 2 4\n2 3 1\n1 3 7\n1\n");
    s.file("data/t2.in", "4 3\n1 2 4\n2 3 1\n3 4 2\n2\n");
    s.file("data/points", "t1 1\nt2 2.5\n");
    s.file("subs/ada/t1.out", "1\n1 2\n1 2 3\n");
    s.file("subs/ada/t2.out", "2 1\n2\n3\n3 4\n");
    s.file("subs/bob/t1.out", "1\n1 3\n");
    s.file("subs/bob/t2.out", "");
  }
  std::string sub(const char* who) const { return subs + "/" + who; }
};

TEST(GradeTestset, GoldenRuns) {
  Class c;
  const std::string A = c.sub("ada"), B = c.sub("bob"), C = c.sub("cy"), D = c.data;
  const std::string usage =
      "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
      "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n";
  const std::string summary =
      "tarnwick-grade: 3 submissions x 2 tests: 2 succeeded, 1 wrong, 1 empty, 2 not judged; 1 of 3 "
      "passed every test; mean 1.167 of 3.5 points\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {{"--testset", D, A, B, C}, 2,
       A + "/t1.out\tt1\tSuccess\n" + A + "/t2.out\tt2\tSuccess\n" + B +
           "/t1.out\tt1\tWrong answer in path 1 to 2\n" + B + "/t2.out\tt2\tEmpty file\n" + C +
           "/t1.out\tt1\tnot judged: missing\n" + C + "/t2.out\tt2\tnot judged: missing\n" + A +
           "\t2 of 2 tests passed\t3.5 of 3.5 points\n" + B + "\t0 of 2 tests passed\t0 of 3.5 points\n" + C +
           "\t0 of 2 tests passed\t0 of 3.5 points\n",
       summary},
      {{"--format=gradescope", "--visibility", "after_due_date", "--testset=" + D, B}, 0,
       "{\n  \"score\": 0,\n  \"tests\": [\n"
       "    {\"name\": \"t1\", \"score\": 0, \"max_score\": 1, \"status\": \"failed\", \"output\": "
       // tarnwick-explain --student's text: no expected distance, no shortest path
       "\"Wrong answer in path 1 to 2\\u000aLine 2 as the judge weighs it, from source 1:\\u000a"
       "  step 1: 1 to 1, weight 0: the source's own diagonal\\u000a"
       "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\\u000a"
       "Total 7: not the shortest distance from 1 to 2.\\u000a"
       "The path ends at 3, not at vertex 2 (the judge does not check the end).\\u000a"
       "The file ends after line 2: line 3 is missing.\\u000a\", \"visibility\": \"after_due_date\"},\n"
       "    {\"name\": \"t2\", \"score\": 0, \"max_score\": 2.5, \"status\": \"failed\", \"output\": "
       "\"Empty file\", \"visibility\": \"after_due_date\"}\n  ]\n}\n",
       "tarnwick-grade: 1 submission x 2 tests: 0 succeeded, 1 wrong, 1 empty, 0 not judged; 0 of 1 "
       "passed every test; mean 0 of 3.5 points\n"},
      {{"--format=gradescope", "--testset", D, "--output-name", "out/{name}.txt", A}, 2,
       "{\n  \"score\": 0,\n  \"tests\": [\n"
       "    {\"name\": \"t1\", \"score\": 0, \"max_score\": 1, \"status\": \"failed\", \"output\": "
       "\"not judged: missing (out/t1.txt)\", \"visibility\": \"visible\"},\n"
       "    {\"name\": \"t2\", \"score\": 0, \"max_score\": 2.5, \"status\": \"failed\", \"output\": "
       "\"not judged: missing (out/t2.txt)\", \"visibility\": \"visible\"}\n  ]\n}\n",
       "tarnwick-grade: 1 submission x 2 tests: 0 succeeded, 0 wrong, 0 empty, 2 not judged; 0 of 1 "
       "passed every test; mean 0 of 3.5 points\n"},
      {{"--format=junit", "--testset", D, B}, 0,
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"tarnwick-grade\" tests=\"2\" failures=\"2\" errors=\"0\">\n"
       "  <testsuite name=\"" + B + "\" tests=\"2\" failures=\"2\" errors=\"0\">\n"
       // The failure's text is what the student may read; the time, judging's own.
       "    <testcase classname=\"" + B + "\" name=\"t1\" time=\"T\">\n      <failure message=\"Wrong "
       "answer in path 1 to 2\" type=\"wrong answer\">Wrong answer in path 1 to 2\n"
       "Line 2 as the judge weighs it, from source 1:\n"
       "  step 1: 1 to 1, weight 0: the source&#39;s own diagonal\n"
       "  step 2: 1 to 3, weight 7: edge 1-3, graph line 4\n"
       "Total 7: not the shortest distance from 1 to 2.\n"
       "The path ends at 3, not at vertex 2 (the judge does not check the end).\n"
       "The file ends after line 2: line 3 is missing.\n</failure>\n    </testcase>\n"
       "    <testcase classname=\"" + B + "\" name=\"t2\" time=\"T\">\n      <failure message=\"Empty file\" "
       "type=\"empty\">Empty file</failure>\n    </testcase>\n  </testsuite>\n</testsuites>\n",
       "tarnwick-grade: 1 submission x 2 tests: 0 succeeded, 1 wrong, 1 empty, 0 not judged; 0 of 1 "
       "passed every test; mean 0 of 3.5 points\n"},
      {{"--testset", D}, 1, "", "tarnwick-grade: --testset needs at least one submission folder\n" + usage},
      {{"--testset", D, "--format=gradescope", A, B}, 1, "",
       "tarnwick-grade: --format=gradescope writes the results of one submission folder\n" + usage},
      {{"--format=html", D, "1", A}, 1, "", "tarnwick-grade: --format=html needs --testset\n" + usage},
      {{"--testset", D, "--output-name", "out.txt", A}, 1, "",
       "tarnwick-grade: --output-name 'out.txt' must hold {name}\n" + usage},
      {{"--testset", D, "--output-name=/{name}", A}, 1, "",
       "tarnwick-grade: --output-name must be a relative path\n" + usage},
      {{"--testset", D, "--format=gradescope", "--visibility=public", A}, 1, "",
       "tarnwick-grade: --visibility 'public' is not visible, hidden, after_due_date or "
       "after_published\n" + usage},
      {{"--testset", D, "--visibility=hidden", A}, 1, "",
       "tarnwick-grade: --visibility is for --format=gradescope\n" + usage},
      {{"--testset", D, "--max-result-bytes", "1T", A}, 1, "",
       "tarnwick-grade: --max-result-bytes '1T' is not a byte count (digits, then K, M or G)\n" + usage},
      {{"--testset"}, 1, "", "tarnwick-grade: --testset needs a value\n" + usage},
      // An empty folder or file name is wrong use, never the option left out: the
      // grade of one file (or the standings after the records) is not what was asked.
      {{"--testset", "", D + "/t1.in", "1", A + "/t1.out"}, 1, "",
       "tarnwick-grade: --testset needs a folder\n" + usage},
      {{"--testset", D, "--standings=", A}, 1, "", "tarnwick-grade: --standings needs a file\n" + usage},
      {{"--testset", A, A}, 2, "", "tarnwick-grade: " + A + ": no test inputs (files NAME.in)\n"},
      {{"--testset", D + "/none", A}, 2, "", "tarnwick-grade: " + D + "/none: No such file or directory\n"},
  };
  for (const Case& k : cases) {
    Outcome o = grade(k.args, c.s);
    EXPECT_EQ(o.status, k.status) << k.args[0] << " " << k.args[1];
    const std::string out = std::regex_replace(o.out, std::regex(" time=\"[0-9.]+\""), " time=\"T\"");
    EXPECT_EQ(out, k.out) << k.args[0] << " " << k.args[1];
    EXPECT_EQ(o.err, k.err) << k.args[0] << " " << k.args[1];
  }
}

// The class report from the command line: the summary on standard error as
// with every format, the folder named without its trailing slashes, the date
// of the run, and what the student is told of a wrong file inside its cell.
TEST(GradeTestset, HtmlReportOfAClass) {
  Class c;
  const std::string A = c.sub("ada"), B = c.sub("bob"), C = c.sub("cy");
  const Outcome o = grade({"--format=html", "--testset", c.data + "//", A, B, C}, c.s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err,
            "tarnwick-grade: 3 submissions x 2 tests: 2 succeeded, 1 wrong, 1 empty, 2 not judged; "
            "1 of 3 passed every test; mean 1.167 of 3.5 points\n");
  const std::regex heading("<h1>Class report: <span id=\"testset\">([^<]*)</span> <small>graded "
                           "<time datetime=\"([0-9T:Z-]+)\">([0-9T:Z-]+)</time></small></h1>");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(o.out, m, heading)) << o.out;
  EXPECT_EQ(m[1].str(), c.data);
  const std::regex iso("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]Z");
  EXPECT_TRUE(std::regex_match(m[2].str(), iso)) << m[2];
  EXPECT_EQ(m[2].str(), m[3].str());
  for (const std::string& part : {
           std::string("<th>Points (of 3.5)</th><th class=\"t\">t1</th><th class=\"t\">t2</th>"),
           "<tr><td>" + B + "</td><td class=\"n\">0</td><td class=\"n\">0</td><td class=\"o wrong\" "
           "data-v=\"2\" title=\"Wrong answer in path 1 to 2\"><details><summary>line 2</summary>"
           "<div class=\"why\"><b>" + B + ", test t1</b><pre>Wrong answer in path 1 to 2\nLine 2 as "
           "the judge weighs it, from source 1:\n  step 1: 1 to 1, weight 0: the source&#39;s own "
           "diagonal\n",
           "<b>" + C + ", test t2</b><pre>not judged: missing (t2.out)</pre>",
       }) {
    EXPECT_NE(o.out.find(part), std::string::npos) << part << "\nnot in\n" << o.out;
  }
}

// A submission reads only itself: a result file reached through a symbolic
// link, or by a name leading out of the folder, is not judged; a folder that
// is not there, or is a file, is that submission's record, not the end of the
// run. The instructor's own operands (single-file mode) are followed.
TEST(GradeTestset, ASubmissionReadsOnlyItself) {
  Class c;
  const std::string S = c.subs, D = c.data, A = c.sub("ada"), B = c.sub("bob");
  for (const char* who : {"dan", "eve"}) std::filesystem::create_directories(c.s.dir() / "subs" / who);
  std::filesystem::create_symlink("../ada/t1.out", S + "/dan/t1.out");
  c.s.file("subs/dan/t2.out", "2 1\n2\n3\n3 4\n");
  std::filesystem::create_symlink("../ada", S + "/eve/out");
  std::filesystem::create_symlink("ada", S + "/fay");
  c.s.file("subs/gus", "");
  const std::string outside = "\tnot judged: leads outside the submission\n";
  const std::string none = "\t0 of 2 tests passed\t0 of 3.5 points\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {{"--testset", D, S + "/dan", S + "/fay", S + "/fay/", S + "/zed", S + "/gus"}, 2,
       S + "/dan/t1.out\tt1" + outside + S + "/dan/t2.out\tt2\tSuccess\n" + S + "/fay/t1.out\tt1" +
           outside + S + "/fay/t2.out\tt2" + outside + S + "/fay/t1.out\tt1" + outside + S +
           "/fay/t2.out\tt2" + outside + S + "/zed/t1.out\tt1\tnot judged: no such folder\n" + S +
           "/zed/t2.out\tt2\tnot judged: no such folder\n" + S +
           "/gus/t1.out\tt1\tnot judged: not a folder\n" + S +
           "/gus/t2.out\tt2\tnot judged: not a folder\n" + S +
           "/dan\t1 of 2 tests passed\t2.5 of 3.5 points\n" + S + "/fay" + none + S + "/fay/" + none +
           S + "/zed" + none + S + "/gus" + none,
       "tarnwick-grade: 5 submissions x 2 tests: 1 succeeded, 0 wrong, 0 empty, 9 not judged; 0 of 5 "
       "passed every test; mean 0.5 of 3.5 points\n"},
      {{"--testset", D, "--output-name", "out/{name}.out", S + "/eve"}, 2,
       S + "/eve/out/t1.out\tt1" + outside + S + "/eve/out/t2.out\tt2" + outside + S + "/eve" + none,
       "tarnwick-grade: 1 submission x 2 tests: 0 succeeded, 0 wrong, 0 empty, 2 not judged; 0 of 1 "
       "passed every test; mean 0 of 3.5 points\n"},
      {{"--testset", D, "--output-name", "../ada/{name}.out", B}, 2,
       B + "/../ada/t1.out\tt1" + outside + B + "/../ada/t2.out\tt2" + outside + B + none,
       "tarnwick-grade: 1 submission x 2 tests: 0 succeeded, 0 wrong, 0 empty, 2 not judged; 0 of 1 "
       "passed every test; mean 0 of 3.5 points\n"},
      {{"--testset", D, "--output-name", "./{name}.out", A}, 0,
       A + "/./t1.out\tt1\tSuccess\n" + A + "/./t2.out\tt2\tSuccess\n" + A +
           "\t2 of 2 tests passed\t3.5 of 3.5 points\n",
       "tarnwick-grade: 1 submission x 2 tests: 2 succeeded, 0 wrong, 0 empty, 0 not judged; 1 of 1 "
       "passed every test; mean 3.5 of 3.5 points\n"},
      // The instructor named the file: followed.
      {{D + "/t1.in", "1", S + "/dan/t1.out"}, 0, S + "/dan/t1.out\tSuccess\n",
       "tarnwick-grade: 1 file: 1 succeeded, 0 wrong, 0 empty, 0 not judged\n"},
  };
  for (const Case& k : cases) {
    Outcome o = grade(k.args, c.s);
    EXPECT_EQ(o.status, k.status) << k.args.back();
    EXPECT_EQ(o.out, k.out) << k.args.back();
    EXPECT_EQ(o.err, k.err) << k.args.back();
  }
  // Every format tells it.
  for (const char* format : {"csv", "jsonl", "gradescope", "junit", "html"}) {
    Outcome o = grade({"--testset", D, "--format", format, S + "/dan"}, c.s);
    EXPECT_EQ(o.status, 2) << format;
    EXPECT_GE(count(o.out, "not judged: leads outside the submission"), 1) << format << o.out;
  }
}

// With --run, a folder that is not there, is a file or is a link is built
// and run as none: its records say why.
TEST(GradeTestset, ProgramsOfFoldersRefused) {
  Class c;
  std::filesystem::create_symlink("ada", c.subs + "/fay");
  const std::string A = c.sub("ada"), F = c.sub("fay"), Z = c.sub("zed");
  Outcome o = grade({"--testset", c.data, "--run", "cat", "--isolation", "subreaper", A, F, Z,
                     c.data + "/points"}, c.s);
  EXPECT_EQ(o.status, 2) << o.err;
  const std::string P = c.data + "/points";
  EXPECT_EQ(o.out, A + "\tt1\tWrong answer in path 1 to 1\n" + A + "\tt2\tWrong answer in path 2 to 1\n" +
                       F + "\tt1\tnot judged: leads outside the submission\n" + F +
                       "\tt2\tnot judged: leads outside the submission\n" + Z +
                       "\tt1\tnot judged: no such folder\n" + Z + "\tt2\tnot judged: no such folder\n" +
                       P + "\tt1\tnot judged: not a folder\n" + P + "\tt2\tnot judged: not a folder\n" +
                       A + "\t0 of 2 tests passed\t0 of 3.5 points\n" + F +
                       "\t0 of 2 tests passed\t0 of 3.5 points\n" + Z +
                       "\t0 of 2 tests passed\t0 of 3.5 points\n" + P +
                       "\t0 of 2 tests passed\t0 of 3.5 points\n");
}

// Any entry called points is read as a regular file or refused with its
// reason: a FIFO does not stall the grader, a dangling link is not "no
// points file".
TEST(GradeTestset, PointsFileReadOrRefused) {
  if (!std::filesystem::exists("/usr/bin/timeout")) GTEST_SKIP() << "no timeout (coreutils)";
  struct Case {
    const char* kind;
    int status;
    std::string err;  // after "tarnwick-grade: DATA/points"
  };
  const Case cases[] = {
      {"fifo", 2, ": not a regular file\n"},
      {"folder", 2, ": not a regular file\n"},
      {"dangling", 2, ": No such file or directory\n"},
      {"link", 0, ""},
  };
  for (const Case& k : cases) {
    Class c;
    const std::string points = c.data + "/points", kind = k.kind;
    std::filesystem::remove(points);
    if (kind == "fifo") {
      ASSERT_EQ(mkfifo(points.c_str(), 0600), 0);
    }
    if (kind == "folder") std::filesystem::create_directories(points);
    if (kind == "dangling") std::filesystem::create_symlink("nowhere", points);
    if (kind == "link") {
      c.s.file("weights", "t1 1\nt2 2.5\n");
      std::filesystem::create_symlink("../weights", points);
    }
    Outcome o = tarnwick_test::run_program(
        "/usr/bin/timeout", {"10", TARNWICK_GRADE, "--testset", c.data, c.sub("ada")}, c.s);
    EXPECT_EQ(o.status, k.status) << kind << ": 124 stalled";
    if (k.status != 0) {
      EXPECT_EQ(o.err, "tarnwick-grade: " + points + k.err) << kind;
      EXPECT_EQ(o.out, "") << kind;
    } else {
      EXPECT_NE(o.out.find("3.5 of 3.5 points"), std::string::npos) << o.out;
    }
  }
}

// A test of no vertex would accept every answer: it is judged for no one,
// in the checker's words, and the run ends with 2 as for any file not judged.
TEST(GradeTestset, ATestOfNoVertexIsJudgedForNoOne) {
  struct Case {
    std::string input, reason;
  };
  const Case cases[] = {
      {"0 0\n1\n", "a vertex count of 0 or less: a test graph needs at least one vertex"},
      {"", "no vertex count: a test graph needs at least one vertex"},
  };
  for (const Case& k : cases) {
    Class c;
    c.s.file("data/points", "t0 1\nt1 1\nt2 2.5\n");
    c.s.file("data/t0.in", k.input);
    c.s.file("subs/ada/t0.out", "");
    const std::string A = c.sub("ada"), T0 = c.data + "/t0.in";
    Outcome o = grade({"--testset", c.data, A, c.sub("cy")}, c.s);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out.substr(0, o.out.find(A + "/t1.out")),
              A + "/t0.out\tt0\tnot judged: " + T0 + ": " + k.reason + "\n");
    EXPECT_EQ(count(o.out, "\tt0\tnot judged: " + T0 + ": " + k.reason + "\n"), 2) << o.out;
    EXPECT_NE(o.out.find(A + "\t2 of 3 tests passed\t3.5 of 4.5 points\n"), std::string::npos);
  }
  // No test at all is refused, as before: every submission would pass every test.
  Class c;
  for (const char* t : {"t1.in", "t2.in", "points"}) std::filesystem::remove(c.s.dir() / "data" / t);
  Outcome o = grade({"--testset", c.data, c.sub("ada")}, c.s);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "tarnwick-grade: " + c.data + ": no test inputs (files NAME.in)\n");
}

// Standings of their own: --standings FILE takes them out of the records,
// in the format's own table, with path_bytes for a name that is not UTF-8.
TEST(GradeTestset, StandingsOfTheirOwn) {
  Class c;
  std::filesystem::create_directories(c.subs + "/n\xff");
  const std::string A = c.sub("ada"), N = c.subs + "/n\xff", X = c.subs + "/n\\xff";
  const std::string file = (c.s.dir() / "standings").string();
  struct Case {
    const char* format;
    std::string standings;
  };
  const Case cases[] = {
      {"csv", "submission,passed,tests,points,max_points,path_bytes\n" + A + ",2,2,3.5,3.5,\n" + X +
                  ",0,2,0,3.5," + hex(N) + "\n"},
      {"jsonl", "{\"submission\":\"" + A + "\",\"passed\":2,\"tests\":2,\"points\":3.5,\"max_points\":3.5}\n"
                "{\"submission\":\"" + c.subs + "/n\\\\xff\",\"path_bytes\":\"" + hex(N) +
                "\",\"passed\":0,\"tests\":2,\"points\":0,\"max_points\":3.5}\n"},
      {"text", A + "\t2 of 2 tests passed\t3.5 of 3.5 points\n" + X +
                   "\t0 of 2 tests passed\t0 of 3.5 points\n"},
  };
  for (const Case& k : cases) {
    Outcome o = grade({"--testset", c.data, "--format", k.format, "--standings", file, A, N}, c.s);
    EXPECT_EQ(o.status, 2) << k.format;
    EXPECT_EQ(tarnwick_test::slurp(file), k.standings) << k.format;
    // The records alone: one a test and submission, and the csv header.
    const int lines = count(o.out, "\n");
    EXPECT_EQ(lines, std::string(k.format) == "csv" ? 5 : 4) << k.format << o.out;
  }
  // Without --standings they follow the records, path_bytes included.
  Outcome o = grade({"--testset", c.data, "--format=csv", A, N}, c.s);
  EXPECT_NE(o.out.find("\n" + X + ",,,0 of 2 tests passed,,,0," + hex(N) + ",\n"), std::string::npos)
      << o.out;
  const std::string usage =
      "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
      "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n";
  EXPECT_EQ(grade({"--standings", file, c.data + "/t1.in", "1", A}, c.s).err,
            "tarnwick-grade: --standings needs --testset\n" + usage);
  EXPECT_EQ(grade({"--testset", c.data, "--format=junit", "--standings", file, A}, c.s).err,
            "tarnwick-grade: --standings is for --format=text, csv or jsonl\n" + usage);
  Outcome refused = grade({"--testset", c.data, "--standings", c.data, A}, c.s);
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "tarnwick-grade: " + c.data + ": Is a directory\n");
}

// Two folders whose names differ only in bytes that are not UTF-8 keep
// apart in every format: each such byte is \xNN, a backslash doubled
// (Gradescope's results name no submission).
TEST(GradeTestset, NamesApartInEveryFormat) {
  Class c;
  const std::string one = c.subs + "/n\xfe", two = c.subs + "/n\xff", three = c.subs + "/n\\xff";
  for (const std::string& name : {one, two, three}) std::filesystem::create_directories(name);
  for (const char* format : {"text", "csv", "jsonl", "junit"}) {
    std::vector<std::string> outputs;
    for (const std::string& name : {one, two, three}) {
      Outcome o = grade({"--testset", c.data, "--format", format, name}, c.s);
      outputs.push_back(o.out);
      EXPECT_TRUE(is_utf8(o.out)) << format;
    }
    EXPECT_NE(outputs[0], outputs[1]) << format;
    EXPECT_NE(outputs[1], outputs[2]) << format;
  }
  Outcome o = grade({"--testset", c.data, one, two, three}, c.s);
  EXPECT_NE(o.out.find(c.subs + "/n\\xfe\t0 of 2"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(c.subs + "/n\\xff\t0 of 2"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(c.subs + "/n\\\\xff\t0 of 2"), std::string::npos) << o.out;
}

// JUnit XML parses whatever the names hold: U+FFFE, U+FFFF and control
// characters, which XML 1.0 forbids, are escaped.
TEST(GradeTestset, JunitParsesWithForbiddenCharacters) {
  if (!std::filesystem::exists("/usr/bin/xmllint")) GTEST_SKIP() << "no xmllint (libxml2-utils)";
  Class c;
  c.s.file("data/t\xef\xbf\xbe\x01.in", "3 0\n1\n");
  c.s.file("data/points", "t1 1\nt2 2.5\nt\xef\xbf\xbe\x01 1\n");
  const std::string odd = c.subs + "/s\xef\xbf\xbf\x1b\xff";
  std::filesystem::create_directories(odd);
  c.s.file("subs/s\xef\xbf\xbf\x1b\xff/t1.out", "1\n1 3\n");
  const std::string xml = (c.s.dir() / "junit.xml").string();
  Outcome o = tarnwick_test::run_program(
      "/bin/sh", {"-c", std::string(TARNWICK_GRADE) + " --format=junit --testset " + c.data + " '" +
                            odd + "' " + c.sub("ada") + " > " + xml + "; /usr/bin/xmllint --noout " + xml},
      c.s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err.find("parser error"), std::string::npos) << o.err;
  const std::string text = tarnwick_test::slurp(xml);
  EXPECT_NE(text.find("name=\"t\\ufffe\\x01\""), std::string::npos) << text;
  EXPECT_NE(text.find("classname=\"" + c.subs + "/s\\uffff\\x1b\\xff\""), std::string::npos);
}

// A test the judge cannot judge, or a points file that does not fit, stops
// the whole grading before any record: the instructor's input is at fault.
TEST(GradeTestset, RefusesABrokenTest) {
  Class c;
  const std::string D = c.data;
  struct Case {
    std::string file, text, err;
  };
  const Case cases[] = {
      {"data/points", "t1 1\nt3 1\n", D + "/points:2: no test 't3' (no t3.in)"},
      {"data/t2.in", "4 3\n1 2 4\n2 3 1\n3 4 2\n", D + "/t2.in: no source vertex after the m-th edge"},
      {"data/t2.in", "10010 0\n", D + "/t2.in: the vertex count is too large: at most 10009 vertices fit"},
      {"data/t2.in", "4 3\n1 2 4\n2 3 1\n3 4 2\n2x\n",
       D + "/t2.in: the source vertex after the m-th edge is not a whole number"},
  };
  for (const Case& k : cases) {
    Class fresh;
    fresh.s.file(k.file, k.text);
    Outcome o = grade({"--testset", fresh.data, fresh.sub("ada")}, fresh.s);
    EXPECT_EQ(o.status, 2) << k.text;
    EXPECT_EQ(o.out, "") << k.text;
    const std::string err = tarnwick_test::replace_all(k.err, D, fresh.data);
    EXPECT_EQ(o.err, "tarnwick-grade: " + err + "\n") << k.text;
  }
}

// Returns true when a graph text holds all the edges it announces.
bool whole_edge_list(const std::string& graph) {
  std::istringstream in(graph);
  int64_t n = 0, m = 0, numbers = 0;
  in >> n >> m;
  for (std::string word; in >> word;) ++numbers;
  return numbers == 3 * m;
}

// Every record of a test set is what a separate run of the judge says of
// that file, given the test input as the graph and its carried source.
TEST(GradeTestset, SameVerdictAsTheJudge) {
  std::mt19937 rng(20261209);
  Scratch s;
  std::filesystem::create_directories(s.dir() / "data");
  std::vector<std::string> tests, sources, models;
  for (int t = 0; t < 4; ++t) {
    int n = 0;
    std::string graph = random_graph(rng, &n);
    while (!whole_edge_list(graph)) graph = random_graph(rng, &n);
    std::string source = std::to_string(std::uniform_int_distribution<int>(1, n)(rng));
    std::string name = std::to_string(t);
    name.insert(0, 1, 't');  // not "t" + ...: g++ 12 warns falsely there (-Wrestrict)
    // The source after the m-th edge (a cut edge list would read it as an edge).
    std::string path = s.file("data/" + name + ".in", graph + "\n" + source + "\n");
    Outcome model = tarnwick_test::run_program(TARNWICK_SOLVE, {path, source}, s);
    tests.push_back(name);
    sources.push_back(source);
    models.push_back(model.status == 0 ? model.out : "");
  }
  std::vector<std::string> args = {"--testset", (s.dir() / "data").string()};
  for (int who = 0; who < 12; ++who) {
    std::filesystem::path sub = s.dir() / ("sub" + std::to_string(who));
    std::filesystem::create_directories(sub);
    args.push_back(sub.string());
    for (size_t t = 0; t < tests.size(); ++t) {
      std::vector<std::string> texts = submissions(rng, models[t], 10);
      if (who % 5 != 4) tarnwick_test::write_file(sub / (tests[t] + ".out"), texts[static_cast<size_t>(who) % texts.size()]);
    }
  }
  Outcome o = grade(args, s);
  std::string expected;
  for (size_t who = 2; who < args.size(); ++who) {
    for (size_t t = 0; t < tests.size(); ++t) {
      std::string graph = (s.dir() / "data" / (tests[t] + ".in")).string();
      std::string path = args[who] + "/" + tests[t] + ".out";
      std::string says = std::filesystem::exists(path) ? judge_says(graph, path, sources[t], s)
                                                       : path + "\tnot judged: missing\n";
      expected += says.substr(0, path.size()) + "\t" + tests[t] + says.substr(path.size());
    }
  }
  EXPECT_EQ(without_traps(o.out).substr(0, expected.size()), expected);
  EXPECT_EQ(o.status, 2) << o.err;
}

// A result file of more than --max-result-bytes is not judged, whatever its
// first line says, and one that never ends (a device, a runaway solver's
// pipe) is read no further than that.
TEST(GradeCli, ResultFilesLargerThanTheLimit) {
  if (!std::filesystem::exists("/usr/bin/timeout")) GTEST_SKIP() << "no timeout (coreutils)";
  Scratch s;
  std::string g = s.file("graph", kGraph), right = s.file("right", "1\n1 2\n1 2 3\n"),
              wrong = s.file("wrong", "2\n1 2\n1 2 3\n");
  Outcome o = tarnwick_test::run_program(
      "/usr/bin/timeout", {"60", TARNWICK_GRADE, "--max-result-bytes", "11", g, "1", right, wrong,
                           "/dev/zero", s.file("eleven", "1\n1 2\n1 2 3")},
      s);
  EXPECT_EQ(o.status, 2) << "124: stalled";
  EXPECT_EQ(o.out, right + "\tnot judged: larger than 11 bytes\n" + wrong +
                       "\tnot judged: larger than 11 bytes\n/dev/zero\tnot judged: larger than 11 "
                       "bytes\n" + s.dir().string() + "/eleven\tSuccess\n");
  // Through pipes: one that never ends, its verdict found early, and a short one.
  const std::string grade_stdin = std::string(TARNWICK_GRADE) + " --max-result-bytes=1K " + g + " 1 /dev/stdin";
  Outcome piped = tarnwick_test::run_program(
      "/usr/bin/timeout", {"60", "/bin/sh", "-c", "yes 7 | " + grade_stdin + "; cat " + wrong + " | " + grade_stdin}, s);
  EXPECT_EQ(piped.out, "/dev/stdin\tnot judged: larger than 1024 bytes\n/dev/stdin\tWrong answer in path 1 to 1\n");
}

// Records that cannot be written are a failure, told as such: a grader that
// reported success would have lost every record.
TEST(GradeCli, FullStandardOutputIsAFailure) {
  Class c;
  std::string g = c.s.file("graph", kGraph), right = c.s.file("right", "1\n1 2\n1 2 3\n");
  for (std::string args : {g + " 1 " + right, "--testset " + c.data + " " + c.sub("ada")}) {
    Outcome o = tarnwick_test::run_program(
        "/bin/sh", {"-c", std::string(TARNWICK_GRADE) + " " + args + " >/dev/full"}, c.s);
    EXPECT_EQ(o.status, 2) << args;
    EXPECT_EQ(o.err, "tarnwick-grade: standard output: No space left on device\n") << args;
  }
}

}  // namespace
}  // namespace tarnwick
