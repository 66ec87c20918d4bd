// The checker's command line read into CheckerArgs: which judging system
// speaks (a flag, the program's name, or the one a single-file source is made
// for) and whether the files given suit it.
#ifndef TARNWICK_SYSTEMS_COMMAND_LINE_H_
#define TARNWICK_SYSTEMS_COMMAND_LINE_H_

#include <string>
#include <string_view>

#include "cli/options.h"
#include "systems/checker.h"

namespace tarnwick {

// The options the checker takes. testlib's registerTestlibCmd drops
// --testset X and --group Y before it counts the files (testlib.h 0.9.44,
// __testlib_set_testset_and_group: the test set may not be empty, the group
// may); its result file may be followed by -appes, a word and no option.
inline constexpr OptionSpec kCheckerOptions[] = {
    {"--kattis", nullptr},         {"--domjudge", nullptr},       {"--testlib", nullptr},
    {"--cms", nullptr},            {"--source", "a vertex id"},   {"--judge-details", nullptr},
    {"--testset", "a test set name"}, {"--group", "a group"}};
inline constexpr std::string_view kCheckerWords[] = {"-appes", "-APPES"};

// Returns the system the command line asks for, as far as it was read: the
// flags, else the program's name, else `default_system` ("kattis", "testlib",
// "cms" or "" for none). Sets *why when two flags disagree.
System system_asked(const Args& args, std::string_view default_system, std::string* why);

// Reads args into *out, the system as system_asked() finds it. Returns false with *why set when the command line is
// wrong use: two systems, none, an empty --testset, files that do not suit.
bool read_checker_args(const Args& args, std::string_view default_system, CheckerArgs* out,
                       std::string* why);

}  // namespace tarnwick

#endif  // TARNWICK_SYSTEMS_COMMAND_LINE_H_
