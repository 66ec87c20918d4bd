// A bubblewrap sandbox laid out once and entered by many runs: bubblewrap
// makes its files (the system's folders read-only, one folder writable,
// nothing else) and its network (a loopback of its own), and each run of the
// runner (run.h) joins them, with a pid namespace, IPC, /proc, /tmp and
// /dev/shm of its own, instead of starting bubblewrap again. Runs enter
// sandboxes as root only, where namespaces can be joined; elsewhere
// bubblewrap starts for each run.
#ifndef TARNWICK_GRADE_SANDBOX_H_
#define TARNWICK_GRADE_SANDBOX_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "grade/fd.h"

namespace tarnwick {

inline constexpr char kBubblewrap[] = "/usr/bin/bwrap";

// Returns bubblewrap's arguments that show a run the system's folders (/usr,
// /etc, /bin...) read-only, each of `visible` read-only, and a /dev of its own.
std::vector<std::string> bubblewrap_folder_args(const std::vector<std::string>& visible);

// Returns `path` absolute and normal, without a trailing '/' ("/tmp//a/" is "/tmp/a").
std::string absolute_folder(const std::string& path);

// Raises this process's soft limit on open files towards its hard limit, so
// that `count` sandboxes (two files each) can be held at once besides what
// the runs open. Runs keep the limit this process had (run_open_files_limit()).
void make_room_for_sandboxes(size_t count);

// Returns the soft limit on open files this process had before
// make_room_for_sandboxes(), which runs get.
uint64_t run_open_files_limit();

// One sandbox: its folder and the namespaces runs join. Runs may enter it
// at once on several threads, each in a folder of its own inside.
class Sandbox {
 public:
  Sandbox() = default;
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // Has bubblewrap lay out the sandbox around `folder` (an existing folder,
  // the one runs may write: each run's working folder is it or inside it) and
  // `visible` (read-only). Returns "" or why not: bubblewrap's own line when
  // it failed ("bwrap: Can't find source path ...").
  std::string open(const std::string& folder, const std::vector<std::string>& visible = {});
  // Returns its folder, absolute ("" until open() succeeds).
  const std::string& folder() const { return folder_; }
  // Returns true when `path` (absolute, normal) is its folder or inside it.
  bool holds(const std::string& path) const;
  // Returns its mount namespace, open (-1 until open() succeeds).
  int mount_namespace() const { return mount_.get(); }
  // Returns its network namespace, open (-1 until open() succeeds).
  int network_namespace() const { return network_.get(); }

 private:
  std::string folder_;
  Fd mount_, network_;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRADE_SANDBOX_H_
