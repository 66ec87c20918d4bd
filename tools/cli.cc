#include "tools/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/run.h"
#include "graph/reader.h"

namespace tarnwick {

const char* tarnwick_version() { return TARNWICK_VERSION; }

namespace {

// Writes text to standard output. Returns kToolOk, or kToolCannot once it has said why not.
int put_out(const ToolInfo& tool, const std::string& text) {
  errno = 0;
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (std::fflush(stdout) == 0 && ok) return kToolOk;
  return cannot(tool, "standard output: " + reason(errno != 0 ? errno : EIO));
}

}  // namespace

int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0) {
      return put_out(tool, std::string(tool.usage) + tool.summary);
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      return put_out(tool, std::string(tool.name) + " " + tarnwick_version() + "\n");
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
