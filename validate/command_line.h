// tarnwick-validate's command line read into what it checks: the
// constraints, where the source comes from, the layout, and the one graph.
#ifndef TARNWICK_VALIDATE_COMMAND_LINE_H_
#define TARNWICK_VALIDATE_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "cli/options.h"
#include "validate/validate.h"

namespace tarnwick {

struct ValidateCommand {
  ValidateOptions options;
  bool kattis = false;  // a problem package's input validator: exit 42 or 43
  std::string path;     // the graph file; empty: standard input
};

// Returns the options tarnwick-validate takes.
std::vector<OptionSpec> validate_options();

// Reads args into *out, as with --kattis when `kattis_always`. Returns false
// with *why set when the command line is wrong use (an empty *why: the usage
// says it).
bool read_validate_command(const Args& args, bool kattis_always, ValidateCommand* out,
                           std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_VALIDATE_COMMAND_LINE_H_
