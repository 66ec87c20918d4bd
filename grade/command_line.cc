// tarnwick-grade's command line (see command_line.h).
#include "grade/command_line.h"

#include <iterator>

#include "check/case.h"
#include "graph/cpus.h"
#include "grade/report.h"
#include "grade/testset.h"

namespace tarnwick {
namespace {

// Returns "" when the options and operands go together, else why not.
std::string check(const Args& args, const GradeCommand& c) {
  const bool set_only = c.format == Format::kGradescope || c.format == Format::kJunit ||
                        c.format == Format::kHtml;
  if (args.has("--testset") && c.testset.empty()) return "--testset needs a folder";
  if (args.has("--standings") && c.standings.empty()) return "--standings needs a file";
  if (c.testset.empty() && (set_only || args.has("--output-name"))) {
    return std::string(args.has("--output-name") ? "--output-name"
                                                 : "--format=" + format_name(c.format)) +
           " needs --testset";
  }
  if (args.has("--standings") && (c.testset.empty() || set_only)) {
    return c.testset.empty() ? "--standings needs --testset"
                            : "--standings is for --format=text, csv or jsonl";
  }
  if (args.has("--visibility") && c.format != Format::kGradescope) {
    return "--visibility is for --format=gradescope";
  }
  if (!is_gradescope_visibility(c.visibility)) {
    return "--visibility '" + c.visibility +
           "' is not visible, hidden, after_due_date or after_published";
  }
  if (std::string bad = check_output_name(c.output_name); !bad.empty()) return bad;
  if (!c.testset.empty()) {
    if (c.operands.empty()) return "--testset needs at least one submission folder";
    if (c.format == Format::kGradescope && c.operands.size() != 1) {
      return "--format=gradescope writes the results of one submission folder";
    }
    return "";
  }
  if (c.operands.size() < 3) return "a graph, a source and at least one result file are needed";
  return not_whole_source(c.operands[1]);
}

}  // namespace

std::vector<OptionSpec> grade_options() {
  std::vector<OptionSpec> options = {{"--format", "a value"}, {"--testset", "a value"},
                                     {"--output-name", "a value"}, {"--max-result-bytes", "a value"},
                                     {"--visibility", "a value"}, {"--standings", "a value"}};
  options.insert(options.end(), std::begin(kProgramOptionSpecs), std::end(kProgramOptionSpecs));
  return options;
}

bool read_grade_command(const Args& args, GradeCommand* out, std::string* why) {
  const std::string* format = args.value("--format");
  const std::string* bytes = args.value("--max-result-bytes");
  if (format != nullptr && !parse_format(*format, &out->format)) {
    *why = "unknown format '" + *format + "' (text, csv, jsonl, gradescope, junit or html)";
  } else if (bytes != nullptr && !parse_byte_count(*bytes, &out->max_bytes)) {
    *why = "--max-result-bytes '" + *bytes + "' is not a byte count (digits, then K, M or G)";
  } else {
    read_program_options(args, &out->programs, why);
  }
  if (const std::string* v = args.value("--testset")) out->testset = *v;
  if (const std::string* v = args.value("--output-name")) out->output_name = *v;
  if (const std::string* v = args.value("--visibility")) out->visibility = *v;
  if (const std::string* v = args.value("--standings")) out->standings = *v;
  out->operands = args.operands;
  if (why->empty()) *why = check(args, *out);
  return why->empty();
}

ClassOptions class_options(const GradeCommand& c) {
  ClassOptions options;
  options.output_name = c.output_name;
  options.threads = usable_cpus();
  options.max_bytes = c.max_bytes;
  // What students (and their instructor, in the report) read of why a test failed.
  const Format f = c.format;
  options.explain_wrong = f == Format::kGradescope || f == Format::kJunit || f == Format::kHtml;
  if (!c.programs.run.empty()) options.programs = &c.programs;
  return options;
}

std::string class_output(const GradeCommand& c, const ClassResults& r, time_t now) {
  if (c.format == Format::kGradescope) return gradescope_results(r, c.visibility);
  if (c.format == Format::kJunit) return junit_report(r);
  if (c.format == Format::kHtml) return html_report(r, now);
  return class_records(c.format, r, c.standings.empty());
}

}  // namespace tarnwick
