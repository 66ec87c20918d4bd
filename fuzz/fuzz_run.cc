// One input holds a whole run: the source argument on the first line, then the
// graph file, then "\n%%\n" and the result file. The run goes input ->
// parse_source -> solve -> judge in memory; the verdict must be a single line,
// and equal to the one the plain pass gives and to the plain checker's; a
// success needs a line for every vertex.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check/case.h"
#include "check/judge.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "graph/apsp.h"
#include "graph/fast_row.h"
#include "graph/input.h"

namespace tarnwick {
namespace {

// Largest graph put through an n^3 pass: the plain pass, and the exact pass
// when solve() is asked for a row whose weights are not small.
constexpr int32_t kMaxCubicVertices = 200;
// Largest graph compared with reference.h's own pass and checker.
constexpr int32_t kMaxReferenceVertices = 64;

constexpr std::string_view kSeparator = "\n%%\n";

struct Parts {
  std::string source;  // as it would arrive in argv: up to the first NUL
  std::string_view graph, result;
};

Parts split(std::string_view bytes) {
  Parts p;
  size_t eol = bytes.find('\n');
  std::string_view first = bytes.substr(0, eol);
  p.source = std::string(first.substr(0, first.find('\0')));
  std::string_view rest = eol == std::string_view::npos ? "" : bytes.substr(eol + 1);
  size_t sep = rest.find(kSeparator);
  p.graph = rest.substr(0, sep);
  if (sep != std::string_view::npos) p.result = rest.substr(sep + kSeparator.size());
  return p;
}

// Returns the number of lines in text, a last one without a line end included.
int64_t lines_in(std::string_view text) {
  int64_t lines = std::count(text.begin(), text.end(), '\n');
  return lines + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

bool same(const Verdict& a, const Verdict& b) {
  return a.kind == b.kind && a.source == b.source &&
         (a.kind != Verdict::kWrongAnswer || a.line == b.line);
}

}  // namespace

void fuzz_check(std::string_view bytes) {
  Parts p = split(bytes);
  GraphFile file;
  file.assign(p.graph);
  Case judging;
  CaseOptions options;
  // Small non-negative weights take the fast path, cheap at any size.
  options.solve_if = [](const Graph& g, int32_t source) {
    return !(row_is_solved(g, source) && g.n > kMaxCubicVertices && !weights_are_small(g));
  };
  std::string err;
  const bool made = judging.make(file, "graph", SourceGiven::argument(p.source), options, &err);
  if (judging.fault() == Case::Fault::kGraph) {
    require(!made && !judging.report().error.empty(), "a refused graph says why");
    return;
  }
  const Graph& g = judging.graph();
  reference::Scan s = reference::scan(p.source, 0);
  bool source_fits = !s.number || (s.fits32 && s.value >= 0 && s.value < V);
  require(made == source_fits, "the source is refused exactly when it is outside 0..V-1");
  if (!made) {
    require(err.rfind("source vertex id '", 0) == 0, "a refused source is named");
    return;
  }
  const int32_t source = judging.source();
  require(source == (s.number ? s.value : 0), "the source is read like atoi");
  if (!judging.solved()) return;
  const bool solved = row_is_solved(g, source);
  const SourceRow& fast = judging.row();
  Verdict verdict = judge_bytes(p.result, g.Dist, fast);
  require(verdict.kind != Verdict::kSuccess || lines_in(p.result) >= g.n,
          "a success has a line for every vertex");

  // The pass never raises an entry above its direct weight.
  for (int32_t k = 0; k < V; k += k <= g.n + 1 ? 1 : 997) {
    require(fast.at(k) <= g.Dist(source, k), "no distance above the direct weight");
  }
  if (solved && g.n > kMaxCubicVertices) return;
  SourceRow plain = solve_plain(g, source);
  for (int64_t k = -1; k <= g.n + 2; ++k) {
    require(fast.at(k) == plain.at(k), "solve() matches the plain pass");
  }
  require(fast.at(V - 1) == plain.at(V - 1) && fast.at(V) == 0, "solve() matches past n");
  require(same(verdict, judge_bytes(p.result, g.Dist, plain)),
          "the same verdict as the plain pass");

  if (solved && g.n > kMaxReferenceVertices) return;
  reference::Graph ref = reference::load(p.graph);
  require(plain_checker_agrees(verdict, p.result, reference::Row(ref, source)),
          "the same verdict as the plain checker");
}

}  // namespace tarnwick
