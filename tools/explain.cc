// tarnwick-explain: a verdict explained. Prints the judge's verdict, then the
// first wrong line (or the line asked for) step by step as the judge weighed
// it: for the instructor with the expected distance and a shortest path, or
// with --student only what the one who wrote the file may see.
//
//   tarnwick-explain [--student] [--json | --dot] input_graph your_output_result source_vertex_id [line]
#include <cctype>
#include <string>
#include <vector>

#include "check/case.h"
#include "cli/tool.h"
#include "graph/graph_file.h"
#include "graph/reader.h"
#include "explain/explain.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kTool = {
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

enum class Format { kText, kJson, kDot };

struct Args {
  Format format = Format::kText;
  bool student = false;
  std::vector<const char*> positional;
};

// Sorts argv into options and positional arguments. Returns false with *why
// set on an unknown option or two formats.
bool parse_args(int argc, const char* const* argv, Args* args, std::string* why) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && (a == "--json" || a == "--dot")) {
      Format f = a == "--json" ? Format::kJson : Format::kDot;
      if (args->format != Format::kText && args->format != f) {
        *why = "--json and --dot exclude each other";
        return false;
      }
      args->format = f;
    } else if (options && a == "--student") {
      args->student = true;
    } else if (options && a.size() > 1 && a[0] == '-' &&
               !std::isdigit(static_cast<unsigned char>(a[1]))) {
      *why = "unknown option '" + a + "'";
      return false;
    } else {
      args->positional.push_back(argv[i]);
    }
  }
  return true;
}

int run_explain(int argc, const char* const* argv) {
  if (int answered = answer_help_or_version(kTool, argc, argv); answered >= 0) return answered;
  Args args;
  std::string why;
  if (!parse_args(argc, argv, &args, &why)) return wrong_use(kTool, why);
  if (args.positional.size() < 3 || args.positional.size() > 4) return wrong_use(kTool);
  if (args.student && args.format == Format::kDot) {
    return wrong_use(kTool, "--dot draws a shortest path: it is not for students");
  }
  ExplainRequest req;
  req.graph_name = args.positional[0];
  if (args.positional.size() == 4 &&
      (!whole_number(args.positional[3], &req.line) || req.line < 1)) {
    return wrong_use(kTool, "line '" + std::string(args.positional[3]) + "' is not a line number");
  }
  GraphFile graph;
  Case c;
  CaseOptions options;
  options.note_edges = true;
  const SourceGiven source = SourceGiven::argument(args.positional[2]);
  if (!c.make(args.positional[0], graph, source, options, &why)) return cannot(kTool, why);
  req.c = &c;
  req.graph = &graph;
  const char* result_path = args.positional[1];
  InputFile result;
  if (!result.open(result_path, &why)) return cannot(kTool, std::string(result_path) + ": " + why);
  ByteReader in(result.fd());
  Explanation e;
  if (!explain(req, in, result_path, &e, &why)) return cannot(kTool, why);
  std::string out;
  if (args.format == Format::kText) out = args.student ? student_text(e) : explanation_text(e);
  if (args.format == Format::kJson) out = explanation_json(e, args.student);
  if (args.format == Format::kDot) out = explanation_dot(e);
  if (int status = print(kTool, out); status != kExitOk) return status;
  // The judge's warnings, after what it would print, as the judge has them.
  for (const std::string& warning : e.warnings) say(kTool.name, warning);
  return kExitOk;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::run_explain, argc, argv);
}
