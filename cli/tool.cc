// The messages, exit statuses and guarded main every front end shares.
#include "cli/tool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "cli/escape.h"
#include "graph/reader.h"

namespace tarnwick {

const char* tarnwick_version() { return TARNWICK_VERSION; }

void say(std::string_view name, std::string_view message) {
  std::string line = std::string(name) + ": " + printable(message) + "\n";
  std::fputs(line.c_str(), stderr);
}

bool write_out(std::string_view text, std::string* err) {
  errno = 0;
  bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  ok = std::fflush(stdout) == 0 && ok;
  if (!ok) *err = reason(errno != 0 ? errno : EIO);
  return ok;
}

namespace {

// Writes all of text to fd. Returns 0, or the system's error number.
int write_whole(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

}  // namespace

bool write_file(const std::string& path, std::string_view text, std::string* err) {
  // Opened without waiting (a FIFO with no reader fails at once) and emptied
  // only once it is known to be a regular file.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) {
    *err = path + ": " + (errno == ENXIO ? "not a regular file" : reason(errno));
    return false;
  }
  struct stat st;
  int e = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? -1 : 0;
  if (e == 0) e = ::ftruncate(fd, 0) != 0 ? errno : 0;
  if (e == 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (e == 0) e = write_whole(fd, text);
  if (::close(fd) != 0 && e == 0) e = errno;
  if (e != 0) *err = path + ": " + (e < 0 ? "not a regular file" : reason(e));
  return e == 0;
}

namespace {

// Reads all that is left of fd onto *text. Returns 0, or the system's error number.
int read_whole(int fd, std::string* text) {
  char buffer[1 << 14];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : 0;
    text->append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

bool read_file(const std::string& path, std::string* text, std::string* err) {
  // Opened without waiting (a FIFO with no writer opens at once), then read
  // only once it is known to be a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *err = path + ": " + reason(errno);
    return false;
  }
  struct stat st;
  int e = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? -1 : 0;
  if (e == 0) e = read_whole(fd, text);
  ::close(fd);
  if (e != 0) *err = path + ": " + (e < 0 ? "not a regular file" : reason(e));
  return e == 0;
}

int print(const ToolInfo& tool, std::string_view text) {
  std::string err;
  if (write_out(text, &err)) return kExitOk;
  return cannot(tool, "standard output: " + err);
}

int answer_help_or_version(const ToolInfo& tool, int argc, const char* const* argv,
                           std::span<const OptionSpec> options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    // "--min-weight --help": the next argument is the option's value, whatever it holds.
    if (const OptionSpec* o = find_option(options, argv[i]); o != nullptr && o->value != nullptr) {
      ++i;
      continue;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      return print(tool, std::string(tool.usage) + tool.summary);
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      return print(tool, std::string(tool.name) + " " + tarnwick_version() + "\n");
    }
  }
  return -1;
}

int wrong_use(const ToolInfo& tool, const std::string& why) {
  if (!why.empty()) say(tool.name, why);
  std::fputs(tool.usage, stderr);
  return kExitWrongUse;
}

int cannot(const ToolInfo& tool, const std::string& reason) {
  say(tool.name, reason);
  return kExitCannot;
}

namespace {

// Keeps the numbers 0, 1 and 2 taken: a standard descriptor that came closed
// is opened on /dev/null the wrong way round (standard input for writing),
// so that using it fails as on a closed one, and no file opened later takes
// its number (the graph file read again as the team's output).
void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_NOCTTY);
    if (held >= 0 && held != fd) ::close(held);
  }
}

}  // namespace

int guarded_main(std::string_view name, const MainBody& body, int argc, char** argv,
                 const FailureHandler& failed) {
  hold_standard_descriptors();
  std::string why;
  try {
    return body(argc, argv);
  } catch (const std::bad_alloc&) {
    // A graph too large for the memory this process may have.
    why = "out of memory";
  } catch (const std::exception& e) {
    why = e.what();
  }
  if (failed) return failed(why);
  say(name, why);
  return kExitCannot;
}

}  // namespace tarnwick
