// The escapes of each kind of output: names on one line, CSV fields, JSON
// strings kept valid UTF-8, markup and testlib's result file.
#include "cli/escape.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

std::string repeat(const std::string& s, int times) {
  std::string out;
  while (times-- > 0) out += s;
  return out;
}

// Names in messages stay on one line and show what they hold; CMS's line
// is plain printable ASCII besides, with no '%' for its formatting.
TEST(Printable, EscapesControlCharacters) {
  using namespace std::string_literals;
  struct {
    std::string text, shown, ascii;
  } cases[] = {
      {"plain/name.txt", "plain/name.txt", "plain/name.txt"},
      {"a\tb", "a\\tb", "a\\tb"},
      {"two\nlines", "two\\nlines", "two\\nlines"},
      {"\x01", "\\x01", "\\x01"},
      {"\x7f", "\\x7f", "\\x7f"},
      {"nul\0end"s, "nul\\x00end", "nul\\x00end"},
      {"\x1f ~", "\\x1f ~", "\\x1f ~"},
      {"caf\xc3\xa9", "caf\xc3\xa9", "caf\\xc3\\xa9"},
      {"1 3\xff", "1 3\xff", "1 3\\xff"},
      {"\xc2\xa0 100% \x80", "\xc2\xa0 100% \x80", "\\xc2\\xa0 100\\x25 \\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printable(c.text), c.shown) << c.shown;
    EXPECT_EQ(ascii_line(c.text), c.ascii) << c.ascii;
  }
}

// Stray bytes, an overlong form, a surrogate, a code point above U+10FFFF, a cut sequence.
constexpr char kBad[] = "bad\xff\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82";

TEST(Escape, FieldsForScripts) {
  struct Case {
    std::string in, csv, json;
  };
  const Case cases[] = {
      {"plain.txt", "plain.txt", "\"plain.txt\""},
      {"a,b", "\"a,b\"", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\""},
      {"two\nlines\r", "\"two\nlines\r\"", "\"two\\u000alines\\u000d\""},
      {"tab\there\\", "tab\there\\", "\"tab\\u0009here\\\\\""},
      {"cr\ronly", "\"cr\ronly\"", "\"cr\\u000donly\""},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
       "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      {kBad, kBad, "\"bad" + repeat("\\ufffd", 12) + "\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(csv_field(c.in), c.csv) << c.in;
    EXPECT_EQ(json_string(c.in), c.json) << c.in;
    EXPECT_EQ(is_utf8(c.in), c.json.find("fffd") == std::string::npos) << c.in;
  }
}

// Names read back one way: each byte that is not UTF-8 as \xNN, each
// backslash doubled, so that no two names meet in one text.
TEST(Escape, ExactText) {
  struct Case {
    std::string in, exact;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"a\xff", "a\\xff"},
      {"a\\xff", "a\\\\xff"},
      {"a\xfe", "a\\xfe"},
      {"caf\xc3\xa9\xc3", "caf\xc3\xa9\\xc3"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate is no UTF-8
      {"tab\t", "tab\t"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(exact_text(c.in), c.exact) << c.in;
    EXPECT_TRUE(is_utf8(exact_text(c.in))) << c.in;
  }
  EXPECT_EQ(text_field("a\xff\t\\"), "a\\xff\\t\\\\");
}

// Markup keeps text valid UTF-8 on one line; testlib's XML turns control
// bytes into dots, as testlib's own xmlSafeWrite does, and writes bytes from
// 0x80 as escapes, which a windows-1251 file can always hold.
TEST(Escape, Markup) {
  EXPECT_EQ(markup_text("a<b>&\"c'\n\xff"), "a&lt;b&gt;&amp;&quot;c&#39;\\n\\xff");
  EXPECT_EQ(xml_references("'", false), "'");
  // XML 1.0 forbids U+FFFE and U+FFFF (its production Char); U+FFFD stays.
  EXPECT_EQ(markup_text("\xef\xbf\xbe|\xef\xbf\xbf|\xef\xbf\xbd|\xef\xbf"),
            "\\ufffe|\\uffff|\xef\xbf\xbd|\\xef\\xbf");
  EXPECT_EQ(testlib_xml("a\x01<\x1f\x7f"), "a.&lt;.\x7f");
  EXPECT_EQ(testlib_xml("\x98\xf0\x9f\x98\x80'"), "\\x98\\xf0\\x9f\\x98\\x80'");
  EXPECT_EQ(hex(std::string("\x00\xff", 2)), "00ff");
}

// Plain text is what a YAML scalar, an XML attribute and a LaTeX title hold
// as it is: valid UTF-8, no control character of any kind, no noncharacter.
TEST(Escape, PlainText) {
  struct Case {
    std::string in;
    bool plain;
  };
  const Case cases[] = {
      {"", true},
      {"Shortest Paths", true},
      {"caf\xc3\xa9 \\ \" % $ \xe2\x9c\x93", true},
      {"a\nb", false},
      {"a\tb", false},
      {"a\rb", false},
      {"a\x01", false},
      {"a\x7f", false},
      {std::string("a\0b", 3), false},
      {"\xc2\x85", false},          // U+0085, a C1 control
      {"\xc2\xa0", true},           // U+00A0, no control
      {"\xef\xbf\xbe", false},      // U+FFFE
      {"\xff", false},
      {"\xc3", false},              // cut short
      {"\xc0\xaf", false},          // overlong
  };
  for (const Case& c : cases) EXPECT_EQ(plain_text(c.in), c.plain) << printable(c.in);
}

}  // namespace
}  // namespace tarnwick
