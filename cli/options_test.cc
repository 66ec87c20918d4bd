// The one option grammar of the tools, and their whole numbers.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/escape.h"

namespace tarnwick {
namespace {

// Every tool's numeric arguments: a sign, then digits and nothing else; the
// value only when it fits in 64 bits.
TEST(WholeNumber, ReadsASignAndDigitsOnly) {
  struct Case {
    const char* text;
    bool whole;
    bool fits;
    int64_t value;
  };
  const Case cases[] = {
      {"0", true, true, 0},
      {"+5", true, true, 5},
      {"-12", true, true, -12},
      {"007", true, true, 7},
      {"9223372036854775807", true, true, INT64_MAX},
      {"-9223372036854775808", true, true, INT64_MIN},
      {"9223372036854775808", true, false, 0},
      {"", false, false, 0},
      {"+", false, false, 0},
      {"-", false, false, 0},
      {"+-5", false, false, 0},
      {" 5", false, false, 0},
      {"\t5", false, false, 0},
      {"5 ", false, false, 0},
      {"5x", false, false, 0},
      {"0x10", false, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(whole_number(c.text), c.whole) << printable(c.text);
    int64_t value = 0;
    EXPECT_EQ(whole_number(c.text, &value), c.fits) << printable(c.text);
    if (c.fits) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

}  // namespace
}  // namespace tarnwick
