// The instructor's view of a verdict: the judge's verdict, then the steps of
// one line of the result file as the checker weighed them, with why each
// weighs what it does, the expected distance, and a shortest path where the
// fast search can give one. Weighing is the judge's own: the case judges the
// file with this view's observer plugged in, so the two cannot disagree.
// Never part of the judge's output.
#ifndef TARNWICK_EXPLAIN_EXPLAIN_H_
#define TARNWICK_EXPLAIN_EXPLAIN_H_

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "check/case.h"
#include "check/judge.h"
#include "check/result_file.h"
#include "graph/graph_file.h"
#include "graph/reader.h"

namespace tarnwick {

// Why a step weighs what it does.
enum class StepWhy {
  kEdge,           // an edge of the graph file between two distinct ids
  kSelfLoop,       // an edge of the graph file from a vertex to itself
  kDiagonal,       // from an id to itself without a self-loop: 0
  kNoEdge,         // two distinct vertices of 1..n without an edge: INF
  kNotAVertex,     // an id of 0 or above n, without an edge: 0
  kOutsideTables,  // from or to an id outside 0..V-1: 0
};

struct ExplainedStep {
  WeighedStep step;   // its `token` is not kept: see `token` below
  std::string token;  // the token's bytes, cut at kTokenKept
  bool no_id_yet = false;  // repeated, before any token of the file held a number
  StepWhy why = StepWhy::kNoEdge;
  int64_t graph_line = 0;  // for kEdge and kSelfLoop: the graph line of the edge that set it
  // For kEdge and kSelfLoop, when the pair is given more than once with
  // another weight before: how many times, and the edge before the last.
  int64_t pair_times = 0;
  int64_t earlier_line = 0;
  int32_t earlier_weight = 0;
};

// How the expected distance of the explained line came about.
enum class Expected {
  kFastSearch,       // weights in 0..2^30-1: `shortest` is one path of that weight
  kExactPass,        // other weights: the all-pairs pass in its loop order decided
  kLineNotAVertex,   // the line's number is not a vertex of 1..n: Dist(source, line)
  kSourceNotAVertex  // the source is not a vertex of 1..n: Dist(source, line)
};

// --dot draws the whole graph up to this many vertices; above, only the
// neighbourhood of the explained line, with the edges among its vertices
// while there are at most this many of them.
inline constexpr int32_t kDotMaxVertices = 60;

// Steps of the explained line kept: the first kKeptSteps (more than any path
// that visits each vertex once) and the last one, so that memory does not
// grow with the line.
inline constexpr int64_t kKeptSteps = 2 * static_cast<int64_t>(V);

struct Explanation {
  Verdict verdict;
  std::string verdict_line;  // exactly as the judge prints it, line end included
  int32_t source = 0;
  int32_t n = 0;
  bool is_vertex(int64_t id) const { return id >= 1 && id <= n; }  // of 1..n
  // Lines of the result file read: all of them, or (read_to_end false) up to
  // one past both n and the line explained, where reading stops once all
  // that is told is known, so that an endless output is explained too.
  int64_t lines = 0;
  bool read_to_end = true;
  // How the file's first bytes look: plain, or written as text of another kind.
  enum class Encoding { kPlain, kByteOrderMark, kUtf16 };
  Encoding encoding = Encoding::kPlain;

  int64_t line = 0;          // the line explained; 0 when there is none
  bool line_read = false;    // false: the file ends before it
  std::vector<ExplainedStep> steps;  // the kept ones, in order
  int64_t steps_not_kept = 0;        // between the first kKeptSteps and the last
  bool steps_told = false;           // add_graph_lines has told each step's why
  __int128 total = 0;        // exact, as the checker sums
  int32_t expected = 0;      // the weight line `line` must have
  int32_t ends_at = 0;       // the path's last id (the source when it has no step)
  Expected how = Expected::kFastSearch;
  // For kFastSearch: the vertices of a shortest path, source first and `line`
  // last ({s, s} for the source's diagonal); its steps weigh shortest_weight.
  std::vector<int32_t> shortest;
  int32_t shortest_weight = 0;

  // What --dot draws: every vertex of 1..n for graphs of at most
  // kDotMaxVertices vertices, else the vertices of 1..n that the source, the
  // line, its steps and the shortest path name (ascending); and the edges
  // among them and id 0 as {u, v, w}, u <= v, when there are at most
  // kDotMaxVertices of them.
  std::vector<int32_t> drawn;
  std::vector<std::array<int32_t, 3>> edges;

  // The judge's warnings about the graph and the source (Case::warnings).
  std::vector<std::string> warnings;
};

struct ExplainRequest {
  const Case* judging = nullptr;  // made, with a source, from *graph
  GraphFile* graph = nullptr;     // loaded with CaseOptions::note_edges
  std::string graph_name;         // for messages
  int64_t line = 0;               // the line to explain; 0 for the verdict's wrong line
};

// Judges `result` against the case as the judge does, and fills *out with
// all but the graph lines of the steps. Returns false with *why set when the
// result file cannot be judged (as Case::judge tells it).
bool weigh(const ExplainRequest& req, ResultFile& result, Explanation* out, std::string* why);

// Adds to *e, filled by weigh(), why each step weighs what it does and the
// graph line of its edge. Returns false with *err set ("GRAPH: reason") when
// the graph input cannot be read again.
bool add_graph_lines(const ExplainRequest& req, Explanation* e, std::string* err);

// The same for each of `es` (weighed through req's case), the graph input
// read again once for all of them.
bool add_graph_lines(const ExplainRequest& req, std::span<Explanation* const> es, std::string* err);

// Both of the above, `result` called result_name in messages. Returns false
// with *err set ("NAME: reason") when the result file, or the graph input,
// cannot be read.
bool explain(const ExplainRequest& req, ResultFile& result, const std::string& result_name,
             Explanation* out, std::string* err);

// Returns the explanation for a person: the verdict line first.
std::string explanation_text(const Explanation& e);

// Returns the explanation as one JSON object, line end included; for a
// student, without the expected distance, the difference or a shortest path.
std::string explanation_json(const Explanation& e, bool student = false);

// The most steps of a wrong line that a student is shown by the checker and
// the grader, besides its last.
inline constexpr int64_t kStudentSteps = 20;

// Returns what may be shown to the one who wrote the result file: the verdict
// line first, the steps of the explained line (the first max_steps, 0 or
// more, and the last) with their weights and why, its total, the reading
// notes and the missing lines; never the expected distance, the difference
// or a shortest path.
std::string student_text(const Explanation& e, int64_t max_steps = kStudentSteps);

// Returns the notes on how the judge read the explained line, one sentence
// each without a line end: tokens whose tail it passed over, tokens that
// repeated the last id, the source's self-loop paid at step 1, a line past
// the graph's vertices, an empty last line, a pair of a step given again with
// another weight. Empty when none applies.
std::vector<std::string> reading_notes(const Explanation& e);

// Returns, in one sentence without a line end, what decided a wrong verdict
// that a right solution can fall into, or "" when nothing did: a file
// written as UTF-16 or after a byte-order mark; the file ends with an empty
// line, judged as line n + 1; or a step of the wrong line takes an edge whose
// pair the graph gives again with another weight (the later weight stands).
// Requires add_graph_lines for the last.
std::string grading_note(const Explanation& e);

// Returns the drawn vertices, the explained path (each distinct step once,
// with a count) and a shortest path as Graphviz input.
std::string explanation_dot(const Explanation& e);

// Returns v in decimal.
std::string int128_text(__int128 v);

}  // namespace tarnwick

#endif  // TARNWICK_EXPLAIN_EXPLAIN_H_
