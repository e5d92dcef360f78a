#pragma once

// The encodings X clients use for window titles, produced from UTF-8 text so that tests
// can state the text they expect to read back.

#include <optional>
#include <string>
#include <string_view>

namespace quen::testing {

// `text` as ISO 8859-1 bytes (the ICCCM STRING type). None when `text` is not valid
// UTF-8 or holds a character above U+00FF.
std::optional<std::string> utf8ToLatin1(std::string_view text);

// `text` as COMPOUND_TEXT the way xterm writes it: ISO 8859-1 bytes for the characters
// that have them, and every run of other characters in a UTF-8 extended segment
// (ESC % G ... ESC % @). None when `text` is not valid UTF-8.
std::optional<std::string> utf8ToCompoundText(std::string_view text);

}  // namespace quen::testing
