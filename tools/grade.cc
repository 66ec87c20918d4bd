// tarnwick-grade: judges a whole class's result files against one graph,
// loaded and solved once, or against every test of a test set (its usage and
// summary below).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "check/case.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "graph/cpus.h"
#include "graph/graph_file.h"
#include "graph/reader.h"
#include "grade/report.h"
#include "grade/grade.h"
#include "grade/testset.h"

namespace tarnwick {
namespace {

const ToolInfo kTool = {
    "tarnwick-grade",
    "Usage: tarnwick-grade [OPTIONS] input_graph source_vertex_id result_file...\n"
    "       tarnwick-grade [OPTIONS] --testset DATA submission_folder...\n",
    "Judges every result file against the graph from the source, as tarnwick would,\n"
    "loading and solving the graph once; or, with --testset, every submission\n"
    "folder's result file for each test DATA/NAME.in (the graph, then the source\n"
    "after the m-th edge), loading and solving each test once. One record a file:\n"
    "the path (and test), a tab and the verdict, or \"not judged: REASON\"; with\n"
    "--testset then one line a submission. A summary goes to standard error.\n"
    "Exit 0 when every file was judged, 2 when some were not.\n"
    "  --format=csv                 records with a header line\n"
    "  --format=jsonl               one JSON object a line\n"
    "  --format=gradescope          Gradescope's results.json (one submission)\n"
    "  --format=junit               JUnit XML, a testsuite a submission\n"
    "  --format=html                the class report, one self-contained page\n"
    "  --output-name PATTERN        result file in a submission ({name}.out)\n"
    "  --max-result-bytes N[K|M|G]  refuse larger result files (4G)\n"
    "  --visibility V               Gradescope visibility of every test (visible)\n"};

struct Options {
  Format format = Format::kText;
  std::optional<std::string> testset, output_name, visibility;
  uint64_t max_bytes = kDefaultMaxResultBytes;
  std::vector<std::string> operands;  // graph, source, result files; or submissions
};

// Reads a byte count, digits and an optional K, M or G (powers of 1024), into *bytes.
bool parse_bytes(const std::string& text, uint64_t* bytes) {
  size_t digits = 0;
  while (digits < text.size() && is_digit(text[digits])) ++digits;
  static const std::string kUnits[] = {"", "K", "M", "G"};  // 1024 to the power of the place
  const auto unit = std::find(std::begin(kUnits), std::end(kUnits), text.substr(digits));
  if (digits == 0 || digits > 12 || unit == std::end(kUnits)) return false;
  *bytes = std::stoull(text.substr(0, digits)) << 10 * (unit - std::begin(kUnits));
  return *bytes <= (uint64_t{1} << 62);
}

// Takes the value of a valued option: "--name=value", or "--name value" from
// the next argument. Returns false when arg is not that option.
bool valued(const std::string& name, int argc, char** argv, int* i,
            std::optional<std::string>* value, std::string* why) {
  const std::string arg = argv[*i];
  if (arg.rfind(name + "=", 0) == 0) {
    *value = arg.substr(name.size() + 1);
  } else if (arg != name) {
    return false;
  } else if (*i + 1 < argc) {
    *value = argv[++*i];
  } else {
    *why = name + " needs a value";
  }
  return true;
}

// Reads one option at argv[*i] into *o. Returns false with *why set on wrong use.
bool parse_option(int argc, char** argv, int* i, Options* o, std::string* why) {
  std::optional<std::string> value;
  if (valued("--format", argc, argv, i, &value, why)) {
    if (value && !parse_format(*value, &o->format)) *why = "unknown format '" + *value + "'";
  } else if (valued("--testset", argc, argv, i, &o->testset, why) ||
             valued("--output-name", argc, argv, i, &o->output_name, why) ||
             valued("--visibility", argc, argv, i, &o->visibility, why)) {
  } else if (valued("--max-result-bytes", argc, argv, i, &value, why)) {
    if (value && !parse_bytes(*value, &o->max_bytes)) {
      *why = "--max-result-bytes '" + *value + "' is not a byte count (digits, then K, M or G)";
    }
  } else {
    *why = "unknown option '" + std::string(argv[*i]) + "'";
  }
  return why->empty();
}

// Checks that the options and operands go together. Returns "" or why not.
std::string check(const Options& o) {
  const bool set_only = o.format == Format::kGradescope || o.format == Format::kJunit ||
                        o.format == Format::kHtml;
  if (!o.testset && (set_only || o.output_name)) {
    return std::string(o.output_name ? "--output-name" : "this --format") + " needs --testset";
  }
  if (o.visibility && o.format != Format::kGradescope) {
    return "--visibility is for --format=gradescope";
  }
  if (o.visibility && !is_gradescope_visibility(*o.visibility)) {
    return "--visibility '" + *o.visibility +
           "' is not visible, hidden, after_due_date or after_published";
  }
  if (o.output_name) {
    if (std::string bad = check_output_name(*o.output_name); !bad.empty()) return bad;
  }
  if (o.testset) {
    if (o.operands.empty()) return "--testset needs at least one submission folder";
    if (o.format == Format::kGradescope && o.operands.size() != 1) {
      return "--format=gradescope writes the results of one submission folder";
    }
    return "";
  }
  if (o.operands.size() < 3) return "a graph, a source and at least one result file are needed";
  if (!whole_number(o.operands[1])) {
    // The judge reads it as atoi does ("x" as 0); a grader has no such command line to keep.
    int32_t read_as = 0;
    std::string ignored;
    const bool reads = parse_source(o.operands[1], &read_as, &ignored);
    return "source vertex id '" + o.operands[1] + "' is not a whole number" +
           (reads ? " (the judge would read it as " + std::to_string(read_as) + ")" : "");
  }
  return "";
}

// Reads the command line into *o. Returns false with *why set on wrong use.
bool parse(int argc, char** argv, Options* o, std::string* why) {
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      if (!parse_option(argc, argv, &i, o, why)) return false;
    } else {
      o->operands.push_back(arg);
    }
  }
  *why = check(*o);
  return why->empty();
}

// Writes text to standard output. Returns false when that fails.
bool put(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Tells the judge's warnings and the summary on standard error, after the
// records, as the judge's warnings come after its verdict. Returns the exit
// status: 0 when every file was judged.
int finish(const std::vector<std::string>& warnings, const std::string& summary,
           const Tally& tally) {
  for (const std::string& warning : warnings) say(kTool.name, warning);
  say(kTool.name, summary);
  return tally.not_judged == 0 ? kExitOk : kExitCannot;
}

// Judges the result files against the graph from the source, loaded and
// solved once, and writes their records and the summary. Returns the exit status.
int grade_files(const Options& o) {
  std::optional<ProgressLine> progress;  // the judge's, on standard error, only on a terminal
  CaseOptions options;
  options.progress = progress_to(progress);
  GraphFile file;
  Case c;
  std::string why;
  const SourceGiven source = SourceGiven::argument(o.operands[1]);
  const bool made = c.make(o.operands[0].c_str(), file, source, options, &why);
  if (progress) progress->clear();
  if (!made) return cannot(kTool, why);
  std::vector<std::string> paths(o.operands.begin() + 2, o.operands.end());
  Tally tally;
  errno = 0;
  bool written = put(format_header(o.format, false));
  grade_all(paths, c.graph().Dist, c.row(), usable_cpus(), o.max_bytes, [&](const Graded& graded) {
    tally.add(graded);
    if (written) written = put(format_record(o.format, graded));
  });
  if (std::fflush(stdout) != 0 || !written) {
    return cannot(kTool, "standard output: " + reason(errno != 0 ? errno : EIO));
  }
  return finish(c.warnings(), tally.summary(), tally);
}

// Returns what --format asks for of a graded test set.
std::string class_output(const Options& o, const ClassResults& r) {
  if (o.format == Format::kGradescope) {
    return gradescope_results(r, o.visibility.value_or("visible"));
  }
  if (o.format == Format::kJunit) return junit_report(r);
  if (o.format == Format::kHtml) return html_report(r);
  return class_records(o.format, r);
}

// Grades every submission folder on every test of the test set. Returns the exit status.
int grade_testset(const Options& o) {
  TestSet set;
  std::string why;
  if (!load_testset(*o.testset, &set, &why)) return cannot(kTool, why);
  for (const std::string& folder : o.operands) {
    if (!is_folder(folder, &why)) return cannot(kTool, why);
  }
  std::optional<ProgressLine> progress;  // the judge's, on standard error, only on a terminal
  ClassOptions options;
  options.output_name = o.output_name.value_or(kDefaultOutputName);
  options.threads = usable_cpus();
  options.max_bytes = o.max_bytes;
  options.explain_wrong = o.format == Format::kGradescope;  // students see why a test failed
  options.progress = progress_to(progress);
  options.solved = [&] {
    if (progress) progress->clear();
    progress.reset();
  };
  ClassResults r;
  if (!grade_class(set, o.operands, options, &r, &why)) return cannot(kTool, why);
  if (print(kTool, class_output(o, r)) != kExitOk) return kExitCannot;
  Tally tally;
  tally.add(r.results);
  return finish(r.warnings, class_summary(r), tally);
}

int grade_main(int argc, char** argv) {
  if (int status = answer_help_or_version(kTool, argc, argv); status >= 0) return status;
  Options o;
  std::string why;
  if (!parse(argc, argv, &o, &why)) return wrong_use(kTool, why);
  return o.testset ? grade_testset(o) : grade_files(o);
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::guarded_main(tarnwick::kTool.name, tarnwick::grade_main, argc, argv);
}
