// tarnwick-package's command line read into what it makes: the system, the
// package's options, the test folder and where the package goes.
#ifndef TARNWICK_PACKAGE_COMMAND_LINE_H_
#define TARNWICK_PACKAGE_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "cli/options.h"
#include "package/systems.h"
#include "package/testdata.h"

namespace tarnwick {

struct PackageCommand {
  std::string tests, out;   // the operands, OUT without trailing slashes
  std::string samples = "1";
  std::string static_dir;   // --static-dir; empty: this program's folder
  PackageOptions options;
  bool force = false;
};

// Reads args into *out. Returns false, with *why set unless the operands are
// not two (the usage says it), when the command line is wrong use.
bool read_package_command(const Args& args, PackageCommand* out, std::string* why);

// Reads the static executable the system's package carries into
// c->options.static_bytes. Returns false with *why set.
bool read_static(PackageCommand* c, std::string* why);

// Returns the file a package of `system` made before holds at its top.
std::string package_marker(System system);

// Returns "1 sample" or "2 samples": the samples among `tests`.
std::string sample_count(const std::vector<PackagedTest>& tests);

}  // namespace tarnwick

#endif  // TARNWICK_PACKAGE_COMMAND_LINE_H_
