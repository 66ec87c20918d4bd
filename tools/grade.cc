// tarnwick-grade: judges a whole class's result files against one graph,
// loaded and solved once (it runs after the case), or against every test of
// a test set (it makes the case of each test); or builds and runs every
// submission's program on the test set and judges its outputs.
#include <ctime>
#include <string>
#include <vector>

#include "graph/cpus.h"
#include "grade/command_line.h"
#include "grade/grade.h"
#include "grade/report.h"
#include "grade/testset.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-grade",
    "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
    "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n",
    "Judges every result file against the graph from the source, as tarnwick would,\n"
    "loading and solving the graph once; or, with --testset, every submission\n"
    "folder's result file for each test DATA/NAME.in (the graph, then the source\n"
    "after the m-th edge), loading and solving each test once. One record a file:\n"
    "the path (and test), a tab and the verdict, or \"not judged: REASON\"; with\n"
    "--testset then one line a submission. With --run, each submission folder holds\n"
    "a program instead: built once, run on every test under limits, its output\n"
    "judged; a program that fails has a verdict of its own (Compile error, Time\n"
    "limit exceeded, Memory limit exceeded, Run-time error: ..., Output limit\n"
    "exceeded, Wall time limit exceeded). A summary goes to standard error.\n"
    "Exit 0 when every file was judged (or its program failed), 2 when some were not.\n"
    "  --format=csv                 records with a header line\n"
    "  --format=jsonl               one JSON object a line\n"
    "  --format=gradescope          Gradescope's results.json (one submission)\n"
    "  --format=junit               JUnit XML, a testsuite a submission\n"
    "  --format=html                the class report, one self-contained page\n"
    "  --standings FILE             with --testset: the standings (one a submission)\n"
    "                               into FILE, in the format's own table; the\n"
    "                               records alone on standard output\n"
    "  --output-name PATTERN        result file in a submission ({name}.out)\n"
    "  --max-result-bytes N[K|M|G]  refuse larger result files (4G)\n"
    "  --visibility V               Gradescope visibility of a test the points file\n"
    "                               gives none (visible)\n"
    "Programs (each command run by /bin/sh -c in a scratch copy of the folder):\n"
    "  --build CMD                  build once a submission ('g++ -O2 -o sol *.cpp')\n"
    "  --run CMD                    run on each test: its input on standard input,\n"
    "                               standard output judged; or {input} {graph}\n"
    "                               {source} {output} in CMD\n"
    "  --time S                     CPU seconds a test, the time limit (1)\n"
    "  --wall-time S                wall seconds a test (2 x --time + 1)\n"
    "  --memory N[K|M|G]            address space of each process (256M)\n"
    "  --output-limit N[K|M|G]      output of a test (64M)\n"
    "  --processes N                processes at once, as root (16)\n"
    "  --build-time S               CPU seconds of a build (60)\n"
    "  --isolation I                best, bubblewrap, pid-namespace, subreaper (best)\n"};

class Grade final : public Tool {
 public:
  Grade() : Tool(kInfo, grade_options()) {}

  bool take(const Args& args, std::string* why) override {
    return read_grade_command(args, &c_, why);
  }
  Stage stage() const override { return c_.testset.empty() ? Stage::kAfterCase : Stage::kPerTest; }
  CaseRequest request() const override {
    CaseRequest request{c_.operands[0], SourceGiven::argument(c_.operands[1])};
    request.warns = false;  // told after the records, before the summary
    return request;
  }
  CaseOptions load_options(GraphFile&) override {
    CaseOptions options;
    options.note_edges = true;  // a wrong answer's steps are told their graph lines
    return options;
  }

  int run(Front& front) override {
    return c_.testset.empty() ? grade_files(front) : grade_testset(front);
  }

 private:
  // Judges the result files through the case and writes their records and
  // the summary. Returns the exit status.
  int grade_files(Front& front) {
    const std::vector<std::string> paths(c_.operands.begin() + 2, c_.operands.end());
    const ExplainRequest explain{&front.judging, &front.graph, c_.operands[0], 0};
    GradeOptions options{usable_cpus(), {false, c_.max_bytes}};
    options.explain = &explain;  // for the traps a right solution can fall into
    Tally tally;
    int error_number = 0;
    if (!write_records(paths, front.judging, options, c_.format, stdout, &tally, &error_number)) {
      return front.refuse("standard output: " + reason(error_number));
    }
    front.warn(front.judging.warnings());
    say(kInfo.name, tally.summary());
    return tally.not_judged == 0 ? kExitOk : kExitCannot;
  }

  // Grades every submission folder on every test of the test set. Returns the exit status.
  int grade_testset(Front& front) {
    TestSet set;
    std::string why;
    if (!load_testset(c_.testset, &set, &why)) return front.refuse(why);
    if (!c_.programs.run.empty()) {
      if (why = isolation_unavailable(c_.programs.isolation); !why.empty()) return front.refuse(why);
      front.warn(isolation_warnings(c_.programs.isolation));
    }
    ClassOptions options = class_options(c_);
    options.progress = front.progress();
    options.solved = [&front] { front.end_progress(); };
    ClassResults r;
    if (!grade_class(set, c_.operands, options, &r, &why)) return front.refuse(why);
    if (int status = front.print(class_output(c_, r, std::time(nullptr))); status != kExitOk) return status;
    if (!c_.standings.empty() && !write_file(c_.standings, class_standings(c_.format, r), &why)) {
      return front.refuse(why);
    }
    Tally tally;
    tally.add(r.results);
    front.warn(r.warnings);
    say(kInfo.name, class_summary(r));
    return tally.not_judged == 0 ? kExitOk : kExitCannot;
  }

  GradeCommand c_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Grade grade;
  return tarnwick::run_tool(grade, argc, argv);
}
