// Judging many result files at once through one case, and their records.
#include "grade/grade.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
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

// Judges the file at path against the case, and weighs a wrong answer again
// for its explanation when asked (a regular file, through the same descriptor).
Judged grade_one(const std::string& path, const Case& judging, const GradeOptions& options) {
  Judged out;
  Graded& g = out.graded;
  g.path = path;
  try {
    ResultFile result;
    std::string why;
    g.judged = result.open(path, options.limits, &why) &&
               judging.judge(result, &g.verdict, &why);
    g.error = g.judged ? 0 : result.error();
    if (!g.judged) g.reason = why;
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

std::string csv_record(const Graded& g, const RecordPlace* place) {
  std::string head, points;
  if (place != nullptr) {
    head = csv_field(valid_utf8(place->submission)) + ",";
    head += csv_field(valid_utf8(place->test)) + ",";
    points = milli_text(place->milli_points) + ",";
  }
  return head + csv_field(valid_utf8(g.path)) + "," + csv_field(outcome_text(g)) + "," +
         line_text(g, "") + "," + (g.judged ? "true," : "false,") + points +
         (is_utf8(g.path) ? "" : hex(g.path)) + "\n";
}

std::string jsonl_record(const Graded& g, const RecordPlace* place) {
  std::string head = "{", points;
  if (place != nullptr) {
    head += "\"submission\":" + json_string(place->submission) +
            ",\"test\":" + json_string(place->test) + ",";
    points = ",\"points\":" + milli_text(place->milli_points);
  }
  // A path that is not valid UTF-8 also comes as its exact bytes, in hexadecimal.
  std::string bytes = is_utf8(g.path) ? "" : ",\"path_bytes\":\"" + hex(g.path) + "\"";
  return head + "\"path\":" + json_string(g.path) + bytes +
         ",\"verdict\":" + json_string(outcome_text(g)) + ",\"line\":" + line_text(g, "null") +
         ",\"judged\":" + (g.judged ? "true" : "false") + points + "}\n";
}

}  // namespace

void grade_all(const std::vector<std::string>& paths, const Case& judging,
               const GradeOptions& options, const std::function<void(const Graded&)>& emit) {
  std::vector<std::promise<Judged>> outcomes(paths.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
      outcomes[i].set_value(grade_one(paths[i], judging, options));
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
  for (std::promise<Judged>& outcome : outcomes) {
    Judged judged = outcome.get_future().get();
    std::string err;
    // The graph lines come from the graph input, read on this thread alone.
    if (judged.e && add_graph_lines(*options.explain, &*judged.e, &err)) {
      judged.graded.student = student_text(*judged.e, kStudentSteps);
    }
    emit(judged.graded);
  }
}

bool parse_format(std::string_view name, Format* format) {
  static constexpr std::pair<std::string_view, Format> kNames[] = {
      {"text", Format::kText}, {"csv", Format::kCsv}, {"jsonl", Format::kJsonl},
      {"gradescope", Format::kGradescope}, {"junit", Format::kJunit}, {"html", Format::kHtml},
  };
  for (const auto& [known, f] : kNames) {
    if (name == known) {
      *format = f;
      return true;
    }
  }
  return false;
}

std::string format_header(Format format, bool testset) {
  if (format != Format::kCsv) return "";
  return testset ? "submission,test,path,verdict,line,judged,points,path_bytes\n"
                 : "path,verdict,line,judged,path_bytes\n";
}

std::string outcome_text(const Graded& g) {
  return g.judged ? verdict_words(g.verdict) : "not judged: " + g.reason;
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
  return text_field(g.path) + "\t" + test + outcome_text(g) + "\n";
}

void Tally::add(const Graded& g) {
  if (!g.judged) {
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

std::string Tally::counts() const {
  return std::to_string(succeeded) + " succeeded, " + std::to_string(wrong) + " wrong, " +
         std::to_string(empty) + " empty, " + std::to_string(not_judged) + " not judged";
}

std::string Tally::summary() const {
  return std::to_string(total()) + (total() == 1 ? " file: " : " files: ") + counts();
}

}  // namespace tarnwick
