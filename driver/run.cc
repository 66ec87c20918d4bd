#include "driver/run.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "check/judge.h"
#include "driver/progress.h"
#include "graph/apsp.h"
#include "graph/input.h"
#include "graph/reader.h"
#include "graph/tables.h"

namespace tarnwick {

std::string printable(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

// Prints "tarnwick: [what: ]message" on standard error, on one line.
void complain(const char* what, const std::string& message) {
  std::string line = "tarnwick: ";
  if (what != nullptr) line += printable(what) + ": ";
  line += printable(message) + "\n";
  std::fputs(line.c_str(), stderr);
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

// Prints the warnings a judged run has earned, after its verdict: a run that
// cannot judge says one thing, why.
void warn(const char* graph_path, const LoadReport& report, const Graph& g, int32_t source) {
  if (!report.warning.empty()) complain(graph_path, "warning: " + report.warning);
  std::string warning = source_warning(g, source);
  if (!warning.empty()) complain(nullptr, "warning: " + warning);
}

}  // namespace

std::string source_warning(const Graph& g, int32_t source) {
  if (row_is_solved(g, source)) return "";
  // Likely a numbering from 0: every line is then compared with a direct weight.
  std::string vertices = g.n >= 1 ? "(1.." + std::to_string(g.n) + ")" : "(it has none)";
  return "source " + std::to_string(source) + " is not a vertex of the graph " + vertices +
         ": lines are compared with its direct weights";
}

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
  warn(graph_path, report, g, source);
  return kJudged;
}

}  // namespace tarnwick
