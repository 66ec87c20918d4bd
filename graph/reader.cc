// Reading bytes through a fixed buffer, and one number the way "%d" does.
#include "graph/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {
constexpr size_t kBufferSize = 1 << 20;
}

ByteReader::ByteReader(std::string_view bytes)
    : size_hint_(bytes.size()),
      memory_(bytes),
      split_end_(bytes.size()),
      begin_(bytes.data()),
      p_(bytes.data()),
      end_(bytes.data() + bytes.size()) {}

ByteReader::ByteReader(int fd) : fd_(fd), buffer_(kBufferSize), window_(buffer_) {
  begin_ = p_ = end_ = buffer_.data();
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    size_hint_ = static_cast<size_t>(st.st_size);
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at >= 0 && at < st.st_size) {
      origin_ = static_cast<uint64_t>(at);
      split_end_ = static_cast<uint64_t>(st.st_size) - origin_;
    }
  }
}

ByteReader::ByteReader(const ByteReader& whole, uint64_t begin, uint64_t end, std::span<char> buffer)
    : fd_(whole.fd_), size_hint_(static_cast<size_t>(end - begin)), base_(begin) {
  if (fd_ < 0) {
    begin_ = p_ = whole.memory_.data() + begin;
    end_ = whole.memory_.data() + end;
    return;
  }
  window_ = buffer;
  origin_ = whole.origin_;
  next_ = begin;
  limit_ = end;
  range_ = true;
  begin_ = p_ = end_ = buffer.data();
}

bool ByteReader::seek(uint64_t offset) {
  if (fd_ < 0) {
    p_ = begin_ + offset;
    return true;
  }
  if (::lseek(fd_, static_cast<off_t>(origin_ + offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  base_ = offset;
  begin_ = p_ = end_ = buffer_.data();
  return true;
}

void ByteReader::retire_window() {
  // The tap sees the end of the bytes it was given while they are still there.
  if (tap_ != nullptr) tap_->take(base_ + static_cast<uint64_t>(end_ - begin_), {});
}

bool ByteReader::refill_range() {
  retire_window();
  size_t want = static_cast<size_t>(std::min<uint64_t>(window_.size(), limit_ - next_));
  while (want > 0) {
    ssize_t got = ::pread(fd_, window_.data(), want, static_cast<off_t>(origin_ + next_));
    if (got > 0) {
      base_ = next_;
      next_ += static_cast<uint64_t>(got);
      begin_ = p_ = window_.data();
      end_ = p_ + got;
      if (tap_ != nullptr) tap_->take(base_, window());
      return true;
    }
    if (got == 0) return false;  // the file got shorter
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
  return false;
}

bool ByteReader::refill() {
  if (fd_ < 0 || error_ != 0) return false;
  if (range_) return refill_range();
  retire_window();
  const uint64_t at = base_ + static_cast<uint64_t>(end_ - begin_);
  if (at >= stop_) return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), stop_ - at));
  for (;;) {
    ssize_t got = ::read(fd_, buffer_.data(), want);
    if (got > 0) {
      base_ += static_cast<uint64_t>(end_ - begin_);
      begin_ = p_ = buffer_.data();
      end_ = p_ + got;
      if (tap_ != nullptr) tap_->take(base_, window());
      return true;
    }
    if (got == 0) return false;
    if (errno != EINTR) {
      error_ = errno;
      return false;
    }
  }
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool InputFile::open(const char* path, std::string* err, bool wait_for_writer) {
  return open_at(AT_FDCWD, path, 0, err, wait_for_writer);
}

bool InputFile::open_at(int dir, const char* name, int flags, std::string* err,
                        bool wait_for_writer) {
  fd_ = ::openat(dir, name, O_RDONLY | O_CLOEXEC | flags | (wait_for_writer ? 0 : O_NONBLOCK));
  if (fd_ < 0) {
    *err = reason(errno);
    return false;
  }
  if (!wait_for_writer) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  return true;
}

namespace {

// Reads from bytes already in memory and notes whether it ran off their end.
class WindowCursor {
 public:
  explicit WindowCursor(std::string_view w) : begin_(w.data()), p_(w.data()), end_(p_ + w.size()) {}
  int peek() {
    if (p_ != end_) return static_cast<unsigned char>(*p_);
    ran_out_ = true;
    return -1;
  }
  void skip() { ++p_; }
  uint64_t offset() const { return consumed(); }
  bool ran_out() const { return ran_out_; }
  size_t consumed() const { return static_cast<size_t>(p_ - begin_); }

 private:
  const char* begin_;
  const char* p_;
  const char* end_;
  bool ran_out_ = false;
};

// Reads one number from `in` as read_number describes; `in` has peek(), skip()
// and offset(), to which `base` is added for Number::where.
template <typename Cursor>
Number parse_number(Cursor& in, uint64_t base) {
  Number num;
  while (is_space(in.peek())) in.skip();
  int c = in.peek();
  num.where = base + in.offset();
  num.at_end = c < 0;
  if (c == '+' || c == '-') {
    num.negative = c == '-';
    in.skip();
  }
  if (!is_digit(in.peek())) return num;
  // The magnitude saturates just past what fits, however many digits follow.
  const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  while (is_digit(c = in.peek())) {
    magnitude = std::min(magnitude * 10 + (c - '0'), limit + 1);
    in.skip();
  }
  if (magnitude > (num.negative ? limit : limit - 1)) {
    num.read = Read::kTooBig;
    return num;
  }
  num.read = Read::kNumber;
  num.value = static_cast<int32_t>(num.negative ? -magnitude : magnitude);
  return num;
}

}  // namespace

Number read_number(ByteReader& in) {
  // Nearly every number lies wholly in the buffer: read it there, with no
  // refill checks, and fall back to the byte-at-a-time reader at the buffer's end.
  WindowCursor window(in.window());
  Number num = parse_number(window, in.offset());
  if (!window.ran_out()) {
    in.skip(window.consumed());
    return num;
  }
  return parse_number(in, 0);
}

std::string reason(int e) { return std::strerror(e); }

}  // namespace tarnwick
