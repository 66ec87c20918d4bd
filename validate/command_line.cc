// tarnwick-validate's command line (see command_line.h).
#include "validate/command_line.h"

#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// The numeric constraints, by option.
const std::pair<const char*, std::optional<int64_t> GraphConstraints::*> kBounds[] = {
    {"--min-vertices", &GraphConstraints::min_vertices},
    {"--max-vertices", &GraphConstraints::max_vertices},
    {"--min-edges", &GraphConstraints::min_edges},
    {"--max-edges", &GraphConstraints::max_edges},
    {"--min-weight", &GraphConstraints::min_weight},
    {"--max-weight", &GraphConstraints::max_weight}};

// Returns why the bounds cannot all hold, a --min-X above its --max-X (no
// graph would be valid: a slip in the flags, not a finding), or "".
std::string crossed_bounds(const GraphConstraints& want) {
  for (size_t i = 0; i + 1 < std::size(kBounds); i += 2) {
    const std::optional<int64_t>& low = want.*kBounds[i].second;
    const std::optional<int64_t>& high = want.*kBounds[i + 1].second;
    if (low && high && *low > *high) {
      return std::string(kBounds[i].first) + " " + std::to_string(*low) + " is above " +
             kBounds[i + 1].first + " " + std::to_string(*high);
    }
  }
  return "";
}

// Settles where the source comes from. Returns false with *why set.
bool take_source(const Args& args, ValidateCommand* out, std::string* why) {
  const std::string* flag = args.value("--source");
  int32_t id = 0;  // the case's own reading of a --source value, told before the graph is read
  if (flag != nullptr && args.has("--carried-source")) {
    *why = "--source and --carried-source: the source comes from one of them";
  } else if (flag != nullptr && parse_source_flag(*flag, &id, why)) {
    out->options.source = SourceGiven::flag(*flag);
  } else if (flag == nullptr && (args.has("--carried-source") || out->kattis)) {
    // A problem package's test input carries its source, unless a flag gives it.
    out->options.source = SourceGiven::carried();
  }
  return why->empty();
}

// Takes the one graph file ("-" or none with --kattis: standard input).
bool take_path(const std::vector<std::string>& operands, ValidateCommand* out, std::string* why) {
  if (operands.size() > 1) *why = "one graph file at a time";
  if (operands.empty() && !out->kattis) return false;
  out->path = operands.empty() || operands[0] == "-" ? "" : operands[0];
  return why->empty();
}

}  // namespace

std::vector<OptionSpec> validate_options() {
  std::vector<OptionSpec> options;
  for (const auto& bound : kBounds) options.push_back({bound.first, "an integer"});
  for (const char* flag : {"--connected", "--simple", "--carried-source",
                           "--allow-non-vertex-source", "--kattis", "--strict"}) {
    options.push_back({flag, nullptr});
  }
  options.push_back({"--source", "a vertex id"});
  return options;
}

bool read_validate_command(const Args& args, bool kattis_always, ValidateCommand* out,
                           std::string* why) {
  GraphConstraints& want = out->options.want;
  for (const auto& [name, bound] : kBounds) {
    int64_t v = 0;
    const std::string* text = args.value(name);
    if (text != nullptr && !whole_number(*text, &v)) {
      *why = std::string(name) + " needs an integer, not '" + *text + "'";
    }
    if (text != nullptr) want.*bound = v;
  }
  if (why->empty()) *why = crossed_bounds(want);
  want.connected = args.has("--connected"), want.simple = args.has("--simple");
  out->options.allow_non_vertex_source = args.has("--allow-non-vertex-source");
  out->kattis = out->options.test_input = args.has("--kattis") || kattis_always;
  out->options.strict_layout = args.has("--strict");
  return why->empty() && take_source(args, out, why) && take_path(args.operands, out, why);
}

}  // namespace tarnwick
