// Writing an explanation as text, JSON and Graphviz input.
#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/escape.h"
#include "cli/tool.h"
#include "graph/tables.h"
#include "explain/explain.h"

namespace tarnwick {

std::string int128_text(__int128 v) {
  unsigned __int128 u = v < 0 ? -static_cast<unsigned __int128>(v) : v;
  std::string digits;
  do {
    digits += static_cast<char>('0' + static_cast<int>(u % 10));
    u /= 10;
  } while (u != 0);
  if (v < 0) digits += '-';
  std::reverse(digits.begin(), digits.end());
  return digits;
}

namespace {

std::string num(int64_t v) { return std::to_string(v); }

// Returns true when the file ends before line n (an empty file aside).
bool lines_missing(const Explanation& e) {
  return e.lines < e.n && e.verdict.kind != Verdict::kEmptyFile;
}

// Returns a token's bytes for a message: control characters escaped, and a
// byte-order mark, invisible on a terminal, named U+FEFF.
std::string token_shown(std::string_view token) {
  std::string out;
  for (size_t at = 0, bom; at < token.size(); at = bom + 3) {
    bom = std::min(token.find("\xef\xbb\xbf", at), token.size());
    out += printable(token.substr(at, bom - at));
    if (bom < token.size()) out += "<U+FEFF>";
  }
  return out;
}

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
    case StepWhy::kNotAVertex:
      return num(e.is_vertex(st.from) ? st.to : st.from) + " is not a vertex of the graph (1.." +
             num(e.n) + ") and no edge joins the two: weight 0";
    case StepWhy::kOutsideTables:
      return "an id outside the tables: weight 0";
  }
  return "";
}

// Returns one line telling a step.
std::string step_text(const ExplainedStep& s, const Explanation& e) {
  const WeighedStep& st = s.step;
  std::string line = "  step " + num(st.index) + ": " + id_text(st.from) + " to " + id_text(st.to);
  if (st.repeated) line += " (a token without a number repeats the last id)";
  if (st.tail_ignored || (st.to == kOutsideId && !st.repeated)) {
    line += " (read from \"" + token_shown(s.token) + "\")";
  }
  return line + ", weight " + num(st.weight) + ": " + why_text(s, e) + "\n";
}

// Returns the steps of the explained line: the first max_steps and the last,
// with the weight of those between.
std::string steps_text(const Explanation& e, int64_t max_steps) {
  if (e.steps.empty()) return "  (no step: the line holds no token)\n";
  const size_t most = static_cast<size_t>(std::max<int64_t>(max_steps, 0));
  const size_t first = std::min(e.steps.size() - 1, most);
  std::string t;
  __int128 shown = 0;
  for (size_t i = 0; i < first; ++i) {
    t += step_text(e.steps[i], e);
    shown += e.steps[i].step.weight;
  }
  const ExplainedStep& last = e.steps.back();
  const int64_t from = (first == 0 ? 0 : e.steps[first - 1].step.index) + 1;
  const int64_t to = last.step.index - 1;
  const std::string hidden = int128_text(e.total - shown - last.step.weight);
  if (from == to) t += "  (step " + num(from) + " not shown: it weighs " + hidden + ")\n";
  if (from < to) {
    t += "  (steps " + num(from) + " to " + num(to) + " not shown: they weigh " + hidden + ")\n";
  }
  return t + step_text(last, e);
}

// Returns the sentence on where the expected distance comes from, and a shortest path.
std::string expected_text(const Explanation& e) {
  const std::string to = " from " + num(e.source) + " to " + num(e.line);
  switch (e.how) {
    case Expected::kFastSearch:
      return "A shortest path" + to + ": " + joined(e.shortest, "-", num) + ", weight " +
             num(e.shortest_weight) + " (as a line: \"" +
             joined(std::span(e.shortest).subspan(1), " ", num) + "\").\n";
    case Expected::kExactPass:
      return "The exact all-pairs pass decided this distance (a weight is negative or 2^30 or "
             "more, so distances follow the pass's loop order): no path is shown.\n";
    case Expected::kLineNotAVertex:
      return "";  // a reading note tells it
    case Expected::kSourceNotAVertex:
      return "The source is not a vertex of 1.." + num(e.n) +
             ": the judge expects the direct weight" + to + ".\n";
  }
  return "";
}

// Returns the line on the total: with the expected distance and the
// difference for an instructor, without them for a student.
std::string total_text(const Explanation& e, bool student) {
  const __int128 diff = e.total - e.expected;
  std::string t = "Total " + int128_text(e.total);
  if (!student) t += ", expected " + num(e.expected);
  if (diff == 0) return t + ": right.\n";
  if (!student) return t + ": difference " + (diff > 0 ? "+" : "") + int128_text(diff) + ".\n";
  if (e.how == Expected::kFastSearch || e.how == Expected::kExactPass) {
    return t + ": not the shortest distance from " + num(e.source) + " to " + num(e.line) + ".\n";
  }
  return t + ": not the weight the judge expects for this line.\n";
}

// Returns the lines telling the weighed line: steps, total, end, notes and,
// for an instructor, where the expected distance comes from.
std::string line_text(const Explanation& e, bool student, int64_t max_steps) {
  std::string t = "Line " + num(e.line) + " as the judge weighs it, from source " +
                  num(e.source) + ":\n";
  t += steps_text(e, max_steps) + total_text(e, student);
  const bool ends = e.ends_at == e.line;
  t += "The path ends at " + id_text(e.ends_at) +
       (ends ? ", vertex " + num(e.line) + " of this line.\n"
             : ", not at vertex " + num(e.line) + " (the judge does not check the end).\n");
  for (const std::string& note : reading_notes(e)) t += "Note: " + note + "\n";
  return student ? t : t + expected_text(e);
}

// Returns the sentence on lines missing at the end of the file, if any.
std::string missing_text(const Explanation& e) {
  if (!lines_missing(e)) return "";
  std::string t = "The file ends after line " + num(e.lines) + ": ";
  t += e.lines + 1 == e.n ? "line " + num(e.n) + " is missing"
                          : "lines " + num(e.lines + 1) + " to " + num(e.n) + " are missing";
  return t + ".\n";
}

// Returns the sentence (lower case, no full stop) on a file written as text
// of another kind than plain ASCII, or "".
std::string encoding_note(const Explanation& e) {
  if (e.encoding == Explanation::Encoding::kUtf16) {
    return "the file looks like UTF-16 text (it holds NUL bytes): the judge reads bytes, so a "
           "result file is written as plain ASCII";
  }
  if (e.encoding == Explanation::Encoding::kByteOrderMark) {
    return "the file starts with a byte-order mark (<U+FEFF>, the bytes EF BB BF), which the "
           "judge reads as part of line 1";
  }
  return "";
}

// Returns the explanation as text, for an instructor or (student) for the
// one who wrote the result file.
std::string any_text(const Explanation& e, bool student, int64_t max_steps) {
  std::string t = e.verdict_line;
  if (e.verdict.kind == Verdict::kEmptyFile) return t + "The result file holds no line.\n";
  const bool wrong = e.verdict.kind == Verdict::kWrongAnswer;
  if (const std::string kind = encoding_note(e); wrong && !kind.empty()) {
    t += static_cast<char>(kind[0] - 'a' + 'A') + kind.substr(1) + ".\n";
  }
  if (wrong && e.verdict.line != e.line && e.line_read) {
    t += "(The verdict names line " + num(e.verdict.line) +
         (e.line > e.verdict.line ? ", where the judge stops; line " : "; line ") + num(e.line) +
         " is weighed as asked.)\n";
  }
  if (wrong && e.verdict.line > e.lines && !(student && e.verdict.missing)) {
    t += "Line " + num(e.verdict.line) + " was never read: the file ends first.\n";
  }
  if (!wrong && e.line == 0) {
    t += e.lines == 1 ? "The file's one line weighs its distance.\n"
                      : "All " + num(e.lines) + " lines weigh their distances.\n";
  }
  if (e.line != 0 && e.line_read) t += line_text(e, student, max_steps);
  if (e.line != 0 && !e.line_read && !(wrong && e.line == e.verdict.line)) {
    t += "Line " + num(e.line) + " is not in the file, which has " + num(e.lines) +
         (e.lines == 1 ? " line.\n" : " lines.\n");
  }
  if (!student && e.line != 0 && !e.line_read && e.how == Expected::kFastSearch) {
    t += expected_text(e);
  }
  return t + missing_text(e);
}

// Notes on tokens read otherwise than written: at most kNotesOfAKind of each
// kind, then how many more there are.
constexpr int kNotesOfAKind = 3;

// White space before a token's number, as the judge passes over it.
constexpr char kWhite[] = "\t\n\v\f\r";

// Returns the bytes of a token after its number: past leading white space, a
// sign and the digits, as the judge reads it.
std::string_view token_tail(std::string_view token) {
  size_t i = token.find_first_not_of(kWhite);
  if (i == std::string_view::npos) return {};
  if (token[i] == '+' || token[i] == '-') ++i;
  while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
  return token.substr(i);
}

// Returns true when the token is nothing but white space (or nothing at all).
bool blank_token(std::string_view token) {
  return token.find_first_not_of(kWhite) == std::string_view::npos;
}

// Returns the note on a token whose bytes after its number were passed over.
std::string tail_note(const ExplainedStep& s) {
  const std::string head = "step " + num(s.step.index) + " reads the token \"" +
                           token_shown(s.token) + "\" as " + id_text(s.step.to) + ": ";
  if (token_tail(s.token) == "\r") {
    return head + "the carriage return of a Windows line end is passed over";
  }
  return head + "a number ends at its first byte that is not a digit and the rest of the token "
                "is passed over; only a space separates ids";
}

// Returns how a token without a number ends: the id it repeats, and its self-loop.
std::string repeated_id(const ExplainedStep& s) {
  std::string t = s.no_id_yet ? " stands for 0, as no id has been read yet"
                              : " repeats the last id read, " + id_text(s.step.to);
  return s.why == StepWhy::kSelfLoop ? t + ", and walks its self-loop" : t;
}

// Returns the note on a token without a number, which repeats the last id.
std::string repeat_note(const ExplainedStep& s, bool last_of_line) {
  std::string t = "step " + num(s.step.index) + " ";
  if (blank_token(s.token) && last_of_line) {
    t += "comes from a space at the end of the line: the ";
    t += s.token.empty() ? "empty token after it" : "token after it, \"" + token_shown(s.token) + "\",";
  } else {
    t += "reads the token \"" + token_shown(s.token) + "\", which holds no number and";
  }
  return t + repeated_id(s);
}

// Returns true when line e.line is blank: nothing but white space before its line end.
bool blank_line(const Explanation& e) {
  return e.steps.size() == 1 && e.steps[0].step.repeated && blank_token(e.steps[0].token);
}

// Returns the note on a blank line: its one token repeats the last id.
std::string blank_note(const Explanation& e) {
  const bool last = e.line == e.lines;
  return "line " + num(e.line) + " is blank" +
         (last ? " and the file's last: the file ends with an empty line (a line end after the "
                 "line end of the line before), and its token without a number"
               : ": it still holds one token, without a number, which") +
         repeated_id(e.steps[0]);
}

// Adds the notes of one kind, at most kNotesOfAKind, then a count of the rest.
void add_notes(std::vector<std::string> kind, std::vector<std::string>* notes) {
  const size_t shown = std::min<size_t>(kind.size(), kNotesOfAKind);
  notes->insert(notes->end(), kind.begin(), kind.begin() + static_cast<ptrdiff_t>(shown));
  if (kind.size() > shown) {
    notes->push_back("and " + num(static_cast<int64_t>(kind.size() - shown)) +
                     " more step(s) like the last");
  }
}

// Returns the note on a step's pair given again with another weight.
std::string given_again_note(const ExplainedStep& s) {
  const std::string times = s.pair_times == 2 ? "twice" : num(s.pair_times) + " times";
  const std::string lines = s.pair_times == 2 ? "graph lines " : "the last two on graph lines ";
  return "edge " + num(s.step.from) + "-" + num(s.step.to) + " is given " + times + " (" + lines +
         num(s.earlier_line) + " and " + num(s.graph_line) + "): the later weight " +
         num(s.step.weight) + " stands, not " + num(s.earlier_weight);
}

// Returns the notes on the pairs of the steps given again with another
// weight, each pair once.
std::vector<std::string> given_again_notes(const Explanation& e) {
  std::vector<std::string> notes;
  std::vector<int64_t> told;
  for (const ExplainedStep& s : e.steps) {
    if (s.pair_times < 2 || std::find(told.begin(), told.end(), s.graph_line) != told.end()) continue;
    told.push_back(s.graph_line);
    notes.push_back(given_again_note(s));
  }
  return notes;
}

}  // namespace

std::vector<std::string> reading_notes(const Explanation& e) {
  std::vector<std::string> notes;
  if (e.line == 0 || !e.line_read) return notes;
  if (e.line > e.n) {
    notes.push_back("line " + num(e.line) + ": the graph has " + num(e.n) +
                    (e.n == 1 ? " vertex" : " vertices") +
                    "; this line is compared with the direct weight from " + num(e.source) +
                    " to " + num(e.line));
  }
  const bool blank = blank_line(e);
  if (blank) notes.push_back(blank_note(e));
  if (!e.steps.empty() && e.steps[0].why == StepWhy::kSelfLoop &&
      e.steps[0].step.from == e.source && !e.steps[0].step.repeated) {
    notes.push_back("step 1 walks the source's self-loop (weight " + num(e.steps[0].step.weight) +
                    "): the path already starts at the source, so a line that writes it "
                    "first pays the loop");
  }
  std::vector<std::string> tails, repeats;
  for (const ExplainedStep& s : e.steps) {
    if (s.step.tail_ignored) tails.push_back(tail_note(s));
    if (s.step.repeated && !blank) repeats.push_back(repeat_note(s, &s == &e.steps.back()));
  }
  add_notes(std::move(tails), &notes);
  add_notes(std::move(repeats), &notes);
  add_notes(given_again_notes(e), &notes);
  return notes;
}

std::string grading_note(const Explanation& e) {
  if (e.verdict.kind != Verdict::kWrongAnswer) return "";
  if (std::string kind = encoding_note(e); !kind.empty()) return kind;
  if (!e.line_read || e.line != e.verdict.line) return "";
  if (e.line == e.n + 1 && blank_line(e) && e.line == e.lines) {
    return "the file ends with an empty line: line " + num(e.line) + " is judged";
  }
  for (const ExplainedStep& s : e.steps) {
    if (s.pair_times > 1) return given_again_note(s);
  }
  return "";
}

std::string explanation_text(const Explanation& e) { return any_text(e, false, kKeptSteps + 1); }

std::string student_text(const Explanation& e, int64_t max_steps) {
  return any_text(e, true, max_steps);
}

namespace {

// The JSON names of StepWhy and Expected, in the order of their values.
constexpr const char* kWhyNames[] = {"edge",    "self-loop",    "diagonal",
                                     "no edge", "not a vertex", "outside the tables"};
constexpr const char* kHowNames[] = {"fast search", "exact pass", "line not a vertex",
                                     "source not a vertex"};

std::string json_id(int32_t id) { return id == kOutsideId ? "null" : num(id); }
std::string json_bool(bool b) { return b ? "true" : "false"; }

// Returns write(item), a JSON value, for each of items as a JSON array.
template <typename Items, typename Write>
std::string json_array(const Items& items, Write write) {
  return "[" + joined(items, ",", write) + "]";
}

// Builds one JSON object, member by member (values already written as JSON).
class JsonObject {
 public:
  JsonObject& add(const char* name, const std::string& value) {
    text_ += text_.empty() ? '{' : ',';
    text_ += json_string(name) + ':' + value;
    return *this;
  }
  std::string done() const { return text_ + '}'; }  // after at least one add

 private:
  std::string text_;
};

std::string json_step(const ExplainedStep& s) {
  const WeighedStep& st = s.step;
  const bool has_line = s.why == StepWhy::kEdge || s.why == StepWhy::kSelfLoop;
  return JsonObject()
      .add("index", num(st.index))
      .add("from", json_id(st.from))
      .add("to", json_id(st.to))
      .add("token", json_string(s.token))
      .add("repeats_last_id", json_bool(st.repeated))
      .add("tail_ignored", json_bool(st.tail_ignored))
      .add("weight", num(st.weight))
      .add("why", json_string(kWhyNames[static_cast<int>(s.why)]))
      .add("graph_line", has_line ? num(s.graph_line) : "null")
      .done();
}

// Adds the members telling the explained line.
void json_line(const Explanation& e, bool student, JsonObject& o) {
  o.add("line_read", json_bool(e.line_read));
  if (e.line_read) {
    o.add("steps", json_array(e.steps, json_step))
        .add("steps_not_shown", num(e.steps_not_kept))
        .add("total", int128_text(e.total));
    if (!student) {
      o.add("expected", num(e.expected)).add("difference", int128_text(e.total - e.expected));
    }
    o.add("ends_at", json_id(e.ends_at)).add("ends_at_line_vertex", json_bool(e.ends_at == e.line));
    o.add("notes", json_array(reading_notes(e), json_string));
  }
  if (student) return;
  o.add("expected_from", json_string(kHowNames[static_cast<int>(e.how)]));
  if (e.how != Expected::kFastSearch) return;
  o.add("shortest_path", json_array(e.shortest, num))
      .add("shortest_weight", num(e.shortest_weight));
}

}  // namespace

std::string explanation_json(const Explanation& e, bool student) {
  JsonObject o;
  o.add("verdict", json_string(verdict_words(e.verdict)))
      .add("source", num(e.source))
      .add("vertices", num(e.n))
      .add("lines", num(e.lines))
      .add("read_to_end", e.read_to_end ? "true" : "false");
  o.add("missing_lines", lines_missing(e) ? "[" + num(e.lines + 1) + "," + num(e.n) + "]" : "null");
  o.add("line", e.line != 0 ? num(e.line) : "null");
  if (e.line != 0) json_line(e, student, o);
  // The warnings are about the test, for its author.
  if (!student) o.add("warnings", json_array(e.warnings, json_string));
  return o.done() + "\n";
}

namespace {

// Returns the Graphviz name of an id: the id, or "outside" for one outside the tables.
std::string dot_id(int32_t id) { return id == kOutsideId ? "outside" : num(id); }

// Returns the nodes: the drawn vertices, and the other ids the paths name, once each.
std::string dot_nodes(const Explanation& e) {
  std::string t;
  for (int32_t v : e.drawn) {
    t += "  " + num(v);
    if (v == e.source) t += " [style=filled, fillcolor=lightblue]";
    if (v == e.line && v != e.source) t += " [peripheries=2]";
    t += ";\n";
  }
  if (!e.is_vertex(e.source)) {
    t += "  " + num(e.source) + " [shape=box, style=\"dashed,filled\", fillcolor=lightblue];\n";
  }
  std::set<int32_t> others;
  for (const ExplainedStep& s : e.steps) {
    const int32_t id = s.step.to;
    if (!e.is_vertex(id) && id != e.source && others.insert(id).second) {
      t += "  " + dot_id(id) + " [shape=box, style=dashed];\n";
    }
  }
  return t;
}

// Returns the graph's edges, grey, and the paths over them as directed,
// coloured edges: each distinct step of the line once, labelled with where
// it is first taken, its weight and how many times it is taken.
std::string dot_edges(const Explanation& e) {
  std::string t;
  for (const auto& [u, v, w] : e.edges) {
    t += "  " + num(u) + " -> " + num(v) + " [dir=none, color=grey60, label=\"" + num(w) + "\"];\n";
  }
  std::map<std::pair<int32_t, int32_t>, int64_t> times;
  for (const ExplainedStep& s : e.steps) ++times[{s.step.from, s.step.to}];
  for (const ExplainedStep& step : e.steps) {
    const WeighedStep& s = step.step;
    // Drawn where first taken; its count is then spent.
    const int64_t taken = std::exchange(times[{s.from, s.to}], 0);
    if (taken == 0) continue;
    const bool missing = step.why == StepWhy::kNoEdge;
    t += "  " + dot_id(s.from) + " -> " + dot_id(s.to) + " [color=red, penwidth=2" +
         (missing ? ", style=dashed" : "") + ", fontcolor=red, label=\"" + num(s.index) + ": " +
         num(s.weight) + (taken > 1 ? " (x" + num(taken) + ")" : "") + "\", constraint=false];\n";
  }
  for (size_t i = 1; i < e.shortest.size(); ++i) {
    t += "  " + num(e.shortest[i - 1]) + " -> " + num(e.shortest[i]) +
         " [color=darkgreen, penwidth=2, constraint=false];\n";
  }
  return t;
}

// Returns the drawing's caption: the verdict and, for a big graph, what part is drawn.
std::string dot_label(const Explanation& e) {
  std::string label = verdict_words(e.verdict);
  if (e.line != 0) label += ": line " + num(e.line) + " in red, a shortest path in green";
  if (e.steps_not_kept > 0) {
    label += "; steps " + num(kKeptSteps + 1) + " to " + num(kKeptSteps + e.steps_not_kept) +
             " not drawn";
  }
  if (e.n <= kDotMaxVertices) return label;
  label += "; " + num(static_cast<int64_t>(e.drawn.size())) + " of the graph's " + num(e.n) +
           " vertices";
  if (e.drawn.size() > static_cast<size_t>(kDotMaxVertices)) {
    label += ", without the graph's other edges among them";
  }
  return label;
}

}  // namespace

std::string explanation_dot(const Explanation& e) {
  return "digraph explanation {\n  label=" + json_string(dot_label(e)) +
         ";\n  node [shape=circle];\n" + dot_nodes(e) + dot_edges(e) + "}\n";
}

}  // namespace tarnwick
