// The option grammar: one reading of a tool's command line.
#include "cli/options.h"

#include <algorithm>
#include <charconv>

namespace tarnwick {

namespace {

// Returns true when arg is to be read as an option: '-' and then a byte that
// is not a digit ("-x", "--name"), unless it is one of `words`.
bool looks_like_option(std::string_view arg, std::span<const std::string_view> words) {
  if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) return false;
  return std::find(words.begin(), words.end(), arg) == words.end();
}

}  // namespace

const OptionSpec* find_option(std::span<const OptionSpec> options, std::string_view name) {
  for (const OptionSpec& o : options) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

bool read_args(std::span<const OptionSpec> options, std::span<const std::string_view> words,
               int argc, const char* const* argv, Args* args, std::string* why) {
  args->program = argc > 0 ? argv[0] : "";
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_end || !looks_like_option(arg, words)) {
      args->operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name(arg.substr(0, eq));
    const OptionSpec* taken = find_option(options, name);
    if (taken == nullptr) {
      *why = "unknown option '" + std::string(arg) + "'";
    } else if (taken->value == nullptr && eq != std::string_view::npos) {
      *why = name + " takes no value";
    } else if (taken->value == nullptr) {
      args->flags.insert(name);
    } else if (eq != std::string_view::npos) {
      args->values[name] = arg.substr(eq + 1);
    } else if (i + 1 < argc) {
      args->values[name] = argv[++i];
    } else {
      *why = name + " needs " + taken->value;
    }
    if (!why->empty()) return false;
  }
  return true;
}

bool whole_number(std::string_view text, int64_t* value) {
  const size_t start = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (text.size() == start || text.find_first_not_of("0123456789", start) != text.npos) {
    return false;
  }
  const char* const first = text.data() + (text[0] == '+' ? 1 : 0);
  return value == nullptr ||
         std::from_chars(first, text.data() + text.size(), *value).ec == std::errc();
}

}  // namespace tarnwick
