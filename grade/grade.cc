#include "grade/grade.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <future>
#include <new>
#include <system_error>
#include <thread>

#include "cli/escape.h"
#include "cli/tool.h"
#include "graph/reader.h"

namespace tarnwick {

namespace {

// A file descriptor closed when this goes away.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Returns true when `in` holds more than max_bytes bytes, reading on no
// further than that (its reads stop at max_bytes + 1).
bool more_than(ByteReader& in, uint64_t max_bytes) {
  while (in.offset() <= max_bytes && in.peek() >= 0) in.skip(in.window().size());
  return in.offset() > max_bytes;
}

// Marks g not judged, for the system's error e or else for `why`.
void not_judged(int e, const std::string& why, Graded* g) {
  g->judged = false;
  g->error = e;
  g->reason = e != 0 ? reason(e) : why;
}

// Judges the file at path as `judge` does, except that a FIFO is opened
// without waiting for a writer: one that no program writes into holds nothing
// (a grader must not stall on it); and that a file of more than max_bytes
// bytes is refused, a regular file by its size, any other once that many
// bytes have come. Fills in g's outcome.
void judge_file(const std::string& path, const DirectWeights& Dist, const SourceRow& APSP,
                uint64_t max_bytes, Graded* g) {
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  struct stat st {};
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0) return not_judged(errno, "", g);
  const std::string too_large = "larger than " + std::to_string(max_bytes) + " bytes";
  const bool regular = S_ISREG(st.st_mode);
  if (regular && static_cast<uint64_t>(st.st_size) > max_bytes) return not_judged(0, too_large, g);
  // Reads wait again for a writer that is there, as the judge's do.
  int flags = ::fcntl(file.fd, F_GETFL);
  if (flags >= 0) ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);
  ByteReader in(file.fd);
  in.stop_at(max_bytes + 1);
  g->judged = judge(in, Dist, APSP, &g->verdict);
  // A verdict found early says nothing of the size of a pipe or a device: read on to tell.
  if (g->judged && (regular ? in.offset() > max_bytes : more_than(in, max_bytes))) {
    not_judged(0, too_large, g);
  }
  if (in.error() != 0) not_judged(in.error(), "", g);
}

Graded grade_one(const std::string& path, const DirectWeights& Dist, const SourceRow& APSP,
                 uint64_t max_bytes) {
  Graded g;
  g.path = path;
  try {
    judge_file(path, Dist, APSP, max_bytes, &g);
  } catch (const std::bad_alloc&) {
    // Each file needs a read buffer; a worker thread must not end the process.
    not_judged(0, "out of memory", &g);
  }
  return g;
}

// Returns line K of a wrong answer in decimal, or `none`.
std::string line_text(const Graded& g, const char* none) {
  bool wrong = g.judged && g.verdict.kind == Verdict::kWrongAnswer;
  return wrong ? std::to_string(g.verdict.line) : none;
}

std::string csv_record(const Graded& g, const RecordPlace* place) {
  std::string head, points;
  if (place != nullptr) {
    head = csv_field(valid_utf8(place->submission)) + ",";
    head += csv_field(valid_utf8(place->test)) + ",";
    points = milli_text(place->milli_points) + ",";
  }
  return head + csv_field(valid_utf8(g.path)) + "," + csv_field(verdict_text(g)) + "," +
         line_text(g, "") + "," + (g.judged ? "true," : "false,") + points +
         (is_utf8(g.path) ? "" : hex(g.path)) + "\n";
}

std::string jsonl_record(const Graded& g, const RecordPlace* place) {
  std::string head = "{", points;
  if (place != nullptr) {
    head += "\"submission\":" + json_string(place->submission) +
            ",\"test\":" + json_string(place->test) + ",";
    points = ",\"points\":" + milli_text(place->milli_points);
  }
  // A path that is not valid UTF-8 also comes as its exact bytes, in hexadecimal.
  std::string bytes = is_utf8(g.path) ? "" : ",\"path_bytes\":\"" + hex(g.path) + "\"";
  return head + "\"path\":" + json_string(g.path) + bytes +
         ",\"verdict\":" + json_string(verdict_text(g)) + ",\"line\":" + line_text(g, "null") +
         ",\"judged\":" + (g.judged ? "true" : "false") + points + "}\n";
}

}  // namespace

void grade_all(const std::vector<std::string>& paths, const DirectWeights& Dist,
               const SourceRow& APSP, int32_t threads, uint64_t max_bytes,
               const std::function<void(const Graded&)>& emit) {
  std::vector<std::promise<Graded>> outcomes(paths.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
      outcomes[i].set_value(grade_one(paths[i], Dist, APSP, max_bytes));
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
  for (std::promise<Graded>& outcome : outcomes) emit(outcome.get_future().get());
}

bool parse_format(std::string_view name, Format* format) {
  static constexpr std::pair<std::string_view, Format> kNames[] = {
      {"text", Format::kText}, {"csv", Format::kCsv}, {"jsonl", Format::kJsonl},
      {"gradescope", Format::kGradescope}, {"junit", Format::kJunit}, {"html", Format::kHtml},
  };
  for (const auto& [known, f] : kNames) {
    if (name == known) {
      *format = f;
      return true;
    }
  }
  return false;
}

std::string format_header(Format format, bool testset) {
  if (format != Format::kCsv) return "";
  return testset ? "submission,test,path,verdict,line,judged,points,path_bytes\n"
                 : "path,verdict,line,judged,path_bytes\n";
}

std::string verdict_text(const Graded& g) {
  return g.judged ? verdict_words(g.verdict) : "not judged: " + g.reason;
}

std::string milli_text(int64_t milli) {
  std::string text = std::to_string(milli / 1000);
  if (int64_t rest = milli % 1000; rest != 0) {
    std::string digits = std::to_string(1000 + rest).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

std::string format_record(Format format, const Graded& g, const RecordPlace* place) {
  if (format == Format::kCsv) return csv_record(g, place);
  if (format == Format::kJsonl) return jsonl_record(g, place);
  std::string test = place != nullptr ? text_field(place->test) + "\t" : "";
  return text_field(g.path) + "\t" + test + verdict_text(g) + "\n";
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

void Tally::add(std::span<const Graded> all) {
  for (const Graded& g : all) add(g);
}

std::string Tally::counts() const {
  return std::to_string(succeeded) + " succeeded, " + std::to_string(wrong) + " wrong, " +
         std::to_string(empty) + " empty, " + std::to_string(not_judged) + " not judged";
}

std::string Tally::summary() const {
  return std::to_string(total()) + (total() == 1 ? " file: " : " files: ") + counts();
}

}  // namespace tarnwick
