// Where a package goes: a folder, made whole in a temporary folder beside it
// and renamed into place, or one zip archive written whole; and the static
// executables a package carries, taken from a folder and checked static.
#ifndef TARNWICK_PACKAGE_OUTPUT_H_
#define TARNWICK_PACKAGE_OUTPUT_H_

#include <string>
#include <vector>

#include "package/zip.h"

namespace tarnwick {

// Returns an empty string when the ELF file `bytes` is an executable that
// needs no dynamic loader (no PT_INTERP program header), else why not.
std::string static_executable_problem(const std::string& bytes);

// Returns the folder of the running program (of /proc/self/exe), or an empty
// string when it cannot be told.
std::string own_folder();

// Reads the static executable `name` from the folder `dir` into *bytes.
// Returns false with *why set ("DIR/NAME: reason") when it is missing or
// not a static executable.
bool read_static_program(const std::string& dir, const std::string& name, std::string* bytes,
                         std::string* why);

// Writes `files` as the folder `out`, or as the zip archive `out` when
// `zip`. Without `force` an existing `out` is refused; with it, a zip
// replaces a file, and a folder replaces a folder that is empty or holds
// `marker` (a package made before), so that no other folder is removed.
// Returns false with *why set, one line.
bool write_package(const std::string& out, const std::vector<PackageFile>& files, bool zip,
                   bool force, const std::string& marker, std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_PACKAGE_OUTPUT_H_
