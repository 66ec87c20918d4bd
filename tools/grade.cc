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

#include <optional>

#include "check/case.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "graph/cpus.h"
#include "graph/graph_file.h"
#include "graph/reader.h"
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
int grade(const Options& o, const Case& c) {
  std::vector<std::string> paths(o.operands.begin() + 2, o.operands.end());
  Tally tally;
  errno = 0;
  bool written = put(format_header(o.format));
  grade_all(paths, c.graph().Dist, c.row(), usable_cpus(), [&](const Graded& graded) {
    tally.add(graded);
    if (written) written = put(format_record(o.format, graded));
  });
  if (std::fflush(stdout) != 0 || !written) {
    return cannot(kTool, "standard output: " + reason(errno != 0 ? errno : EIO));
  }
  // The graph's warning comes after the records, as the judge's comes after its verdict.
  for (const std::string& warning : c.warnings()) say(kTool.name, warning);
  std::fprintf(stderr, "%s: %s\n", kTool.name, tally.summary().c_str());
  return tally.not_judged == 0 ? kExitOk : kExitCannot;
}

int grade_main(int argc, char** argv) {
  if (int status = answer_help_or_version(kTool, argc, argv); status >= 0) return status;
  Options o;
  std::string why;
  if (!parse(argc, argv, &o, &why)) return wrong_use(kTool, why);
  CaseOptions options;
  std::optional<ProgressLine> progress;  // the judge's, on standard error, only on a terminal
  options.progress = progress_to(progress);
  GraphFile file;
  Case c;
  const bool made =
      c.make(o.operands[0].c_str(), file, SourceGiven::argument(o.operands[1]), options, &why);
  if (progress) progress->clear();
  if (!made) return cannot(kTool, why);
  return grade(o, c);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::grade_main, argc, argv);
}
