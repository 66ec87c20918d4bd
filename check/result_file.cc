// Opening a result file once, and telling whether it stays within its cap.
#include "check/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tarnwick {

namespace {

// An open descriptor, closed when this goes away.
struct HeldFolder {
  int fd = -1;
  HeldFolder() = default;
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
  ~HeldFolder() { reset(-1); }
  void reset(int next) {
    if (fd >= 0) ::close(fd);
    fd = next;
  }
};

// Returns true when `name` in the open folder dir (AT_FDCWD: a path) is a
// symbolic link. Asked only to word a refusal: nothing is opened after it.
bool is_link_at(int dir, const char* name) {
  struct stat st {};
  return ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Splits a relative name at its slashes, without empty and "." components.
std::vector<std::string> components(std::string_view name) {
  std::vector<std::string> parts;
  for (size_t at = 0; at <= name.size();) {
    const size_t end = std::min(name.find('/', at), name.size());
    if (std::string_view part = name.substr(at, end - at); !part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    at = end + 1;
  }
  return parts;
}

// Returns where an open of `name` in dir with O_NOFOLLOW that failed with
// errno e stopped: O_NOFOLLOW tells a link by ELOOP, or by ENOTDIR with O_DIRECTORY.
BelowFault fault_at(int dir, const char* name, int e, BelowFault otherwise) {
  const bool link = (e == ELOOP || e == ENOTDIR) && is_link_at(dir, name);
  return link ? BelowFault::kOutside : otherwise;
}

}  // namespace

int open_own_folder(const std::string& path, BelowFault* fault) {
  // "ada/" would resolve a link ada: the name is opened without its end slashes.
  std::string own = path;
  while (own.size() > 1 && own.back() == '/') own.pop_back();
  const int fd = ::open(own.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    *fault = fault_at(AT_FDCWD, own.c_str(), e, BelowFault::kFolder);
    errno = e;
  }
  return fd;
}

bool ResultFile::stop(BelowFault fault, int e, std::string* why) {
  below_fault_ = fault;
  error_ = e;
  *why = fault == BelowFault::kOutside ? "leads outside the folder" : reason(e);
  return false;
}

bool ResultFile::open_below(const std::string& folder, std::string_view inside,
                            const ResultLimits& limits, std::string* why) {
  const std::vector<std::string> parts = components(inside);
  const bool outward = inside.empty() || inside[0] == '/' || parts.empty() ||
                       std::find(parts.begin(), parts.end(), "..") != parts.end();
  if (outward) return stop(BelowFault::kOutside, 0, why);
  HeldFolder dir;
  BelowFault fault = BelowFault::kNone;
  dir.reset(open_own_folder(folder, &fault));
  if (dir.fd < 0) return stop(fault, errno, why);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const int next = ::openat(dir.fd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int e = errno;
      return stop(fault_at(dir.fd, parts[i].c_str(), e, BelowFault::kFile), e, why);
    }
    dir.reset(next);
  }
  const char* last = parts.back().c_str();
  if (!file_.open_at(dir.fd, last, O_NOFOLLOW | O_NOCTTY, why, limits.wait_for_writer)) {
    const int e = errno;
    return stop(fault_at(dir.fd, last, e, BelowFault::kFile), e, why);
  }
  adopt(file_.fd(), limits);
  return true;
}

bool ResultFile::open(const std::string& path, const ResultLimits& limits, std::string* why) {
  if (!file_.open(path.c_str(), why, limits.wait_for_writer)) {
    error_ = errno;
    return false;
  }
  adopt(file_.fd(), limits);
  return true;
}

void ResultFile::adopt(int fd, const ResultLimits& limits) {
  limits_ = limits;
  struct stat st {};
  regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
  reader_.emplace(fd);
  // One byte past the cap tells that the file is over it.
  if (limits.max_bytes != UINT64_MAX) reader_->stop_at(limits.max_bytes + 1);
}

void ResultFile::assign(std::string_view bytes) {
  regular_ = true;
  size_ = bytes.size();
  reader_.emplace(bytes);
}

std::string ResultFile::over_cap() const {
  const uint64_t seen = regular_ ? std::max(size_, reader_->offset()) : reader_->offset();
  if (seen <= limits_.max_bytes) return "";
  return "larger than " + std::to_string(limits_.max_bytes) + " bytes";
}

std::string ResultFile::read_to_cap() {
  ByteReader& in = *reader_;
  if (!regular_ && limits_.max_bytes != UINT64_MAX) {
    while (in.offset() <= limits_.max_bytes && in.peek() >= 0) in.skip(in.window().size());
  }
  return over_cap();
}

bool ResultFile::rewind() { return regular_ && reader_->seek(0); }

}  // namespace tarnwick
