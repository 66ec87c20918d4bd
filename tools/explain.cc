// tarnwick-explain: a verdict explained. Prints the judge's verdict, then the
// first wrong line (or the line asked for) step by step as the judge weighed
// it: for the instructor with the expected distance and a shortest path, or
// with --student only what the one who wrote the file may see. It runs after
// the case, loaded so that the graph lines of edges can be found again.
#include <string>

#include "check/result_file.h"
#include "explain/explain.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-explain",
    "Usage: tarnwick-explain [--student] [--json | --dot] input_graph your_output_result "
    "source_vertex_id [line]\n",
    "Judges the result file as tarnwick does and prints the verdict, then the first\n"
    "wrong line (or `line`) step by step: each step's weight and why, the exact total,\n"
    "notes on how the judge read the line, the expected distance and a shortest path\n"
    "where the fast search gives one. Without --student it is for instructors: it tells\n"
    "the expected distances.\n"
    "  --student  what a student may see: no expected distance, difference or shortest path;\n"
    "             at most 20 steps of the line and its last\n"
    "  --json     the same as one JSON object\n"
    "  --dot      the graph, the path and a shortest path as Graphviz input; above 60\n"
    "             vertices, only the vertices the line and the shortest path visit\n"
    "  --help, --version\n"};

class Explain final : public Tool {
 public:
  Explain() : Tool(kInfo, {{"--student", nullptr}, {"--json", nullptr}, {"--dot", nullptr}}) {}

  bool take(const Args& args, std::string* why) override {
    student_ = args.has("--student"), json_ = args.has("--json"), dot_ = args.has("--dot");
    const std::vector<std::string>& operands = args.operands;
    if (operands.size() < 3 || operands.size() > 4) return false;
    if (json_ && dot_) *why = "--json and --dot exclude each other";
    if (student_ && dot_) *why = "--dot draws a shortest path: it is not for students";
    if (operands.size() == 4 && (!whole_number(operands[3], &line_) || line_ < 1)) {
      *why = "line '" + operands[3] + "' is not a line number";
    }
    graph_ = operands[0], result_ = operands[1], source_ = operands[2];
    return why->empty();
  }
  Stage stage() const override { return Stage::kAfterCase; }
  CaseRequest request() const override { return {graph_, SourceGiven::argument(source_)}; }
  CaseOptions load_options(GraphFile&) override {
    CaseOptions options;
    options.note_edges = true;  // each step's edge is found again with its graph line
    return options;
  }

  int run(Front& front) override {
    ResultFile result;
    Explanation e;
    std::string why;
    const ExplainRequest req{&front.judging, &front.graph, graph_, line_};
    if (!result.open(result_, {}, &why)) return front.refuse(result_ + ": " + why);
    if (!explain(req, result, result_, &e, &why)) return front.refuse(why);
    if (dot_) return front.print(explanation_dot(e));
    if (json_) return front.print(explanation_json(e, student_));
    return front.print(student_ ? student_text(e) : explanation_text(e));
  }

 private:
  bool student_ = false, json_ = false, dot_ = false;
  std::string graph_, result_, source_;
  int64_t line_ = 0;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Explain explain;
  return tarnwick::run_tool(explain, argc, argv);
}
