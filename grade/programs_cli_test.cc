// Real programs built and run by tarnwick-grade: a right and a wrong solution
// through every format, and programs that loop, fork without end, fill
// memory, write forever, crash, sleep, peek at the answer or do not compile,
// each ending with its verdict while the class goes on; programs that take
// files through the run command's placeholders. Each is a small C source the
// grader compiles itself (with cc), under small limits.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "grade/programs.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using tarnwick_test::Outcome;
using tarnwick_test::Scratch;

// Shortest paths by Dijkstra's search over the complete graph (a missing edge
// weighs 10000000, as the judge weighs it), each line the path from the
// source; from standard input (the source after the edges), or from the
// files of its arguments: GRAPH SOURCE OUTPUT.
constexpr char kRight[] = R"(#include <stdio.h>
#include <stdlib.h>
int main(int argc, char **argv) {
  FILE *in = argc > 1 ? fopen(argv[1], "r") : stdin, *out = argc > 3 ? fopen(argv[3], "w") : stdout;
  int n, m, s;
  if (!in || !out || fscanf(in, "%d %d", &n, &m) != 2) return 1;
  long long *w = malloc(sizeof *w * (n + 1) * (n + 1)), *d = malloc(sizeof *d * (n + 1));
  int *prev = malloc(sizeof *prev * (n + 1)), *done = calloc(n + 1, sizeof *done);
  int *path = malloc(sizeof *path * (n + 1));
  for (int i = 0; i <= n; i++)
    for (int j = 0; j <= n; j++) w[i * (n + 1) + j] = i == j ? 0 : 10000000;
  for (int e = 0, u, v, c; e < m && fscanf(in, "%d %d %d", &u, &v, &c) == 3; e++)
    w[u * (n + 1) + v] = w[v * (n + 1) + u] = c;
  if (argc > 2) s = atoi(argv[2]); else if (fscanf(in, "%d", &s) != 1) return 1;
  for (int i = 1; i <= n; i++) d[i] = w[s * (n + 1) + i], prev[i] = s;
  d[s] = 0, done[s] = 1;
  for (int round = 1; round < n; round++) {
    int u = 0;
    for (int i = 1; i <= n; i++) if (!done[i] && (u == 0 || d[i] < d[u])) u = i;
    done[u] = 1;
    for (int i = 1; i <= n; i++)
      if (!done[i] && d[u] + w[u * (n + 1) + i] < d[i]) d[i] = d[u] + w[u * (n + 1) + i], prev[i] = u;
  }
  for (int k = 1; k <= n; k++) {
    int len = 0;
    for (int v = k; v != s; v = prev[v]) path[len++] = v;
    fprintf(out, "%d", s);
    while (len > 0) fprintf(out, " %d", path[--len]);
    fprintf(out, "\n");
  }
  return 0;
}
)";

// The direct edge to every vertex: wrong where a detour is shorter.
constexpr char kWrong[] = R"(#include <stdio.h>
int main(void) {
  int n;
  if (scanf("%d", &n) != 1) return 1;
  for (int k = 1; k <= n; k++) printf("%d\n", k);
  return 0;
}
)";

constexpr char kBroken[] = "#error tarnwick-broken\n";

// Its first line, then a null pointer.
constexpr char kCrash[] = R"(#include <stdio.h>
int main(void) {
  printf("1\n");
  fflush(stdout);
  *(volatile int *)0 = 1;
  return 0;
}
)";

constexpr char kExit3[] = "#include <stdio.h>\nint main(void) { puts(\"1\"); return 3; }\n";
constexpr char kLoop[] = "int main(void) { volatile unsigned long x = 0; for (;;) x++; }\n";
constexpr char kSleep[] = "#include <unistd.h>\nint main(void) { sleep(30); return 0; }\n";
constexpr char kYes[] = "#include <stdio.h>\nint main(void) { for (;;) puts(\"1 2 3\"); }\n";

// A mebibyte more, touched, until malloc fails (then memset of a null pointer).
constexpr char kHog[] = R"(#include <stdlib.h>
#include <string.h>
int main(void) { for (;;) memset(malloc(1 << 20), 1, 1 << 20); }
)";

// Forks without end, every process named so that one left over can be found.
constexpr char kBomb[] = R"(#include <sys/prctl.h>
#include <unistd.h>
int main(void) {
  prctl(PR_SET_NAME, "tarnwick-bomb");
  for (;;) fork();
}
)";

// Copies the test's answer if it can reach it: beside its input (found
// through standard input), or in its own folder.
constexpr char kPeek[] = R"(#include <stdio.h>
#include <string.h>
#include <unistd.h>
int main(void) {
  char path[4096];
  ssize_t n = readlink("/proc/self/fd/0", path, sizeof path - 8);
  FILE *f = NULL;
  if (n > 3) {
    strcpy(path + n - 3, ".ans");
    f = fopen(path, "r");
  }
  if (!f) f = fopen("t1.ans", "r");
  if (!f) return 1;
  for (int c; (c = getc(f)) != EOF;) putchar(c);
  return 0;
}
)";

// For {output}: a link to the test's answer instead of a file it wrote.
constexpr char kLink[] = R"(#include <string.h>
#include <unistd.h>
int main(int argc, char **argv) {
  char path[4096];
  ssize_t n = readlink("/proc/self/fd/0", path, sizeof path - 8);
  if (n <= 3 || argc < 4) return 1;
  strcpy(path + n - 3, ".ans");
  return symlink(path, argv[3]) != 0;
}
)";

constexpr char kNothing[] = "int main(void) { return 0; }\n";

// The right solution, but it fails when its folder holds what an earlier run left.
const std::string kState = std::string("#include <unistd.h>\n#define main solve\n") + kRight +
                           "#undef main\nint main(int argc, char **argv) {\n"
                           "  if (access(\"seen\", F_OK) == 0) return 5;\n"
                           "  fclose(fopen(\"seen\", \"w\"));\n"
                           "  return solve(argc, argv);\n}\n";

// The right solution, but it fails when an earlier test left a file in /tmp
// or a daemon listening on a socket of the sandbox's network; it leaves both.
const std::string kLeftState = std::string(
                                   "#include <sys/socket.h>\n#include <sys/un.h>\n"
                                   "#include <unistd.h>\n#define main solve\n") +
                               kRight + "#undef main\n" + R"(int main(int argc, char **argv) {
  struct sockaddr_un a = {AF_UNIX, "\0tarnwick-seen"};
  int s = socket(AF_UNIX, SOCK_STREAM, 0), d = socket(AF_UNIX, SOCK_STREAM, 0);
  if (access("/tmp/tarnwick-seen", F_OK) == 0 || connect(s, (struct sockaddr *)&a, sizeof a) == 0)
    return 5;
  fclose(fopen("/tmp/tarnwick-seen", "w"));
  if (bind(d, (struct sockaddr *)&a, sizeof a) == 0 && listen(d, 1) == 0 && fork() == 0) {
    setsid();
    for (;;) pause();
  }
  return solve(argc, argv);
}
)";

constexpr char kBuild[] = "cc -O2 -o sol sol.c";

// A test set of two tests, t1 from vertex 1 and t2 from vertex 3 (the second
// worth 2.5 points), with their model answers beside them as a Kattis
// package keeps them; and a folder a submission, each holding sol.c.
class ProgramClassTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/bin/cc")) GTEST_SKIP() << "no C compiler (cc) to build the programs";
    fs::create_directories(s_.dir() / "data");
    s_.file("data/t1.in", "4 4\n1 2 4\n2 3 1\n1 3 7\n3 4 2\n1\n");
    s_.file("data/t1.ans", "1\n1 2\n1 2 3\n1 2 3 4\n");
    s_.file("data/t2.in", "5 6\n1 2 4\n2 3 1\n1 3 7\n3 4 2\n4 5 3\n1 5 20\n3\n");
    s_.file("data/t2.ans", "3 2 1\n3 2\n3\n3 4\n3 4 5\n");
    s_.file("data/points", "t1 1\nt2 2.5\n");
  }
  // Adds a submission folder holding `source` as sol.c; returns its path.
  std::string add(const std::string& who, const std::string& source) {
    fs::create_directories(s_.dir() / "subs" / who);
    s_.file("subs/" + who + "/sol.c", source);
    return sub(who);
  }
  std::string sub(const std::string& who) const { return (s_.dir() / "subs" / who).string(); }
  std::string data() const { return (s_.dir() / "data").string(); }
  // Runs tarnwick-grade with `args`.
  Outcome grade(const std::vector<std::string>& args) {
    return tarnwick_test::run_program(TARNWICK_GRADE, args, s_);
  }
  // Returns the warning tarnwick-grade gives on standard error about the
  // isolation here, line end included, or "".
  // Leaves t1 alone in the test set.
  void one_test() {
    fs::remove(s_.dir() / "data" / "points");
    fs::remove(s_.dir() / "data" / "t2.in");
  }
  // Returns the arguments of tarnwick-grade for the test set under small
  // limits (0.5 s of CPU, so 2 s wall; 64 MiB; 1 MiB of output; 8 processes).
  std::vector<std::string> small_limits() const {
    return {"--testset", data(),      "--build",        kBuild, "--run",       "./sol",
            "--time",    "0.5",       "--memory",       "64M",  "--output-limit", "1M",
            "--processes", "8"};
  }
  static std::string isolation_said() {
    std::string said;
    for (const std::string& w : isolation_warnings(Isolation::kBest)) {
      said += "tarnwick-grade: " + w + "\n";
    }
    return said;
  }

  Scratch s_;
};

// Returns text with the figures of runs, which vary, replaced by letters: the
// csv columns, the jsonl members, JUnit's time, and the machine's isolation
// and its note.
std::string masked(std::string text) {
  const std::pair<const char*, const char*> kFigures[] = {
      {R"(,\d+\.\d{3},\d+\.\d{3},\d+\n)", ",C,W,M\n"},
      {R"("cpu_seconds":[0-9.]+)", R"("cpu_seconds":C)"},
      {R"("wall_seconds":[0-9.]+)", R"("wall_seconds":W)"},
      {R"("peak_memory_bytes":\d+)", R"("peak_memory_bytes":M)"},
      {R"("isolation":"[a-z ]+")", R"("isolation":"I")"},
      {R"(,"note":"[^"]*")", ""},
      {R"("errors":"(\\.|[^"\\])*")", R"("errors":"E")"},
      {R"( time="[0-9.]+")", R"( time="T")"},
      {R"(\(\d+\.\d\d s of CPU, \d+\.\d\d s wall, peak \d+\.\d MiB\))", "(FIGURES)"},
  };
  for (const auto& [pattern, letters] : kFigures) {
    text = std::regex_replace(text, std::regex(pattern), letters);
  }
  return text;
}

// A right and a wrong solution, one that does not compile and one that
// crashes, in every format: what the grader tells of each, figures aside.
TEST_F(ProgramClassTest, RightAndWrongInEveryFormat) {
  const std::string R = add("right", kRight), W = add("wrong", kWrong), B = add("broken", kBroken),
                    C = add("crash", kCrash);
  const std::vector<std::string> run = {"--testset", data(), "--build", kBuild, "--run", "./sol",
                                        "--time",    "1"};
  const std::string summary =
      isolation_said() +
      "tarnwick-grade: 4 submissions x 2 tests: 2 succeeded, 2 wrong, 0 empty, 2 compile errors, "
      "0 time limits, 0 wall time limits, 0 memory limits, 2 run-time errors, 0 output limits, 0 "
      "not judged; 1 of 4 passed every test; mean 0.875 of 3.5 points\n";
  const std::string crash = "Run-time error: killed by signal 11 (SIGSEGV)";
  struct Case {
    std::string format, out;
  } cases[] = {
      {"text",
       R + "\tt1\tSuccess\n" + R + "\tt2\tSuccess\n" + W + "\tt1\tWrong answer in path 1 to 3\n" +
           W + "\tt2\tWrong answer in path 3 to 1\n" + B + "\tt1\tCompile error\n" + B +
           "\tt2\tCompile error\n" + C + "\tt1\t" + crash + "\n" + C + "\tt2\t" + crash + "\n" + R +
           "\t2 of 2 tests passed\t3.5 of 3.5 points\n" + W +
           "\t0 of 2 tests passed\t0 of 3.5 points\n" + B +
           "\t0 of 2 tests passed\t0 of 3.5 points\n" + C +
           "\t0 of 2 tests passed\t0 of 3.5 points\n"},
      {"csv",
       "submission,test,path,verdict,line,judged,points,path_bytes,note,cpu_seconds,wall_seconds,"
       "peak_memory_bytes\n" +
           R + ",t1," + R + ",Success,,true,1,,,C,W,M\n" + R + ",t2," + R +
           ",Success,,true,2.5,,,C,W,M\n" + W + ",t1," + W +
           ",Wrong answer in path 1 to 3,3,true,0,,,C,W,M\n" + W + ",t2," + W +
           ",Wrong answer in path 3 to 1,1,true,0,,,C,W,M\n" + B + ",t1," + B +
           ",Compile error,,false,0,,,,,\n" + B + ",t2," + B + ",Compile error,,false,0,,,,,\n" + C +
           ",t1," + C + "," + crash + ",,false,0,,,C,W,M\n" + C + ",t2," + C + "," + crash +
           ",,false,0,,,C,W,M\n" + R + ",,,2 of 2 tests passed,,,3.5,,,,,\n" + W +
           ",,,0 of 2 tests passed,,,0,,,,,\n" + B + ",,,0 of 2 tests passed,,,0,,,,,\n" + C +
           ",,,0 of 2 tests passed,,,0,,,,,\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = run;
    args.insert(args.end(), {"--format=" + c.format, R, W, B, C});
    const Outcome o = grade(args);
    EXPECT_EQ(o.status, 0) << c.format << ": " << o.err;
    EXPECT_EQ(masked(o.out), c.out) << c.format;
    EXPECT_EQ(o.err, summary) << c.format;
  }
  std::vector<std::string> args = run;
  args.insert(args.end(), {"--format=jsonl", W, B, C});
  const std::string raw = grade(args).out, jsonl = masked(raw);
  for (const std::string& line : {
           "{\"submission\":\"" + W + "\",\"test\":\"t2\",\"path\":\"" + W +
               "\",\"verdict\":\"Wrong answer in path 3 to 1\",\"line\":1,\"judged\":true,"
               "\"points\":0,\"run\":{\"step\":\"run\",\"end\":\"finished\",\"exit_status\":0,"
               "\"signal\":null,\"cpu_seconds\":C,\"wall_seconds\":W,\"peak_memory_bytes\":M,"
               "\"output_bytes\":10,\"isolation\":\"I\"}}\n",
           "{\"submission\":\"" + B + "\",\"test\":\"t1\",\"path\":\"" + B +
               "\",\"verdict\":\"Compile error\",\"line\":null,\"judged\":false,\"points\":0,"
               "\"run\":{\"step\":\"build\",\"end\":\"runtime error\",\"exit_status\":1,"
               "\"signal\":null,\"cpu_seconds\":C,\"wall_seconds\":W,\"peak_memory_bytes\":M,"
               "\"output_bytes\":0,\"isolation\":\"I\",\"errors\":\"E\"}}\n",
           "{\"submission\":\"" + C + "\",\"test\":\"t1\",\"path\":\"" + C + "\",\"verdict\":\"" +
               crash +
               "\",\"line\":null,\"judged\":false,\"points\":0,\"run\":{\"step\":\"run\",\"end\":"
               "\"runtime error\",\"exit_status\":null,\"signal\":11,\"cpu_seconds\":C,"
               "\"wall_seconds\":W,\"peak_memory_bytes\":M,\"output_bytes\":2,\"isolation\":\"I\",\"errors\":\"E\"}}\n",
       }) {
    EXPECT_NE(jsonl.find(line), std::string::npos) << line << "\nnot in\n" << jsonl;
  }
  EXPECT_NE(raw.find("#error tarnwick-broken"), std::string::npos);  // the compiler's lines
}

TEST_F(ProgramClassTest, GradescopeJunitAndHtml) {
  const std::string R = add("right", kRight), W = add("wrong", kWrong), B = add("broken", kBroken);
  const std::vector<std::string> run = {"--testset", data(), "--build", kBuild, "--run", "./sol"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = run;
    args.insert(args.end(), more.begin(), more.end());
    return grade(args);
  };
  // The wrong solution's results.json: the student's account of its first wrong line.
  Outcome o = with({"--format=gradescope", W});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "{\n  \"score\": 0,\n  \"tests\": [\n    {\"name\": \"t1\", \"score\": 0, \"max_score\": "
            "1, \"status\": \"failed\", \"output\": \"Wrong answer in path 1 to 3\\u000aLine 3 as "
            "the judge weighs it, from source 1:\\u000a  step 1: 1 to 3, weight 7: edge 1-3, graph "
            "line 4\\u000aTotal 7: not the shortest distance from 1 to 3.\\u000aThe path ends at 3, "
            "vertex 3 of this line.\\u000a\", \"visibility\": \"visible\"},\n    {\"name\": \"t2\", "
            "\"score\": 0, \"max_score\": 2.5, \"status\": \"failed\", \"output\": \"Wrong answer "
            "in path 3 to 1\\u000aLine 1 as the judge weighs it, from source 3:\\u000a  step 1: 3 to "
            "1, weight 7: edge 3-1, graph line 4\\u000aTotal 7: not the shortest distance from 3 to "
            "1.\\u000aThe path ends at 1, vertex 1 of this line.\\u000a\", \"visibility\": "
            "\"visible\"}\n  ]\n}\n");
  o = with({"--format=gradescope", B});
  EXPECT_EQ(o.out.rfind("{\n  \"score\": 0,\n  \"output\": \"Compile error (exit status 1):\\u000a", 0),
            0u)
      << o.out;
  EXPECT_NE(o.out.find("#error tarnwick-broken"), std::string::npos);
  EXPECT_NE(o.out.find("\"status\": \"failed\", \"output\": \"Compile error (exit status 1)\""),
            std::string::npos);
  o = with({"--format=junit", R, W, B});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string xml = masked(o.out);
  for (const std::string& part : {
           std::string("<testsuites name=\"tarnwick-grade\" tests=\"6\" failures=\"4\" errors=\"0\">"),
           "<testcase classname=\"" + R + "\" name=\"t1\" time=\"T\"/>",
           "<testcase classname=\"" + W + "\" name=\"t2\" time=\"T\">\n      <failure message=\"Wrong "
           "answer in path 3 to 1\" type=\"wrong answer\">Wrong answer in path 3 to 1\nLine 1 as the "
           "judge weighs it, from source 3:\n  step 1: 3 to 1, weight 7: edge 3-1, graph line 4\n",
           "<testcase classname=\"" + B + "\" name=\"t1\">\n      <failure message=\"Compile "
           "error\" type=\"compile error\">Compile error (exit status 1)\n",
       }) {
    EXPECT_NE(xml.find(part), std::string::npos) << part << "\nnot in\n" << xml;
  }
  o = with({"--format=html", R, W, B});
  EXPECT_EQ(o.status, 0) << o.err;
  for (const std::string& part : {
           std::string("<td class=\"o passed\" data-v=\"3\" title=\"Success ("),
           std::string("<td class=\"o wrong\" data-v=\"2\" title=\"Wrong answer in path 1 to 3 ("),
           std::string("<td class=\"o compile\" data-v=\"1\" title=\"Compile error (exit status "
                       "1)\"><details><summary>compile error</summary>"),
           "<p id=\"programs\">Built with <code>" + std::string(kBuild) +
               "</code>, run with <code>./sol</code> on each test, under 1 s of CPU, 3 s wall, "
               "256 MiB, 64 MiB of output, 16 processes (isolation: " +
               isolation_name(runner_abilities().best) + ").</p>",
           "<details><summary>" + B + ": compile error (exit status 1)</summary><pre>",
       }) {
    EXPECT_NE(o.out.find(part), std::string::npos) << part;
  }
}

// Every way a program can go wrong, in one class on one test: each ends with
// its verdict, and the class is graded in seconds.
TEST_F(ProgramClassTest, MisbehavingProgramsEndWithTheirVerdicts) {
  one_test();
  const std::pair<const char*, std::string> cases[][2] = {
      {{"broken", kBroken}, {"Compile error", ""}},
      {{"crash", kCrash}, {"Run-time error: killed by signal 11 (SIGSEGV)", ""}},
      {{"exit3", kExit3}, {"Run-time error: exit status 3", ""}},
      {{"hog", kHog}, {"Memory limit exceeded", ""}},
      {{"loop", kLoop}, {"Time limit exceeded", ""}},  // CPU time: its wall limit is 2 s
      {{"right", kRight}, {"Success", ""}},
      {{"sleep", kSleep}, {"Wall time limit exceeded", ""}},
      {{"wrong", kWrong}, {"Wrong answer in path 1 to 3", ""}},
      {{"yes", kYes}, {"Output limit exceeded", ""}},
  };
  std::vector<std::string> args = small_limits();
  std::string expected;
  for (const auto& c : cases) {
    args.push_back(add(c[0].first, c[0].second));
    expected += args.back() + "\tt1\t" + c[1].first + "\n";
  }
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = grade(args);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, expected.size()), expected);
  EXPECT_LT(seconds, 20) << "the class stalled";
}

// Returns how many processes have the name `comm` now.
int processes_named(const std::string& comm) {
  int found = 0;
  std::error_code error;
  for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    found += tarnwick_test::slurp(it->path() / "comm") == comm + "\n";
  }
  return found;
}

// A fork bomb's forks fail at the process limit; it spins until its CPU
// time is spent, and none of its processes outlives the grading.
TEST_F(ProgramClassTest, ForkBombIsBoundedByTheProcessLimit) {
  if (!runner_abilities().own_uid) GTEST_SKIP() << "the process limit needs root (a uid a run)";
  one_test();
  std::vector<std::string> args = small_limits();
  args.push_back(add("bomb", kBomb));
  const Outcome o = grade(args);
  EXPECT_EQ(o.out.substr(0, o.out.find('\n') + 1), args.back() + "\tt1\tTime limit exceeded\n")
      << o.err;
  EXPECT_EQ(processes_named("tarnwick-bomb"), 0);
}

// A program that goes looking for the test's answer (beside its input, which
// it finds through its standard input, or in its own folder) finds nothing.
TEST_F(ProgramClassTest, TheAnswerIsOutOfReach) {
  const RunnerAbilities& a = runner_abilities();
  if (!a.bubblewrap && !a.own_uid) {
    GTEST_SKIP() << "neither bubblewrap nor a uid a run here: a program reads what we may read";
  }
  std::vector<std::string> args = small_limits();
  args.push_back(add("peek", kPeek));
  const Outcome o = grade(args);
  const std::string P = args.back();
  EXPECT_EQ(o.out.substr(0, o.out.find("\t0 of")), P + "\tt1\tRun-time error: exit status 1\n" + P +
                                                     "\tt2\tRun-time error: exit status 1\n" + P)
      << o.err;
}

// What a test leaves outside its folder (a file in /tmp, a daemon holding a
// socket) is not there for the next, though a submission's tests share a sandbox.
TEST_F(ProgramClassTest, NothingATestLeavesOutsideItsFolderIsThereForTheNext) {
  if (!runner_abilities().bubblewrap) GTEST_SKIP() << "without bubblewrap /tmp is the machine's";
  std::vector<std::string> args = small_limits();
  args.push_back(add("left", kLeftState));
  const Outcome o = grade(args);
  const std::string L = args.back();
  EXPECT_EQ(o.out.substr(0, o.out.find("\t2 of")), L + "\tt1\tSuccess\n" + L + "\tt2\tSuccess\n" + L)
      << o.err;
}

// Programs that take files through the run command's placeholders, each run
// in a fresh copy of its built folder; one that leaves a link to the answer
// where its output should be gets an empty result, not the answer; and
// nothing is left in the scratch folders.
TEST_F(ProgramClassTest, ProgramsThatTakeFiles) {
  const std::string F = add("files", kRight), L = add("link", kLink), N = add("nothing", kNothing),
                    S = add("state", kState);
  // A TMPDIR of its own, which runs of uids of their own may pass through.
  char folder[] = "/tmp/tarnwick-temp-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const fs::path temp = folder;
  fs::permissions(temp, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  const Outcome o = tarnwick_test::run_program(
      "/usr/bin/env",
      {"TMPDIR=" + temp.string(), TARNWICK_GRADE, "--testset", data(), "--build", kBuild, "--run",
       "./sol {graph} {source} {output}", F, L, N, S},
      s_);
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string records = F + "\tt1\tSuccess\n" + F + "\tt2\tSuccess\n" + L +
                              "\tt1\tEmpty file\n" + L + "\tt2\tEmpty file\n" + N +
                              "\tt1\tEmpty file\n" + N + "\tt2\tEmpty file\n" + S +
                              "\tt1\tSuccess\n" + S + "\tt2\tSuccess\n";
  EXPECT_EQ(o.out.substr(0, records.size()), records);
  EXPECT_TRUE(fs::is_empty(temp)) << "scratch folders left in " << temp;
  fs::remove_all(temp);
}

TEST_F(ProgramClassTest, WrongUse) {
  const std::string A = add("ada", kRight), D = data();
  const std::string usage =
      "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
      "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--testset", D, "--build", "make", A}, "--build needs --run"},
      {{"--testset", D, "--processes", "8", A}, "--processes needs --run"},
      {{"--run", "./sol", D + "/t1.in", "1", A}, "--run needs --testset"},
      {{"--testset", D, "--run", "./sol", "--output-name", "out/{name}", A},
       "--output-name names result files, which --run makes"},
      {{"--testset", D, "--run", "./sol", "--time", "fast", A},
       "--time 'fast' is not a number of seconds from 0.001 to 86400"},
      {{"--testset", D, "--run", "./sol", "--isolation", "chroot", A},
       "--isolation 'chroot' is not best, bubblewrap, pid-namespace or subreaper"},
      {{"--testset", D, "--run", A}, "--testset needs at least one submission folder"},
  };
  for (const Case& c : cases) {
    const Outcome o = grade(c.args);
    EXPECT_EQ(o.status, 1) << c.err;
    EXPECT_EQ(o.err, "tarnwick-grade: " + c.err + "\n" + usage);
  }
  EXPECT_EQ(isolation_unavailable(Isolation::kSubreaper), "");
  EXPECT_EQ(isolation_unavailable(Isolation::kBubblewrap).empty(), runner_abilities().bubblewrap);
  EXPECT_EQ(isolation_unavailable(Isolation::kPidNamespace).empty(), runner_abilities().pid_namespace);
}

}  // namespace
}  // namespace tarnwick
