// The files each judging system takes, made from a test set: a Kattis
// problem package (the legacy format), the same tree for DOMjudge to import
// as a zip, a Polygon-style folder (check.cpp, tests/01, tests/01.a, ...), a
// CMS task folder in the layout of its italy_yaml loader, and a Gradescope
// autograder. Each file's place and contents follow the system's own source
// or documentation, cited where it is made.
#ifndef TARNWICK_PACKAGE_SYSTEMS_H_
#define TARNWICK_PACKAGE_SYSTEMS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/testdata.h"
#include "package/zip.h"

namespace tarnwick {

enum class System { kKattis, kDomjudge, kPolygon, kCms, kGradescope };

// Returns the system called `name` ("kattis", "domjudge", "polygon", "cms",
// "gradescope") into *system; false for any other name.
bool system_named(std::string_view name, System* system);

// Returns true when the system's package is one zip archive, not a folder.
bool zipped(System system);

// Returns the static executable a system's package carries, from the
// --static-dir folder ("tarnwick-checker-cms", "tarnwick-grade"), or an empty
// string when it needs none.
std::string static_program(System system);

struct PackageOptions {
  System system = System::kKattis;
  std::string short_name;          // the problem's short name: the output's base name
  std::string title = "Shortest Paths";
  std::string author = "The course staff";
  std::string validate_flags;      // constraints for tarnwick-validate, after --strict
  int64_t time_ms = 1000;          // the time limit of a run
  int64_t memory_mib = 1024;       // the memory limit of a run
  std::string build = "g++ -std=gnu++20 -O2 -o sol $(ls *.cpp *.cc *.cxx 2>/dev/null)";  // Gradescope: how a submission is built
  std::string run = "./sol";                   // and run
  std::string static_bytes;        // the bytes of static_program(system), when it has one
};

// Returns an empty string when `name` can be the short name of a problem of
// `system`, else why it cannot.
std::string check_short_name(System system, const std::string& name);

// Returns an empty string when the tests' names suit `system` (Kattis: the
// package format's file names, ^[a-zA-Z0-9_][a-zA-Z0-9_.-]{0,254}$;
// Gradescope: names its points file can give points to), and a Kattis or
// DOMjudge package keeps a test for data/secret; else why not.
std::string check_tests(System system, const std::vector<PackagedTest>& tests);

// Returns the files of the package, in the order they are written.
std::vector<PackageFile> package_files(const PackageOptions& options,
                                       const std::vector<PackagedTest>& tests);

}  // namespace tarnwick

#endif  // TARNWICK_PACKAGE_SYSTEMS_H_
