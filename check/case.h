// One judging case: the graph loaded, the source taken and its row solved,
// once, in the judge's order (the graph first, then the source). The judge
// and every tool go through it, so that they load, take the source, solve
// and warn alike.
#ifndef TARNWICK_CHECK_CASE_H_
#define TARNWICK_CHECK_CASE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/judge.h"
#include "check/result_file.h"
#include "graph/apsp.h"
#include "graph/graph_file.h"
#include "graph/input.h"
#include "graph/reader.h"
#include "graph/tables.h"

namespace tarnwick {

// How a front end was given its source vertex.
struct SourceGiven {
  enum class How {
    kArgument,  // the judge's argument: read as atoi reads it ("2x" is 2, "x" is 0)
    kFlag,      // a --source flag: a whole decimal id and nothing else
    kCarried,   // the first number after the m-th edge of the graph input
    kNone,      // no source: the graph is loaded and nothing is solved
  };
  How how = How::kNone;
  std::string text;  // for kArgument and kFlag

  static SourceGiven argument(std::string text) { return {How::kArgument, std::move(text)}; }
  static SourceGiven flag(std::string text) { return {How::kFlag, std::move(text)}; }
  static SourceGiven carried() { return {How::kCarried, ""}; }
};

// Reads a source argument the way atoi does (leading whitespace, an optional
// sign, the digits up to the first other character; 0 when there is none)
// into *source. Returns false with *err set when the id is outside 0..V-1.
bool parse_source(std::string_view text, int32_t* source, std::string* err);

// Reads a --source value, a whole decimal id from 0 to V - 1, into *source.
// Returns false with *err set otherwise.
bool parse_source_flag(std::string_view text, int32_t* source, std::string* err);

// Returns "" when `text` is a whole decimal id (an optional sign, then digits
// and nothing else), else why not, with how the judge would read it: "source
// vertex id '2x' is not a whole number (the judge would read it as 2)". For
// tools that take a source operand but have no atoi-reading command line to keep.
std::string not_whole_source(std::string_view text);

// Returns "source 0 is not a vertex of the graph (1..3)" (or "... (it has
// none)") when `source` is not a vertex of g, and "" when it is one.
std::string not_a_vertex(const Graph& g, int32_t source);

// Returns the warning a judgement from `source` earns when it is not a vertex
// of g ("source 0 is not a vertex of the graph (1..3): lines are compared with
// its direct weights"), or "" when it is one.
std::string source_warning(const Graph& g, int32_t source);

struct CaseOptions {
  LoadObserver* observer = nullptr;       // hears every number the loader reads
  bool note_edges = false;               // GraphFile::edges() will be asked for
  bool read_on = false;                  // the graph input is read on afterwards
  std::function<void(double)> progress;  // hears the share done of a long pass
  detail::LoadTuning tuning;             // the loader's knobs, for tests
  // When set, the row is solved only if this returns true for the graph and
  // the source (a fuzz target skips the exact pass on large graphs).
  std::function<bool(const Graph&, int32_t source)> solve_if;
};

class Case {
 public:
  // What kept a case from being made.
  enum class Fault { kNone, kGraph, kSource };

  Case() = default;
  Case(const Case&) = delete;  // the solved row points to the graph
  Case& operator=(const Case&) = delete;

  // Loads the graph from `file` (called graph_name in messages), takes the
  // source as given and solves its row. Returns false with *why set, one
  // line, when the judge could not judge: "GRAPH: reason" for the graph, the
  // reason alone for a source given on the command line. Unless the options
  // ask for more of it, `file` is released before the row is solved, so that
  // its buffer is not held through the pass. Call once.
  bool make(GraphFile& file, std::string_view graph_name, const SourceGiven& source,
            const CaseOptions& options, std::string* why);

  // Opens the graph file at `path` into `file` (an unreadable file is a fault
  // of the graph, "PATH: reason"), then as above with the path as its name.
  bool make(const char* path, GraphFile& file, const SourceGiven& source,
            const CaseOptions& options, std::string* why);

  // Which input kept the case from being made.
  Fault fault() const { return fault_; }

  // Returns "" when the graph was read and has a vertex, else why a test on
  // it cannot judge anything: "no vertex count: a test graph needs at least
  // one vertex" (or "a vertex count of 0 or less: ..."); on no vertex every
  // answer would be accepted. Asked of a graph that was read (no kGraph fault).
  std::string vertexless() const;

  const Graph& graph() const { return g_; }
  const LoadReport& report() const { return report_; }
  // The read of a carried source (for tools that tell where it stands).
  const Number& carried() const { return carried_; }

  // Returns true when a source was taken and its row solved (a source taken
  // and not solved, see CaseOptions::solve_if, has source() >= 0).
  bool solved() const { return row_.has_value(); }
  // The source taken, or -1 when none was.
  int32_t source() const { return taken_; }
  const SourceRow& row() const { return *row_; }
  // The fast search's parents (see fast_source_row), or empty when the row
  // did not come from it.
  const std::vector<int32_t>& parents() const { return parents_; }

  // Returns the warnings the judge prints after its verdict, in its order and
  // words: "GRAPH: warning: ..." for the graph, "warning: source ..." for the
  // source.
  std::vector<std::string> warnings() const;

  // Judges the result file against this case; `observer`, when set, hears
  // every step (for tools that explain a verdict). Returns false with *why
  // set when the file cannot be judged: the system's reason for a failed
  // read, or "larger than N bytes" (see ResultLimits). Requires solved().
  bool judge(ResultFile& result, Verdict* out, std::string* why,
             JudgeObserver* observer = nullptr) const;

 private:
  bool take_source(GraphFile& file, const SourceGiven& source, int32_t* id, std::string* why);

  Graph g_;
  LoadReport report_;
  std::string graph_name_;
  Number carried_;
  int32_t taken_ = -1;
  std::optional<SourceRow> row_;
  std::vector<int32_t> parents_;
  Fault fault_ = Fault::kNone;
};

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_CASE_H_
