// The solver end to end: the judge accepts what it writes for generated
// graphs; and the conventions the generator and the solver share. The
// generator's own promises are tested in gen_test.cc.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_support.h"

namespace {

using tarnwick_test::Scratch;

struct Outcome {
  int status = -1;
  std::string out;
};

// Runs a shell command; returns its exit status and output, standard error
// discarded or, with `with_errors`, after the output.
Outcome run(const std::string& command, bool with_errors = false) {
  Outcome r;
  std::FILE* p = popen((command + (with_errors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (p == nullptr) return r;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, p)) > 0;) r.out.append(chunk, got);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string gen(const std::string& args) { return std::string(TARNWICK_GEN) + " " + args; }

TEST(Solver, JudgeAcceptsItsPaths) {
  const char* graphs[] = {
      "60 150 0 20 7 connected", "40 30 1 1000 8", "30 300 0 1073741823 9",
      "1 3 0 5 10",              "25 0 1 1 11",   "200 2000 9999990 10000010 12",
  };
  Scratch s;
  std::string graph = (s.dir() / "graph.txt").string(), result = (s.dir() / "result.txt").string();
  for (const char* args : graphs) {
    ASSERT_EQ(run(gen(args) + " > " + graph).status, 0) << args;
    for (const char* source : {"1", "2", "17"}) {
      Outcome solved = run(std::string(TARNWICK_SOLVE) + " " + graph + " " + source);
      if (solved.status != 0) continue;  // a source the graph does not have
      std::ofstream(result) << solved.out;
      Outcome verdict =
          run(std::string(TARNWICK_BINARY) + " " + graph + " " + result + " " + source);
      EXPECT_EQ(verdict.out, "Success\n") << args << ", source " << source;
    }
  }
}

TEST(Solver, RefusesWhatItCannotSolve) {
  Scratch s;
  std::string graph = (s.dir() / "negative.txt").string();
  std::ofstream(graph) << "3 2\n1 2 5\n2 3 -1\n";
  std::string solve = std::string(TARNWICK_SOLVE) + " ";
  EXPECT_EQ(run(solve + graph + " 1").status, 2);
  std::ofstream(graph) << "3 1\n1 2 5\n";
  EXPECT_EQ(run(solve + graph + " 1").status, 0);
  EXPECT_EQ(run(solve + graph + " 0").status, 2);
  EXPECT_EQ(run(solve + graph + " 4").status, 2);
  EXPECT_EQ(run(solve + (s.dir() / "missing.txt").string() + " 1").status, 2);
  // Without a source argument, the source is the number after the m-th edge.
  Outcome no_source = run(solve + graph, true);
  EXPECT_EQ(no_source.status, 2);
  EXPECT_EQ(no_source.out, "tarnwick-solve: " + graph + ": no source vertex after the m-th edge\n");
  std::ofstream(graph) << "3 1\n1 2 5\n2\n";
  EXPECT_EQ(run(solve + graph).out, run(solve + graph + " 2").out);
  std::ofstream(graph) << "3 1\n1 2 5\n1e3\n";  // not source 1: a typo the solver refuses
  EXPECT_EQ(run(solve + graph, true).out,
            "tarnwick-solve: " + graph +
                ": the source vertex after the m-th edge is not a whole number\n");
  std::ofstream(graph) << "0 0\n";
  EXPECT_EQ(run(solve + graph + " 1", true).out,
            "tarnwick-solve: source 1 is not a vertex of the graph (it has none): no path file is "
            "written\n");
}

// The tools share the front's conventions: --help and --version on
// standard output with exit 0 (before any other argument is looked at), wrong
// use on standard error with the usage line and exit 1, and one grammar that
// names an unknown option, "-x" as much as "--bogus".
TEST(ToolConventions, HelpVersionAndWrongUse) {
  struct {
    const char* binary;
    std::string name, usage;
  } tools[] = {
      {TARNWICK_GEN, "tarnwick-gen",
       "Usage: tarnwick-gen [--simple] [--source S] vertices edges min_weight max_weight seed "
       "[connected]\n"},
      {TARNWICK_SOLVE, "tarnwick-solve", "Usage: tarnwick-solve input_graph [source_vertex_id]\n"},
      {TARNWICK_EXPLAIN, "tarnwick-explain",
       "Usage: tarnwick-explain [--student] [--json | --dot] input_graph your_output_result "
       "source_vertex_id [line]\n"},
      {TARNWICK_VALIDATE, "tarnwick-validate",
       "Usage: tarnwick-validate [constraints] [--source S | --carried-source] "
       "[--allow-non-vertex-source] [--kattis] [--strict] input_graph\n"},
      {TARNWICK_GRADE, "tarnwick-grade",
       "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
       "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n"},
      {TARNWICK_TESTSET, "tarnwick-testset",
       "Usage: tarnwick-testset [--force] description folder\n"},
  };
  Scratch s;
  for (const auto& t : tools) {
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"--help"}, {"1", "--help"}, {"x", "y", "--help"}}) {
      tarnwick_test::Outcome o = tarnwick_test::run_program(t.binary, args, s);
      EXPECT_EQ(o.status, 0) << t.name;
      EXPECT_TRUE(o.out.starts_with(t.usage)) << t.name << ": " << o.out;
      EXPECT_GT(o.out.size(), t.usage.size() + 40) << t.name << ": no description";
      EXPECT_EQ(o.err, "") << t.name;
    }
    tarnwick_test::Outcome v = tarnwick_test::run_program(t.binary, {"--version"}, s);
    EXPECT_EQ(v.out, t.name + " " + TARNWICK_VERSION + "\n");
    EXPECT_EQ(v.status, 0);
    tarnwick_test::Outcome wrong = tarnwick_test::run_program(t.binary, {}, s);
    EXPECT_EQ(wrong.out, "") << t.name;
    EXPECT_TRUE(wrong.err.ends_with(t.usage)) << t.name;
    EXPECT_EQ(wrong.status, 1) << t.name;
    for (const std::string bad : {"--bogus", "-x", "--bogus=1"}) {
      tarnwick_test::Outcome bogus = tarnwick_test::run_program(t.binary, {"g", bad, "1"}, s);
      EXPECT_EQ(bogus.err, t.name + ": unknown option '" + bad + "'\n" + t.usage) << t.name;
      EXPECT_EQ(bogus.out, "") << t.name;
      EXPECT_EQ(bogus.status, 1) << t.name;
    }
  }
}

// Options take their values as "--name=V" or "--name V" in every tool, the
// checker's testlib options included; "--" ends the options.
TEST(ToolConventions, OneOptionGrammar) {
  Scratch s;
  const std::string input = s.file("t.in", "2 1\n1 2 3\n1\n");
  const std::string ans = s.file("t.ans", "1\n2\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--testlib", input, ans, ans, "--testset=x", "--group=y"},
           {"--testlib", "--testset", "x", input, ans, ans, "--source=1"},
           {"--testlib", input, "--source", "1", ans, ans}}) {
    tarnwick_test::Outcome o = tarnwick_test::run_program(TARNWICK_CHECKER, args, s);
    EXPECT_EQ(o.status, 0) << o.err;
  }
  tarnwick_test::Outcome v =
      tarnwick_test::run_program(TARNWICK_VALIDATE, {"--min-weight", "-5", "--", input}, s);
  EXPECT_EQ(v.status, 0) << v.out;
  // The value of "--name VALUE" is the next argument, whatever it holds: even
  // "--help" or "--version" is a value there, not a request for help.
  const std::string usage = "Usage: tarnwick-validate [constraints] [--source S | --carried-source] "
                            "[--allow-non-vertex-source] [--kattis] [--strict] input_graph\n";
  for (const std::string word : {"--help", "--version"}) {
    v = tarnwick_test::run_program(TARNWICK_VALIDATE, {"--min-weight", word, input}, s);
    EXPECT_EQ(v.status, 1) << word;
    EXPECT_EQ(v.out, "") << word;
    EXPECT_EQ(v.err, "tarnwick-validate: --min-weight needs an integer, not '" + word + "'\n" + usage);
  }
  v = tarnwick_test::run_program(TARNWICK_VALIDATE, {"--min-weight=1", "--help", input}, s);
  EXPECT_EQ(v.status, 0) << "a value given with '=' leaves the next argument alone";
  tarnwick_test::Outcome g = tarnwick_test::run_program(TARNWICK_GEN, {"2", "1", "-5", "-5", "1"}, s);
  EXPECT_TRUE(g.out.starts_with("2 1\n") && g.out.ends_with(" -5\n")) << g.out << g.err;
}

// One operand more than a tool's usage line allows is wrong use, not an
// operand quietly ignored: the usage alone on standard error, exit 1.
TEST(ToolConventions, AnOperandTooManyIsWrongUse) {
  Scratch s;
  const std::string graph = s.file("g", "2 1\n1 2 3\n"), result = s.file("r", "1\n2\n");
  struct {
    const char* binary;
    std::vector<std::string> args;
    std::string usage;
  } cases[] = {
      {TARNWICK_SOLVE, {graph, "1", "2"}, "Usage: tarnwick-solve input_graph [source_vertex_id]\n"},
      {TARNWICK_EXPLAIN, {graph, result, "1", "2", "3"},
       "Usage: tarnwick-explain [--student] [--json | --dot] input_graph your_output_result "
       "source_vertex_id [line]\n"},
      {TARNWICK_GEN, {"5", "7", "1", "9", "1", "connected", "x"},
       "Usage: tarnwick-gen [--simple] [--source S] vertices edges min_weight max_weight seed "
       "[connected]\n"},
  };
  for (const auto& c : cases) {
    tarnwick_test::Outcome o = tarnwick_test::run_program(c.binary, c.args, s);
    EXPECT_EQ(o.status, 1) << c.usage;
    EXPECT_EQ(o.out, "") << c.usage;
    EXPECT_EQ(o.err, c.usage);
  }
}

// A tool that takes a source operand and has no atoi-reading command line of
// its own to keep takes a whole number alone: "2x" is wrong use, never
// quietly vertex 2 (the judge's reading, told in the message).
TEST(ToolConventions, ASourceOperandIsAWholeNumber) {
  Scratch s;
  const std::string graph = s.file("g", "3 2\n1 2 4\n2 3 1\n");
  const std::string result = s.file("r", "1\n2\n2 3\n");
  // The wrong use of a source `text` that the judge would read as `read_as`.
  auto not_whole = [](const std::string& tool, const std::string& text, int read_as) {
    std::string usage =
        tool == "tarnwick-solve"
            ? "Usage: tarnwick-solve input_graph [source_vertex_id]\n"
            : "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
              "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n";
    return tool + ": source vertex id '" + text + "' is not a whole number (the judge would " +
           "read it as " + std::to_string(read_as) + ")\n" + usage;
  };
  struct {
    const char* binary;
    std::vector<std::string> args;
    std::string out, err;
    int status;
  } cases[] = {
      {TARNWICK_SOLVE, {graph, "2x"}, "", not_whole("tarnwick-solve", "2x", 2), 1},
      {TARNWICK_SOLVE, {graph, "x"}, "", not_whole("tarnwick-solve", "x", 0), 1},
      {TARNWICK_SOLVE, {graph, " 1"}, "", not_whole("tarnwick-solve", " 1", 1), 1},
      {TARNWICK_SOLVE, {graph, "1 "}, "", not_whole("tarnwick-solve", "1 ", 1), 1},
      {TARNWICK_SOLVE, {graph, ""}, "", not_whole("tarnwick-solve", "", 0), 1},
      {TARNWICK_SOLVE, {graph, "+1"}, "1\n2\n2 3\n", "", 0},
      {TARNWICK_SOLVE, {graph, "-1"}, "",
       "tarnwick-solve: source vertex id '-1' is outside 0..10009\n", 2},
      {TARNWICK_SOLVE, {graph, "99999999999999999999"}, "",
       "tarnwick-solve: source vertex id '99999999999999999999' is outside 0..10009\n", 2},
      {TARNWICK_GRADE, {graph, "1x", result}, "", not_whole("tarnwick-grade", "1x", 1), 1},
      {TARNWICK_GRADE, {graph, "+1", result}, result + "\tSuccess\n",
       "tarnwick-grade: 1 file: 1 succeeded, 0 wrong, 0 empty, 0 not judged\n", 0},
  };
  for (const auto& c : cases) {
    tarnwick_test::Outcome o = tarnwick_test::run_program(c.binary, c.args, s);
    EXPECT_EQ(o.out, c.out) << c.args[1];
    EXPECT_EQ(o.err, c.err) << c.args[1];
    EXPECT_EQ(o.status, c.status) << c.args[1];
  }
}

// Output that cannot be written (a full disk) is a refusal, whatever the
// tool: one line naming standard output, exit 2, never a quiet success.
TEST(ToolConventions, OutputThatCannotBeWrittenSaysWhy) {
  Scratch s;
  const std::string graph = s.file("g", "3 2\n1 2 3\n2 3 4\n"), result = s.file("r", "1\n2\n3\n");
  struct {
    const char* binary;
    std::string name, args;
  } cases[] = {
      {TARNWICK_GEN, "tarnwick-gen", "200 2000 1 9 7 connected"},
      {TARNWICK_SOLVE, "tarnwick-solve", graph + " 1"},
      {TARNWICK_VALIDATE, "tarnwick-validate", graph},
      {TARNWICK_EXPLAIN, "tarnwick-explain", graph + " " + result + " 1"},
  };
  for (const auto& c : cases) {
    tarnwick_test::Outcome o = tarnwick_test::run_program(
        "/bin/sh", {"-c", "exec " + std::string(c.binary) + " " + c.args + " >/dev/full"}, s);
    EXPECT_EQ(o.status, 2) << c.name;
    EXPECT_EQ(o.err, c.name + ": standard output: No space left on device\n");
  }
}

// The judge's warnings come after what a tool writes, for the solver too.
TEST(ToolConventions, WarningsAfterTheOutput) {
  Scratch s;
  const std::string graph = s.file("g", "2 2\n1 2 3\n");
  tarnwick_test::Outcome o = tarnwick_test::run_program(TARNWICK_SOLVE, {graph, "1"}, s);
  EXPECT_EQ(o.out, "1\n2\n");
  EXPECT_EQ(o.err, "tarnwick-solve: " + graph +
                       ": warning: the edge list ends after 1 of 2 edges: edge 2 meets the end "
                       "of the file\n");
  EXPECT_EQ(o.status, 0);
}

}  // namespace
