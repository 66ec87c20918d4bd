// Arbitrary bytes as a result file, judged against a few fixed small graphs
// from several sources: exactly one verdict, and the same verdict as the plain
// whole-line checker in reference.h; an observer hears steps that add up to
// each line's total and changes nothing.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "check/judge.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "graph/apsp.h"
#include "graph/input.h"

namespace tarnwick {
namespace {

struct Fixture {
  const char* text;
  std::vector<int32_t> sources;
};

// Each graph stresses one part of the weighing.
const Fixture kFixtures[] = {
    // Non-negative weights; source 0 and above n leave the row unsolved.
    {"3 3\n1 2 4\n2 3 1\n1 3 7\n", {1, 2, 0, 4}},
    // Negative edges and negative cycles.
    {"4 5\n1 2 -1\n2 3 5\n3 4 -7\n1 4 2\n2 2 -2\n", {1, 3}},
    // Edges that name 0 and ids above n, and a source above n with an edge.
    {"3 4\n0 1 5\n1 10009 3\n2 7 -2\n3 3 1\n", {1, 7, 10009}},
    // A self-loop at the source, and extreme weights to an id above n.
    {"2 4\n1 1 3\n1 2 4\n2 9 2147483647\n9 9 -2147483648\n", {1, 9}},
    // Sums that wrap around 2^32 inside the pass.
    {"3 3\n1 2 2147483647\n2 3 2147483647\n1 3 -2147483648\n", {1, 2}},
};

// One fixture from one source; held by pointer, as the rows point into it.
struct Case {
  Graph g;
  reference::Graph ref;
  std::optional<SourceRow> row;
  std::optional<reference::Row> ref_row;
};

// Loads every fixture both ways once, and checks the solved rows agree.
std::vector<std::unique_ptr<Case>> make_cases() {
  std::vector<std::unique_ptr<Case>> cases;
  for (const Fixture& f : kFixtures) {
    for (int32_t source : f.sources) {
      auto c = std::make_unique<Case>();
      LoadReport report;
      ByteReader in(f.text);
      require(input(in, &c->g, &report) && report.warning.empty(), "a fixture loads cleanly");
      c->ref = reference::load(f.text);
      c->row.emplace(solve(c->g, source));
      c->ref_row.emplace(c->ref, source);
      for (int64_t k = -1; k <= V; ++k) {
        require(c->row->at(k) == c->ref_row->at(k), "a fixture's row matches the plain pass");
      }
      cases.push_back(std::move(c));
    }
  }
  return cases;
}

// Adds up the steps it hears and checks them against the plain weights.
class StepSum : public JudgeObserver {
 public:
  explicit StepSum(const reference::Graph& ref) : ref_(ref) {}
  void step(const WeighedStep& s) override {
    require(s.line == line_ && s.index == ++steps_, "steps come in order");
    require(s.weight == ref_.dist(s.from, s.to), "a step weighs its plain direct weight");
    require(s.token.size() <= kTokenKept && s.token.find_first_of(" \n") == std::string_view::npos,
            "a step's token holds neither a space nor a line end");
    require(!(s.tail_ignored && s.repeated), "only a token with a number has a tail passed over");
    sum_ += s.weight;
  }
  bool line_end(int64_t line, __int128 total, int32_t) override {
    require(line == line_ && total == sum_, "a line's total is the sum of its steps");
    ++line_, steps_ = 0, sum_ = 0;
    return false;  // stop where the judge stops
  }

 private:
  const reference::Graph& ref_;
  int64_t line_ = 1, steps_ = 0;
  __int128 sum_ = 0;
};

}  // namespace

void fuzz_check(std::string_view bytes) {
  static const std::vector<std::unique_ptr<Case>> cases = make_cases();
  for (const auto& c : cases) {
    Verdict v = judge_bytes(bytes, c->g.Dist, *c->row);
    require(v.source == c->row->source(), "the verdict names the source");
    require(plain_checker_agrees(v, bytes, *c->ref_row), "the verdict matches the plain checker");
    // Judged again with an observer: the same verdict, and steps that add up.
    StepSum sum(c->ref);
    require(verdict_line(judge_bytes(bytes, c->g.Dist, *c->row, &sum)) == verdict_line(v),
            "an observer does not change the verdict");
  }
}

}  // namespace tarnwick
