// The shared front: a tool's command line read, its case made, its refusals
// and the judge's warnings told, in one order for every tool.
#include "tools/front.h"

#include <cstdio>

namespace tarnwick {

int Front::print(std::string_view text) {
  std::string err;
  if (write_out(text, &err)) return kExitOk;
  return refuse("standard output: " + err);
}

int Front::refuse(const std::string& reason) {
  refused_ = true;
  return cannot(tool_.info(), reason);
}

void Front::warn(const std::vector<std::string>& warnings) const {
  for (const std::string& warning : warnings) say(tool_.info().name, warning);
}

namespace {

// Reads the command line into *args: by the grammar, or for the judge every
// argument as an operand. Returns false with *why set on wrong use.
bool read_command_line(const Tool& tool, int argc, char** argv, Args* args, std::string* why) {
  if (tool.reads_options()) return read_args(tool.options(), tool.words(), argc, argv, args, why);
  args->program = argv[0];
  args->operands.assign(argv + 1, argv + argc);
  return true;
}

// Makes the case a tool runs after, and runs the tool. Returns the exit status.
int run_after_case(Tool& tool, Front& front) {
  const CaseRequest request = tool.request();
  std::string why;
  if (request.from_stdin) {
    front.graph.adopt(0);  // read where it stands, once: a pipe is never copied
  } else if (!front.graph.open(request.graph.c_str(), &why)) {
    return front.refuse(request.graph + ": " + why);
  }
  CaseOptions options = tool.load_options(front.graph);
  options.progress = front.progress();
  const std::string name = request.from_stdin ? "<stdin>" : request.graph;
  const bool made = front.judging.make(front.graph, name, request.source, options, &why);
  front.end_progress();
  if (!made && !request.tells_refusals) return front.refuse(why);
  const int status = tool.run(front);
  // A judged run's warnings come after its output; a refused run says one thing, why.
  if (request.warns && !front.refused()) front.warn(front.judging.warnings());
  return status;
}

// Runs the tool on its command line. Returns the exit status.
int run_body(Tool& tool, int argc, char** argv) {
  if (tool.reads_options()) {
    const int status = answer_help_or_version(tool.info(), argc, argv, tool.options());
    if (status >= 0) return status;
  }
  Args args;
  std::string why;
  if (!read_command_line(tool, argc, argv, &args, &why) || !tool.take(args, &why)) {
    return tool.wrong_use(args, why);
  }
  Front front(tool);
  if (tool.stage() == Stage::kAfterCase) return run_after_case(tool, front);
  return tool.run(front);
}

}  // namespace

int run_tool(Tool& tool, int argc, char** argv) {
  return guarded_main(
      tool.info().name, [&tool](int c, char** v) { return run_body(tool, c, v); }, argc, argv,
      [&tool](const std::string& why) { return tool.failed(why); });
}

}  // namespace tarnwick
