// Text for JSON output, shared by the tools that write it.
#ifndef TARNWICK_TOOLS_JSON_H_
#define TARNWICK_TOOLS_JSON_H_

#include <string>
#include <string_view>

namespace tarnwick {

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

}  // namespace tarnwick

#endif  // TARNWICK_TOOLS_JSON_H_
