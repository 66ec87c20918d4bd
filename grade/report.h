// What tarnwick-grade writes for a graded test set: records and standings
// (text, csv, jsonl), Gradescope's results.json, JUnit XML, and an HTML page.
#ifndef TARNWICK_GRADE_REPORT_H_
#define TARNWICK_GRADE_REPORT_H_

#include <ctime>
#include <string>
#include <string_view>

#include "grade/grade.h"
#include "grade/testset.h"

namespace tarnwick {

// Returns the records of every submission and test, in that order (see
// format_record), then, with `standings`, one standing a submission that fits
// the records: for kText "SUBMISSION<tab>P of T tests passed" (and "<tab>X
// of Y points" when the tests are weighted); for kCsv a row whose test is
// empty; for kJsonl an object with passed, tests, points and max_points.
// Names are escaped as exact_text writes them (path_bytes for one that is not
// valid UTF-8). Requires kText, kCsv or kJsonl.
std::string class_records(Format format, const ClassResults& r, bool standings = true);

// Returns the standings alone, one a submission: kText as class_records
// writes them; kCsv a table of its own, "submission,passed,tests,points,
// max_points,path_bytes"; kJsonl objects as class_records writes them.
std::string class_standings(Format format, const ClassResults& r);

// Returns true when the tests are weighed in points: a points file gave
// them, or some test is worth other than 1 point.
bool weighs_points(const TestSet& set);

// Returns the class summary: "S submissions x T tests: A succeeded, B wrong,
// C empty, D not judged; K of S submissions passed every test" and, when the
// tests are weighted, "; mean X of Y points".
std::string class_summary(const ClassResults& r);

// The Gradescope visibilities of a test (see gradescope_results).
bool is_gradescope_visibility(std::string_view name);

// Returns the results.json of Gradescope's autograder for the one submission
// of r: the total score and one test a test set's test, with its own
// visibility from the points file, else `visibility`.
std::string gradescope_results(const ClassResults& r, std::string_view visibility);

// Returns what a student is shown for a test in Gradescope: the student's
// account of a wrong answer when grading kept one (ClassOptions::explain_wrong),
// else the verdict, and for a file not judged the name the result file should have had.
std::string gradescope_output(const ClassResults& r, size_t submission, size_t test);

// Returns a JUnit XML report: one testsuite a submission, one testcase a test,
// a failure for a wrong or empty file and an error for one not judged.
std::string junit_report(const ClassResults& r);

// Returns the class report as one self-contained HTML page: a heading with
// the test folder and `when` (UTC), the summary and the legend of colours,
// the table of submissions (passed, points when weighed, then a cell a test
// that opens what the student is told; sortable by any column; the page's
// address ending "#open=SUBMISSION/TEST" opens that cell), then a bar a test
// and where the first wrong lines fall.
std::string html_report(const ClassResults& r, std::time_t when);

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_REPORT_H_
