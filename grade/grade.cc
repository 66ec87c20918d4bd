// Judging many result files at once through one case, and their records.
#include "grade/grade.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/escape.h"
#include "cli/tool.h"

namespace tarnwick {

namespace {

// What a worker hands on for one file: its outcome, and the weighing of a
// wrong answer when an explanation is asked for.
struct Judged {
  Graded graded;
  std::optional<Explanation> e;
};

// Makes file i through options.produce, when it is set, into g->program.
// Returns true when the file is then to be judged: the program finished.
bool produced(size_t i, const GradeOptions& options, Graded* g) {
  if (!options.produce) return true;
  g->program = options.produce(i);
  g->reason = g->program->not_run;
  return g->reason.empty() && g->program->failure == RunFailure::kNone;
}

// Judges file i, at path, against the case (once options.produce made it), and
// weighs a wrong answer again for its explanation when asked (a regular file,
// through the same descriptor).
Judged grade_one(const std::string& path, size_t i, const Case& judging,
                 const GradeOptions& options) {
  Judged out;
  Graded& g = out.graded;
  g.path = path;
  try {
    if (!produced(i, options, &g)) return out;
    const auto start = std::chrono::steady_clock::now();
    ResultFile result;
    std::string why;
    const bool opened = options.below.empty()
                            ? result.open(path, options.limits, &why)
                            : result.open_below(options.below[i].folder, options.below[i].inside,
                                                options.limits, &why);
    g.judged = opened && judging.judge(result, &g.verdict, &why);
    g.error = g.judged ? 0 : result.error();
    g.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!g.judged) g.reason = opened ? why : below_reason(result.below_fault(), g.error, why);
    const bool wrong = g.judged && g.verdict.kind == Verdict::kWrongAnswer;
    if (wrong && options.explain != nullptr && result.rewind()) {
      out.e.emplace();
      if (!weigh(*options.explain, result, &*out.e, &why)) out.e.reset();
    }
  } catch (const std::bad_alloc&) {
    // Each file needs a read buffer; a worker thread must not end the process.
    g = Graded{path, false, {}, "out of memory"};
  }
  return out;
}

// Returns line K of a wrong answer in decimal, or `none`.
std::string line_text(const Graded& g, const char* none) {
  bool wrong = g.judged && g.verdict.kind == Verdict::kWrongAnswer;
  return wrong ? std::to_string(g.verdict.line) : none;
}

// Returns a number of seconds with three decimals.
std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

// Returns the csv columns of a program's run, after a comma: its CPU and wall
// seconds and its peak memory, empty when it did not run on the test.
std::string csv_run(const Graded& g) {
  if (!g.program) return "";
  const RunResult& r = g.program->result;
  const bool ran = g.program->not_run.empty() && g.program->failure != RunFailure::kCompileError;
  if (!ran) return ",,,";
  std::string columns(1, ',');  // not "," + ...: g++ 12 warns falsely there (-Wrestrict)
  return columns + seconds_text(r.cpu_seconds) + "," + seconds_text(r.wall_seconds) + "," +
         std::to_string(r.peak_memory_bytes);
}

// Returns ",NAME:" and n in decimal, or null when `known` is false.
std::string json_count(const char* name, int64_t n, bool known) {
  return std::string(",\"") + name + "\":" + (known ? std::to_string(n) : "null");
}

// Returns the jsonl member "run" of a program's run (or its build's, for a
// compile error), after a comma; "" when no program ran.
std::string jsonl_run(const Graded& g) {
  if (!g.program) return "";
  const ProgramRun& p = *g.program;
  const RunResult& r = p.result;
  const bool build = p.failure == RunFailure::kCompileError;
  std::string run = ",\"run\":{\"step\":" + std::string(build ? "\"build\"" : "\"run\"") +
                    ",\"end\":" + json_string(run_end_name(r.end));
  run += json_count("exit_status", r.exit_status, r.end != RunEnd::kCannotRun && r.signal == 0 &&
                                                      r.exit_status >= 0);
  run += json_count("signal", r.signal, r.signal != 0);
  run += ",\"cpu_seconds\":" + seconds_text(r.cpu_seconds) +
         ",\"wall_seconds\":" + seconds_text(r.wall_seconds) +
         json_count("peak_memory_bytes", static_cast<int64_t>(r.peak_memory_bytes), true) +
         json_count("output_bytes", static_cast<int64_t>(r.output_bytes), true) +
         ",\"isolation\":" + json_string(isolation_name(r.isolation));
  if (!r.note.empty()) run += ",\"note\":" + json_string(r.note);
  if (!p.errors.empty()) run += ",\"errors\":" + json_string(p.errors);
  return run + "}";
}

std::string csv_record(const Graded& g, const RecordPlace* place) {
  std::string head, points;
  if (place != nullptr) {
    head = csv_field(exact_text(place->submission)) + ",";
    head += csv_field(exact_text(place->test)) + ",";
    points = milli_text(place->milli_points) + ",";
  }
  return head + csv_field(exact_text(g.path)) + "," + csv_field(outcome_text(g)) + "," +
         line_text(g, "") + "," + (g.judged ? "true," : "false,") + points +
         hex_unless_utf8(g.path) + "," + csv_field(valid_utf8(g.note)) + csv_run(g) + "\n";
}

std::string jsonl_record(const Graded& g, const RecordPlace* place) {
  std::string head = "{", points;
  if (place != nullptr) {
    head += "\"submission\":" + json_string(exact_text(place->submission)) +
            ",\"test\":" + json_string(exact_text(place->test)) + ",";
    points = ",\"points\":" + milli_text(place->milli_points);
  }
  // A path that is not valid UTF-8 also comes as its exact bytes, in hexadecimal.
  std::string bytes = is_utf8(g.path) ? "" : ",\"path_bytes\":\"" + hex(g.path) + "\"";
  return head + "\"path\":" + json_string(exact_text(g.path)) + bytes +
         ",\"verdict\":" + json_string(outcome_text(g)) + ",\"line\":" + line_text(g, "null") +
         ",\"judged\":" + (g.judged ? "true" : "false") + points +
         (g.note.empty() ? "" : ",\"note\":" + json_string(g.note)) + jsonl_run(g) + "}\n";
}

// The most steps of explanations waiting to be told their graph lines at once.
constexpr int64_t kStepsTold = 1 << 16;

// Tells the explained outcomes of *judged their notes and, when asked, the
// student's text, from the graph lines of their steps (the graph input read
// on this thread alone). Without the graph lines, only the notes that need
// none are told.
void tell_explained(const GradeOptions& options, std::vector<Judged>* judged) {
  std::vector<Explanation*> es;
  for (Judged& j : *judged) {
    if (j.e) es.push_back(&*j.e);
  }
  if (es.empty()) return;
  std::string err;
  const bool told = add_graph_lines(*options.explain, es, &err);
  for (Judged& j : *judged) {
    if (!j.e) continue;
    j.graded.note = grading_note(*j.e);
    if (told && options.student_text) j.graded.student = student_text(*j.e, kStudentSteps);
  }
}

}  // namespace

std::string below_reason(BelowFault fault, int error, const std::string& why) {
  switch (fault) {
    case BelowFault::kOutside: return kOutsideReason;
    case BelowFault::kFolder:
      if (error == ENOENT) return kNoFolderReason;
      return error == ENOTDIR ? kNotFolderReason : why;
    case BelowFault::kFile: return error == ENOENT ? "missing" : why;
    case BelowFault::kNone: break;
  }
  return why;
}

void grade_all(const std::vector<std::string>& paths, const Case& judging,
               const GradeOptions& options, const std::function<void(const Graded&)>& emit) {
  std::vector<std::promise<Judged>> outcomes(paths.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
      outcomes[i].set_value(grade_one(paths[i], i, judging, options));
    }
  };
  size_t count = std::clamp<size_t>(paths.size(), 1, std::max<int32_t>(options.threads, 1));
  std::vector<std::jthread> workers;
  for (size_t t = 0; t < count; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads (a thread or memory limit): those running do the rest
    }
  }
  if (workers.empty()) work();  // not even one: this thread judges every file first
  // Explained outcomes wait, in order, to be told their graph lines together
  // (the graph input read again once for many), up to a bound on their steps.
  std::vector<Judged> waiting;
  int64_t steps = 0;
  auto tell_waiting = [&] {
    tell_explained(options, &waiting);
    for (const Judged& judged : waiting) emit(judged.graded);
    waiting.clear();
    steps = 0;
  };
  for (std::promise<Judged>& outcome : outcomes) {
    waiting.push_back(outcome.get_future().get());
    if (waiting.back().e) steps += static_cast<int64_t>(waiting.back().e->steps.size()) + 1;
    if (steps == 0 || steps > kStepsTold) tell_waiting();
  }
  tell_waiting();
}

namespace {

constexpr std::pair<std::string_view, Format> kFormatNames[] = {
    {"text", Format::kText}, {"csv", Format::kCsv}, {"jsonl", Format::kJsonl},
    {"gradescope", Format::kGradescope}, {"junit", Format::kJunit}, {"html", Format::kHtml},
};

}  // namespace

std::string format_name(Format format) {
  for (const auto& [name, f] : kFormatNames) {
    if (f == format) return std::string(name);
  }
  return "?";
}

bool write_records(const std::vector<std::string>& paths, const Case& judging,
                   const GradeOptions& options, Format format, FILE* out, Tally* tally,
                   int* error_number) {
  auto put = [out](const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), out) == text.size();
  };
  errno = 0;
  bool written = put(format_header(format, false));
  grade_all(paths, judging, options, [&](const Graded& graded) {
    tally->add(graded);
    if (written) written = put(format_record(format, graded));
  });
  if (std::fflush(out) == 0 && written) return true;
  *error_number = errno != 0 ? errno : EIO;
  return false;
}

bool parse_format(std::string_view name, Format* format) {
  for (const auto& [known, f] : kFormatNames) {
    if (name == known) {
      *format = f;
      return true;
    }
  }
  return false;
}

std::string format_header(Format format, bool testset, bool programs) {
  if (format != Format::kCsv) return "";
  const std::string run = programs ? ",cpu_seconds,wall_seconds,peak_memory_bytes\n" : "\n";
  return testset ? "submission,test,path,verdict,line,judged,points,path_bytes,note" + run
                 : "path,verdict,line,judged,path_bytes,note" + run;
}

const char* failure_name(RunFailure failure) {
  switch (failure) {
    case RunFailure::kNone: return "";
    case RunFailure::kCompileError: return "compile error";
    case RunFailure::kTimeLimit: return "time limit";
    case RunFailure::kWallTimeLimit: return "wall time limit";
    case RunFailure::kMemoryLimit: return "memory limit";
    case RunFailure::kRuntimeError: return "run-time error";
    case RunFailure::kOutputLimit: return "output limit";
  }
  return "?";
}

std::string failure_verdict(const ProgramRun& run) {
  switch (run.failure) {
    case RunFailure::kNone: return "";
    case RunFailure::kCompileError: return "Compile error";
    case RunFailure::kTimeLimit: return "Time limit exceeded";
    case RunFailure::kWallTimeLimit: return "Wall time limit exceeded";
    case RunFailure::kMemoryLimit: return "Memory limit exceeded";
    case RunFailure::kOutputLimit: return "Output limit exceeded";
    case RunFailure::kRuntimeError: break;
  }
  // The runner's words after its own name: ": exit status 3", ": killed by signal 11 (SIGSEGV)".
  return "Run-time error" + describe(run.result).substr(std::strlen(run_end_name(run.result.end)));
}

std::string run_figures(const ProgramRun& run) {
  const RunResult& r = run.result;
  if (!run.not_run.empty()) return "";
  if (run.failure == RunFailure::kCompileError) {
    const std::string how = describe(r);
    return r.end == RunEnd::kRuntimeError ? how.substr(how.find(": ") + 2) : how;
  }
  char text[128];
  std::snprintf(text, sizeof text, "%.2f s of CPU, %.2f s wall, peak %.1f MiB", r.cpu_seconds,
                r.wall_seconds, static_cast<double>(r.peak_memory_bytes) / (1 << 20));
  return text;
}

std::string outcome_text(const Graded& g) {
  if (g.judged) return verdict_words(g.verdict);
  if (run_failure(g) != RunFailure::kNone) return failure_verdict(*g.program);
  return "not judged: " + g.reason;
}

std::string milli_text(int64_t milli) {
  std::string text = std::to_string(milli / 1000);
  if (int64_t rest = milli % 1000; rest != 0) {
    std::string digits = std::to_string(1000 + rest).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

std::string format_record(Format format, const Graded& g, const RecordPlace* place) {
  if (format == Format::kCsv) return csv_record(g, place);
  if (format == Format::kJsonl) return jsonl_record(g, place);
  std::string test = place != nullptr ? text_field(place->test) + "\t" : "";
  const std::string note = g.note.empty() ? "" : "\tnote: " + text_field(g.note);
  return text_field(g.path) + "\t" + test + outcome_text(g) + note + "\n";
}

void Tally::add(const Graded& g) {
  programs = programs || g.program.has_value();
  if (const RunFailure f = run_failure(g); f != RunFailure::kNone) {
    ++failed[static_cast<int>(f)];
  } else if (!g.judged) {
    ++not_judged;
  } else if (g.verdict.kind == Verdict::kSuccess) {
    ++succeeded;
  } else if (g.verdict.kind == Verdict::kEmptyFile) {
    ++empty;
  } else {
    ++wrong;
  }
}

void Tally::add(std::span<const Graded> all) {
  for (const Graded& g : all) add(g);
}

int64_t Tally::failures() const {
  int64_t all = 0;
  for (int64_t count : failed) all += count;
  return all;
}

std::string Tally::counts() const {
  std::string text = std::to_string(succeeded) + " succeeded, " + std::to_string(wrong) +
                     " wrong, " + std::to_string(empty) + " empty, ";
  for (int f = 1; programs && f < kRunFailures; ++f) {
    text += std::to_string(failed[f]) + " " + failure_name(static_cast<RunFailure>(f)) +
            (failed[f] == 1 ? ", " : "s, ");
  }
  return text + std::to_string(not_judged) + " not judged";
}

std::string Tally::summary() const {
  return std::to_string(total()) + (total() == 1 ? " file: " : " files: ") + counts();
}

}  // namespace tarnwick
