#include "tools/cli.h"

#include <cstdio>
#include <cstring>

#include "driver/run.h"

namespace tarnwick {

const char* tarnwick_version() { return TARNWICK_VERSION; }

int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("%s%s", tool.usage, tool.summary);
      return std::fflush(stdout) == 0 ? kToolOk : kToolCannot;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", tool.name, tarnwick_version());
      return std::fflush(stdout) == 0 ? kToolOk : kToolCannot;
    }
  }
  return -1;
}

int wrong_use(const ToolInfo& tool, const std::string& why) {
  if (!why.empty()) std::fprintf(stderr, "%s: %s\n", tool.name, printable(why).c_str());
  std::fputs(tool.usage, stderr);
  return kToolWrongUse;
}

int cannot(const ToolInfo& tool, const std::string& reason) {
  std::fprintf(stderr, "%s: %s\n", tool.name, printable(reason).c_str());
  return kToolCannot;
}

}  // namespace tarnwick
