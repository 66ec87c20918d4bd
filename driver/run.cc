#include "driver/run.h"

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

constexpr char kName[] = "tarnwick";

// Prints "tarnwick: message" on standard error. Returns kExitCannot.
int complain(const std::string& message) {
  say(kName, message);
  return kExitCannot;
}

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
  if (!made) return complain(err);
  Verdict verdict;
  if (!c.judge(argv[2], &verdict, &err)) return complain(err);
  if (!write_out(verdict_line(verdict), &err)) return complain("standard output: " + err);
  // A judged run's warnings come after its verdict; a refused run says one thing, why.
  for (const std::string& warning : c.warnings()) say(kName, warning);
  return kExitOk;
}

}  // namespace tarnwick
