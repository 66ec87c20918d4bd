// tarnwick: the judge. Loads the graph, takes the source, solves its row,
// then judges the result file and prints one verdict. Its command line is
// fixed: three operands, the usage on standard output otherwise.
#include <string>

#include "check/judge.h"
#include "check/result_file.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

// The usage line, printed on standard output for a wrong argument count.
constexpr char kUsage[] = "Usage: ./tarnwick input_graph your_output_result source_vertex_id\n";

class Judge final : public Tool {
 public:
  Judge() : Tool({"tarnwick", kUsage, ""}, {}) {}

  bool reads_options() const override { return false; }
  bool take(const Args& args, std::string*) override {
    if (args.operands.size() != 3) return false;
    graph_ = args.operands[0], result_ = args.operands[1], source_ = args.operands[2];
    return true;
  }
  int wrong_use(const Args&, const std::string&) const override {
    std::fputs(kUsage, stdout);
    return kExitWrongUse;
  }
  Stage stage() const override { return Stage::kAfterCase; }
  CaseRequest request() const override { return {graph_, SourceGiven::argument(source_)}; }

  int run(Front& front) override {
    ResultFile result;
    Verdict verdict;
    std::string why;
    if (!result.open(result_, {}, &why) || !front.judging.judge(result, &verdict, &why)) {
      return front.refuse(result_ + ": " + why);
    }
    return front.print(verdict_line(verdict));
  }

 private:
  std::string graph_, result_, source_;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Judge judge;
  return tarnwick::run_tool(judge, argc, argv);
}
