// The one option grammar of the tools (the judge keeps its own fixed command
// line): "--name", "--name=VALUE" and "--name VALUE", options anywhere among
// the operands, "--" ending them. A value option takes the next argument
// whatever it holds ("--min-weight -5"). An argument that starts with '-' and
// then a byte that is not a digit is an option, so that "-5" is an operand,
// and so is "-" (standard input); an option a tool does not take is named.
#ifndef TARNWICK_CLI_OPTIONS_H_
#define TARNWICK_CLI_OPTIONS_H_

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One option a tool takes.
struct OptionSpec {
  const char* name;   // "--format"
  const char* value;  // what its value is, for messages ("a format"); nullptr for a flag
};

// A command line as the grammar reads it.
struct Args {
  std::string program;                        // argv[0]
  std::vector<std::string> operands;          // the arguments that are not options, in order
  std::map<std::string, std::string> values;  // each value option given: its last value
  std::set<std::string> flags;                // each flag given

  // Returns true when the flag or value option `name` was given.
  bool has(const std::string& name) const { return flags.count(name) + values.count(name) > 0; }
  // Returns the value of option `name`, or nullptr when it was not given.
  const std::string* value(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

// Reads argv[1..argc) by the grammar into *args, taking the `options` given
// and, as operands, the `words` that look like options (testlib's "-appes").
// Returns false with *why set on wrong use: "unknown option '-x'", "--format
// needs a format", "--simple takes no value"; *args then holds what came before.
bool read_args(std::span<const OptionSpec> options, std::span<const std::string_view> words,
               int argc, const char* const* argv, Args* args, std::string* why);

// Returns the option called `name` among `options`, or nullptr.
const OptionSpec* find_option(std::span<const OptionSpec> options, std::string_view name);

// Returns true when text is a whole decimal number: an optional sign, then
// digits only. With `value` given, also requires it to fit in 64 bits and
// stores it there.
bool whole_number(std::string_view text, int64_t* value = nullptr);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_OPTIONS_H_
