// The judging case made in the judge's order: the graph, the source, the row.
#include "check/case.h"

#include <utility>

namespace tarnwick {

namespace {

// Reads a source id as the judge reads its argument (no digits at all reads
// as 0, as atoi has it) or, for --source, only a whole number, with the flag
// named in *err.
bool read_source(std::string_view text, bool flag, int32_t* source, std::string* err) {
  ByteReader in{text};
  Number num = read_number(in);
  const std::string id = "source vertex id '" + std::string(text) + "' ";
  const char* named = flag ? " (--source)" : "";
  if (flag && (num.read == Read::kNoNumber || in.peek() != -1)) {
    *err = id + "is not a whole number" + named;
  } else if (num.read == Read::kTooBig || !fits_tables(num.value)) {
    *err = id + "is outside 0.." + std::to_string(V - 1) + named;
  } else {
    *source = num.value;
    return true;
  }
  return false;
}

}  // namespace

bool parse_source(std::string_view text, int32_t* source, std::string* err) {
  return read_source(text, false, source, err);
}

bool parse_source_flag(std::string_view text, int32_t* source, std::string* err) {
  return read_source(text, true, source, err);
}

std::string not_whole_source(std::string_view text) {
  ByteReader in{text};
  const Number num = read_number(in);  // no leading whitespace, no tail, however many digits
  if (num.read != Read::kNoNumber && num.where == 0 && in.peek() == -1) return "";
  int32_t read_as = 0;
  std::string ignored;
  const bool reads = parse_source(text, &read_as, &ignored);
  return "source vertex id '" + std::string(text) + "' is not a whole number" +
         (reads ? " (the judge would read it as " + std::to_string(read_as) + ")" : "");
}

std::string not_a_vertex(const Graph& g, int32_t source) {
  if (row_is_solved(g, source)) return "";
  std::string vertices = g.n >= 1 ? "(1.." + std::to_string(g.n) + ")" : "(it has none)";
  return "source " + std::to_string(source) + " is not a vertex of the graph " + vertices;
}

std::string source_warning(const Graph& g, int32_t source) {
  // Likely a numbering from 0: every line is then compared with a direct weight.
  std::string what = not_a_vertex(g, source);
  return what.empty() ? what : what + ": lines are compared with its direct weights";
}

bool Case::make(GraphFile& file, std::string_view graph_name, const SourceGiven& source,
                const CaseOptions& options, std::string* why) {
  graph_name_ = graph_name;
  ByteReader& in = file.reader();
  LoadObserver* noter = options.note_edges ? file.noter() : nullptr;
  Tee both(noter, options.observer);
  LoadObserver* observer = noter == nullptr ? options.observer : &both;
  const bool loaded = detail::input_tuned(in, &g_, &report_, options.tuning, observer);
  if (!loaded) {
    fault_ = Fault::kGraph;
    *why = graph_name_ + ": " + report_.error;
    return false;
  }
  int32_t id = 0;
  if (source.how == SourceGiven::How::kNone) return true;
  if (!take_source(file, source, &id, why)) {
    fault_ = Fault::kSource;
    return false;
  }
  taken_ = id;
  if (!options.note_edges && !options.read_on) file.release();
  if (!options.solve_if || options.solve_if(g_, id)) {
    row_.emplace(solve(g_, id, options.progress, &parents_));
  }
  return true;
}

bool Case::make(const char* path, GraphFile& file, const SourceGiven& source,
                const CaseOptions& options, std::string* why) {
  std::string err;
  if (!file.open(path, &err)) {
    fault_ = Fault::kGraph;
    *why = std::string(path) + ": " + err;
    return false;
  }
  return make(file, path, source, options, why);
}

bool Case::take_source(GraphFile& file, const SourceGiven& source, int32_t* id,
                       std::string* why) {
  if (source.how == SourceGiven::How::kArgument) return parse_source(source.text, id, why);
  if (source.how == SourceGiven::How::kFlag) return parse_source_flag(source.text, id, why);
  // Carried: the loader left the reader just past the m-th edge, unless the
  // edge list ended early (then what follows is not a source).
  ByteReader& in = file.reader();
  if (report_.fault == LoadFault::kNone) carried_ = read_number(in);
  std::string reason_text;
  if (in.error() != 0) {
    reason_text = reason(in.error());
  } else if (carried_.read == Read::kNoNumber) {
    reason_text = "no source vertex after the m-th edge";
    if (report_.fault != LoadFault::kNone) reason_text += " (" + report_.warning + ")";
  } else if (carried_.read == Read::kTooBig || !fits_tables(carried_.value)) {
    reason_text = "source vertex id after the m-th edge is outside 0.." + std::to_string(V - 1);
  } else if (in.peek() >= 0 && !is_space(in.peek())) {
    // "1e3" or "2x": a test author's typo, not the source 1 or 2.
    reason_text = "the source vertex after the m-th edge is not a whole number";
  } else {
    *id = carried_.value;
    return true;
  }
  *why = graph_name_ + ": " + reason_text;
  return false;
}

std::string Case::vertexless() const {
  if (g_.n >= 1) return "";
  const bool uncounted = report_.fault == LoadFault::kNoVertexCount;
  return std::string(uncounted ? "no vertex count" : "a vertex count of 0 or less") +
         ": a test graph needs at least one vertex";
}

std::vector<std::string> Case::warnings() const {
  std::vector<std::string> lines;
  if (!report_.warning.empty()) lines.push_back(graph_name_ + ": warning: " + report_.warning);
  if (solved()) {
    if (std::string w = source_warning(g_, source()); !w.empty()) lines.push_back("warning: " + w);
  }
  return lines;
}

bool Case::judge(ResultFile& result, Verdict* out, std::string* why,
                 JudgeObserver* observer) const {
  ByteReader& in = result.reader();
  *why = result.over_cap();
  if (why->empty() && !tarnwick::judge(in, g_.Dist, *row_, out, observer)) *why = reason(in.error());
  // A verdict found early says nothing of the size of a pipe: it is read on to tell.
  if (why->empty()) *why = result.read_to_cap();
  if (why->empty() && in.error() != 0) *why = reason(in.error());
  return why->empty();
}

}  // namespace tarnwick
