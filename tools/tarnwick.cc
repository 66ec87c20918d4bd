#include "tools/run.h"

#include <cstdio>
#include <optional>
#include <string>

#include "check/case.h"
#include "check/judge.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "graph/graph_file.h"
#include "graph/reader.h"

namespace tarnwick {

namespace {

// The judge's messages are "tarnwick: reason"; its usage goes to standard output.
constexpr ToolInfo kJudge = {"tarnwick", kUsage, ""};

}  // namespace

int run(int argc, const char* const* argv) {
  if (argc != 4) {
    std::fputs(kUsage, stdout);
    return kExitWrongUse;
  }
  CaseOptions options;
  std::optional<ProgressLine> progress;  // on standard error, only on a terminal
  options.progress = progress_to(progress);
  GraphFile graph;
  Case c;
  std::string err;
  const bool made = c.make(argv[1], graph, SourceGiven::argument(argv[3]), options, &err);
  if (progress) progress->clear();
  if (!made) return cannot(kJudge, err);
  Verdict verdict;
  if (!c.judge(argv[2], &verdict, &err)) return cannot(kJudge, err);
  if (!write_out(verdict_line(verdict), &err)) return cannot(kJudge, "standard output: " + err);
  // A judged run's warnings come after its verdict; a refused run says one thing, why.
  for (const std::string& warning : c.warnings()) say(kJudge.name, warning);
  return kExitOk;
}

}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main("tarnwick", tarnwick::run, argc, argv);
}
