// The files tarnwick-package puts into packages as they are, carried inside
// the program: the single-file sources of the checker (one a system), the
// validator and the solver, and a wrong submission. The build writes their
// text into a source of its own (cmake/Embed.cmake), so an installed
// tarnwick-package needs no source tree.
#ifndef TARNWICK_PACKAGE_EMBEDDED_H_
#define TARNWICK_PACKAGE_EMBEDDED_H_

#include <string_view>

namespace tarnwick {

// Returns the text of the embedded file `name` ("tarnwick-checker-kattis.cc",
// "tarnwick-checker-testlib.cc", "tarnwick-validate.cc", "tarnwick-solve.cc",
// "fewest_edges.cc"), or an empty view for a name not embedded.
std::string_view embedded_file(std::string_view name);

}  // namespace tarnwick

#endif  // TARNWICK_PACKAGE_EMBEDDED_H_
