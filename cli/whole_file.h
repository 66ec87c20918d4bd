// A file written whole: its bytes go into a temporary file beside it, renamed
// over its name once complete, so that a reader never meets half of it and a
// failed write leaves the old file as it was.
#ifndef TARNWICK_CLI_WHOLE_FILE_H_
#define TARNWICK_CLI_WHOLE_FILE_H_

#include <functional>
#include <string>

#include "cli/out_buffer.h"

namespace tarnwick {

// A file written whole: a temporary file beside it, ".NAME.XXXXXX", renamed
// over it once complete and removed when it is not.
class WholeFile {
 public:
  WholeFile(const std::string& dir, const std::string& name)
      : path_(dir + "/" + name), temporary_(dir + "/." + name + ".XXXXXX") {}
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  ~WholeFile();

  // Makes the temporary file and fills it through `fill`, with the mode a new
  // file gets (0666 less the umask, or 0777 less it when `executable`).
  // Returns false with *why set ("PATH: reason").
  bool write(const std::function<void(OutBuffer&)>& fill, std::string* why,
             bool executable = false);
  // Renames the temporary file over the path. Returns false with *why set.
  bool keep(std::string* why);

  const std::string& path() const { return path_; }
  const std::string& temporary() const { return temporary_; }

 private:
  std::string path_, temporary_;
  bool made_ = false;
};

// Writes `text` whole into the file `name` of `dir`. Returns false with *why set.
bool write_whole_text(const std::string& dir, const std::string& name, const std::string& text,
                      std::string* why, bool executable = false);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_WHOLE_FILE_H_
