// tarnwick-testset: a whole test folder from a short description, each test's
// input, model answer and validation made in-process through the generator,
// the judging case, the solver's writer and the validator. It runs after its
// flags and makes the case of each test itself.
#include <string>
#include <vector>

#include "testset/description.h"
#include "testset/folder.h"
#include "tools/front.h"

namespace tarnwick {
namespace {

constexpr ToolInfo kInfo = {
    "tarnwick-testset",
    "Usage: tarnwick-testset [--force] description folder\n",
    "Write a test folder from a description: for each test NAME.in, a graph as\n"
    "tarnwick-gen writes it with its source on the line after the m-th edge, and\n"
    "NAME.ans, its model answer as tarnwick-solve writes it (empty, no model answer,\n"
    "where a weight is negative or 2^30 or more); then the points file that\n"
    "tarnwick-grade --testset reads, and validate.txt, what tarnwick-validate\n"
    "--kattis --strict finds in each input. One line a test and a summary follow\n"
    "on standard output.\n"
    "\n"
    "A description holds one test a line; '#' starts a comment:\n"
    "  NAME vertices edges min_weight max_weight seed [connected] [simple|repeats]\n"
    "       [source=S] [points=P]\n"
    "  NAME                  the files NAME.in and NAME.ans: letters, digits, - _ .\n"
    "  vertices ... seed     the numbers of tarnwick-gen\n"
    "  connected             the first n-1 edges are a random spanning tree\n"
    "  simple                no self-loop, no pair given twice: the default\n"
    "  repeats               self-loops and repeated pairs may come (the later\n"
    "                        weight of a pair is the one judged)\n"
    "  source=S              the source, a vertex from 1 to n (1)\n"
    "  points=P              the test's points, at most 3 decimals (1)\n"
    "\n"
    "  description           a file, or - for standard input\n"
    "  folder                made when missing; it must hold no other test NAME.in\n"
    "  --force               write over the files of the tests described\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "Exit status: 0 written, 3 written but the validator found errors, 2 cannot\n"
    "(\"tarnwick-testset: FILE:LINE: reason\" for a wrong description), 1 wrong use.\n"};

class Testset final : public Tool {
 public:
  Testset() : Tool(kInfo, {{"--force", nullptr}}) {}

  bool take(const Args& args, std::string*) override {
    if (args.operands.size() != 2) return false;
    description_ = args.operands[0];
    folder_ = args.operands[1];
    force_ = args.has("--force");
    return true;
  }
  Stage stage() const override { return Stage::kPerTest; }

  int run(Front& front) override {
    std::string text, label, why;
    std::vector<TestPlan> plans;
    if (!read_description(description_, &text, &label, &why) ||
        !parse_description(text, label, &plans, &why)) {
      return front.refuse(why);
    }
    TestsetWriter writer(folder_, {force_, front.progress()});
    if (!writer.prepare(plans, &why)) return front.refuse(why);
    for (const TestPlan& plan : plans) {
      if (int status = write_test(front, writer, plan); status != kExitOk) return status;
    }
    if (!writer.finish(&why)) return front.refuse(why);
    if (int status = front.print(summary_line(folder_, writer.written())); status != kExitOk) {
      return status;
    }
    for (const WrittenTest& t : writer.written()) {
      if (t.errors > 0) return kExitErrorsFound;
    }
    return kExitOk;
  }

 private:
  // Writes one test and tells it. Returns the exit status.
  static int write_test(Front& front, TestsetWriter& writer, const TestPlan& plan) {
    std::string why;
    const bool written = writer.write(plan, &why);
    front.end_progress();
    if (!written) return front.refuse(why);
    return front.print(test_line(writer.written().back()));
  }

  std::string description_, folder_;
  bool force_ = false;
};

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  tarnwick::Testset testset;
  return tarnwick::run_tool(testset, argc, argv);
}
