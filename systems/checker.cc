// The checker of a judging system: the test loaded and its model answer
// judged, the team output weighed, and the outcome told as each system
// expects it (feedback files, testlib's words and result file, CMS's score).
#include "systems/checker.h"

#include <cstdio>

#include "cli/tool.h"
#include "graph/input.h"
#include "cli/escape.h"

namespace tarnwick {

namespace {

// Returns the account of e's verdict: the verdict line, then which line is
// wrong and what it weighs, with the expected distance when `expected`.
std::string verdict_account(const Explanation& e, bool expected) {
  const Verdict& v = e.verdict;
  if (v.kind != Verdict::kWrongAnswer) return e.verdict_line;
  const std::string k = std::to_string(v.line), n = std::to_string(e.n);
  if (v.missing) {
    return e.verdict_line + "line " + k + " is missing: the output ends after line " +
           std::to_string(v.line - 1) + ", and each of the " + n + " vertices needs a line\n";
  }
  std::string text = e.verdict_line + "line " + k + " weighs " + int128_text(e.total) +
                     ", not the expected distance" +
                     (expected ? std::string(" ").append(std::to_string(e.expected)) : "") +
                     " from vertex " +
                     std::to_string(v.source) + " to vertex " + k;
  if (v.line > e.n) text += " (line " + k + " is past the graph's " + n + " vertices)";
  return text + "\n";
}

// testlib's words and result file outcomes for each TeamOutcome::Kind, as
// InStream::quit in testlib.h 0.9.44 writes them ("ok ", "wrong answer ",
// "wrong output format ", "FAIL "; its `outcomes` table: "accepted",
// "wrong-answer", "presentation-error", "fail").
const char* const kTestlibWords[] = {"ok", "wrong answer", "FAIL", "FAIL", "wrong output format"};
const char* const kTestlibOutcomes[] = {"accepted", "wrong-answer", "fail", "fail",
                                        "presentation-error"};

}  // namespace

bool TestCase::load(const std::string& path, const std::optional<std::string>& source,
                    std::string* why, CaseOptions options) {
  input_path = path;
  options.note_edges = true;  // a wrong answer is explained with the graph's lines
  const SourceGiven given = source ? SourceGiven::flag(*source) : SourceGiven::carried();
  const bool made = judging.make(path.c_str(), graph, given, options, why);
  if (judging.fault() == Case::Fault::kGraph) return false;
  // Told before the source: on no vertex, every answer would be accepted.
  if (std::string none = judging.vertexless(); !none.empty()) {
    *why = path + ": " + none;
    return false;
  }
  return made;
}

ExplainRequest TestCase::request() const {
  return {&judging, const_cast<GraphFile*>(&graph), input_path, 0};
}

int exit_status(System system, TeamOutcome::Kind kind) {
  // A row a System, a column a TeamOutcome::Kind.
  static const int kStatus[][5] = {
      {kExitCannot, kExitCannot, kExitWrongUse, kExitCannot, kExitCannot},
      {kExitKattisAccepted, kExitKattisWrong, kExitWrongUse, kExitCannot, kExitCannot},
      {kExitTestlibOk, kExitTestlibWrong, kExitTestlibFail, kExitTestlibFail,
       kExitTestlibPresentation},
      // CMS: a verdict is a score, whatever it is; only a test that cannot be judged fails.
      {kExitOk, kExitOk, kExitWrongUse, kExitCannot, kExitOk},
  };
  return kStatus[static_cast<int>(system)][kind];
}

ModelAnswer model_answer(const TestCase& test, const std::string& answer_path) {
  ResultFile answer;
  Verdict model;
  std::string err;
  if (!answer.open(answer_path, {}, &err) || !test.judging.judge(answer, &model, &err)) {
    return {ModelAnswer::kBroken, answer_path + ": " + err};
  }
  if (model.kind == Verdict::kSuccess) return {ModelAnswer::kAccepted, ""};
  // No line at all: an empty file, the mark of a test without a model answer.
  if (model.kind == Verdict::kEmptyFile) return {ModelAnswer::kAbsent, ""};
  return {ModelAnswer::kBroken, "broken test " + test.input_path + ": its answer file " +
                                    answer_path + " is not accepted: " + verdict_words(model)};
}

TeamOutcome weigh_team(TestCase& test, ResultFile& team, const std::string& team_name,
                       Explanation* e) {
  std::string why;
  if (!weigh(test.request(), team, e, &why)) return {TeamOutcome::kNoOutput, team_name + ": " + why};
  if (e->verdict.kind == Verdict::kSuccess) return {TeamOutcome::kAccepted, ""};
  // Why each step weighs what it does; without it (the graph cannot be read
  // again) the messages say less.
  std::string err;
  add_graph_lines(test.request(), e, &err);
  return {TeamOutcome::kWrong, ""};
}

std::string contestant_message(const Explanation& e) {
  const bool weighed = e.verdict.kind == Verdict::kWrongAnswer && !e.verdict.missing;
  if (!weighed || !e.steps_told) return verdict_account(e, false);
  return student_text(e, kStudentSteps);
}

std::string judge_message(const Explanation& e) { return verdict_account(e, true); }

std::string one_line(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (!out.empty()) out += out.back() == ':' || out.back() == '.' ? " " : "; ";
    out += line;
  }
  return printable(out);
}

std::string testlib_result_text(TeamOutcome::Kind kind, const std::string& message, bool appes) {
  // InStream::quit writes the message alone, with no line end; in -appes mode
  // the XML declaration (its default encoding) and the result element, then a line end.
  if (!appes) return message;
  return std::string("<?xml version=\"1.0\" encoding=\"windows-1251\"?>") +
         "<result outcome = \"" + kTestlibOutcomes[kind] + "\">" + testlib_xml(message) +
         "</result>\n";
}

namespace {

void complain(const std::string& why) { say("tarnwick-checker", why); }

// One checker run: the test, its model answer, the team output checked and weighed.
struct Run {
  TestCase test;
  std::string answer_path;
  ModelAnswer answer;
  TeamOutcome outcome;  // kJudgeError, with why, when the test cannot be judged
  Explanation e;
};

// Loads the test, judges its answer file and then the team output: on
// standard input for Kattis, else in the file the system names.
void judge_run(const CheckerArgs& args, const CaseOptions& options, Run* run) {
  run->answer_path = args.files[args.system == System::kTestlib ? 2 : 1];
  if (!run->test.load(args.files[0], args.source, &run->outcome.why, options)) return;
  run->answer = model_answer(run->test, run->answer_path);
  run->outcome.why = run->answer.why;
  if (run->answer.kind == ModelAnswer::kBroken) return;
  std::string team_name = "standard input", err;
  ResultFile team;
  if (args.system == System::kKattis) {
    team.adopt(0, {});
  } else if (team_name = args.files[args.system == System::kCms ? 2 : 1];
             !team.open(team_name, {}, &err)) {
    run->outcome = {TeamOutcome::kNoOutput, team_name + ": " + err};
    return;
  }
  run->outcome = weigh_team(run->test, team, team_name, &run->e);
}

// Returns what the judges are told besides the verdict, a line each: the
// judge's warnings (the graph's, a source that is not a vertex), then that no
// model answer was checked.
std::vector<std::string> notes(const Run& run) {
  std::vector<std::string> lines = run.test.judging.warnings();
  if (run.answer.kind == ModelAnswer::kAbsent) {
    lines.push_back(run.answer_path + " is empty: no model answer was checked");
  }
  return lines;
}

// Returns the notes as lines, each with its line end.
std::string notes_text(const Run& run) {
  std::string text;
  for (const std::string& line : notes(run)) text += line + "\n";
  return text;
}

// Kattis and DOMjudge: writes the feedback files of a judged run into
// feedback_dir. Returns the exit status.
int kattis_feedback(const CheckerArgs& args, const Run& run) {
  // Standard input is the judging system's: not being able to read it is its fault.
  if (run.outcome.kind == TeamOutcome::kNoOutput) return tell_failure(args, run.outcome.why);
  // The notes go into judgemessage.txt alone: DOMjudge shows the judges a
  // validator's standard error after that file, and would show them twice.
  const std::string& feedback = args.files[2];
  const std::string message = run.e.steps_told ? explanation_text(run.e) : judge_message(run.e);
  std::string err;
  if (!write_file(feedback + "/judgemessage.txt", message + notes_text(run), &err)) {
    complain(err);
    return exit_status(System::kKattis, TeamOutcome::kJudgeError);
  }
  if (!write_file(feedback + "/teammessage.txt", contestant_message(run.e), &err)) {
    return tell_failure(args, err);
  }
  return exit_status(System::kKattis, run.outcome.kind);
}

// Tells a testlib outcome with its one-line message: on standard error in
// testlib's words, or, given a result file, there (testlib's InStream::quit:
// then standard error gets the message's line end and "See file to check exit
// message"). Returns the exit status.
int testlib_tell(const CheckerArgs& args, TeamOutcome::Kind kind, const std::string& message) {
  const int status = exit_status(System::kTestlib, kind);
  if (args.files.size() < 4) {
    std::fprintf(stderr, "%s %s\n", kTestlibWords[kind], message.c_str());
    return status;
  }
  std::string err;
  const std::string text = testlib_result_text(kind, message, args.files.size() == 5);
  if (!write_file(args.files[3], text, &err)) {
    std::fprintf(stderr, "FAIL %s\n", printable(err).c_str());
    return exit_status(System::kTestlib, TeamOutcome::kJudgeError);
  }
  std::fputs("\nSee file to check exit message\n", stderr);
  return status;
}

// testlib: one line, in testlib's words; for an output that cannot be read,
// a presentation error.
int testlib_verdict(const CheckerArgs& args, const Run& run) {
  std::string message = run.outcome.why;
  if (run.outcome.kind != TeamOutcome::kNoOutput) {
    message = args.judge_details ? judge_message(run.e) : contestant_message(run.e);
    message += notes_text(run);
  }
  return testlib_tell(args, run.outcome.kind, one_line(message));
}

// CMS: `checker input correct_output contestant_output`, the score on the first
// line of standard output, the contestants' message on the first line of
// standard error, as CMS's documentation (docs/Task types.rst: "Checker",
// "Standard manager output") and cms/grading/steps/trusted.py
// (extract_outcome_and_text; a non-zero exit fails the checker step) have it.
int cms_score(const CheckerArgs& args, const Run& run) {
  const TeamOutcome::Kind kind = run.outcome.kind;
  std::string err;
  if (!write_out(kind == TeamOutcome::kAccepted ? "1.0\n" : "0.0\n", &err)) {
    return tell_failure(args, "standard output: " + err);
  }
  // "translate:success" is shown as CMS's own "Output is correct", in the contestant's language.
  const std::string message = kind == TeamOutcome::kAccepted  ? "translate:success"
                              : kind == TeamOutcome::kNoOutput ? run.outcome.why
                                                           : contestant_message(run.e);
  // Plain printable ASCII: CMS refuses a message that is not UTF-8 (and, in
  // its newest releases, some characters that are), and older releases show
  // "N/A" for one with a '%' (cms/grading/steps/trusted.py, _sanitize_message;
  // cms/grading/__init__.py, format_status_text).
  std::string text = ascii_line(one_line(message)) + "\n";
  // Lines after the first are the judges' alone, marked as CMS's newest
  // releases take them (older ones ignore every line after the first).
  for (const std::string& line : notes(run)) text += "ADMIN_MESSAGE: " + ascii_line(line) + "\n";
  std::fputs(text.c_str(), stderr);
  return exit_status(System::kCms, kind);
}

}  // namespace

int run_checker(const CheckerArgs& args, const std::function<void(double)>& progress,
                const std::function<void()>& progress_done) {
  Run run;
  CaseOptions options;
  options.progress = progress;
  judge_run(args, options, &run);
  progress_done();
  if (run.outcome.kind == TeamOutcome::kJudgeError) return tell_failure(args, run.outcome.why);
  if (args.system == System::kKattis) return kattis_feedback(args, run);
  if (args.system == System::kCms) return cms_score(args, run);
  return testlib_verdict(args, run);
}

int tell_wrong_use(const CheckerArgs& args, const std::string& usage, const std::string& why) {
  // testlib's wrong use is one line "FAIL reason" (exit 3), as its own checkers tell it.
  if (args.system == System::kTestlib) {
    std::fprintf(stderr, "FAIL %s\n", printable(why).c_str());
  } else {
    if (!why.empty()) complain(why);
    std::fputs(usage.c_str(), stderr);
  }
  return exit_status(args.system, TeamOutcome::kWrongUse);
}

int tell_failure(const CheckerArgs& args, const std::string& why) {
  if (args.system == System::kTestlib) {
    return testlib_tell(args, TeamOutcome::kJudgeError, one_line(why));
  }
  // One line on standard error; for Kattis also in feedback_dir/judgemessage.txt,
  // when it can be written; for CMS nothing on standard output.
  complain(why);
  if (args.system == System::kKattis) {
    std::string err;
    write_file(args.files[2] + "/judgemessage.txt", "judge error: " + why + "\n", &err);
  }
  return exit_status(args.system, TeamOutcome::kJudgeError);
}

}  // namespace tarnwick
