#include "tools/grading.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "cli/tool.h"
#include "graph/reader.h"

namespace tarnwick {

namespace {

// Outcomes filled in by the workers and taken in order by the calling thread.
class Board {
 public:
  explicit Board(size_t count) : slots_(count), done_(count, false) {}

  // Stores the outcome of file i.
  void post(size_t i, Graded graded) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[i] = std::move(graded);
      done_[i] = true;
    }
    ready_.notify_one();
  }

  // Waits for the outcome of file i and returns it.
  Graded take(size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return done_[i]; });
    return std::move(slots_[i]);
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<Graded> slots_;
  std::vector<bool> done_;
};

// A file descriptor closed when this goes away.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Judges the file at path as `judge` does, except that a FIFO is opened
// without waiting for a writer: one that no program writes into holds nothing
// (a grader must not stall on it). Returns false with *err set when it cannot.
bool judge_file(const std::string& path, const DirectWeights& Dist, const SourceRow& APSP,
                Verdict* out, std::string* err) {
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) {
    *err = reason(errno);
    return false;
  }
  // Reads wait again for a writer that is there, as the judge's do.
  int flags = ::fcntl(file.fd, F_GETFL);
  if (flags >= 0) ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);
  ByteReader in(file.fd);
  bool ok = judge(in, Dist, APSP, out);
  if (!ok) *err = reason(in.error());
  return ok;
}

Graded grade_one(const std::string& path, const DirectWeights& Dist, const SourceRow& APSP) {
  Graded g;
  g.path = path;
  try {
    g.judged = judge_file(path, Dist, APSP, &g.verdict, &g.reason);
  } catch (const std::bad_alloc&) {
    // Each file needs a read buffer; a worker thread must not end the process.
    g.judged = false;
    g.reason = "out of memory";
  }
  return g;
}

}  // namespace

void grade_all(const std::vector<std::string>& paths, const DirectWeights& Dist,
               const SourceRow& APSP, int32_t threads,
               const std::function<void(const Graded&)>& emit) {
  Board board(paths.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
      board.post(i, grade_one(paths[i], Dist, APSP));
    }
  };
  size_t count = std::clamp<size_t>(paths.size(), 1, std::max<int32_t>(threads, 1));
  std::vector<std::jthread> workers;
  for (size_t t = 0; t < count; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads (a thread or memory limit): those running do the rest
    }
  }
  if (workers.empty()) work();  // not even one: this thread judges every file first
  for (size_t i = 0; i < paths.size(); ++i) emit(board.take(i));
}

bool parse_format(std::string_view name, Format* format) {
  if (name == "text") {
    *format = Format::kText;
  } else if (name == "csv") {
    *format = Format::kCsv;
  } else if (name == "jsonl") {
    *format = Format::kJsonl;
  } else {
    return false;
  }
  return true;
}

std::string format_header(Format format) {
  return format == Format::kCsv ? "path,verdict,line,judged\n" : "";
}

namespace {

// Returns the verdict as printed, without its line end, or "not judged: REASON".
std::string verdict_text(const Graded& g) {
  if (!g.judged) return "not judged: " + g.reason;
  std::string line = verdict_line(g.verdict);
  line.pop_back();
  return line;
}

// Returns line K of a wrong answer in decimal, or `none`.
std::string line_text(const Graded& g, const char* none) {
  bool wrong = g.judged && g.verdict.kind == Verdict::kWrongAnswer;
  return wrong ? std::to_string(g.verdict.line) : none;
}

// Returns the bytes of text as lower-case hexadecimal.
std::string hex(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

}  // namespace

std::string format_record(Format format, const Graded& g) {
  switch (format) {
    case Format::kText:
      return printable(g.path) + "\t" + verdict_text(g) + "\n";
    case Format::kCsv:
      return csv_field(g.path) + "," + csv_field(verdict_text(g)) + "," + line_text(g, "") + "," +
             (g.judged ? "true" : "false") + "\n";
    case Format::kJsonl:
      break;
  }
  // A path that is not valid UTF-8 also comes as its exact bytes, in hexadecimal.
  std::string bytes = is_utf8(g.path) ? "" : ",\"path_bytes\":\"" + hex(g.path) + "\"";
  return "{\"path\":" + json_string(g.path) + bytes +
         ",\"verdict\":" + json_string(verdict_text(g)) + ",\"line\":" + line_text(g, "null") +
         ",\"judged\":" + (g.judged ? "true" : "false") + "}\n";
}

std::string csv_field(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void Tally::add(const Graded& g) {
  if (!g.judged) {
    ++not_judged;
  } else if (g.verdict.kind == Verdict::kSuccess) {
    ++succeeded;
  } else if (g.verdict.kind == Verdict::kEmptyFile) {
    ++empty;
  } else {
    ++wrong;
  }
}

std::string Tally::summary() const {
  int64_t files = succeeded + wrong + empty + not_judged;
  return std::to_string(files) + (files == 1 ? " file: " : " files: ") + std::to_string(succeeded) +
         " succeeded, " + std::to_string(wrong) + " wrong, " + std::to_string(empty) + " empty, " +
         std::to_string(not_judged) + " not judged";
}

}  // namespace tarnwick
