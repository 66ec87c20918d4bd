// tarnwick-grade: judges a whole class's result files against one graph,
// loaded and solved once.
//
//   tarnwick-grade [--format=text|csv|jsonl] input_graph source_vertex_id result_file...
//
// One record a file on standard output, in the order given; a summary on
// standard error. Exit 0 when every file was judged, 2 when some could not be
// (or the graph or the source cannot be judged), 1 for wrong use.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "driver/progress.h"
#include "driver/run.h"
#include "graph/apsp.h"
#include "graph/cpus.h"
#include "graph/input.h"
#include "graph/reader.h"
#include "tools/cli.h"
#include "tools/grading.h"

namespace tarnwick {
namespace {

const ToolInfo kTool = {
    "tarnwick-grade",
    "Usage: tarnwick-grade [--format=text|csv|jsonl] input_graph source_vertex_id "
    "result_file...\n",
    "Judges every result file against the graph from the source, as tarnwick would,\n"
    "loading and solving the graph once. One line a file, in the order given:\n"
    "the path, a tab and the verdict, or \"not judged: REASON\". A summary goes to\n"
    "standard error. Exit 0 when every file was judged, 2 when some were not.\n"
    "  --format=csv    path,verdict,line,judged with a header line\n"
    "  --format=jsonl  one JSON object a line\n"};

struct Options {
  Format format = Format::kText;
  std::vector<std::string> operands;  // graph, source, result files
};

// Reads the command line into *o. Returns false with *why set on wrong use.
bool parse(int argc, char** argv, Options* o, std::string* why) {
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && arg.rfind("--format=", 0) == 0) {
      if (!parse_format(arg.substr(9), &o->format)) *why = "unknown format '" + arg.substr(9) + "'";
    } else if (!options_end && arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      *why = "unknown option '" + arg + "'";
    } else {
      o->operands.push_back(arg);
    }
    if (!why->empty()) return false;
  }
  if (o->operands.size() < 3) *why = "a graph, a source and at least one result file are needed";
  return why->empty();
}

// Writes text to standard output. Returns false when that fails.
bool put(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Judges the files and writes their records and the summary. Returns the exit status.
int grade(const Options& o, const Graph& g, const SourceRow& APSP, const std::string& warning,
          int32_t source) {
  std::vector<std::string> paths(o.operands.begin() + 2, o.operands.end());
  Tally tally;
  errno = 0;
  bool written = put(format_header(o.format));
  grade_all(paths, g.Dist, APSP, usable_cpus(), [&](const Graded& graded) {
    tally.add(graded);
    if (written) written = put(format_record(o.format, graded));
  });
  if (std::fflush(stdout) != 0 || !written) {
    return cannot(kTool, "standard output: " + reason(errno != 0 ? errno : EIO));
  }
  // The graph's warning comes after the records, as the judge's comes after its verdict.
  if (!warning.empty()) cannot(kTool, o.operands[0] + ": warning: " + warning);
  if (std::string w = source_warning(g, source); !w.empty()) cannot(kTool, "warning: " + w);
  std::fprintf(stderr, "%s: %s\n", kTool.name, tally.summary().c_str());
  return tally.not_judged == 0 ? kToolOk : kToolCannot;
}

int grade_main(int argc, char** argv) {
  if (int status = answer_help_or_version(kTool, argc, argv); status >= 0) return status;
  Options o;
  std::string why;
  if (!parse(argc, argv, &o, &why)) return wrong_use(kTool, why);
  Graph g;
  LoadReport report;
  if (!input(o.operands[0].c_str(), &g, &report)) {
    return cannot(kTool, o.operands[0] + ": " + report.error);
  }
  int32_t source = 0;
  if (!parse_source(o.operands[1].c_str(), &source, &why)) return cannot(kTool, why);
  ProgressLine progress;  // the judge's, on standard error, and only on a terminal
  SourceRow APSP = solve(g, source, [&progress](double done) { progress.update(done); });
  progress.clear();
  return grade(o, g, APSP, report.warning, source);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  try {
    return tarnwick::grade_main(argc, argv);
  } catch (const std::bad_alloc&) {
    // A graph whose pass needs more memory than the process may have.
    return tarnwick::cannot(tarnwick::kTool, "out of memory");
  }
}
