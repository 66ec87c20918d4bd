#include "graph/reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

namespace {
constexpr size_t kBufferSize = 1 << 20;
}

ByteReader::ByteReader(std::string_view bytes)
    : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

ByteReader::ByteReader(int fd) : fd_(fd), buffer_(kBufferSize) {
  p_ = end_ = buffer_.data();
}

bool ByteReader::refill() {
  if (fd_ < 0 || error_ != 0) return false;
  for (;;) {
    ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got > 0) {
      p_ = buffer_.data();
      end_ = p_ + got;
      return true;
    }
    if (got == 0) return false;
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
}

bool open_file(const char* path, int* fd, std::string* err) {
  int f = ::open(path, O_RDONLY | O_CLOEXEC);
  if (f < 0) {
    *err = reason(errno);
    return false;
  }
  *fd = f;
  return true;
}

std::string reason(int e) { return std::strerror(e); }

}  // namespace tarnwick
