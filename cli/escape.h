// Text made safe for each place the tools write it: a terminal line, a CSV
// field, a JSON string, XML and HTML, testlib's result file. Every escape the
// tools use lives here, so that each kind of output is escaped one way.
#ifndef TARNWICK_CLI_ESCAPE_H_
#define TARNWICK_CLI_ESCAPE_H_

#include <string>
#include <string_view>

namespace tarnwick {

// Returns text with every control character written as an escape (\n, \t,
// \x01, \x7f), so that a message naming it stays on one line.
std::string printable(std::string_view text);

// Returns text as printable() writes it, and besides every byte from 0x80 and
// '%' as \xNN: plain printable ASCII, which every release of CMS shows as
// it is (old ones format the message with '%', new ones reject some UTF-8).
std::string ascii_line(std::string_view text);

// Returns text as valid UTF-8 that reads back to its bytes one way: each
// backslash doubled and each byte that is not part of valid UTF-8 as \xNN
// (so that two names differing only in such bytes stay apart).
std::string exact_text(std::string_view text);

// Returns text for a line of a tool's text output: exact_text's, with control
// characters escaped as printable() does, so that every name reads back one way.
std::string text_field(std::string_view text);

// Returns `field` as one CSV field: as it is, or quoted with its quotes doubled
// when it holds a comma, a quote, a carriage return or a line end.
std::string csv_field(std::string_view field);

// Returns `text` as a JSON string, quotes included. Valid UTF-8 is kept;
// quotes, backslashes and control characters are escaped; each byte that is
// not part of valid UTF-8 becomes U+FFFD.
std::string json_string(std::string_view text);

// Returns `text` with each byte that is not part of valid UTF-8 replaced by
// U+FFFD, so that the result is valid UTF-8 (as json_string reads it).
std::string valid_utf8(std::string_view text);

// Returns true when `text` is valid UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool is_utf8(std::string_view text);

// Returns true when `text` is valid UTF-8 holding no control character (C0,
// DEL or C1) and no noncharacter (U+FFFE): text that YAML, XML, HTML and a
// terminal line all hold as it is, with nothing to escape but their quotes.
bool plain_text(std::string_view text);

// Returns the bytes of text as lower-case hexadecimal.
std::string hex(std::string_view text);

// Returns hex(text) when text is not valid UTF-8, else "" (a name's exact
// bytes beside its escaped text).
std::string hex_unless_utf8(std::string_view text);

// Returns text with & < > " (and ' when `apostrophe`) as XML character
// references, every other byte as it is.
std::string xml_references(std::string_view text, bool apostrophe);

// Returns text made safe for XML and HTML: as text_field writes it (valid
// UTF-8, no control characters), & < > " ' as character references, and
// U+FFFE and U+FFFF, which XML forbids, as \ufffe and \uffff.
std::string markup_text(std::string_view text);

// Returns text for an HTML page: as text_field writes it (backslashes
// doubled, control characters escaped), & < > " ' as references, and each
// byte that is no character a page may hold (not UTF-8, a C1 control, a
// noncharacter such as U+FFFE) as \xNN.
std::string html_text(std::string_view text);

// Returns text for a <pre>: each line as html_text writes it, the line ends kept.
std::string html_lines(std::string_view text);

// Returns text as a YAML double-quoted scalar (" and \ escaped).
std::string yaml_string(std::string_view text);

// Returns text with LaTeX's special characters escaped, for running text.
std::string latex_text(std::string_view text);

// Returns text quoted for the POSIX shell: in single quotes, each ' as '\''.
std::string shell_quoted(std::string_view text);

// Returns text as testlib's InStream::xmlSafeWrite writes it into a result
// file: &, <, > and " as entities, bytes 0 to 31 as '.'; and each byte from
// 0x80 as \xNN, which testlib passes through into a file it declares
// windows-1251 (where 0x98 is no character, so the file would not parse).
// Every other byte as it is.
std::string testlib_xml(std::string_view text);

}  // namespace tarnwick

#endif  // TARNWICK_CLI_ESCAPE_H_
