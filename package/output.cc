// Packages written whole: a folder built beside its place and renamed there,
// the folder it replaces removed only once the new one stands; a zip written
// through a temporary file.
#include "package/output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/whole_file.h"
#include "graph/reader.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Returns the little-endian number of `size` bytes at `at`.
uint64_t field(const std::string& bytes, size_t at, int size) {
  uint64_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// Splits `path` into its folder ("." when none) and base name.
void split_path(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.find_last_of('/');
  *dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes `files` below the folder `root`, making its sub-folders. Returns
// false with *why set ("PATH: reason").
bool write_tree(const std::string& root, const std::vector<PackageFile>& files, std::string* why) {
  for (const PackageFile& f : files) {
    std::string dir, name;
    split_path(root + "/" + f.path, &dir, &name);
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
      *why = dir + ": " + error.message();
      return false;
    }
    if (!write_whole_text(dir, name, f.bytes, why, f.executable)) return false;
  }
  return true;
}

// Returns true when `out` may be replaced by a package with --force: a
// folder that is empty or holds `marker`. Otherwise false with *why set.
bool replaceable_folder(const std::string& out, const std::string& marker, std::string* why) {
  std::error_code error;
  if (fs::is_empty(out, error) || fs::exists(out + "/" + marker, error)) return true;
  *why = out + ": a folder with no " + marker + " is not a package made before; it is not "
         "written over, even with --force";
  return false;
}

// Renames the finished folder `made` to `out`, first moving an existing
// `out` aside and removing it after. Returns false with *why set.
bool put_folder(const std::string& made, const std::string& out, bool exists, std::string* why) {
  std::string aside;
  if (exists) {
    aside = made + ".old";
    if (::rename(out.c_str(), aside.c_str()) != 0) {
      *why = out + ": " + reason(errno);
      return false;
    }
  }
  if (::rename(made.c_str(), out.c_str()) != 0) {
    *why = out + ": " + reason(errno);
    if (exists) ::rename(aside.c_str(), out.c_str());
    return false;
  }
  std::error_code ignored;
  if (exists) fs::remove_all(aside, ignored);
  return true;
}

// Writes `files` as the folder `out`, through a temporary folder beside it.
bool write_folder(const std::string& out, const std::vector<PackageFile>& files, bool exists,
                  std::string* why) {
  std::string dir, name;
  split_path(out, &dir, &name);
  std::string made = dir + "/." + name + ".XXXXXX";
  if (::mkdtemp(made.data()) == nullptr) {
    *why = dir + ": " + reason(errno);
    return false;
  }
  const mode_t mask = ::umask(0);  // mkdtemp made it 0700: give it a new folder's mode
  ::umask(mask);
  ::chmod(made.c_str(), 0777 & ~mask);
  const bool written = write_tree(made, files, why) && put_folder(made, out, exists, why);
  std::error_code ignored;
  if (!written) fs::remove_all(made, ignored);
  return written;
}

}  // namespace

std::string static_executable_problem(const std::string& bytes) {
  if (bytes.size() < 64 || bytes.compare(0, 4, "\x7f" "ELF") != 0) return "not an ELF executable";
  if (bytes[4] != 2 || bytes[5] != 1) return "not a 64-bit little-endian ELF executable";
  const uint64_t at = field(bytes, 0x20, 8), size = field(bytes, 0x36, 2),
                 count = field(bytes, 0x38, 2);
  if (size < 4 || at > bytes.size() || count * size > bytes.size() - at) {
    return "its program headers are cut short";
  }
  for (uint64_t i = 0; i < count; ++i) {
    if (field(bytes, at + i * size, 4) == 3) {  // PT_INTERP: a dynamic loader is named
      return "linked dynamically (it names a dynamic loader)";
    }
  }
  return "";
}

std::string own_folder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  std::string dir, name;
  split_path(std::string(path, n), &dir, &name);
  return dir;
}

bool read_static_program(const std::string& dir, const std::string& name, std::string* bytes,
                         std::string* why) {
  const std::string path = dir + "/" + name;
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = path + ": " + reason(errno != 0 ? errno : EIO);
    return false;
  }
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = all.str();
  if (const std::string problem = static_executable_problem(*bytes); !problem.empty()) {
    *why = path + ": " + problem + ", and the package needs a static executable "
           "(build with -DTARNWICK_STATIC=ON and give its tools/ folder as --static-dir)";
    return false;
  }
  return true;
}

bool write_package(const std::string& out, const std::vector<PackageFile>& files, bool zip,
                   bool force, const std::string& marker, std::string* why) {
  struct stat st {};
  const bool exists = ::lstat(out.c_str(), &st) == 0;
  if (exists && !force) {
    *why = out + " exists (--force writes over it)";
    return false;
  }
  if (exists && S_ISDIR(st.st_mode) != !zip) {
    *why = out + (zip ? " is a folder, not a zip archive to write over"
                      : " is not a folder to write a package over");
    return false;
  }
  if (!zip) {
    return (!exists || replaceable_folder(out, marker, why)) &&
           write_folder(out, files, exists, why);
  }
  if (!fits_zip(files, why)) return false;
  std::string dir, name;
  split_path(out, &dir, &name);
  const std::string archive = zip_archive(files);
  return write_whole_text(dir, name, archive, why);
}

}  // namespace tarnwick
