// A result file opened once, whatever it is: a path (a regular file, a pipe,
// a FIFO, a device), a name below a folder that must not lead out of it, or
// an open descriptor such as standard input. Every front end opens result
// files here alone. A FIFO can be opened without waiting for
// a writer, and a file of more bytes than a cap is refused, so that no file
// stalls or floods the one judging it.
#ifndef TARNWICK_CHECK_RESULT_FILE_H_
#define TARNWICK_CHECK_RESULT_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "graph/reader.h"

namespace tarnwick {

// How a result file is opened and how much of it is read.
struct ResultLimits {
  // False: a FIFO is opened without waiting for a writer, and one that no
  // program writes into holds nothing (a grader must not stall on it).
  bool wait_for_writer = true;
  // A file of more bytes than this is not judged ("larger than N bytes").
  uint64_t max_bytes = UINT64_MAX;
};

// Where opening a file below a folder stopped (ResultFile::open_below).
enum class BelowFault {
  kNone,
  kFolder,   // the folder itself cannot be opened (ENOENT, ENOTDIR, ...)
  kOutside,  // the name leads out: "..", an absolute name, a symbolic link on the way
  kFile,     // the file, or a folder on the way, cannot be opened
};

// Opens the folder at path, not through a symbolic link as its last
// component. Returns its descriptor, or -1 with errno kept and *fault set
// (kOutside for a link, else kFolder).
int open_own_folder(const std::string& path, BelowFault* fault);

class ResultFile {
 public:
  ResultFile() = default;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  // Opens the file at path. Returns false with *why set to the system's
  // reason (errno in error()) when it cannot. Call once.
  bool open(const std::string& path, const ResultLimits& limits, std::string* why);
  // Opens `inside`, a relative name ("out/t1.txt"), below the folder at
  // `folder`, one component at a time through open descriptors, so that what
  // is judged is what was checked: never through a symbolic link (the
  // folder's own included), a ".." or an absolute name. Returns false with
  // *why set ("leads outside the folder", or the system's reason) and
  // below_fault() telling where. Call once.
  bool open_below(const std::string& folder, std::string_view inside, const ResultLimits& limits,
                  std::string* why);
  // Returns where open_below() stopped, or kNone.
  BelowFault below_fault() const { return below_fault_; }
  // Reads the open descriptor fd (not closed here) from where it stands. Call once.
  void adopt(int fd, const ResultLimits& limits);
  // Reads `bytes`, which must outlive this, as a regular file. Call once.
  void assign(std::string_view bytes);

  // Returns the reader of the file's bytes. Requires open() or adopt().
  ByteReader& reader() { return *reader_; }
  // Returns the errno behind the last failure told, or 0 (too large).
  int error() const { return error_; }

  // Returns "" when the file is within the cap so far, else "larger than N
  // bytes". A regular file is told by its size, before any read.
  std::string over_cap() const;
  // Returns "" when the whole file is within the cap, else as over_cap(). A
  // file whose size is not known (a pipe, a device) is read on to tell, no
  // further than the cap.
  std::string read_to_cap();

  // Moves back to the start of a regular file, so that it is read again
  // through the same descriptor. Returns false when it cannot (not a regular
  // file, or the seek fails).
  bool rewind();

 private:
  InputFile file_;
  std::optional<ByteReader> reader_;
  ResultLimits limits_;
  bool regular_ = false;
  uint64_t size_ = 0;  // a regular file's, when it was opened
  int error_ = 0;
  BelowFault below_fault_ = BelowFault::kNone;

  // Notes that open_below() stopped at `fault` for errno e. Returns false.
  bool stop(BelowFault fault, int e, std::string* why);
};

}  // namespace tarnwick

#endif  // TARNWICK_CHECK_RESULT_FILE_H_
