#include "cli/tool.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

// Names in messages stay on one line and show what they hold.
TEST(Printable, EscapesControlCharacters) {
  using namespace std::string_literals;
  struct {
    std::string text, shown;
  } cases[] = {
      {"plain/name.txt", "plain/name.txt"},
      {"a\tb", "a\\tb"},
      {"two\nlines", "two\\nlines"},
      {"\x01", "\\x01"},
      {"\x7f", "\\x7f"},
      {"nul\0end"s, "nul\\x00end"},
      {"\x1f ~", "\\x1f ~"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},  // bytes above 0x7f are left as they are
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.text), c.shown) << c.shown;
}

}  // namespace
}  // namespace tarnwick
