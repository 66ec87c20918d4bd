// Byte-at-a-time reading of a file or of bytes in memory, through a fixed buffer,
// so that memory does not grow with the size of the input.
#ifndef TARNWICK_GRAPH_READER_H_
#define TARNWICK_GRAPH_READER_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Hears the bytes a reader takes from its input, in order, each before any of
// it is consumed (for counting lines as the bytes go by).
class ByteTap {
 public:
  virtual ~ByteTap() = default;
  // `bytes` start at `offset` (as ByteReader::offset() counts) and stay valid
  // until the next call, which comes (with no bytes) before they are overwritten.
  virtual void take(uint64_t offset, std::string_view bytes) = 0;
};

class ByteReader {
 public:
  // Reads the given bytes, which must outlive the reader.
  explicit ByteReader(std::string_view bytes);
  // Reads the open file descriptor fd (not closed by the reader).
  explicit ByteReader(int fd);
  // Reads bytes [begin, end) of the input `whole` reads (offsets as offset()
  // counts them), through `buffer` when that input is a file; offset() goes on
  // from begin. Requires whole.can_split(), begin <= end <= whole.split_end(),
  // and `buffer` (not empty) to outlive the reader. Safe on several threads at
  // once: `whole` is only read.
  ByteReader(const ByteReader& whole, uint64_t begin, uint64_t end, std::span<char> buffer);
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Returns the next byte (0..255) without consuming it, or -1 at the end of
  // the input or after a read error.
  int peek() {
    if (p_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(*p_);
  }
  // Consumes the byte peek() returned. Requires peek() != -1.
  void skip() { ++p_; }

  // Returns the bytes already buffered and not yet consumed (possibly none).
  std::string_view window() const { return {p_, static_cast<size_t>(end_ - p_)}; }
  // Consumes the first `count` bytes of window().
  void skip(size_t count) { p_ += count; }

  // Returns the errno of the read that failed, or 0 when every read succeeded.
  int error() const { return error_; }

  // Returns how many bytes the whole input holds when that is known (bytes in
  // memory, a regular file), or 0 when it is not (a pipe, a terminal).
  size_t size_hint() const { return size_hint_; }

  // Returns true when any range of the input can be read on its own (bytes in
  // memory, a regular file), so that threads can share it out.
  bool can_split() const { return split_end_ > 0; }
  // Returns the offset of the end of the input when can_split().
  uint64_t split_end() const { return split_end_; }

  // Returns how many bytes have been consumed since the start of the input.
  uint64_t offset() const { return base_ + static_cast<uint64_t>(p_ - begin_); }

  // Moves to `offset` (as offset() counts), so that the next byte read is the
  // one there. Requires can_split(), offset <= split_end(), and a reader made
  // on the whole input (not a range). Returns false with error() set when the
  // file cannot seek.
  bool seek(uint64_t offset);

  // Reads nothing at or past `offset` (as offset() counts): the input seems
  // to end there. For a reader of a whole descriptor; bytes already buffered stay.
  void stop_at(uint64_t offset) { stop_ = offset; }

  // Hands `tap` the bytes buffered from offset() on, then every later read's,
  // as they come. Requires `tap` to outlive the reader; nullptr stops it.
  void tap(ByteTap* tap) {
    tap_ = tap;
    if (tap_ != nullptr) tap_->take(offset(), window());
  }

 private:
  bool refill();
  bool refill_range();
  void retire_window();

  int fd_ = -1;
  int error_ = 0;
  size_t size_hint_ = 0;
  std::vector<char> buffer_;
  std::span<char> window_;        // what refill() reads into
  std::string_view memory_;       // the whole input when it is bytes in memory
  uint64_t split_end_ = 0;        // offset of the input's end when it can be split
  uint64_t origin_ = 0;           // file offset of offset() 0
  uint64_t next_ = 0;             // offset of the next byte to read at (ranges only)
  uint64_t limit_ = 0;            // offset of the end of a range
  uint64_t stop_ = UINT64_MAX;    // offset where reading a descriptor stops (stop_at)
  bool range_ = false;            // reads a range with pread
  ByteTap* tap_ = nullptr;
  uint64_t base_ = 0;             // offset of begin_ in the input
  const char* begin_ = nullptr;  // start of the bytes p_ walks
  const char* p_ = nullptr;
  const char* end_ = nullptr;
};

// The outcome of reading one integer the way "%d" does.
enum class Read { kNumber, kNoNumber, kTooBig };

struct Number {
  Read read = Read::kNoNumber;
  bool negative = false;
  bool at_end = false;  // kNoNumber because the input ended before any text
  int32_t value = 0;    // set only for kNumber
  uint64_t where = 0;   // offset of its first byte after the leading whitespace
                        // (for kNoNumber: of the text that is not a number, or the end)
};

// Reads one integer from `in`: leading whitespace, an optional sign, decimal
// digits. Returns kNoNumber at the end of the input or before text that is not
// a number (a lone sign is consumed), kTooBig when the digits do not fit in
// 32 bits (all of them are consumed).
Number read_number(ByteReader& in);

// A file opened read-only, closed when this goes away.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens path. Returns false with *err set to the system's reason ("No such
  // file or directory") when it cannot. Requires that nothing is open yet.
  // Without wait_for_writer a FIFO is opened at once, writer or not (reads
  // then wait for a writer that is there, and find none that is not).
  bool open(const char* path, std::string* err, bool wait_for_writer = true);
  // Opens `name` relative to the open folder `dir` (AT_FDCWD: as open()),
  // with `flags` added (O_NOFOLLOW), as open() does otherwise.
  bool open_at(int dir, const char* name, int flags, std::string* err, bool wait_for_writer);
  // Returns the open file's descriptor. Requires a successful open().
  int fd() const { return fd_; }
  // Closes the file, if one is open.
  void close();

 private:
  int fd_ = -1;
};

// Returns the system's reason for errno value e.
std::string reason(int e);

// Returns true for the bytes scanf's "%d" skips before a number: space, \t, \n, \v, \f, \r.
inline bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Returns true for '0' to '9'.
inline bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_READER_H_
