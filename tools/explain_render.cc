// Writing an explanation as text, JSON and Graphviz input.
#include <cstdio>
#include <string>

#include "graph/tables.h"
#include "tools/explain_lib.h"
#include "tools/json.h"

namespace tarnwick {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

// Returns an id as written in a step: the id, or a word for one outside the tables.
std::string id_text(int32_t id) {
  return id == kOutsideId ? "(an id outside 0.." + num(V - 1) + ")" : num(id);
}

// Returns why a step weighs what it does, in words.
std::string why_text(const ExplainedStep& s, const Explanation& e) {
  const WeighedStep& st = s.step;
  const bool at_source = st.from == e.source && st.to == e.source;
  switch (s.why) {
    case StepWhy::kEdge:
      return "edge " + num(st.from) + "-" + num(st.to) + ", graph line " + num(s.graph_line);
    case StepWhy::kSelfLoop:
      return std::string(at_source ? "the source's self-loop" : "self-loop") + ", graph line " +
             num(s.graph_line);
    case StepWhy::kDiagonal:
      return at_source ? "the source's own diagonal" : "from a vertex to itself";
    case StepWhy::kNoEdge:
      return "no edge: INF";
    case StepWhy::kNotAVertex: {
      const int32_t id = st.from >= 1 && st.from <= e.n ? st.to : st.from;
      return num(id) + " is not a vertex of the graph (1.." + num(e.n) + "): 0";
    }
    case StepWhy::kOutsideTables:
      return "an id outside the tables: 0";
  }
  return "";
}

// Returns one line telling a step.
std::string step_text(const ExplainedStep& s, const Explanation& e) {
  const WeighedStep& st = s.step;
  std::string line = "  step " + num(st.index) + ": " + id_text(st.from) + " to " + id_text(st.to);
  if (st.repeated) line += " (a token without a number repeats the last id)";
  return line + ", weight " + num(st.weight) + ": " + why_text(s, e) + "\n";
}

// Returns the sentence on where the expected distance comes from, and a shortest path.
std::string expected_text(const Explanation& e) {
  const std::string to = " from " + num(e.source) + " to " + num(e.line);
  switch (e.how) {
    case Expected::kFastSearch: {
      std::string path = num(e.source), line;
      for (size_t i = 1; i < e.shortest.size(); ++i) {
        path += '-';
        path += num(e.shortest[i]);
        if (i > 1) line += ' ';
        line += num(e.shortest[i]);
      }
      return "A shortest path" + to + ": " + path + ", weight " + num(e.shortest_weight) +
             " (as a line: \"" + line + "\").\n";
    }
    case Expected::kExactPass:
      return "The exact all-pairs pass decided this distance (a weight is negative or 2^30 or "
             "more, so distances follow the pass's loop order): no path is shown.\n";
    case Expected::kLineNotAVertex:
      return "Line " + num(e.line) + " names no vertex of 1.." + num(e.n) +
             ": the judge expects the direct weight" + to + ".\n";
    case Expected::kSourceNotAVertex:
      return "The source is not a vertex of 1.." + num(e.n) +
             ": the judge expects the direct weight" + to + ".\n";
  }
  return "";
}

// Returns the lines telling the weighed line: steps, total, expected, end.
std::string line_text(const Explanation& e) {
  std::string t = "Line " + num(e.line) + " as the judge weighs it, from source " +
                  num(e.source) + ":\n";
  if (e.steps.empty()) t += "  (no step: the line holds no token)\n";
  __int128 shown = 0;
  for (const ExplainedStep& s : e.steps) shown += s.step.weight;
  for (const ExplainedStep& s : e.steps) {
    if (e.steps_not_kept > 0 && &s == &e.steps.back()) {
      t += "  (steps " + num(kKeptSteps + 1) + " to " + num(kKeptSteps + e.steps_not_kept) +
           " not shown: they weigh " + int128_text(e.total - shown) + ")\n";
    }
    t += step_text(s, e);
  }
  const __int128 diff = e.total - e.expected;
  t += "Total " + int128_text(e.total) + ", expected " + num(e.expected) + ": ";
  t += diff == 0 ? "right.\n" : "difference " + std::string(diff > 0 ? "+" : "") +
                                    int128_text(diff) + ".\n";
  const bool ends = e.ends_at == e.line;
  t += "The path ends at " + id_text(e.ends_at) +
       (ends ? ", vertex " + num(e.line) + " of this line.\n"
             : ", not at vertex " + num(e.line) + " (the judge does not check the end).\n");
  return t + expected_text(e);
}

// Returns the sentence on lines missing at the end of the file, if any.
std::string missing_text(const Explanation& e) {
  if (e.lines >= e.n || e.verdict.kind == Verdict::kEmptyFile) return "";
  std::string t = "The file ends after line " + num(e.lines) + ": ";
  t += e.lines + 1 == e.n ? "line " + num(e.n) + " is missing"
                          : "lines " + num(e.lines + 1) + " to " + num(e.n) + " are missing";
  return t + ".\n";
}

}  // namespace

std::string explanation_text(const Explanation& e) {
  std::string t = e.verdict_text;
  if (e.verdict.kind == Verdict::kEmptyFile) return t + "The result file holds no line.\n";
  const bool wrong = e.verdict.kind == Verdict::kWrongAnswer;
  if (wrong && e.verdict.line != e.line && e.line_read) {
    t += "(The verdict names line " + num(e.verdict.line) +
         (e.line > e.verdict.line ? ", where the judge stops; line " : "; line ") + num(e.line) +
         " is weighed as asked.)\n";
  }
  if (wrong && e.verdict.line > e.lines) {
    t += "Line " + num(e.verdict.line) + " was never read: the file ends first.\n";
  }
  if (!wrong && e.line == 0) {
    t += e.lines == 1 ? "The file's one line weighs its distance.\n"
                      : "All " + num(e.lines) + " lines weigh their distances.\n";
  }
  if (e.line != 0 && e.line_read) t += line_text(e);
  if (e.line != 0 && !e.line_read && !(wrong && e.line == e.verdict.line)) {
    t += "Line " + num(e.line) + " is not in the file, which has " + num(e.lines) +
         (e.lines == 1 ? " line.\n" : " lines.\n");
  }
  if (e.line != 0 && !e.line_read && e.how == Expected::kFastSearch) t += expected_text(e);
  return t + missing_text(e);
}

namespace {

const char* why_name(StepWhy why) {
  switch (why) {
    case StepWhy::kEdge: return "edge";
    case StepWhy::kSelfLoop: return "self-loop";
    case StepWhy::kDiagonal: return "diagonal";
    case StepWhy::kNoEdge: return "no edge";
    case StepWhy::kNotAVertex: return "not a vertex";
    case StepWhy::kOutsideTables: return "outside the tables";
  }
  return "";
}

const char* how_name(Expected how) {
  switch (how) {
    case Expected::kFastSearch: return "fast search";
    case Expected::kExactPass: return "exact pass";
    case Expected::kLineNotAVertex: return "line not a vertex";
    case Expected::kSourceNotAVertex: return "source not a vertex";
  }
  return "";
}

std::string json_id(int32_t id) { return id == kOutsideId ? "null" : num(id); }
std::string json_bool(bool b) { return b ? "true" : "false"; }

// Builds one JSON object, member by member (values already written as JSON).
class JsonObject {
 public:
  JsonObject& add(const char* name, const std::string& value) {
    text_ += text_.empty() ? '{' : ',';
    text_ += json_string(name);
    text_ += ':';
    text_ += value;
    return *this;
  }
  std::string done() const { return text_.empty() ? std::string("{}") : text_ + "}"; }

 private:
  std::string text_;
};

// Returns the items, already written as JSON, as a JSON array.
std::string json_array(const std::vector<std::string>& items) {
  std::string t = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i != 0) t += ',';
    t += items[i];
  }
  return t + "]";
}

std::string json_step(const ExplainedStep& s) {
  const WeighedStep& st = s.step;
  const bool has_line = s.why == StepWhy::kEdge || s.why == StepWhy::kSelfLoop;
  return JsonObject()
      .add("index", num(st.index))
      .add("from", json_id(st.from))
      .add("to", json_id(st.to))
      .add("repeats_last_id", json_bool(st.repeated))
      .add("weight", num(st.weight))
      .add("why", json_string(why_name(s.why)))
      .add("graph_line", has_line ? num(s.graph_line) : std::string("null"))
      .done();
}

// Adds the members telling the explained line.
void json_line(const Explanation& e, JsonObject& o) {
  o.add("line_read", json_bool(e.line_read));
  if (e.line_read) {
    std::vector<std::string> steps;
    for (const ExplainedStep& s : e.steps) steps.push_back(json_step(s));
    o.add("steps", json_array(steps))
        .add("steps_not_shown", num(e.steps_not_kept))
        .add("total", int128_text(e.total))
        .add("expected", num(e.expected))
        .add("difference", int128_text(e.total - e.expected))
        .add("ends_at", json_id(e.ends_at))
        .add("ends_at_line_vertex", json_bool(e.ends_at == e.line));
  }
  o.add("expected_from", json_string(how_name(e.how)));
  if (e.how != Expected::kFastSearch) return;
  std::vector<std::string> path;
  for (int32_t v : e.shortest) path.push_back(num(v));
  o.add("shortest_path", json_array(path)).add("shortest_weight", num(e.shortest_weight));
}

}  // namespace

std::string explanation_json(const Explanation& e) {
  JsonObject o;
  o.add("verdict", json_string(e.verdict_text.substr(0, e.verdict_text.size() - 1)))
      .add("source", num(e.source))
      .add("vertices", num(e.n))
      .add("lines", num(e.lines));
  const bool missing = e.lines < e.n && e.verdict.kind != Verdict::kEmptyFile;
  o.add("missing_lines", missing ? json_array({num(e.lines + 1), num(e.n)}) : "null");
  o.add("line", e.line != 0 ? num(e.line) : "null");
  if (e.line != 0) json_line(e, o);
  std::vector<std::string> warnings;
  for (const std::string& w : e.warnings) warnings.push_back(json_string(w));
  o.add("warnings", json_array(warnings));
  return o.done() + "\n";
}

namespace {

// Returns the Graphviz name of an id: the id, or "outside" for one outside the tables.
std::string dot_id(int32_t id) { return id == kOutsideId ? "outside" : num(id); }

// Returns the nodes: every vertex of 1..n, and the other ids the paths name.
std::string dot_nodes(const Explanation& e) {
  std::string t;
  for (int32_t v = 1; v <= e.n; ++v) {
    t += "  " + num(v);
    if (v == e.source) t += " [style=filled, fillcolor=lightblue]";
    if (v == e.line && v != e.source) t += " [peripheries=2]";
    t += ";\n";
  }
  if (e.source < 1 || e.source > e.n) {
    t += "  " + num(e.source) + " [shape=box, style=\"dashed,filled\", fillcolor=lightblue];\n";
  }
  for (const ExplainedStep& s : e.steps) {
    if (s.step.to >= 1 && s.step.to <= e.n) continue;
    t += "  " + dot_id(s.step.to) + " [shape=box, style=dashed];\n";
  }
  return t;
}

// Returns the graph's edges, grey, and the paths over them as directed, coloured edges.
std::string dot_edges(const Explanation& e) {
  std::string t;
  for (const auto& [u, v, w] : e.edges) {
    t += "  " + num(u) + " -> " + num(v) + " [dir=none, color=grey60, label=\"" + num(w) + "\"];\n";
  }
  for (const ExplainedStep& s : e.steps) {
    const bool missing = s.why == StepWhy::kNoEdge;
    t += "  " + dot_id(s.step.from) + " -> " + dot_id(s.step.to) + " [color=red, penwidth=2" +
         (missing ? ", style=dashed" : "") + ", fontcolor=red, label=\"" + num(s.step.index) +
         ": " + num(s.step.weight) + "\", constraint=false];\n";
  }
  for (size_t i = 1; i < e.shortest.size(); ++i) {
    t += "  " + num(e.shortest[i - 1]) + " -> " + num(e.shortest[i]) +
         " [color=darkgreen, penwidth=2, constraint=false];\n";
  }
  return t;
}

}  // namespace

bool explanation_dot(const Explanation& e, std::string* out, std::string* err) {
  if (e.n > kDotMaxVertices) {
    *err = "the graph has " + num(e.n) + " vertices; --dot draws at most " +
           num(kDotMaxVertices);
    return false;
  }
  std::string label = e.verdict_text.substr(0, e.verdict_text.size() - 1);
  if (e.line != 0) label += ": line " + num(e.line) + " in red, a shortest path in green";
  *out = "digraph explanation {\n  label=" + json_string(label) + ";\n  node [shape=circle];\n" +
         dot_nodes(e) + dot_edges(e) + "}\n";
  return true;
}

}  // namespace tarnwick
