// The strict layout, byte by byte: each way of writing a test input that the
// judge reads but a strict input validator refuses, and where it is told.
#include "validate/strict.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

// Returns the findings of `bytes` (taken in pieces of `piece` bytes), one a
// line "LINE:COLUMN: text", then the count of all of them.
std::string strict(const std::string& bytes, bool carried = true, size_t piece = 1 << 20) {
  StrictLayout layout(carried);
  for (size_t i = 0; i < bytes.size(); i += piece) layout.take(i, std::string_view(bytes).substr(i, piece));
  layout.finish();
  std::string t;
  for (const auto& f : layout.found()) t += place_text(f.at) + ": " + f.text + "\n";
  return t + std::to_string(layout.count()) + "\n";
}

constexpr char kTest[] = "3 3\n1 2 4\n2 3 -1\n1 3 7\n1\n";

TEST(StrictLayout, FindsEveryLenientWay) {
  struct {
    std::string bytes, found;
  } const cases[] = {
      {kTest, "0\n"},
      {"3 3\n1 2  4\n2 3 -1\n1 3 7\n1\n",
       "2:4: more than one space between numbers (--strict: one space separates them)\n1\n"},
      {"3 3\n1 2 4 \n2 3 -1\n1 3 7\n1\n",
       "2:6: a space at the end of the line (--strict: a line ends with a number)\n1\n"},
      {"3 3\n 1 2 4\n2 3 -1\n1 3 7\n1\n",
       "2:1: a space at the start of the line (--strict: a line starts with a number)\n1\n"},
      {"3 3\n1 2 4\n\n2 3 -1\n1 3 7\n1\n",
       "3:1: a blank line (--strict: no line is empty)\n1\n"},
      {"3 3\n1 2 4\n2 3 -1\n1 3 7\n1\n\n", "6:1: a blank line (--strict: no line is empty)\n1\n"},
      {"3 3\r\n1 2\t4\n2 3 -1\n1 3 7\n1\n",
       "1:4: a carriage return (--strict: a line ends with \\n alone)\n"
       "2:4: a tab between numbers (--strict: one space separates them)\n2\n"},
      {"3 3\n1 2 4\n2 3 -1\n1 3 7\n1",
       "5:2: the last line has no line end (--strict: every line ends with \\n)\n1\n"},
      {"3 3\n01 2 +4\n2 3 -01\n1 3 -0\n+007\n",
       "2:1: '01' has a leading zero (--strict: written 1)\n"
       "2:6: '+4' has a '+' sign (--strict: written 4)\n"
       "3:5: '-01' has a leading zero (--strict: written -1)\n"
       "4:5: '-0' has a sign on zero (--strict: written 0)\n"
       "5:1: '+007' has a '+' sign and a leading zero (--strict: written 7)\n5\n"},
      // Edges on other lines than their own, and a source not alone.
      {"3 3 1 2 4\n2 3\n-1\n1 3 7 1\n",
       "1:1: the line holds 5 numbers (--strict: the counts \"n m\" stand alone on its line)\n"
       "2:1: the line holds 2 numbers (--strict: each edge \"u v w\" stands alone on its line)\n"
       "3:1: the line holds 1 number (--strict: each edge \"u v w\" stands alone on its line)\n"
       "4:1: the line holds 4 numbers (--strict: each edge \"u v w\" stands alone on its line)\n4\n"},
      // What is not a number, and numbers past the source, are the validator's to tell.
      {"3 3\n1 2 4x\n2 3 -1\n1 3 7\n1\n5 5\n", "0\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(strict(c.bytes), c.found) << c.bytes;
    EXPECT_EQ(strict(c.bytes, true, 1), c.found) << "a byte at a time: " << c.bytes;
  }
}

// Without a carried source the file ends with the m-th edge's line; a long
// run of findings keeps the first few and counts the rest.
TEST(StrictLayout, PlainGraphAndManyFindings) {
  EXPECT_EQ(strict("2 1\n1 2 5\n", false), "0\n");
  std::string many = "2 1\n1 2 5\n";
  for (int i = 0; i < 100; ++i) many += "\n";
  const std::string found = strict(many, false);
  EXPECT_EQ(found.substr(found.rfind('\n', found.size() - 2) + 1), "100\n");
  EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), StrictLayout::kKept + 1);
  // A number cut for its message still tells its leading zero.
  EXPECT_EQ(strict("1 0\n" + std::string(30, '0') + "1\n"),
            "2:1: '000000000000000000000000...' has a leading zero (--strict: numbers have "
            "neither)\n1\n");
}

}  // namespace
}  // namespace tarnwick
