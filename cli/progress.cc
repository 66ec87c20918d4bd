// Drawing, redrawing and erasing the progress line on a terminal.
#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace tarnwick {

std::function<void(double)> Progress::hook() {
  return [this](double done) {
    if (!line_) line_.emplace();
    line_->update(done);
  };
}

namespace {

// Moves to the start of the line; erases from there to its end.
constexpr char kReturn[] = "\r";
constexpr char kEraseToEnd[] = "\x1b[K";

double steady_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Returns true when fd is a terminal that can take the erase sequence.
bool is_capable_terminal(int fd) {
  if (::isatty(fd) != 1) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

// Writes all of `text` to fd, retrying after signals; gives up on any error,
// since a progress line is never worth failing a run for.
void write_all(int fd, const std::string& text) {
  size_t at = 0;
  while (at < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + at, text.size() - at);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    at += static_cast<size_t>(wrote);
  }
}

// Returns "about 13 s left" or "about 4 min left" for `seconds` to go.
std::string time_left(double seconds) {
  long s = std::max(1L, std::lround(seconds));
  if (s < 60) return "about " + std::to_string(s) + " s left";
  return "about " + std::to_string(std::lround(seconds / 60)) + " min left";
}

}  // namespace

std::string progress_text(double done, double elapsed) {
  if (!(done > 0)) done = 0;  // NaN too
  if (done > 1) done = 1;
  int percent = static_cast<int>(std::floor(done * 100));
  std::string text = "tarnwick: all-pairs pass " + std::to_string(percent) + "% done";
  if (done > 0 && done < 1) text += ", " + time_left(elapsed * (1 - done) / done);
  return text;
}

ProgressLine::ProgressLine(int fd) : ProgressLine(fd, steady_seconds) {}

ProgressLine::ProgressLine(int fd, Clock now)
    : fd_(fd), now_(std::move(now)), enabled_(is_capable_terminal(fd)), start_(now_()) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::update(double done) {
  if (!enabled_) return;
  double t = now_();
  if (t - start_ < kDelay) return;
  if (drawn_ && t - last_draw_ < kRedrawInterval) return;
  last_draw_ = t;
  draw(progress_text(done, t - start_));
}

void ProgressLine::clear() {
  if (!drawn_) return;
  drawn_ = false;
  write_all(fd_, std::string(kReturn) + kEraseToEnd);
}

void ProgressLine::draw(const std::string& text) {
  drawn_ = true;
  write_all(fd_, kReturn + text + kEraseToEnd);
}

}  // namespace tarnwick
