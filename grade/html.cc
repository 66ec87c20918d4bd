// The class report as one HTML page: the students' table first, a cell a
// test opening what the student is told, then plain CSS bars and inline SVG
// histograms; a few lines of inline script sort the table; nothing is fetched.
#include <algorithm>
#include <climits>
#include <ctime>
#include <cstdio>
#include <vector>

#include "cli/escape.h"
#include "grade/programs.h"
#include "grade/report.h"

namespace tarnwick {

namespace {

// The colour of each outcome is set once, as --c (and --t for its text), and
// every cell, bar, histogram and legend entry of that outcome takes it.
constexpr char kStyle[] = R"(<style>
body { font-family: sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.5em; margin: 0 0 0.3em; } h1 small { font-weight: normal; color: #555; }
table { border-collapse: collapse; }
th, td { padding: 0.2em 0.6em; text-align: left; }
.passed { --c: #2e7d32; } .wrong { --c: #c62828; } .wrong.missing { --c: #ef9a9a; --t: #222; }
.empty { --c: #f9a825; --t: #222; } .notjudged { --c: #d5d5d5; --t: #222; }
.compile { --c: #6d4c41; } .timelimit { --c: #1565c0; } .walltime { --c: #7986cb; }
.memory { --c: #00838f; } .runtime { --c: #8e24aa; } .outputlimit { --c: #827717; }
.o { background: var(--c); color: var(--t, #fff); } rect.o { fill: var(--c); }
.legend span { padding: 0.1em 0.5em; margin-right: 0.4em; white-space: nowrap; }
#students th { cursor: pointer; background: #f0f0f0; border-bottom: 1px solid #999; }
#students td { border-bottom: 1px solid #fff; position: relative; white-space: nowrap; }
#students td.n { text-align: right; }
summary { cursor: pointer; list-style: none; } summary::-webkit-details-marker { display: none; }
.why { position: absolute; left: 0; top: 100%; z-index: 2; width: max-content; max-width: 48em;
  background: #fff; color: #222; border: 1px solid #777; padding: 0.4em 0.6em;
  box-shadow: 0 2px 6px rgba(0, 0, 0, 0.3); white-space: normal; }
.why pre { white-space: pre-wrap; margin: 0.4em 0 0; }
pre { background: #f5f5f5; padding: 0.5em; overflow-x: auto; max-width: 60em; }
.bars th { font-weight: normal; }
.bar { display: flex; width: 24em; height: 1.1em; outline: 1px solid #bbb; }
.bars td:last-child { white-space: nowrap; }
.figures { display: flex; flex-wrap: wrap; gap: 0.5em 2em; } figure { margin: 0; width: 340px; }
figcaption { font-size: 0.9em; } svg text { font-size: 10px; }
</style>
)";

constexpr char kScript[] = R"(<script>
// Clicking a column's heading sorts the rows by it; clicking again reverses them.
const students = document.getElementById('students');
students.querySelectorAll('th').forEach((th, i) => th.addEventListener('click', () => {
  const body = students.tBodies[0], up = th.dataset.order !== 'up';
  th.dataset.order = up ? 'up' : 'down';
  const key = row => row.cells[i].dataset.v ?? row.cells[i].textContent;
  const rows = [...body.rows].sort((a, b) => {
    const x = key(a), y = key(b);
    const c = isNaN(x) || isNaN(y) ? x.localeCompare(y) : x - y;
    return up ? c : -c;
  });
  rows.forEach(row => body.append(row));
}));
// One explanation open at a time.
students.addEventListener('toggle', e => {
  if (!e.target.open) return;
  students.querySelectorAll('details[open]').forEach(d => { if (d !== e.target) d.open = false; });
}, true);
// report.html#open=SUBMISSION/TEST opens that cell, the names as the table
// shows them; SUBMISSION may leave out the folders above it and trailing slashes.
function openCell() {
  const m = /^#open=(.*?)\/*([^\/]*)$/.exec(location.hash);
  if (!m) return;
  let who, test;
  try { [who, test] = [m[1], m[2]].map(decodeURIComponent); } catch { return; }
  const trim = name => name.replace(/\/+$/, '');
  const fits = name => trim(name) === who || trim(name).endsWith('/' + who);
  const col = [...students.tHead.rows[0].cells].findIndex(th => th.classList.contains('t') &&
                                                               th.textContent === test);
  const row = [...students.tBodies[0].rows].find(tr => fits(tr.cells[0].textContent));
  const d = col >= 0 && row ? row.cells[col].querySelector('details') : null;
  if (d) { d.open = true; d.scrollIntoView({block: 'nearest'}); }
}
addEventListener('hashchange', openCell);
openCell();
</script>
)";

// The class (in the CSS) and words of an outcome.
struct Look {
  std::string css;
  std::string words;
  int rank;  // for sorting: passed highest
};

// The CSS class of each RunFailure, in its order.
constexpr const char* kFailureCss[kRunFailures] = {"",        "compile", "timelimit", "walltime",
                                                   "memory", "runtime", "outputlimit"};

Look look(const Graded& g) {
  if (const RunFailure f = run_failure(g); f != RunFailure::kNone) {
    return {kFailureCss[static_cast<int>(f)], failure_name(f), 1};
  }
  if (!g.judged) return {"notjudged", g.reason == "missing" ? "missing" : "not judged", 0};
  if (g.verdict.kind == Verdict::kSuccess) return {"passed", "passed", 3};
  if (g.verdict.kind == Verdict::kEmptyFile) return {"empty", "empty", 1};
  const std::string line = std::to_string(g.verdict.line);
  if (g.verdict.missing) return {"wrong missing", "no line " + line, 2};
  return {"wrong", "line " + line, 2};
}

// Returns the bar of one test: passed, wrong, empty, the programs' failures, not judged.
std::string test_bar(const ClassResults& r, size_t t) {
  Tally tally;
  for (size_t s = 0; s < r.submissions.size(); ++s) tally.add(r.at(s, t));
  std::vector<std::pair<const char*, int64_t>> parts = {
      {"passed", tally.succeeded}, {"wrong", tally.wrong}, {"empty", tally.empty}};
  for (int f = 1; f < kRunFailures; ++f) parts.emplace_back(kFailureCss[f], tally.failed[f]);
  parts.emplace_back("notjudged", tally.not_judged);
  std::string bar;
  for (const auto& [css, count] : parts) {
    if (count == 0) continue;
    bar += "<span class=\"o " + std::string(css) + "\" style=\"flex: " + std::to_string(count) +
           "\"></span>";
  }
  return "<tr><th>" + html_text(r.set.tests[t].name) + "</th><td><div class=\"bar\">" + bar +
         "</div></td><td>" + tally.counts() + "</td></tr>\n";
}

// Lines first-wrong-at from `first` to `last`: wrong ones, and missing ones (the file stopped).
struct Bin {
  int64_t first = 0, last = 0, wrong = 0, missing = 0;
};

// Returns at most 20 bins over lines 1..n of test t, and one for lines after n when there are any.
std::vector<Bin> first_wrong_bins(const ClassResults& r, size_t t) {
  const int64_t n = std::max<int64_t>(r.set.tests[t].n, 1);
  const int64_t width = (n + 19) / 20;
  std::vector<Bin> bins;
  for (int64_t first = 1; first <= n; first += width) {
    bins.push_back({first, std::min(first + width - 1, n)});
  }
  for (size_t s = 0; s < r.submissions.size(); ++s) {
    const Graded& g = r.at(s, t);
    if (!g.judged || g.verdict.kind != Verdict::kWrongAnswer) continue;
    const bool past = g.verdict.line > n;
    if (past && bins.back().last <= n) bins.push_back({n + 1, INT64_MAX});
    Bin& bin = past ? bins.back() : bins[static_cast<size_t>((g.verdict.line - 1) / width)];
    ++(g.verdict.missing ? bin.missing : bin.wrong);
  }
  return bins;
}

// Returns "lines A-B" (or "line A", "lines after N") for a bin.
std::string bin_label(const Bin& b) {
  if (b.last == INT64_MAX) return "lines after " + std::to_string(b.first - 1);
  if (b.first == b.last) return "line " + std::to_string(b.first);
  return "lines " + std::to_string(b.first) + "-" + std::to_string(b.last);
}

// Returns the SVG attribute ` NAME="V"`, V with one decimal.
std::string at(const char* name, double v) {
  char text[64];
  std::snprintf(text, sizeof text, " %s=\"%.1f\"", name, v);
  return text;
}

// Returns one rectangle of height h (pixels) standing on y, with a hover text.
std::string rect(double x, double y, double w, double h, const char* css,
                 const std::string& title) {
  return std::string("<rect class=\"o ") + css + "\"" + at("x", x) + at("y", y - h) +
         at("width", w) + at("height", h) + "><title>" + title + "</title></rect>";
}

// Returns an SVG text element at x, y.
std::string svg_text(double x, double y, const std::string& text) {
  return std::string("<text") + at("x", x) + at("y", y) + " text-anchor=\"middle\">" + text +
         "</text>";
}

// The scale of a histogram: bars `width` pixels wide standing on y = kBase,
// `scale` pixels a wrong answer.
constexpr double kBase = 100, kLeft = 20;

// Returns bin i of `count` as SVG: its bars, its count and, for some, its first line.
std::string bin_svg(const Bin& b, size_t i, size_t count, double width, double scale) {
  const double x = kLeft + width * static_cast<double>(i), mid = x + width / 2;
  const double hw = b.wrong * scale, hm = b.missing * scale;
  const int64_t total = b.wrong + b.missing;
  const std::string title = bin_label(b) + ": " + std::to_string(b.wrong) + " wrong, " +
                            std::to_string(b.missing) + " missing";
  std::string svg;
  if (b.wrong > 0) svg += rect(x + 1, kBase, width - 2, hw, "wrong", title);
  if (b.missing > 0) svg += rect(x + 1, kBase - hw, width - 2, hm, "wrong missing", title);
  if (total > 0) svg += svg_text(mid, kBase - hw - hm - 3, std::to_string(total));
  if (b.last == INT64_MAX) {
    return svg + svg_text(mid, kBase + 14, "&gt;" + std::to_string(b.first - 1));
  }
  if (i % ((count + 4) / 5) == 0) svg += svg_text(mid, kBase + 14, std::to_string(b.first));
  return svg;
}

// Returns the histogram of where test t's wrong answers first go wrong.
std::string histogram(const ClassResults& r, size_t t) {
  const std::vector<Bin> bins = first_wrong_bins(r, t);
  int64_t top = 0, total = 0;
  for (const Bin& b : bins) {
    top = std::max(top, b.wrong + b.missing);
    total += b.wrong + b.missing;
  }
  const std::string name = html_text(r.set.tests[t].name);
  if (total == 0) {
    return "<figure><figcaption>Test " + name + ": no wrong answers.</figcaption></figure>\n";
  }
  const double count = static_cast<double>(bins.size());
  const double width = std::min(300.0 / count, 30.0), span = width * count;
  std::string svg = "<line" + at("x1", kLeft) + at("y1", kBase + 0.5) + at("x2", kLeft + span) +
                    at("y2", kBase + 0.5) + " stroke=\"#999\"/>";
  for (size_t i = 0; i < bins.size(); ++i) {
    svg += bin_svg(bins[i], i, bins.size(), width, 75.0 / static_cast<double>(top));
  }
  return "<figure><figcaption>Test " + name + " (n = " + std::to_string(r.set.tests[t].n) +
         "): first wrong line of " + std::to_string(total) +
         (total == 1 ? " wrong answer" : " wrong answers") + "</figcaption>\n<svg width=\"" +
         std::to_string(static_cast<int>(span + 2 * kLeft)) + "\" height=\"118\" role=\"img\">" +
         svg + "</svg></figure>\n";
}

// Returns one entry of the legend.
std::string key(const std::string& css, const char* words) {
  return "<span class=\"o " + css + "\">" + words + "</span>";
}

// Returns the legend of every colour: the outcomes, and the failures of programs when they ran.
std::string legend(const ClassResults& r) {
  std::string out = "<p class=\"legend\">" + key("passed", "Success") +
                    key("wrong", "Wrong answer") +
                    key("wrong missing", "Wrong answer: a line missing") +
                    key("empty", "Empty file");
  for (int f = 1; r.programs && f < kRunFailures; ++f) {
    out += key(kFailureCss[f], failure_name(static_cast<RunFailure>(f)));
  }
  return out + key("notjudged", "not judged or missing") + "</p>\n";
}

// Returns how the programs were built and run, and the compiler's lines of
// each submission that did not build; "" when no program ran.
std::string programs_section(const ClassResults& r) {
  if (!r.programs) return "";
  const ProgramOptions& p = *r.programs;
  Isolation used = Isolation::kBest;
  for (const Graded& g : r.results) {
    if (g.program && g.program->result.isolation != Isolation::kBest) used = g.program->result.isolation;
  }
  std::string out = "<h2>Programs</h2>\n<p id=\"programs\">Built with <code>" +
                    html_text(p.build.empty() ? "(nothing)" : p.build) + "</code>, run with <code>" +
                    html_text(p.run) + "</code> on each test, under " +
                    html_text(limits_text(p.limits)) + " (isolation: " + isolation_name(used) +
                    ").</p>\n";
  for (size_t s = 0; s < r.submissions.size() && !r.set.tests.empty(); ++s) {
    const Graded& g = r.at(s, 0);
    if (run_failure(g) != RunFailure::kCompileError) continue;
    out += "<details><summary>" + html_text(r.submissions[s]) + ": compile error (" +
           html_text(run_figures(*g.program)) + ")</summary><pre>" +
           html_lines(g.program->errors) + "</pre></details>\n";
  }
  return out;
}

// Returns the hover text of a cell: the outcome, and a program's figures.
std::string cell_title(const Graded& g) {
  std::string title = outcome_text(g);
  if (g.program && g.program->not_run.empty()) title += " (" + run_figures(*g.program) + ")";
  return html_text(title);
}

// Returns the cell of submission s and test t: its outcome, coloured, which
// opens what the student is told of it.
std::string cell(const ClassResults& r, size_t s, size_t t) {
  const Graded& g = r.at(s, t);
  const Look l = look(g);
  return "<td class=\"o " + l.css + "\" data-v=\"" + std::to_string(l.rank) + "\" title=\"" +
         cell_title(g) + "\"><details><summary>" + l.words + "</summary><div class=\"why\"><b>" +
         html_text(r.submissions[s]) + ", test " + html_text(r.set.tests[t].name) +
         "</b><pre>" + html_lines(gradescope_output(r, s, t)) + "</pre></div></details></td>";
}

// Returns the table of submissions: a row each, its standing, then its outcome of each test.
std::string student_table(const ClassResults& r) {
  const bool points = weighs_points(r.set);
  std::string out = "<table id=\"students\"><thead><tr><th>Submission</th><th>Passed (of " +
                    std::to_string(r.set.tests.size()) + ")</th>";
  if (points) out += "<th>Points (of " + milli_text(total_milli_points(r.set)) + ")</th>";
  for (const TestInput& t : r.set.tests) out += "<th class=\"t\">" + html_text(t.name) + "</th>";
  out += "</tr></thead>\n<tbody>\n";
  for (size_t s = 0; s < r.submissions.size(); ++s) {
    const Standing st = standing(r, s);
    out += "<tr><td>" + html_text(r.submissions[s]) + "</td><td class=\"n\">" +
           std::to_string(st.passed) + "</td>";
    if (points) out += "<td class=\"n\">" + milli_text(st.milli_points) + "</td>";
    for (size_t t = 0; t < r.set.tests.size(); ++t) out += cell(r, s, t);
    out += "</tr>\n";
  }
  return out + "</tbody></table>\n";
}

// Returns the page's head and heading: the test folder (without a trailing
// slash) and when it was graded, in UTC as ISO 8601 writes it.
std::string heading(const ClassResults& r, std::time_t when) {
  std::string dir = r.set.dir;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::tm utc{};
  char date[32] = "";
  if (gmtime_r(&when, &utc) != nullptr) {
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
  }
  const std::string folder = html_text(dir);
  return std::string("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n") +
         "<title>Class report: " + folder + ", " + date + "</title>\n" + kStyle +
         "</head><body>\n<h1>Class report: <span id=\"testset\">" + folder +
         "</span> <small>graded <time datetime=\"" + date + "\">" + date +
         "</time></small></h1>\n";
}

}  // namespace

std::string html_report(const ClassResults& r, std::time_t when) {
  std::string out = heading(r, when);
  out += "<p id=\"summary\">" + html_text(class_summary(r)) + ".</p>\n" + legend(r);
  out += "<p>Click a heading to sort by that column, a cell for what the student is told.</p>\n" +
         student_table(r);
  out += "<h2>Tests</h2>\n<table class=\"bars\">\n";
  for (size_t t = 0; t < r.set.tests.size(); ++t) out += test_bar(r, t);
  out += "</table>\n<h2>Where solvers go wrong</h2>\n<p>The first wrong line of each wrong "
         "answer: a line that is wrong, or (lighter) a line missing where the file ends "
         "before it.</p>\n<div class=\"figures\">\n";
  for (size_t t = 0; t < r.set.tests.size(); ++t) out += histogram(r, t);
  return out + "</div>\n" + programs_section(r) + kScript + "</body></html>\n";
}

}  // namespace tarnwick
