// A graded test set written as records and standings, Gradescope's results and JUnit XML.
#include "grade/report.h"

#include <cstdio>

#include "cli/escape.h"

namespace tarnwick {

namespace {

// Returns "X of Y points": milli thousandths of a point of all that `set` is worth.
std::string points_of(int64_t milli, const TestSet& set) {
  return milli_text(milli) + " of " + milli_text(total_milli_points(set)) + " points";
}

// Returns submission s's standing as one line or row of `format`: with
// `own`, a row of the standings' own csv table (class_standings), else one
// that fits the records' table.
std::string standing_record(Format format, const ClassResults& r, size_t s, bool own) {
  const Standing st = standing(r, s);
  const std::string tests = std::to_string(r.set.tests.size());
  const std::string passed = std::to_string(st.passed) + " of " + tests + " tests passed";
  const std::string points = milli_text(st.milli_points), all = milli_text(total_milli_points(r.set));
  const std::string& name = r.submissions[s];
  const std::string bytes = hex_unless_utf8(name);
  if (format == Format::kCsv && own) {
    return csv_field(exact_text(name)) + "," + std::to_string(st.passed) + "," + tests + "," +
           points + "," + all + "," + bytes + "\n";
  }
  if (format == Format::kCsv) {
    const char* run = r.programs ? ",,,\n" : "\n";  // no figures of its own
    return csv_field(exact_text(name)) + ",,," + passed + ",,," + points + "," + bytes + "," + run;
  }
  if (format == Format::kJsonl) {
    return "{\"submission\":" + json_string(exact_text(name)) +
           (bytes.empty() ? "" : ",\"path_bytes\":\"" + bytes + "\"") +
           ",\"passed\":" + std::to_string(st.passed) + ",\"tests\":" + tests +
           ",\"points\":" + points + ",\"max_points\":" + all + "}\n";
  }
  std::string text = text_field(name) + "\t" + passed;
  if (r.set.weighted) text.append("\t").append(points_of(st.milli_points, r.set));
  return text + "\n";
}

// Returns the tests, failures and errors attributes of a JUnit element that counted `t`.
std::string junit_counts(const Tally& t) {
  return "tests=\"" + std::to_string(t.total()) + "\" failures=\"" +
         std::to_string(t.wrong + t.empty + t.failures()) + "\" errors=\"" +
         std::to_string(t.not_judged) + "\"";
}

// Returns text for the inside of an XML element, its line ends kept (each
// line as markup_text makes it).
std::string markup_lines(std::string_view text) {
  std::string out;
  for (size_t at = 0; at <= text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    out += markup_text(text.substr(at, end - at)) + (end < text.size() ? "\n" : "");
    at = end + 1;
  }
  return out;
}

// Returns the type of a JUnit failure or error for g.
const char* junit_type(const Graded& g) {
  if (run_failure(g) != RunFailure::kNone) return failure_name(run_failure(g));
  if (!g.judged) return "not judged";
  return g.verdict.kind == Verdict::kEmptyFile ? "empty" : "wrong answer";
}

// Returns the text of a failed program's JUnit failure: its verdict, its
// figures, and for a compile error the compiler's lines.
std::string junit_run_text(const ProgramRun& p) {
  std::string text = failure_verdict(p) + " (" + run_figures(p) + ")";
  if (p.failure == RunFailure::kCompileError) text += "\n" + p.errors;
  return markup_lines(text);
}

// Returns the time attribute of a testcase, after a space: seconds to the millisecond.
std::string junit_time(double seconds) {
  char time[48];
  std::snprintf(time, sizeof time, " time=\"%.3f\"", seconds);
  return time;
}

// Returns the testcase element of submission s's test t (with the run's
// wall seconds as its time, when a program ran).
std::string junit_case(const ClassResults& r, size_t s, size_t t) {
  const Graded& g = r.at(s, t);
  std::string head = "    <testcase classname=\"" + markup_text(r.submissions[s]) + "\" name=\"" +
                     markup_text(r.set.tests[t].name) + "\"";
  if (g.program && g.program->failure != RunFailure::kCompileError) {
    head += junit_time(g.program->result.wall_seconds);
  } else if (!g.program) {
    head += junit_time(g.seconds);
  }
  if (succeeded(g)) return head + "/>\n";
  const std::string verdict = markup_text(outcome_text(g));
  const bool failed = run_failure(g) != RunFailure::kNone;
  const char* element = g.judged || failed ? "failure" : "error";
  // GitLab shows the element's text: what the student may read of the test.
  const std::string text = failed ? junit_run_text(*g.program)
                           : !g.student.empty() ? markup_lines(g.student)
                                                : verdict;
  return head + ">\n      <" + element + " message=\"" + verdict + "\" type=\"" + junit_type(g) +
         "\">" + text + "</" + element + ">\n    </testcase>\n";
}

}  // namespace

std::string class_records(Format format, const ClassResults& r, bool standings) {
  std::string out = format_header(format, true, r.programs.has_value());
  for (size_t s = 0; s < r.submissions.size(); ++s) {
    for (size_t t = 0; t < r.set.tests.size(); ++t) {
      RecordPlace place{r.submissions[s], r.set.tests[t].name, r.earned(s, t)};
      out += format_record(format, r.at(s, t), &place);
    }
  }
  for (size_t s = 0; standings && s < r.submissions.size(); ++s) {
    out += standing_record(format, r, s, false);
  }
  return out;
}

std::string class_standings(Format format, const ClassResults& r) {
  std::string out = format == Format::kCsv ? "submission,passed,tests,points,max_points,path_bytes\n" : "";
  for (size_t s = 0; s < r.submissions.size(); ++s) out += standing_record(format, r, s, true);
  return out;
}

bool weighs_points(const TestSet& set) {
  if (set.weighted) return true;
  for (const TestInput& t : set.tests) {
    if (t.milli_points != 1000) return true;
  }
  return false;
}

std::string class_summary(const ClassResults& r) {
  Tally tally;
  tally.add(r.results);
  const size_t count = r.submissions.size(), tests = r.set.tests.size();
  size_t all_passed = 0;
  int64_t milli = 0;
  for (size_t s = 0; s < count; ++s) {
    Standing st = standing(r, s);
    all_passed += static_cast<size_t>(st.passed) == tests;
    milli += st.milli_points;
  }
  std::string text = std::to_string(count) + (count == 1 ? " submission x " : " submissions x ") +
                     std::to_string(tests) + (tests == 1 ? " test: " : " tests: ") +
                     tally.counts() + "; " + std::to_string(all_passed) + " of " +
                     std::to_string(count) + " passed every test";
  if (weighs_points(r.set) && count > 0) {
    const int64_t mean = (milli + static_cast<int64_t>(count) / 2) / static_cast<int64_t>(count);
    text += "; mean " + points_of(mean, r.set);
  }
  return text;
}

bool is_gradescope_visibility(std::string_view name) {
  return name == "visible" || name == "hidden" || name == "after_due_date" ||
         name == "after_published";
}

std::string gradescope_output(const ClassResults& r, size_t s, size_t t) {
  const Graded& g = r.at(s, t);
  if (!g.student.empty()) return g.student;
  if (g.judged) return outcome_text(g);
  if (const RunFailure f = run_failure(g); f != RunFailure::kNone) {
    // The compiler's lines come once, in the results' own output.
    return outcome_text(g) + " (" + run_figures(*g.program) + ")";
  }
  if (g.program) return outcome_text(g);
  // The path inside the submission folder, which is the student's own naming.
  const std::string folder = output_path(r.submissions[s], "", "");
  const std::string inside = g.path.starts_with(folder) ? g.path.substr(folder.size()) : g.path;
  return outcome_text(g) + " (" + exact_text(inside) + ")";
}

namespace {

// Returns the top-level "output" of the results, after a comma, when the one
// submission did not build: the compiler's lines, shown above the tests.
std::string build_output(const ClassResults& r) {
  if (r.results.empty() || run_failure(r.at(0, 0)) != RunFailure::kCompileError) return "";
  const ProgramRun& p = *r.at(0, 0).program;
  return ",\n  \"output\": " +
         json_string("Compile error (" + run_figures(p) + "):\n" + p.errors);
}

}  // namespace

// Gradescope's autograder reads /autograder/results/results.json as its
// documentation (gradescope-autograders.readthedocs.io, section "Output
// format") lays it out: a top-level "score" and a "tests" array whose
// entries have "name", "score", "max_score", "status" ("passed" or
// "failed", see "Test case status"), "output" and "visibility" (visible,
// hidden, after_due_date, after_published).
std::string gradescope_results(const ClassResults& r, std::string_view visibility) {
  std::string tests;
  for (size_t t = 0; t < r.set.tests.size(); ++t) {
    const bool passed = succeeded(r.at(0, t));
    tests += std::string(t == 0 ? "" : ",") +
             "\n    {\"name\": " + json_string(exact_text(r.set.tests[t].name)) +
             ", \"score\": " + milli_text(r.earned(0, t)) +
             ", \"max_score\": " + milli_text(r.set.tests[t].milli_points) +
             ", \"status\": \"" + (passed ? "passed" : "failed") +
             "\", \"output\": " + json_string(gradescope_output(r, 0, t)) +
             ", \"visibility\": " +
             json_string(r.set.tests[t].visibility.empty() ? visibility
                                                           : r.set.tests[t].visibility) +
             "}";
  }
  return "{\n  \"score\": " + milli_text(standing(r, 0).milli_points) + build_output(r) +
         ",\n  \"tests\": [" + tests + "\n  ]\n}\n";
}

// JUnit XML as the Jenkins JUnit plugin's schema (junit.xsd) and GitLab's
// "Unit test reports" page read it: <testsuites> holding one <testsuite
// name tests failures errors> (name and tests are required), each <testcase
// classname name> (GitLab shows classname as the suite and takes the text of
// <failure> or <error>; Jenkins takes its message attribute).
std::string junit_report(const ClassResults& r) {
  std::string suites;
  for (size_t s = 0; s < r.submissions.size(); ++s) {
    Tally mine;
    std::string cases;
    for (size_t t = 0; t < r.set.tests.size(); ++t) {
      mine.add(r.at(s, t));
      cases += junit_case(r, s, t);
    }
    suites += "  <testsuite name=\"" + markup_text(r.submissions[s]) + "\" " + junit_counts(mine) +
              ">\n" + cases + "  </testsuite>\n";
  }
  Tally all;
  all.add(r.results);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"tarnwick-grade\" " +
         junit_counts(all) + ">\n" + suites + "</testsuites>\n";
}

}  // namespace tarnwick
