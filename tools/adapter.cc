#include "tools/adapter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "cli/tool.h"
#include "graph/input.h"

namespace tarnwick {

namespace {

// Returns true when text ends with suffix.
bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Reads a system flag into *system. Returns false when arg is none.
bool system_flag(std::string_view arg, System* system) {
  if (arg == "--kattis" || arg == "--domjudge") {
    *system = System::kKattis;
  } else if (arg == "--testlib") {
    *system = System::kTestlib;
  } else {
    return false;
  }
  return true;
}

// Sets *why when the file count does not suit the system.
void check_files(const CheckerArgs& args, std::string* why) {
  if (args.system == System::kNone) {
    *why = "no judging system: give --kattis or --testlib";
  } else if (args.files.size() != 3) {
    *why = args.system == System::kKattis
               ? "a Kattis validator takes input_file answer_file feedback_dir"
               : "a testlib checker takes input_file output_file answer_file";
  } else if (args.system == System::kKattis && args.files[2].empty()) {
    *why = "feedback_dir is an empty path";  // joined to a file name, it would be the root folder
  }
}

}  // namespace

System system_from_name(std::string_view argv0) {
  std::string_view base = argv0.substr(argv0.find_last_of('/') + 1);
  if (ends_with(base, "-kattis") || ends_with(base, "-domjudge")) return System::kKattis;
  if (ends_with(base, "-testlib")) return System::kTestlib;
  return System::kNone;
}

bool parse_checker_args(int argc, const char* const* argv, CheckerArgs* args, std::string* why) {
  args->system = argc > 0 ? system_from_name(argv[0]) : System::kNone;
  bool options_end = false, flagged = false;
  for (int i = 1; i < argc && why->empty(); ++i) {
    std::string_view arg = argv[i];
    System system;
    if (options_end || arg.size() < 2 || arg.substr(0, 2) != "--") {
      args->files.emplace_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (system_flag(arg, &system)) {
      if (flagged && system != args->system) *why = "more than one judging system given";
      args->system = system;
      flagged = true;
    } else if (arg == "--source" && i + 1 < argc) {
      args->source = argv[++i];
    } else if (arg.substr(0, 9) == "--source=") {
      args->source = std::string(arg.substr(9));
    } else {
      *why = "unknown option '" + std::string(arg) + "'";
    }
  }
  if (why->empty()) check_files(*args, why);
  return why->empty();
}

bool TestCase::load(const std::string& path, const std::optional<std::string>& source,
                    std::string* why) {
  input_path = path;
  CaseOptions options;
  options.note_edges = true;  // a wrong answer is explained with the graph's lines
  return c.make(path.c_str(), graph, source ? SourceGiven::flag(*source) : SourceGiven::carried(),
                options, why);
}

ExplainRequest TestCase::request() const {
  ExplainRequest req;
  req.c = &c;
  req.graph = const_cast<GraphFile*>(&graph);
  req.graph_name = input_path;
  return req;
}

int exit_status(System system, Checked::Kind kind) {
  if (system == System::kKattis) {
    static const int kStatus[] = {42, 43, 1, 2, 2};
    return kStatus[kind];
  }
  if (system == System::kTestlib) {
    static const int kStatus[] = {0, 1, 3, 3, 2};
    return kStatus[kind];
  }
  return kind == Checked::kWrongUse ? 1 : 2;
}

namespace {

// Returns the verdict line without its line end.
std::string verdict_text(const Verdict& v) {
  std::string line = verdict_line(v);
  line.pop_back();
  return line;
}

}  // namespace

std::string check_answer(const TestCase& test, const std::string& input_path,
                         const std::string& answer_path) {
  Verdict model;
  std::string err;
  if (!test.c.judge(answer_path.c_str(), &model, &err)) return err;
  if (model.kind == Verdict::kSuccess) return "";
  return "broken test " + input_path + ": its answer file " + answer_path +
         " is not accepted: " + verdict_text(model);
}

Checked check_team(TestCase& test, ByteReader& team, const std::string& team_name,
                   Explanation* e) {
  if (!weigh(test.request(), team, e)) {
    return {Checked::kNoOutput, {}, team_name + ": " + reason(team.error())};
  }
  const Verdict& v = e->verdict;
  return {v.kind == Verdict::kSuccess ? Checked::kAccepted : Checked::kWrong, v, ""};
}

std::string judge_message(const Verdict& verdict, const Graph& g, const SourceRow& APSP) {
  std::string message = verdict_line(verdict);
  if (verdict.kind != Verdict::kWrongAnswer) return message;
  std::string k = std::to_string(verdict.line), s = std::to_string(verdict.source);
  if (verdict.missing) {
    return message + "line " + k + " is missing: the output ends after line " +
           std::to_string(verdict.line - 1) + ", and each of the " + std::to_string(g.n) +
           " vertices needs a line\n";
  }
  message += "line " + k + " does not weigh the expected distance " +
             std::to_string(APSP.at(verdict.line)) + " from vertex " + s + " to vertex " + k;
  if (verdict.line > g.n) {
    message += " (line " + k + " is past the graph's " + std::to_string(g.n) + " vertices)";
  }
  return message + "\n";
}

std::string team_message(const Verdict& verdict) { return verdict_line(verdict); }

std::string explained(TestCase& test, Explanation e) {
  std::string err;
  if (!add_graph_lines(test.request(), &e, &err)) return "";
  return explanation_text(e);
}

namespace {

// Writes text into the file at path. Returns false with *why set when it cannot.
bool write_text(const std::string& path, const std::string& text, std::string* why) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "w");
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr) ok = std::fclose(f) == 0 && ok;
  if (!ok) *why = path + ": " + reason(errno != 0 ? errno : EIO);
  return ok;
}

// Prints "tarnwick-checker: why" on standard error.
void complain(const std::string& why) { say("tarnwick-checker", why); }

// Returns the judge's warnings (the graph's, a source that is not a vertex) as
// lines for the judges, or "".
std::string warning_line(const TestCase& test) {
  std::string lines;
  for (const std::string& w : test.c.warnings()) lines += w + "\n";
  return lines;
}

// Tells a Kattis judge error: on standard error and, when it can be written,
// in feedback/judgemessage.txt. Returns the exit status.
int kattis_judge_error(const std::string& feedback, const std::string& why) {
  complain(why);
  std::string err;
  write_text(feedback + "/judgemessage.txt", "judge error: " + why + "\n", &err);
  return exit_status(System::kKattis, Checked::kJudgeError);
}

// Tells a testlib judge failure on standard error. Returns the exit status.
int testlib_fail(const std::string& why) {
  std::fprintf(stderr, "FAIL %s\n", printable(why).c_str());
  return exit_status(System::kTestlib, Checked::kJudgeError);
}

// Kattis and DOMjudge: the team output on standard input, the messages in feedback_dir.
int run_kattis(const CheckerArgs& args) {
  const std::string &input_path = args.files[0], &feedback = args.files[2];
  TestCase test;
  Checked c;
  Explanation e;
  if (test.load(input_path, args.source, &c.why) &&
      (c.why = check_answer(test, input_path, args.files[1])).empty()) {
    ByteReader team(0);
    c = check_team(test, team, "standard input", &e);
  }
  // Standard input is the judging system's: not being able to read it is its fault.
  if (c.kind == Checked::kJudgeError || c.kind == Checked::kNoOutput) {
    return kattis_judge_error(feedback, c.why);
  }
  std::string warning = warning_line(test), err;
  for (const std::string& w : test.c.warnings()) complain(w);
  std::string judge_file = feedback + "/judgemessage.txt";
  std::string message = c.kind == Checked::kWrong ? explained(test, std::move(e)) : "";
  if (message.empty()) message = judge_message(c.verdict, test.c.graph(), test.c.row());
  if (!write_text(judge_file, message + warning, &err) ||
      !write_text(feedback + "/teammessage.txt", team_message(c.verdict), &err)) {
    complain(err);
    return exit_status(System::kKattis, Checked::kJudgeError);
  }
  return exit_status(System::kKattis, c.kind);
}

// Returns text on one line: its line ends, but the last, become "; ".
std::string one_line(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("; ") : std::string(1, c);
  return printable(out);
}

// testlib: the team output in a file; one line on standard error, in testlib's words.
int run_testlib(const CheckerArgs& args) {
  const std::string &input_path = args.files[0], &output_path = args.files[1];
  TestCase test;
  Checked c;
  if (!test.load(input_path, args.source, &c.why) ||
      !(c.why = check_answer(test, input_path, args.files[2])).empty()) {
    return testlib_fail(c.why);
  }
  InputFile output;
  std::string err;
  Explanation e;
  if (output.open(output_path.c_str(), &err)) {
    ByteReader team(output.fd());
    c = check_team(test, team, output_path, &e);
  } else {
    c = {Checked::kNoOutput, {}, output_path + ": " + err};
  }
  // testlib's words for an output that cannot be read: a presentation error.
  if (c.kind == Checked::kNoOutput) {
    std::fprintf(stderr, "wrong output format %s\n", printable(c.why).c_str());
    return exit_status(System::kTestlib, c.kind);
  }
  std::string message = judge_message(c.verdict, test.c.graph(), test.c.row());
  std::fprintf(stderr, "%s %s\n", c.kind == Checked::kAccepted ? "ok" : "wrong answer",
               one_line(message + warning_line(test)).c_str());
  return exit_status(System::kTestlib, c.kind);
}

}  // namespace

int run_checker(const CheckerArgs& args) {
  return args.system == System::kKattis ? run_kattis(args) : run_testlib(args);
}

int judge_failure(const CheckerArgs& args, const std::string& why) {
  return args.system == System::kKattis ? kattis_judge_error(args.files[2], why)
                                        : testlib_fail(why);
}

}  // namespace tarnwick
