// Opening a result file once, and telling whether it stays within its cap.
#include "check/result_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace tarnwick {

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
