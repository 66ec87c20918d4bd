// The escapes of every kind of output, one function each.
#include "cli/escape.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick {

namespace {

// Returns the length of the valid UTF-8 sequence at the start of s, or 0.
size_t utf8_length(std::string_view s) {
  auto byte = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
  unsigned c = byte(0);
  if (c < 0x80) return 1;
  size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
  // The allowed range of the second byte rules out overlong forms, surrogates
  // and code points above U+10FFFF.
  unsigned low = 0x80, high = 0xbf;
  if (c < 0xc2 || c > 0xf4) return 0;
  if (c == 0xe0) low = 0xa0;
  if (c == 0xed) high = 0x9f;
  if (c == 0xf0) low = 0x90;
  if (c == 0xf4) high = 0x8f;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  }
  return length;
}

}  // namespace

std::string valid_utf8(std::string_view text) {
  std::string out;
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    if (step == 0) {
      out += "\xef\xbf\xbd";
      step = 1;
    } else {
      out += text.substr(i, step);
    }
  }
  return out;
}

// Each byte replaced makes the text longer: only valid UTF-8 comes back the same.
bool is_utf8(std::string_view text) { return valid_utf8(text) == text; }

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (step == 0) {
      out += "\\ufffd";
      step = 1;
    } else if (c == '"' || c == '\\') {
      out += {'\\', static_cast<char>(c)};
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += text.substr(i, step);
    }
  }
  return out + "\"";
}

namespace {

// Appends c to out as \xNN.
void append_hex_escape(unsigned char c, std::string* out) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", c);
  *out += hex;
}

// Returns text with control characters escaped, and each byte for which
// `also` holds as \xNN.
template <typename Also>
std::string escaped(std::string_view text, Also also) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f || also(c)) {
      append_hex_escape(c, &out);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string printable(std::string_view text) {
  return escaped(text, [](unsigned char) { return false; });
}

std::string ascii_line(std::string_view text) {
  return escaped(text, [](unsigned char c) { return c >= 0x80 || c == '%'; });
}

std::string exact_text(std::string_view text) {
  std::string out;
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    if (step == 0) {
      append_hex_escape(static_cast<unsigned char>(text[i]), &out);
      step = 1;
    } else {
      if (text[i] == '\\') out += '\\';
      out += text.substr(i, step);
    }
  }
  return out;
}

std::string text_field(std::string_view text) { return printable(exact_text(text)); }

std::string csv_field(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string hex(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

std::string hex_unless_utf8(std::string_view text) { return is_utf8(text) ? "" : hex(text); }

std::string xml_references(std::string_view text, bool apostrophe) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += apostrophe ? "&#39;" : "'"; break;
      default: out += c;
    }
  }
  return out;
}

std::string markup_text(std::string_view text) {
  // text_field leaves valid UTF-8 without control characters; of what XML 1.0
  // forbids (its production Char) only U+FFFE and U+FFFF are left.
  std::string out = xml_references(text_field(text), true);
  for (size_t at = 0; (at = out.find("\xef\xbf", at)) != std::string::npos;) {
    const unsigned char last = static_cast<unsigned char>(out[at + 2]);
    if (last == 0xbe || last == 0xbf) {
      out.replace(at, 3, last == 0xbe ? "\\ufffe" : "\\uffff");
    } else {
      at += 3;
    }
  }
  return out;
}

std::string testlib_xml(std::string_view text) {
  std::string dotted;
  for (unsigned char c : text) {
    if (c >= 0x80) {
      append_hex_escape(c, &dotted);
    } else {
      dotted += c <= 31 ? '.' : static_cast<char>(c);
    }
  }
  return xml_references(dotted, false);
}

namespace {

// Returns the code point of one valid UTF-8 character.
char32_t code_point(std::string_view c) {
  static const unsigned char kLeadBits[] = {0x7f, 0x1f, 0x0f, 0x07};
  char32_t cp = static_cast<unsigned char>(c[0]) & kLeadBits[c.size() - 1];
  for (size_t i = 1; i < c.size(); ++i) cp = cp << 6 | (static_cast<unsigned char>(c[i]) & 0x3f);
  return cp;
}

// Returns true when a page may hold the character as it is: no C1 control
// and no noncharacter (U+FDD0 to U+FDEF, U+FFFE, U+FFFF and their kin in
// every plane), which HTML's parser counts as errors in the input stream.
bool page_character(char32_t cp) {
  return !(cp >= 0x80 && cp <= 0x9f) && !(cp >= 0xfdd0 && cp <= 0xfdef) &&
         (cp & 0xfffe) != 0xfffe;
}

}  // namespace

std::string html_text(std::string_view text) {
  const std::string plain = text_field(text);
  const std::string_view all = plain;
  std::string out;
  for (size_t i = 0, step; i < all.size(); i += step) {
    const size_t length = utf8_length(all.substr(i));
    step = std::max<size_t>(length, 1);
    const std::string_view c = all.substr(i, step);
    if (length > 0 && page_character(code_point(c))) {
      out += xml_references(c, true);
      continue;
    }
    for (const char byte : c) append_hex_escape(static_cast<unsigned char>(byte), &out);
  }
  return out;
}

bool plain_text(std::string_view text) {
  for (size_t i = 0, step; i < text.size(); i += step) {
    step = utf8_length(text.substr(i));
    if (step == 0) return false;
    const char32_t cp = code_point(text.substr(i, step));
    if (cp < 0x20 || cp == 0x7f || !page_character(cp)) return false;
  }
  return true;
}

std::string html_lines(std::string_view text) {
  std::string out;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    out += html_text(text.substr(start, end - start)) + "\n";
  }
  return out + html_text(text.substr(start));
}

std::string yaml_string(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string latex_text(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\textbackslash{}"; break;
      case '~': out += "\\textasciitilde{}"; break;
      case '^': out += "\\textasciicircum{}"; break;
      case '{': case '}': case '$': case '&': case '#': case '_': case '%':
        out += '\\';
        out += c;
        break;
      default: out += c;
    }
  }
  return out;
}

std::string shell_quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace tarnwick
