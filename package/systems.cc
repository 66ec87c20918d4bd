// Each system's package, file by file. What a file holds and where it goes
// is matched to the system's own reader, named in a comment with the commit
// read (the research notes' versions): Kattis problemtools a185fe9, the
// legacy package format b03c6a2, DOMjudge 9.0 be9bccf, CMS c3659b8 (and
// v1.5.1), Gradescope's autograder_samples af5dee4.
#include "package/systems.h"

#include <cstdio>
#include <regex>

#include "cli/escape.h"
#include "grade/grade.h"
#include "grade/testset.h"
#include "package/embedded.h"

namespace tarnwick {
namespace {

// Returns a name-based UUID (version 8, RFC 9562) of the problem, the same
// for the same short name and title, so that a package made again is the same.
std::string problem_uuid(const PackageOptions& o) {
  const std::string key = "tarnwick-package\n" + o.short_name + "\n" + o.title;
  uint64_t h[2] = {0xcbf29ce484222325ull, 0x84222325cbf29ce4ull};  // FNV-1a, two seeds
  for (uint64_t& v : h) {
    for (unsigned char c : key) v = (v ^ c) * 0x100000001b3ull;
  }
  h[0] = (h[0] & ~0xF000ull) | 0x8000ull;                   // version 8
  h[1] = (h[1] & ~(3ull << 62)) | (2ull << 62);             // variant 10
  char text[40];
  std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx",
                static_cast<unsigned long long>(h[0] >> 32),
                static_cast<unsigned long long>((h[0] >> 16) & 0xFFFF),
                static_cast<unsigned long long>(h[0] & 0xFFFF),
                static_cast<unsigned long long>(h[1] >> 48),
                static_cast<unsigned long long>(h[1] & 0xFFFFFFFFFFFFull));
  return text;
}

// Returns the embedded file `name` as a package file at `path`.
PackageFile embedded(const std::string& path, std::string_view name) {
  return {path, std::string(embedded_file(name))};
}

// Returns the code size limit, in KiB, that admits the single-file solver
// (problemtools' default, 128 KiB, does not): a power of two, at least 1024.
int64_t code_kib() {
  int64_t kib = 1024;
  while (kib * 1024 < static_cast<int64_t>(embedded_file("tarnwick-solve.cc").size()) * 2) kib *= 2;
  return kib;
}

// problem.yaml with legacy keys alone: problemtools' MetadataLegacy
// (problemtools/metadata.py) forbids any other. A license other than
// "unknown" wants an author or rights owner; uuid keeps it from warning.
std::string problem_yaml(const PackageOptions& o) {
  return "# Made by tarnwick-package: a problem package of the legacy Kattis format, the\n"
         "# one Kattis installs and DOMjudge imports.\n"
         "problem_format_version: legacy\n"
         "type: pass-fail\n"
         "name: " + yaml_string(o.title) + "\n"
         "uuid: " + problem_uuid(o) + "\n"
         "author: " + yaml_string(o.author) + "\n"
         "rights_owner: " + yaml_string(o.author) + "\n"
         "license: educational\n"
         "# Judged by output_validators/tarnwick (tarnwick-checker --kattis as one\n"
         "# source file); every test input carries its source after the m-th edge.\n"
         "validation: custom\n"
         "limits:\n"
         "  memory: " + std::to_string(o.memory_mib) + "\n"
         "  # KiB: room for the accepted submission, the model solver as one source file\n"
         "  code: " + std::to_string(code_kib()) + "\n";
}

// The statement problemtools renders (problem_statement/problem.en.tex;
// legacy takes LaTeX alone).
std::string statement_tex(const PackageOptions& o) {
  return "\\problemname{" + latex_text(o.title) + "}\n\n"
         "Given an undirected graph with weighted edges and a source vertex $s$, write\n"
         "for every vertex $k$ a path from $s$ to $k$ of the least total weight.\n\n"
         "\\section*{Input}\n\n"
         "The first line holds the number of vertices $n$ and the number of edges $m$.\n"
         "Each of the next $m$ lines holds an edge $u$ $v$ $w$: vertices $u$ and $v$\n"
         "($1 \\le u, v \\le n$) are joined, both ways, by an edge of weight $w$. Of two\n"
         "edges between the same vertices, the later one counts. The last line holds\n"
         "the source $s$ ($1 \\le s \\le n$).\n\n"
         "\\section*{Output}\n\n"
         "Write $n$ lines. Line $k$ holds a path of least total weight from $s$ to $k$:\n"
         "the vertices it visits after $s$, separated by single spaces. Line $s$ holds\n"
         "$s$ alone. Any path of least weight is accepted.\n";
}

// data/testdata.yaml: the root group's flags, inherited by sample and secret
// (verifyproblem.py TestCaseGroup.__init__); input validators are called
// with input_validator_flags after their name (InputValidators.validate).
std::string testdata_yaml(const PackageOptions& o) {
  std::string flags = "--strict";
  if (!o.validate_flags.empty()) flags += " " + o.validate_flags;
  return "# The flags of input_validators/tarnwick (tarnwick-validate --kattis): the one\n"
         "# strict layout, then the statement's constraints.\n"
         "input_validator_flags: " + yaml_string(flags) + "\n";
}

// The Kattis tree: data/sample and data/secret, NAME.in and NAME.ans each
// (legacy.md "Test data"); validators as one C++ file a flat folder, which
// problemtools compiles with its C++ line (run/__init__.py get_program,
// config/languages.yaml) and DOMjudge with `g++ -std=gnu++20`
// (judgedaemon.main.php fetch_executable_internal).
std::vector<PackageFile> kattis_files(const PackageOptions& o,
                                      const std::vector<PackagedTest>& tests) {
  std::vector<PackageFile> files = {{"problem.yaml", problem_yaml(o)},
                                    {"problem_statement/problem.en.tex", statement_tex(o)},
                                    {"data/testdata.yaml", testdata_yaml(o)}};
  for (bool sample : {true, false}) {
    for (const PackagedTest& t : tests) {
      if (t.sample != sample) continue;
      const std::string base = std::string("data/") + (sample ? "sample/" : "secret/") + t.name;
      files.push_back({base + ".in", t.input});
      files.push_back({base + ".ans", t.answer});
    }
  }
  files.push_back(embedded("input_validators/tarnwick/tarnwick-validate.cc", "tarnwick-validate.cc"));
  files.push_back(embedded("output_validators/tarnwick/tarnwick-checker-kattis.cc",
                           "tarnwick-checker-kattis.cc"));
  files.push_back(embedded("submissions/accepted/tarnwick-solve.cc", "tarnwick-solve.cc"));
  files.push_back(embedded("submissions/wrong_answer/fewest_edges.cc", "fewest_edges.cc"));
  return files;
}

// The DOMjudge zip: the Kattis tree at the zip's root, and `.timelimit`, the
// time limit DOMjudge reads there (ImportProblemService.php importZippedProblem;
// problemtools allows the file at the root).
std::vector<PackageFile> domjudge_files(const PackageOptions& o,
                                        const std::vector<PackagedTest>& tests) {
  std::vector<PackageFile> files = kattis_files(o, tests);
  files.insert(files.begin() + 1, {".timelimit", milli_text(o.time_ms) + "\n"});
  // DOMjudge compiles the jury's C++ with no -std flag (the compiler's own
  // default, C++17 for g++ up to 15), which the C++20 single-file solver
  // needs: its accepted submission is a plain C++17 Dijkstra instead.
  for (PackageFile& f : files) {
    if (f.path == "submissions/accepted/tarnwick-solve.cc") {
      f = embedded("submissions/accepted/dijkstra.cc", "dijkstra.cc");
    }
  }
  return files;
}

// Returns Polygon's name of test i (from 0): "01", ..., "99", "100".
std::string polygon_number(size_t i) {
  char text[24];
  std::snprintf(text, sizeof text, "%02zu", i + 1);
  return text;
}

// problem.xml as CMS's Polygon loader reads it (cmscontrib/loaders/polygon.py
// PolygonTaskLoader.get_task): the name, the judging files (empty: standard
// input and output) and the testset "tests" with its limits and count.
std::string problem_xml(const PackageOptions& o, const std::vector<PackagedTest>& tests) {
  std::string list;
  for (const PackagedTest& t : tests) {
    list += "        <test method=\"manual\" points=\"" + milli_text(t.milli_points) + "\"" +
            (t.sample ? " sample=\"true\"" : "") + "/>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\n"
         "<problem short-name=\"" + markup_text(o.short_name) + "\">\n"
         "  <names>\n    <name language=\"english\" value=\"" + markup_text(o.title) + "\"/>\n"
         "  </names>\n"
         "  <judging input-file=\"\" output-file=\"\">\n    <testset name=\"tests\">\n"
         "      <time-limit>" + std::to_string(o.time_ms) + "</time-limit>\n"
         "      <memory-limit>" + std::to_string(o.memory_mib * 1024 * 1024) + "</memory-limit>\n"
         "      <test-count>" + std::to_string(tests.size()) + "</test-count>\n"
         "      <input-path-pattern>tests/%02d</input-path-pattern>\n"
         "      <answer-path-pattern>tests/%02d.a</answer-path-pattern>\n"
         "      <tests>\n" + list + "      </tests>\n    </testset>\n  </judging>\n</problem>\n";
}

// The Polygon folder: check.cpp at the root and as files/check.cpp (where
// the loader looks first), the tests as tests/01 and tests/01.a from 1.
std::vector<PackageFile> polygon_files(const PackageOptions& o,
                                       const std::vector<PackagedTest>& tests) {
  std::vector<PackageFile> files = {{"problem.xml", problem_xml(o, tests)},
                                    embedded("check.cpp", "tarnwick-checker-testlib.cc"),
                                    embedded("files/check.cpp", "tarnwick-checker-testlib.cc")};
  for (size_t i = 0; i < tests.size(); ++i) {
    files.push_back({"tests/" + polygon_number(i), tests[i].input});
    files.push_back({"tests/" + polygon_number(i) + ".a", tests[i].answer});
  }
  return files;
}

// task.yaml as italy_yaml's YamlLoader.get_task reads it: name and title
// (required), n_input, limits (seconds; MiB), infile and outfile empty for
// standard input and output, tokens off, the samples public, and each test
// its own group of GroupMin, worth its points (score_type,
// score_type_parameters and n_input given together override the Sum).
std::string task_yaml(const PackageOptions& o, const std::vector<PackagedTest>& tests) {
  std::string groups, open;
  for (size_t i = 0; i < tests.size(); ++i) {
    groups += std::string(i == 0 ? "" : ", ") + "[" + milli_text(tests[i].milli_points) + ", 1]";
    if (tests[i].sample) open += std::string(open.empty() ? "" : ",") + std::to_string(i);
  }
  return "# Made by tarnwick-package: a CMS task in the layout of cmsImportTask's\n"
         "# italy_yaml loader. Test i is input/input<i>.txt, its answer output/output<i>.txt.\n"
         "name: " + yaml_string(o.short_name) + "\n"
         "title: " + yaml_string(o.title) + "\n"
         "n_input: " + std::to_string(tests.size()) + "\n"
         "time_limit: " + milli_text(o.time_ms) + "\n"
         "memory_limit: " + std::to_string(o.memory_mib) + "\n"
         "infile: \"\"\noutfile: \"\"\n"
         "token_mode: disabled\n"
         "score_mode: max\n" +
         (open.empty() ? "" : "public_testcases: " + yaml_string(open) + "\n") +
         "score_type: GroupMin\n"
         "score_type_parameters: [" + groups + "]\n";
}

// The CMS folder: check/checker is the static checker speaking CMS's
// convention by default, as the loader stores it (a manager "checker",
// evaluation "comparator"); the docs ask for a static one (the sandbox has
// no /etc, so no dynamic loader's cache).
std::vector<PackageFile> cms_files(const PackageOptions& o,
                                   const std::vector<PackagedTest>& tests) {
  std::vector<PackageFile> files = {{"task.yaml", task_yaml(o, tests)},
                                    {"check/checker", o.static_bytes, true}};
  for (size_t i = 0; i < tests.size(); ++i) {
    files.push_back({"input/input" + std::to_string(i) + ".txt", tests[i].input});
    files.push_back({"output/output" + std::to_string(i) + ".txt", tests[i].answer});
  }
  return files;
}

// setup.sh: Gradescope runs it once when it builds the image (its autograder
// documentation); it keeps the tests from the students' programs, which run
// as other users.
std::string setup_sh() {
  return "#!/usr/bin/env bash\n"
         "# Made by tarnwick-package. Gradescope runs this once, as root, when it builds\n"
         "# the autograder's image. Nothing is fetched: tarnwick-grade is a static\n"
         "# executable. The tests are kept from the students' programs, which\n"
         "# tarnwick-grade runs as users of their own.\n"
         "set -e\n"
         "# The students' programs are built with the image's compilers: on an image\n"
         "# without g++, install it here (apt-get install -y g++), which fetches it.\n"
         "chmod 0755 /autograder/source/tarnwick-grade /autograder/source/run_autograder\n"
         "chmod -R go-rwx /autograder/source/data\n";
}

// run_autograder: grades /autograder/submission and always leaves
// /autograder/results/results.json, the one file Gradescope reads back.
std::string run_autograder(const PackageOptions& o) {
  return "#!/bin/sh\n"
         "# Made by tarnwick-package. Gradescope runs this in /autograder for each\n"
         "# submission: the student's files are in /autograder/submission, and the\n"
         "# results must be written to /autograder/results/results.json.\n"
         "results=/autograder/results/results.json\n"
         "mkdir -p /autograder/results\n"
         "/autograder/source/tarnwick-grade --testset /autograder/source/data --format=gradescope \\\n"
         "  --visibility hidden --build " + shell_quoted(o.build) + " --run " + shell_quoted(o.run) +
         " \\\n  --time " + milli_text(o.time_ms) + " --memory " + std::to_string(o.memory_mib) +
         "M \\\n  /autograder/submission > \"$results.part\" 2> /autograder/results/grade.log\n"
         "if [ -s \"$results.part\" ]; then\n"
         "  mv \"$results.part\" \"$results\"\n"
         "else\n"
         "  printf '{\"score\": 0, \"output\": \"The autograder could not grade this submission.\"}\\n' "
         "> \"$results\"\n"
         "fi\n"
         "cat /autograder/results/grade.log >&2\n";
}

// The Gradescope zip: setup.sh and run_autograder at the root (as its
// documentation lays an autograder out), the static tarnwick-grade, and
// data/ with each input and the points file, whose third field makes the
// samples visible and the rest hidden.
std::vector<PackageFile> gradescope_files(const PackageOptions& o,
                                          const std::vector<PackagedTest>& tests) {
  std::vector<PackageFile> files = {{"setup.sh", setup_sh(), true},
                                    {"run_autograder", run_autograder(o), true},
                                    {"tarnwick-grade", o.static_bytes, true}};
  std::string points = "# NAME POINTS VISIBILITY, as tarnwick-grade --testset reads it\n";
  for (const PackagedTest& t : tests) {
    files.push_back({"data/" + t.name + ".in", t.input});
    points += t.name + " " + milli_text(t.milli_points) + (t.sample ? " visible\n" : " hidden\n");
  }
  files.push_back({"data/points", points});
  return files;
}

}  // namespace

bool system_named(std::string_view name, System* system) {
  constexpr std::pair<std::string_view, System> kNames[] = {
      {"kattis", System::kKattis}, {"domjudge", System::kDomjudge}, {"polygon", System::kPolygon},
      {"cms", System::kCms}, {"gradescope", System::kGradescope}};
  for (const auto& [n, s] : kNames) {
    if (n == name) return *system = s, true;
  }
  return false;
}

bool zipped(System system) {
  return system == System::kDomjudge || system == System::kGradescope;
}

std::string static_program(System system) {
  if (system == System::kCms) return "tarnwick-checker-cms";
  if (system == System::kGradescope) return "tarnwick-grade";
  return "";
}

std::string check_short_name(System system, const std::string& name) {
  // Kattis short names: lower-case letters and digits (legacy.md "Problem
  // package"); DOMjudge keeps [a-zA-Z0-9-_] of the zip's name.
  // CMS stores a task's name only as [A-Za-z0-9_-]+ (cms/db/types.py, c3659b8).
  static const std::regex kattis("[a-z0-9]+"), cms("[a-zA-Z0-9_-]+"),
      other("[a-zA-Z0-9_][a-zA-Z0-9_.-]*");
  const bool kattis_like = system == System::kKattis || system == System::kDomjudge;
  const std::regex& rule = kattis_like ? kattis : system == System::kCms ? cms : other;
  if (std::regex_match(name, rule)) return "";
  return "the problem's short name '" + name + "' (the output's name) must be " +
         (kattis_like              ? "lower-case letters and digits"
          : system == System::kCms ? "letters, digits, _ -"
                                   : "letters, digits, _ . -");
}

std::string check_tests(System system, const std::vector<PackagedTest>& tests) {
  for (const PackagedTest& t : tests) {
    if (system == System::kGradescope && !points_nameable(t.name)) {
      return "test '" + printable(t.name) + "': the points file of a Gradescope package cannot "
             "name it (white space, or '#' first)";
    }
  }
  if (system != System::kKattis && system != System::kDomjudge) return "";
  static const std::regex kName("[a-zA-Z0-9_][a-zA-Z0-9_.-]{0,250}");
  bool secret = false;
  for (const PackagedTest& t : tests) {
    if (!std::regex_match(t.name, kName)) {
      return "test '" + t.name + "': a Kattis package's file names are letters, digits, _ . - "
             "(not first: . -)";
    }
    secret = secret || !t.sample;
  }
  if (!secret) return "every test is a sample: a Kattis package needs a test in data/secret";
  return "";
}

std::vector<PackageFile> package_files(const PackageOptions& options,
                                       const std::vector<PackagedTest>& tests) {
  switch (options.system) {
    case System::kKattis: return kattis_files(options, tests);
    case System::kDomjudge: return domjudge_files(options, tests);
    case System::kPolygon: return polygon_files(options, tests);
    case System::kCms: return cms_files(options, tests);
    case System::kGradescope: return gradescope_files(options, tests);
  }
  return {};
}

}  // namespace tarnwick
