// The front every tool stands on. A tool is one entry: its words (name,
// usage, help), the options it takes and the stage it runs after, as ninja
// plugs each of its tools in after the stage it needs. The front reads the
// command line by the one grammar (cli/options.h), answers --help and
// --version, tells wrong use, makes the judging case for a tool that runs
// after it (with a progress line through any long pass), tells a refusal in
// one line, and tells the judge's warnings after the tool's output.
#ifndef TARNWICK_TOOLS_FRONT_H_
#define TARNWICK_TOOLS_FRONT_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "check/case.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/tool.h"
#include "graph/graph_file.h"

namespace tarnwick {

enum class Stage {
  kAfterFlags,  // nothing is loaded: the tool works from its command line (tarnwick-gen)
  kAfterCase,   // the graph is loaded, the source taken and its row solved
  kPerTest,     // the tool makes the case of each test it judges (Front::progress)
};

// The case a tool that runs after it asks for.
struct CaseRequest {
  std::string graph;  // the graph file's path
  SourceGiven source;
  bool from_stdin = false;      // the graph comes on standard input instead, named <stdin>
  bool tells_refusals = false;  // a graph or source refused is the tool's to tell, not a failure
  bool warns = true;            // the front tells the case's warnings after the tool's output
};

class Front;

class Tool {
 public:
  Tool(const ToolInfo& info, std::vector<OptionSpec> options,
       std::vector<std::string_view> words = {})
      : info_(info), options_(std::move(options)), words_(std::move(words)) {}
  virtual ~Tool() = default;

  // Takes the command line as the grammar read it, before anything is read.
  // Returns false on wrong use, with *why set (or left empty: the usage says it).
  virtual bool take(const Args& args, std::string* why) = 0;
  // Returns the stage the tool runs after, once take() has succeeded.
  virtual Stage stage() const = 0;
  // For kAfterCase: returns the case to make.
  virtual CaseRequest request() const { return {}; }
  // For kAfterCase: returns the options of the load, given the graph input
  // opened and not yet read (a hook into the load, for tools that watch it).
  virtual CaseOptions load_options(GraphFile&) { return {}; }
  // Runs the tool and writes its output; for kAfterCase the case is made.
  // Returns the exit status; a refusal goes through Front::refuse.
  virtual int run(Front& front) = 0;

  // Tells wrong use, given the command line as far as it was read; returns
  // the exit status. By default "NAME: why" (when why is not empty) and the
  // usage on standard error, exit status 1.
  virtual int wrong_use(const Args&, const std::string& why) const {
    return tarnwick::wrong_use(info_, why);
  }
  // Tells a failure no code path expected ("out of memory"); returns the
  // exit status. By default one line "NAME: why", exit status 2.
  virtual int failed(const std::string& why) const { return cannot(info_, why); }
  // Returns false for the judge, whose command line is fixed: every argument
  // is an operand, and --help and --version are none.
  virtual bool reads_options() const { return true; }

  const ToolInfo& info() const { return info_; }
  const std::vector<OptionSpec>& options() const { return options_; }
  const std::vector<std::string_view>& words() const { return words_; }

 private:
  ToolInfo info_;
  std::vector<OptionSpec> options_;
  std::vector<std::string_view> words_;
};

// What the front gives a running tool.
class Front {
 public:
  explicit Front(const Tool& tool) : tool_(tool) {}
  Front(const Front&) = delete;
  Front& operator=(const Front&) = delete;

  // For kAfterCase: the graph input, and the case made from it.
  GraphFile graph;
  Case judging;

  // Returns the hook a long pass reports its share done to: a progress line
  // on standard error, when it is a terminal.
  std::function<void(double)> progress() { return progress_.hook(); }
  // Erases the progress line, before the tool writes anything else.
  void end_progress() { progress_.end(); }

  // Writes text to standard output. Returns kExitOk, or refuses.
  int print(std::string_view text);
  // Tells `reason` in one line "NAME: reason" and marks the run refused: no
  // warning follows. Returns kExitCannot.
  int refuse(const std::string& reason);
  // Returns true once refuse() was called.
  bool refused() const { return refused_; }
  // Tells each warning on standard error, "NAME: warning".
  void warn(const std::vector<std::string>& warnings) const;

 private:
  const Tool& tool_;
  Progress progress_;
  bool refused_ = false;
};

// Runs `tool` on the command line in a guarded main: a failure no code path
// expected is told through Tool::failed. Returns the exit status.
int run_tool(Tool& tool, int argc, char** argv);

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_FRONT_H_
