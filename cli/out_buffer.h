// Buffered output for the instructor tools, which print millions of numbers:
// lines are built in one large buffer and handed to fwrite in big chunks.
#ifndef TARNWICK_CLI_OUT_BUFFER_H_
#define TARNWICK_CLI_OUT_BUFFER_H_

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace tarnwick {

class OutBuffer {
 public:
  // Writes to `out`, which must stay open while this lives (it is not closed here).
  explicit OutBuffer(std::FILE* out) : out_(out), buffer_(kCapacity + kSlack) {}

  // Appends v in decimal.
  void number(int64_t v) {
    if (used_ > kCapacity) drain();
    used_ = std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), v).ptr -
            buffer_.data();
  }

  // Appends one character.
  void put(char c) {
    if (used_ > kCapacity) drain();
    buffer_[used_++] = c;
  }

  // Appends the bytes of `text`.
  void text(std::string_view text) {
    for (char c : text) put(c);
  }

  // Writes out everything appended so far and flushes the stream. Returns
  // false, with *error_number set to the failing write's errno, when any write
  // since construction failed.
  bool finish(int* error_number) {
    drain();
    if (std::fflush(out_) != 0) fail();
    *error_number = errno_;
    return errno_ == 0;
  }

 private:
  static constexpr size_t kCapacity = size_t{1} << 20;
  static constexpr size_t kSlack = 32;  // room for one number past kCapacity

  void drain() {
    if (used_ != 0 && std::fwrite(buffer_.data(), 1, used_, out_) != used_) fail();
    used_ = 0;
  }

  void fail() {
    if (errno_ == 0) errno_ = errno != 0 ? errno : EIO;
  }

  std::FILE* out_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  int errno_ = 0;
};

}  // namespace tarnwick

#endif  // TARNWICK_CLI_OUT_BUFFER_H_
