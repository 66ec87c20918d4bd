#include "driver/run.h"

#include <cerrno>
#include <cstdio>

#include "check/judge.h"
#include "driver/progress.h"
#include "graph/apsp.h"
#include "graph/input.h"
#include "graph/reader.h"
#include "graph/tables.h"

namespace tarnwick {

namespace {

// Prints "tarnwick: [what: ]message" on standard error.
void complain(const char* what, const std::string& message) {
  if (what != nullptr) {
    std::fprintf(stderr, "tarnwick: %s: %s\n", what, message.c_str());
  } else {
    std::fprintf(stderr, "tarnwick: %s\n", message.c_str());
  }
}

// Prints the verdict. Returns false with *err set when standard output fails.
bool print_verdict(const Verdict& v, std::string* err) {
  std::string line = verdict_line(v);
  errno = 0;
  bool ok = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
  ok = std::fflush(stdout) == 0 && ok;
  if (!ok) *err = reason(errno != 0 ? errno : EIO);
  return ok;
}

}  // namespace

bool parse_source(const char* text, int32_t* source, std::string* err) {
  ByteReader in{std::string_view(text)};
  Number num = read_number(in);  // no digits at all reads as 0, as atoi has it
  if (num.read == Read::kTooBig || !fits_tables(num.value)) {
    *err = "source vertex id '" + std::string(text) + "' is outside 0.." + std::to_string(V - 1);
    return false;
  }
  *source = num.value;
  return true;
}

int run(int argc, const char* const* argv) {
  if (argc != 4) {
    std::fputs(kUsage, stdout);
    return kUsageError;
  }
  const char* graph_path = argv[1];
  const char* result_path = argv[2];
  Graph g;
  LoadReport report;
  bool loaded = input(graph_path, &g, &report);
  if (!report.warning.empty()) complain(graph_path, "warning: " + report.warning);
  if (!loaded) {
    complain(graph_path, report.error);
    return kCannotJudge;
  }
  int32_t source = 0;
  std::string err;
  if (!parse_source(argv[3], &source, &err)) {
    complain(nullptr, err);
    return kCannotJudge;
  }
  ProgressLine progress;  // on standard error, and only when it is a terminal
  SourceRow APSP = solve(g, source, [&progress](double done) { progress.update(done); });
  progress.clear();
  Verdict verdict;
  if (!judge(result_path, g.Dist, APSP, &verdict, &err)) {
    complain(result_path, err);
    return kCannotJudge;
  }
  if (!print_verdict(verdict, &err)) {
    complain("standard output", err);
    return kCannotJudge;
  }
  return kJudged;
}

}  // namespace tarnwick
