// tarnwick-grade: its records, escaped for scripts; its command line; and the
// same verdict for every file as a separate run of the judge.
#include "tools/grading.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "tests/cli_support.h"

namespace tarnwick {
namespace {

using tarnwick_test::Outcome;
using tarnwick_test::Scratch;

Outcome grade(const std::vector<std::string>& args, const Scratch& scratch) {
  return tarnwick_test::run_program(TARNWICK_GRADE, args, scratch);
}

// Stray bytes, an overlong form, a surrogate, a code point above U+10FFFF, a cut sequence.
constexpr char kBad[] = "bad\xff\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82";

TEST(GradeFormat, EscapesFieldsForScripts) {
  struct Case {
    std::string in, csv, json;
  };
  const Case cases[] = {
      {"plain.txt", "plain.txt", "\"plain.txt\""},
      {"a,b", "\"a,b\"", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\""},
      {"two\nlines\r", "\"two\nlines\r\"", "\"two\\u000alines\\u000d\""},
      {"tab\there\\", "tab\there\\", "\"tab\\u0009here\\\\\""},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
       "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      {kBad, kBad, "\"bad" + tarnwick_test::repeat("\\ufffd", 12) + "\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(csv_field(c.in), c.csv) << c.in;
    EXPECT_EQ(json_string(c.in), c.json) << c.in;
    EXPECT_EQ(is_utf8(c.in), c.json.find("fffd") == std::string::npos) << c.in;
  }
}

TEST(GradeFormat, RecordsInEachFormat) {
  Graded wrong{"r,1", true, {Verdict::kWrongAnswer, 4, 7}, ""};
  Graded missing{"m\xff", false, {}, "No such file or directory"};
  Graded empty{"e", true, {Verdict::kEmptyFile, 4, 1}, ""};
  EXPECT_EQ(format_record(Format::kText, wrong), "r,1\tWrong answer in path 4 to 7\n");
  EXPECT_EQ(format_record(Format::kText, missing),
            "m\xff\tnot judged: No such file or directory\n");
  EXPECT_EQ(format_record(Format::kCsv, wrong), "\"r,1\",Wrong answer in path 4 to 7,7,true\n");
  EXPECT_EQ(format_record(Format::kCsv, empty), "e,Empty file,,true\n");
  EXPECT_EQ(format_record(Format::kJsonl, missing),
            "{\"path\":\"m\\ufffd\",\"path_bytes\":\"6dff\","
            "\"verdict\":\"not judged: No such file or directory\","
            "\"line\":null,\"judged\":false}\n");
  EXPECT_EQ(format_record(Format::kJsonl, wrong),
            "{\"path\":\"r,1\",\"verdict\":\"Wrong answer in path 4 to 7\",\"line\":7,"
            "\"judged\":true}\n");
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
      "Usage: tarnwick-grade [--format=text|csv|jsonl] input_graph source_vertex_id "
      "result_file...\n";
  const std::string P = s.dir().string() + "/";
  const Case cases[] = {
      {{g, "1", right, wrong, empty}, 0,
       P + "right\tSuccess\n" + P + "wrong\tWrong answer in path 1 to 3\n" + P +
           "empty\tEmpty file\n",
       "tarnwick-grade: 3 files: 1 succeeded, 1 wrong, 1 empty, 0 not judged\n"},
      {{"--format=csv", g, "1", odd, missing, "--", right}, 2,
       "path,verdict,line,judged\n\"" + P + "a,\"\"b\"\"\n\t\xff\",Success,,true\n" + P +
           "missing,not judged: No such file or directory,,false\n" + P + "right,Success,,true\n",
       "tarnwick-grade: 3 files: 2 succeeded, 0 wrong, 0 empty, 1 not judged\n"},
      {{g, "1", P}, 2, P + "\tnot judged: Is a directory\n",
       "tarnwick-grade: 1 file: 0 succeeded, 0 wrong, 0 empty, 1 not judged\n"},
      {{g, "2x", odd}, 0, P + "a,\"b\"\\n\\t\xff\tWrong answer in path 2 to 2\n",
       "tarnwick-grade: 1 file: 0 succeeded, 1 wrong, 0 empty, 0 not judged\n"},
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
      {{"--format=xml", g, "1", right}, 1, "", "tarnwick-grade: unknown format 'xml'\n" + usage},
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
  std::string path = json_string(odd), bytes;
  for (unsigned char c : odd) {
    bytes += "0123456789abcdef"[c >> 4];
    bytes += "0123456789abcdef"[c & 15];
  }
  EXPECT_EQ(o.out, "{\"path\":" + path + ",\"path_bytes\":\"" + bytes +
                       "\",\"verdict\":\"Wrong answer in path 1 to 2\",\"line\":2,"
                       "\"judged\":true}\n");
  EXPECT_NE(path.find("\\\"\\u000a\\ufffd"), std::string::npos);
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

// Returns how many times `what` occurs in text.
int count(const std::string& text, const std::string& what) {
  int found = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++found;
  return found;
}

TEST(GradeCli, SameVerdictAsTheJudgeOnRandomCases) {
  std::mt19937 rng(20261208);
  Scratch s;
  int compared = 0, succeeded = 0, wrong = 0;
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
    EXPECT_EQ(o.out, expected) << "graph:\n" << tarnwick_test::slurp(graph) << "source " << source;
    compared += static_cast<int>(args.size()) - 2;
    succeeded += count(o.out, "\tSuccess\n");
    wrong += count(o.out, "\tWrong answer");
  }
  EXPECT_GT(compared, 500);
  EXPECT_GT(succeeded, compared / 6) << "too few accepted files to compare";
  EXPECT_GT(wrong, compared / 6) << "too few wrong files to compare";
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
  SourceRow row(g, 0, {});
  grade_all(paths, g.Dist, row, 8, kDefaultMaxResultBytes, [&](const Graded& graded) { seen.push_back(graded.path); });
  EXPECT_EQ(seen, paths);
}

}  // namespace
}  // namespace tarnwick
