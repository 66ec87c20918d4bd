// An open file descriptor, closed when it goes away: what the runner and the
// sandbox hold their files, pipes and namespaces by.
#ifndef TARNWICK_GRADE_FD_H_
#define TARNWICK_GRADE_FD_H_

#include <unistd.h>

namespace tarnwick {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Fd() { reset(); }
  // Returns the descriptor held, or -1.
  int get() const { return fd_; }
  // Closes the descriptor held, if any, and holds `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Returns the descriptor held, holding none from then on.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_FD_H_
