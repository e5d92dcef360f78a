#pragma once

// Window titles as X clients set them, turned into valid UTF-8 so that every record line
// stays valid JSON. EWMH's _NET_WM_NAME is UTF-8 (but clients may write broken bytes);
// ICCCM's WM_NAME is a text property whose type names its encoding: STRING is ISO 8859-1,
// COMPOUND_TEXT is the ISO 2022 subset of the X Consortium's Compound Text Encoding.

#include <optional>
#include <string>
#include <string_view>

namespace quen::x11 {

// The encodings a title property can carry, by the property's type.
enum class TextEncoding { Latin1, CompoundText, Utf8 };

// ISO 8859-1 text as UTF-8 (every byte is one code point).
std::string decodeLatin1(std::string_view bytes);
// Compound Text as UTF-8: ASCII and the ISO 8859-1 right half (the default designations),
// and UTF-8 segments between ESC % G and ESC % @; characters of other designated sets
// become U+FFFD, one per character.
std::string decodeCompoundText(std::string_view bytes);
std::string decodeText(std::string_view bytes, TextEncoding encoding);

// The title: _NET_WM_NAME when it is valid UTF-8, else WM_NAME decoded by its type, else
// (no WM_NAME) _NET_WM_NAME repaired. None when neither property is set.
std::optional<std::string> chooseTitle(std::optional<std::string_view> netWmName,
                                       std::optional<std::string_view> wmName,
                                       TextEncoding wmNameEncoding);

}  // namespace quen::x11
