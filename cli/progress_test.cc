// The progress line, written to a real pseudo-terminal and to a pipe, timed by
// a clock the tests move by hand.
#include "cli/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using tarnwick::ProgressLine;
using tarnwick::progress_text;

const char kErase[] = "\r\x1b[K";

// A pseudo-terminal: the line writes to its terminal side, and the tests read
// back what reached the screen from the other side.
class Terminal {
 public:
  Terminal() {
    controller_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (controller_ < 0 || grantpt(controller_) != 0 || unlockpt(controller_) != 0) return;
    terminal_ = open(ptsname(controller_), O_RDWR | O_NOCTTY);
    termios mode;
    if (terminal_ >= 0 && tcgetattr(terminal_, &mode) == 0) {
      cfmakeraw(&mode);  // bytes pass unchanged
      tcsetattr(terminal_, TCSANOW, &mode);
    }
  }
  ~Terminal() {
    if (terminal_ >= 0) close(terminal_);
    if (controller_ >= 0) close(controller_);
  }
  bool ok() const { return terminal_ >= 0; }
  int fd() const { return terminal_; }

  // Returns what was written to the terminal since the last call. A marker
  // written after it tells when everything before has come through.
  std::string take() {
    const std::string marker = "<end of output>";
    if (write(terminal_, marker.data(), marker.size()) != static_cast<ssize_t>(marker.size())) {
      return "<write failed>";
    }
    std::string seen;
    while (seen.size() < marker.size() ||
           seen.compare(seen.size() - marker.size(), marker.size(), marker) != 0) {
      pollfd p{controller_, POLLIN, 0};
      char buf[256];
      ssize_t got = poll(&p, 1, 5000) == 1 ? read(controller_, buf, sizeof buf) : -1;
      if (got <= 0) return seen + "<marker never came>";
      seen.append(buf, static_cast<size_t>(got));
    }
    return seen.substr(0, seen.size() - marker.size());
  }

 private:
  int controller_ = -1;
  int terminal_ = -1;
};

// Sets TERM for one test and puts back what was there.
class TermVariable {
 public:
  explicit TermVariable(const char* value) {
    if (const char* old = std::getenv("TERM")) old_ = old;
    setenv("TERM", value, 1);
  }
  ~TermVariable() {
    if (old_) {
      setenv("TERM", old_->c_str(), 1);
    } else {
      unsetenv("TERM");
    }
  }

 private:
  std::optional<std::string> old_;
};

class OnATerminal : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(screen.ok()) << "no pseudo-terminal to be had"; }

  // Moves the clock to `t` and reports `done`.
  void at(double t, double done) {
    now = t;
    line->update(done);
  }

  TermVariable term{"xterm"};
  Terminal screen;
  double now = 100;  // any start will do
  std::optional<ProgressLine> line{std::in_place, screen.fd(), [this] { return now; }};
};

TEST_F(OnATerminal, NothingDrawnInTheFirstSecond) {
  at(100.0, 0.0);
  at(100.5, 0.2);
  at(100.99, 0.4);
  EXPECT_EQ(screen.take(), "");
}

TEST_F(OnATerminal, DrawnOnOneSelfUpdatingLine) {
  at(101.0, 0.5);
  EXPECT_EQ(screen.take(), "\rtarnwick: all-pairs pass 50% done, about 1 s left\x1b[K");
  at(104.0, 0.8);
  EXPECT_EQ(screen.take(), "\rtarnwick: all-pairs pass 80% done, about 1 s left\x1b[K");
}

TEST_F(OnATerminal, RedrawnAtMostFourTimesASecond) {
  at(101.0, 0.10);
  screen.take();
  at(101.1, 0.11);
  at(101.2, 0.12);
  EXPECT_EQ(screen.take(), "") << "too soon after the last drawing";
  at(101.25, 0.13);
  EXPECT_NE(screen.take().find("13% done"), std::string::npos);
  at(101.3, 0.14);
  EXPECT_EQ(screen.take(), "");
}

TEST_F(OnATerminal, ClearedOnceWhateverTheCalls) {
  at(101.0, 0.5);
  screen.take();
  line->clear();
  line->clear();
  line.reset();
  EXPECT_EQ(screen.take(), kErase);
}

TEST_F(OnATerminal, ClearedWhenDestroyed) {
  at(102.0, 0.5);
  screen.take();
  line.reset();
  EXPECT_EQ(screen.take(), kErase);
}

TEST_F(OnATerminal, NeverDrawnNeverErased) {
  at(100.5, 0.9);
  line->clear();
  line.reset();
  EXPECT_EQ(screen.take(), "");
}

TEST_F(OnATerminal, DrawnAgainAfterClearing) {
  at(101.0, 0.5);
  line->clear();
  at(101.1, 0.6);  // the screen has no line: no reason to wait
  EXPECT_EQ(screen.take(), std::string("\rtarnwick: all-pairs pass 50% done, about 1 s left\x1b[K") +
                               kErase + "\rtarnwick: all-pairs pass 60% done, about 1 s left\x1b[K");
}

TEST(OnADumbTerminal, NothingDrawn) {
  TermVariable term("dumb");
  Terminal screen;
  ASSERT_TRUE(screen.ok());
  double now = 0;
  {
    ProgressLine line(screen.fd(), [&] { return now; });
    now = 30;
    line.update(0.5);
  }
  EXPECT_EQ(screen.take(), "");
}

TEST(OnAPipe, NothingEverWritten) {
  TermVariable term("xterm");
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  double now = 0;
  {
    ProgressLine line(ends[1], [&] { return now; });
    for (int step = 1; step <= 100; ++step) {
      now = step;
      line.update(step / 100.0);
    }
    line.clear();
  }
  close(ends[1]);
  char buf[64];
  EXPECT_EQ(read(ends[0], buf, sizeof buf), 0) << "the pipe should hold nothing";
  close(ends[0]);
}

TEST(ProgressText, EstimatesTheTimeLeftFromTheRateSoFar) {
  EXPECT_EQ(progress_text(0.42, 9.4), "tarnwick: all-pairs pass 42% done, about 13 s left");
  EXPECT_EQ(progress_text(0.25, 1.0), "tarnwick: all-pairs pass 25% done, about 3 s left");
  EXPECT_EQ(progress_text(0.1, 20.0), "tarnwick: all-pairs pass 10% done, about 3 min left");
  EXPECT_EQ(progress_text(0.999, 1.0), "tarnwick: all-pairs pass 99% done, about 1 s left");
  // Minutes from a minute on: 59 s is still told in seconds.
  EXPECT_EQ(progress_text(0.5, 59.4), "tarnwick: all-pairs pass 50% done, about 59 s left");
  EXPECT_EQ(progress_text(0.5, 60.0), "tarnwick: all-pairs pass 50% done, about 1 min left");
}

TEST(ProgressText, NoEstimateAtTheEnds) {
  EXPECT_EQ(progress_text(0, 5), "tarnwick: all-pairs pass 0% done");
  EXPECT_EQ(progress_text(1, 5), "tarnwick: all-pairs pass 100% done");
}

TEST(ProgressText, OutOfRangeSharesClamped) {
  EXPECT_EQ(progress_text(-0.5, 5), "tarnwick: all-pairs pass 0% done");
  EXPECT_EQ(progress_text(1.5, 5), "tarnwick: all-pairs pass 100% done");
  EXPECT_EQ(progress_text(std::nan(""), 5), "tarnwick: all-pairs pass 0% done");
}

}  // namespace
