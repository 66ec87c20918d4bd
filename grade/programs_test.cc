// tarnwick-grade grading programs: its options, the run command's
// placeholders, the scratch copies, each new verdict in every format (golden,
// from runs made up here), a produced file judged through grade_all.
// Real programs through the grader are in programs_cli_test.cc.
#include "grade/programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "grade/report.h"
#include "grade/testset.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using tarnwick_test::Scratch;

// Returns the command line `values` and `flags` given, as the grammar reads it.
Args args_of(std::map<std::string, std::string> values) {
  Args a;
  a.values = std::move(values);
  return a;
}

TEST(ProgramOptions, RefusesWrongUse) {
  const std::string S = "a number of seconds from 0.001 to 86400";
  const std::map<std::string, std::string> run = {{"--run", "./sol"}, {"--testset", "d"}};
  struct Case {
    std::map<std::string, std::string> more;
    std::string why;
  } cases[] = {
      {{{"--build", "make"}}, "--build needs --run"},
      {{{"--time", "1"}}, "--time needs --run"},
      {{{"--isolation", "best"}}, "--isolation needs --run"},
      {{{"--run", "x"}}, "--run needs --testset"},
      {{{"--run", "x"}, {"--testset", "d"}, {"--output-name", "{name}"}},
       "--output-name names result files, which --run makes"},
      {{{"--run", "x"}, {"--testset", "d"}, {"--max-result-bytes", "1K"}},
       "--max-result-bytes is for result files; --output-limit bounds a program's output"},
      {{{"--run", ""}, {"--testset", "d"}}, "--run needs a command"},
      {{{"--time", "0"}}, "--time '0' is not " + S},
      {{{"--time", "1e3"}}, "--time '1e3' is not " + S},
      {{{"--time", "-1"}}, "--time '-1' is not " + S},
      {{{"--time", "1.2.3"}}, "--time '1.2.3' is not " + S},
      {{{"--wall-time", "86401"}}, "--wall-time '86401' is not " + S},
      {{{"--build-time", "x"}}, "--build-time 'x' is not " + S},
      {{{"--memory", "64X"}}, "--memory '64X' is not a byte count (digits, then K, M or G)"},
      {{{"--output-limit", "M"}}, "--output-limit 'M' is not a byte count (digits, then K, M or G)"},
      {{{"--processes", "0"}}, "--processes '0' is not a whole number from 1 to 4096"},
      {{{"--processes", "4097"}}, "--processes '4097' is not a whole number from 1 to 4096"},
      {{{"--isolation", "docker"}},
       "--isolation 'docker' is not best, bubblewrap, pid-namespace or subreaper"},
  };
  for (const Case& c : cases) {
    std::map<std::string, std::string> values = c.more;
    if (c.why.find("needs --run") == std::string::npos && !values.count("--run")) {
      values.insert(run.begin(), run.end());
    }
    ProgramOptions o;
    std::string why;
    EXPECT_FALSE(read_program_options(args_of(values), &o, &why)) << c.why;
    EXPECT_EQ(why, c.why);
  }
}

TEST(ProgramOptions, ReadsLimitsWithTheirDefaults) {
  ProgramOptions o;
  std::string why;
  ASSERT_TRUE(read_program_options(args_of({}), &o, &why)) << why;
  EXPECT_EQ(o.run, "");  // no programs
  ASSERT_TRUE(read_program_options(args_of({{"--run", "./sol"}, {"--testset", "d"}}), &o, &why));
  EXPECT_EQ(o.run, "./sol");
  EXPECT_EQ(o.build, "");
  EXPECT_EQ(limits_text(o.limits), "1 s of CPU, 3 s wall, 256 MiB, 64 MiB of output, 16 processes");
  EXPECT_EQ(limits_text(o.build_limits),
            "60 s of CPU, 130 s wall, 2 GiB, 1 GiB of output, 64 processes");
  EXPECT_EQ(o.isolation, Isolation::kBest);
  ProgramOptions p;
  ASSERT_TRUE(read_program_options(
      args_of({{"--run", "./sol {input}"}, {"--testset", "d"}, {"--build", "make"},
               {"--time", "0.5"}, {"--memory", "3G"}, {"--output-limit", "1536K"},
               {"--processes", "100"}, {"--build-time", "5"}, {"--isolation", "pid-namespace"}}),
      &p, &why))
      << why;
  EXPECT_EQ(p.build, "make");
  EXPECT_EQ(limits_text(p.limits),
            "0.5 s of CPU, 2 s wall, 3 GiB, 1536 KiB of output, 100 processes");
  EXPECT_EQ(limits_text(p.build_limits), "5 s of CPU, 20 s wall, 3 GiB, 1 GiB of output, 100 processes");
  EXPECT_EQ(p.isolation, Isolation::kPidNamespace);
  ASSERT_TRUE(read_program_options(
      args_of({{"--run", "x"}, {"--testset", "d"}, {"--time", "2"}, {"--wall-time", ".5"}}), &p,
      &why));
  EXPECT_EQ(p.limits.wall_seconds, 0.5);  // given: not derived from --time
}

TEST(RunCommand, PlaceholdersAreReplacedAndQuoted) {
  const Placeholders plain{"/tmp/r-1/tarnwick.in", "7", "/tmp/r-1/tarnwick.out"};
  const Placeholders odd{"/tmp/a b/it's.in", "1", "/tmp/x;y/o"};
  struct Case {
    std::string command;
    const Placeholders* p;
    std::string expanded;
  } cases[] = {
      {"./sol", &plain, "./sol"},
      {"./sol {input} {source} > {output}", &plain,
       "./sol /tmp/r-1/tarnwick.in 7 > /tmp/r-1/tarnwick.out"},
      {"java Main {graph} {graph}", &plain, "java Main /tmp/r-1/tarnwick.in /tmp/r-1/tarnwick.in"},
      {"./sol {input} {output}", &odd, "./sol '/tmp/a b/it'\\''s.in' '/tmp/x;y/o'"},
      {"echo {name} {} {{source}} {source", &plain, "echo {name} {} {7} {source"},
  };
  for (const Case& c : cases) EXPECT_EQ(expand_run_command(c.command, *c.p), c.expanded);
  EXPECT_TRUE(names("./sol > {output}", "{output}"));
  EXPECT_FALSE(names("./sol > output", "{output}"));
}

// Returns the permission bits of path, not following a link.
unsigned mode_of(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(ScratchCopy, CopiesFoldersFilesAndLinksOnly) {
  Scratch s;
  const fs::path from = s.dir() / "from", to = s.dir() / "to";
  fs::create_directories(from / "sub" / "deeper");
  s.file("from/a.c", "int main(void) { return 0; }\n");
  s.file("from/run.sh", "#!/bin/sh\n");
  fs::permissions(from / "run.sh", fs::perms::owner_all);
  s.file("from/sub/deeper/data", "x");
  fs::create_symlink("/etc/passwd", from / "passwd");  // copied as a link, never read
  ASSERT_EQ(::mkfifo((from / "fifo").c_str(), 0600), 0);
  fs::create_directory(to);
  EXPECT_EQ(copy_folder(from.string(), to.string()), "");
  EXPECT_EQ(tarnwick_test::slurp(to / "a.c"), "int main(void) { return 0; }\n");
  EXPECT_EQ(mode_of(to / "a.c"), 0666u);
  EXPECT_EQ(mode_of(to / "run.sh"), 0777u);
  EXPECT_EQ(mode_of(to / "sub"), 0777u);
  EXPECT_EQ(tarnwick_test::slurp(to / "sub" / "deeper" / "data"), "x");
  EXPECT_TRUE(fs::is_symlink(to / "passwd"));
  EXPECT_EQ(fs::read_symlink(to / "passwd"), "/etc/passwd");
  EXPECT_FALSE(fs::exists(fs::symlink_status(to / "fifo")));
  EXPECT_NE(copy_folder((s.dir() / "none").string(), to.string()).find("No such file"),
            std::string::npos);
  // A copy that meets a file already there says so (O_EXCL: nothing is overwritten through a link).
  EXPECT_NE(copy_folder(from.string(), to.string()).find("File exists"), std::string::npos);
  // Whatever modes a program left, the folder goes.
  fs::permissions(to / "sub" / "deeper", fs::perms::none);
  fs::permissions(to / "sub", fs::perms::none);
  remove_folder(to.string());
  EXPECT_FALSE(fs::exists(to));
}

constexpr char kGraph[] = "3 3\n1 2 4\n2 3 1\n1 3 7\n";

// Returns a run that ended as `end`, with the given figures.
RunResult ran(RunEnd end, double cpu, double wall, uint64_t peak_mib) {
  RunResult r;
  r.end = end;
  r.exit_status = end == RunEnd::kFinished ? 0 : -1;
  r.cpu_seconds = cpu;
  r.wall_seconds = wall;
  r.peak_memory_bytes = peak_mib << 20;
  r.isolation = Isolation::kBubblewrap;
  return r;
}

// A file produced before it is judged: a program that finished is judged
// through the case; one that failed or could not run is not, and says why.
TEST(GradeAll, ProducesEachFileBeforeJudgingIt) {
  Scratch s;
  Case judging;
  GraphFile file;
  file.assign(kGraph);
  std::string why;
  ASSERT_TRUE(judging.make(file, "g", SourceGiven::argument("1"), {}, &why)) << why;
  const std::vector<std::string> paths = {(s.dir() / "0").string(), (s.dir() / "1").string(),
                                          (s.dir() / "2").string(), (s.dir() / "3").string()};
  GradeOptions options{2};
  options.produce = [&](size_t i) {
    ProgramRun p{RunFailure::kNone, ran(RunEnd::kFinished, 0.01, 0.02, 1), "", ""};
    tarnwick_test::write_file(paths[i], i == 0 ? "1\n1 2\n1 2 3\n" : "1\n1 3\n");
    if (i == 2) p.failure = RunFailure::kTimeLimit;
    if (i == 3) p.not_run = "cannot run: bwrap: no permission";
    return p;
  };
  std::vector<Graded> seen;
  grade_all(paths, judging, options, [&](const Graded& g) { seen.push_back(g); });
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(outcome_text(seen[0]), "Success");
  EXPECT_EQ(outcome_text(seen[1]), "Wrong answer in path 1 to 2");
  EXPECT_EQ(outcome_text(seen[2]), "Time limit exceeded");  // its file is not read
  EXPECT_FALSE(seen[2].judged);
  EXPECT_EQ(outcome_text(seen[3]), "not judged: cannot run: bwrap: no permission");
  for (const Graded& g : seen) EXPECT_TRUE(g.program.has_value());
  Tally t;
  t.add(seen);
  EXPECT_EQ(t.summary(),
            "4 files: 1 succeeded, 1 wrong, 0 empty, 0 compile errors, 1 time limit, 0 wall time "
            "limits, 0 memory limits, 0 run-time errors, 0 output limits, 1 not judged");
}

// A class of one test and a submission for each way a program can end, its
// figures made up, and the setup they ran under.
ClassResults made_up_class() {
  ClassResults r;
  r.set.tests = {{"t1", 2500, 3}};
  r.set.weighted = true;
  ProgramOptions p;
  p.build = "cc -o sol sol.c";
  p.run = "./sol";
  p.limits = {0.5, 2, uint64_t{64} << 20, uint64_t{1} << 20, 8, 4096};
  r.programs = p;
  auto add = [&](const std::string& who, RunFailure f, RunResult result, std::string errors = "") {
    Graded g{who, false, {}, ""};
    g.program = ProgramRun{f, result, std::move(errors), ""};
    r.submissions.push_back(who);
    r.results.push_back(g);
    return &r.results.back();
  };
  Graded* right = add("right", RunFailure::kNone, ran(RunEnd::kFinished, 0.012, 0.034, 2));
  right->judged = true;
  right->verdict = {Verdict::kSuccess, 1, 0};
  RunResult build = ran(RunEnd::kRuntimeError, 0.05, 0.2, 20);
  build.exit_status = 1;
  add("broken", RunFailure::kCompileError, build, "sol.c:1:2: error: #error <no>\n");
  add("loop", RunFailure::kTimeLimit, ran(RunEnd::kTimeLimit, 0.513, 0.52, 1));
  add("sleep", RunFailure::kWallTimeLimit, ran(RunEnd::kWallTimeLimit, 0.001, 2.003, 1));
  add("hog", RunFailure::kMemoryLimit, ran(RunEnd::kMemoryLimit, 0.03, 0.04, 63));
  RunResult crash = ran(RunEnd::kRuntimeError, 0.002, 0.01, 1);
  crash.signal = 11;
  crash.note = "bubblewrap tells signal 11 as exit status 139";
  add("crash", RunFailure::kRuntimeError, crash, "half-way\n");
  RunResult yes = ran(RunEnd::kOutputLimit, 0.02, 0.03, 1);
  yes.output_bytes = (1 << 20) + 1;
  add("yes", RunFailure::kOutputLimit, yes);
  Graded* lost = add("lost", RunFailure::kNone, RunResult{});
  lost->program->not_run = "cannot run: bwrap: Creating new namespace failed";
  lost->reason = lost->program->not_run;
  return r;
}

TEST(ProgramFormats, TextAndCsvRecords) {
  const ClassResults r = made_up_class();
  EXPECT_EQ(class_records(Format::kText, r),
            "right\tt1\tSuccess\n"
            "broken\tt1\tCompile error\n"
            "loop\tt1\tTime limit exceeded\n"
            "sleep\tt1\tWall time limit exceeded\n"
            "hog\tt1\tMemory limit exceeded\n"
            "crash\tt1\tRun-time error: killed by signal 11 (SIGSEGV)\n"
            "yes\tt1\tOutput limit exceeded\n"
            "lost\tt1\tnot judged: cannot run: bwrap: Creating new namespace failed\n"
            "right\t1 of 1 tests passed\t2.5 of 2.5 points\n"
            "broken\t0 of 1 tests passed\t0 of 2.5 points\n"
            "loop\t0 of 1 tests passed\t0 of 2.5 points\n"
            "sleep\t0 of 1 tests passed\t0 of 2.5 points\n"
            "hog\t0 of 1 tests passed\t0 of 2.5 points\n"
            "crash\t0 of 1 tests passed\t0 of 2.5 points\n"
            "yes\t0 of 1 tests passed\t0 of 2.5 points\n"
            "lost\t0 of 1 tests passed\t0 of 2.5 points\n");
  const std::string csv = class_records(Format::kCsv, r);
  EXPECT_EQ(csv.substr(0, csv.find("right,,,")),
            "submission,test,path,verdict,line,judged,points,path_bytes,note,cpu_seconds,wall_seconds,"
            "peak_memory_bytes\n"
            "right,t1,right,Success,,true,2.5,,,0.012,0.034,2097152\n"
            "broken,t1,broken,Compile error,,false,0,,,,,\n"
            "loop,t1,loop,Time limit exceeded,,false,0,,,0.513,0.520,1048576\n"
            "sleep,t1,sleep,Wall time limit exceeded,,false,0,,,0.001,2.003,1048576\n"
            "hog,t1,hog,Memory limit exceeded,,false,0,,,0.030,0.040,66060288\n"
            "crash,t1,crash,Run-time error: killed by signal 11 (SIGSEGV),,false,0,,,0.002,0.010,"
            "1048576\n"
            "yes,t1,yes,Output limit exceeded,,false,0,,,0.020,0.030,1048576\n"
            "lost,t1,lost,not judged: cannot run: bwrap: Creating new namespace failed,,false,0,,,,,\n");
  // A standing has as many columns as a record.
  EXPECT_NE(csv.find("\nright,,,1 of 1 tests passed,,,2.5,,,,,\n"), std::string::npos) << csv;
  EXPECT_EQ(class_summary(r),
            "8 submissions x 1 test: 1 succeeded, 0 wrong, 0 empty, 1 compile error, 1 time limit, "
            "1 wall time limit, 1 memory limit, 1 run-time error, 1 output limit, 1 not judged; 1 "
            "of 8 passed every test; mean 0.313 of 2.5 points");
}

TEST(ProgramFormats, JsonLinesTellTheRun) {
  const std::string jsonl = class_records(Format::kJsonl, made_up_class());
  std::vector<std::string> lines;
  for (size_t at = 0; at < jsonl.size(); at = jsonl.find('\n', at) + 1) {
    lines.push_back(jsonl.substr(at, jsonl.find('\n', at) - at));
  }
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0],
            "{\"submission\":\"right\",\"test\":\"t1\",\"path\":\"right\",\"verdict\":\"Success\","
            "\"line\":null,\"judged\":true,\"points\":2.5,\"run\":{\"step\":\"run\",\"end\":"
            "\"finished\",\"exit_status\":0,\"signal\":null,\"cpu_seconds\":0.012,\"wall_seconds\":"
            "0.034,\"peak_memory_bytes\":2097152,\"output_bytes\":0,\"isolation\":\"bubblewrap\"}}");
  EXPECT_EQ(lines[1],
            "{\"submission\":\"broken\",\"test\":\"t1\",\"path\":\"broken\",\"verdict\":\"Compile "
            "error\",\"line\":null,\"judged\":false,\"points\":0,\"run\":{\"step\":\"build\",\"end\":"
            "\"runtime error\",\"exit_status\":1,\"signal\":null,\"cpu_seconds\":0.050,"
            "\"wall_seconds\":0.200,\"peak_memory_bytes\":20971520,\"output_bytes\":0,\"isolation\":"
            "\"bubblewrap\",\"errors\":\"sol.c:1:2: error: #error <no>\\u000a\"}}");
  EXPECT_EQ(lines[5],
            "{\"submission\":\"crash\",\"test\":\"t1\",\"path\":\"crash\",\"verdict\":\"Run-time "
            "error: killed by signal 11 (SIGSEGV)\",\"line\":null,\"judged\":false,\"points\":0,"
            "\"run\":{\"step\":\"run\",\"end\":\"runtime error\",\"exit_status\":null,\"signal\":11,"
            "\"cpu_seconds\":0.002,\"wall_seconds\":0.010,\"peak_memory_bytes\":1048576,"
            "\"output_bytes\":0,\"isolation\":\"bubblewrap\",\"note\":\"bubblewrap tells signal 11 "
            "as exit status 139\",\"errors\":\"half-way\\u000a\"}}");
  EXPECT_NE(lines[7].find("\"verdict\":\"not judged: cannot run: bwrap: Creating new namespace "
                          "failed\",\"line\":null,\"judged\":false,\"points\":0,\"run\":{\"step\":"
                          "\"run\",\"end\":\"cannot run\""),
            std::string::npos)
      << lines[7];
}

TEST(ProgramFormats, JunitFailuresByKind) {
  const std::string xml = junit_report(made_up_class());
  EXPECT_NE(xml.find("<testsuites name=\"tarnwick-grade\" tests=\"8\" failures=\"6\" errors=\"1\">"),
            std::string::npos);
  EXPECT_NE(xml.find("<testcase classname=\"right\" name=\"t1\" time=\"0.034\"/>"), std::string::npos);
  // The compiler's lines keep their line ends; markup is escaped.
  EXPECT_NE(xml.find("<testcase classname=\"broken\" name=\"t1\">\n      <failure message=\"Compile "
                     "error\" type=\"compile error\">Compile error (exit status 1)\nsol.c:1:2: "
                     "error: #error &lt;no&gt;\n</failure>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<testcase classname=\"loop\" name=\"t1\" time=\"0.520\">\n      <failure "
                     "message=\"Time limit exceeded\" type=\"time limit\">Time limit exceeded (0.51 "
                     "s of CPU, 0.52 s wall, peak 1.0 MiB)</failure>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("type=\"run-time error\">Run-time error: killed by signal 11 (SIGSEGV) (0.00 s "
                     "of CPU, 0.01 s wall, peak 1.0 MiB)</failure>"),
            std::string::npos);
  EXPECT_NE(xml.find("<error message=\"not judged: cannot run: bwrap: Creating new namespace "
                     "failed\" type=\"not judged\">"),
            std::string::npos);
}

// Returns the class with only submission s.
ClassResults only(const ClassResults& all, size_t s) {
  ClassResults r = all;
  r.submissions = {all.submissions[s]};
  r.results = {all.results[s]};
  return r;
}

TEST(ProgramFormats, GradescopeShowsTheCompilerAndTheFigures) {
  const ClassResults all = made_up_class();
  EXPECT_EQ(gradescope_results(only(all, 1), "visible"),
            "{\n  \"score\": 0,\n  \"output\": \"Compile error (exit status 1):\\u000asol.c:1:2: "
            "error: #error <no>\\u000a\",\n  \"tests\": [\n    {\"name\": \"t1\", \"score\": 0, "
            "\"max_score\": 2.5, \"status\": \"failed\", \"output\": \"Compile error (exit status "
            "1)\", \"visibility\": \"visible\"}\n  ]\n}\n");
  const std::string outputs[] = {
      "Success",
      "Compile error (exit status 1)",
      "Time limit exceeded (0.51 s of CPU, 0.52 s wall, peak 1.0 MiB)",
      "Wall time limit exceeded (0.00 s of CPU, 2.00 s wall, peak 1.0 MiB)",
      "Memory limit exceeded (0.03 s of CPU, 0.04 s wall, peak 63.0 MiB)",
      "Run-time error: killed by signal 11 (SIGSEGV) (0.00 s of CPU, 0.01 s wall, peak 1.0 MiB)",
      "Output limit exceeded (0.02 s of CPU, 0.03 s wall, peak 1.0 MiB)",
      "not judged: cannot run: bwrap: Creating new namespace failed",  // no file name to add
  };
  for (size_t s = 0; s < all.submissions.size(); ++s) {
    EXPECT_EQ(gradescope_output(all, s, 0), outputs[s]);
  }
}

TEST(ProgramFormats, HtmlColoursEachFailure) {
  const std::string html = html_report(made_up_class());
  for (const char* cell : {
           "<td class=\"compile\" data-v=\"1\" title=\"Compile error (exit status 1)\">compile "
           "error</td>",
           "<td class=\"timelimit\" data-v=\"1\" title=\"Time limit exceeded (0.51 s of CPU, 0.52 "
           "s wall, peak 1.0 MiB)\">time limit</td>",
           "<td class=\"walltime\" data-v=\"1\"", "<td class=\"memory\" data-v=\"1\"",
           "<td class=\"runtime\" data-v=\"1\" title=\"Run-time error: killed by signal 11 "
           "(SIGSEGV) (",
           "<td class=\"outputlimit\" data-v=\"1\"",
           "<td class=\"notjudged\" data-v=\"0\" title=\"not judged: cannot run: bwrap: Creating "
           "new namespace failed\">not judged</td>",
           "<span class=\"compile\">compile error</span><span class=\"timelimit\">time limit</span>",
           "<p id=\"programs\">Built with <code>cc -o sol sol.c</code>, run with <code>./sol</code> "
           "on each test, under 0.5 s of CPU, 2 s wall, 64 MiB, 1 MiB of output, 8 processes "
           "(isolation: bubblewrap).</p>",
           "<details><summary>broken: compile error (exit status 1)</summary><pre>sol.c:1:2: error: "
           "#error &lt;no&gt;\n</pre></details>",
       }) {
    EXPECT_NE(html.find(cell), std::string::npos) << cell;
  }
  // A class of result files shows none of it.
  ClassResults files = made_up_class();
  files.programs.reset();
  for (Graded& g : files.results) g.program.reset();
  const std::string plain = html_report(files);
  EXPECT_EQ(plain.find("id=\"programs\""), std::string::npos);
  EXPECT_EQ(plain.find("<span class=\"compile\">"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
