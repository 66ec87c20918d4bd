// Files written whole, through a temporary file renamed over the name.
#include "cli/whole_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "graph/reader.h"

namespace tarnwick {
namespace {

// Returns the mode a file made now gets: `full` less the umask.
mode_t new_file_mode(mode_t full) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return full & ~mask;
}

}  // namespace

WholeFile::~WholeFile() {
  if (made_) ::unlink(temporary_.c_str());
}

bool WholeFile::write(const std::function<void(OutBuffer&)>& fill, std::string* why,
                      bool executable) {
  const int fd = ::mkstemp(temporary_.data());
  made_ = fd >= 0;
  std::FILE* stream = made_ ? ::fdopen(fd, "wb") : nullptr;
  int error = stream == nullptr ? errno : 0;
  if (stream == nullptr && made_) ::close(fd);
  if (stream != nullptr) {
    OutBuffer out(stream);
    fill(out);
    out.finish(&error);
    const mode_t mode = new_file_mode(executable ? 0777 : 0666);
    if (error == 0 && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)) error = errno;
    if (std::fclose(stream) != 0 && error == 0) error = errno;
  }
  if (error != 0) *why = path_ + ": " + reason(error);
  return error == 0;
}

bool WholeFile::keep(std::string* why) {
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
    *why = path_ + ": " + reason(errno);
    return false;
  }
  made_ = false;
  return true;
}

bool write_whole_text(const std::string& dir, const std::string& name, const std::string& text,
                      std::string* why, bool executable) {
  WholeFile file(dir, name);
  return file.write([&text](OutBuffer& out) { out.text(text); }, why, executable) &&
         file.keep(why);
}

}  // namespace tarnwick
