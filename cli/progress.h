// A self-updating progress line for long all-pairs passes, shown on a terminal.
//
// On a terminal, once the work has gone on for about a second, the line
//   tarnwick: all-pairs pass 42% done, about 13 s left
// is drawn and redrawn in place (carriage return, erase to end of line) a few
// times a second, then erased before anything else is printed. Nothing is ever
// written when the file descriptor is not a terminal, or when TERM is "dumb".
// Writes go straight to the descriptor (::write), so no stdio buffer is
// involved, and standard output is never touched. Not thread-safe: one caller
// at a time.
#ifndef TARNWICK_CLI_PROGRESS_H_
#define TARNWICK_CLI_PROGRESS_H_

#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

class ProgressLine {
 public:
  // A clock: returns seconds since any fixed moment, never going back.
  using Clock = std::function<double()>;

  // Seconds of work before the line first shows, and between two redraws.
  static constexpr double kDelay = 1.0;
  static constexpr double kRedrawInterval = 0.25;

  // Shows progress on fd only when fd is a terminal, and only once the work
  // has gone on for about a second.
  explicit ProgressLine(int fd = 2);

  // The same, timed by `now` instead of the steady clock.
  ProgressLine(int fd, Clock now);

  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Takes the share of work done (0..1); redraws at most a few times a second.
  void update(double done);

  // Erases the line if it was ever drawn. Idempotent.
  void clear();

  ~ProgressLine();

 private:
  void draw(const std::string& text);

  int fd_;
  Clock now_;
  bool enabled_;       // fd is a terminal that understands the erase sequence
  double start_;       // when the work began, by now_
  double last_draw_ = 0;
  bool drawn_ = false;  // the line is on the screen now
};

// A tool's progress line, set up once: it hands each long pass the hook the
// pass reports to, and erases the line before the tool writes anything else.
class Progress {
 public:
  // Returns a hook for a long pass's share done (0..1). The line, on standard
  // error, is timed from the first report after construction or end().
  // Requires this to outlive the hook.
  std::function<void(double)> hook();
  // Erases the line if it was drawn; the next report starts a new one.
  void end() { line_.reset(); }

 private:
  std::optional<ProgressLine> line_;
};

// Returns the progress text for `done` (0..1) after `elapsed` seconds, without
// the carriage return or erase sequence.
std::string progress_text(double done, double elapsed);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_PROGRESS_H_
