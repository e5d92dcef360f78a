#pragma once

// UTF-8 as RFC 3629 and the Unicode Standard (chapter 3, table 3-7) define it: shortest
// form only, no surrogates (U+D800 to U+DFFF), nothing above U+10FFFF.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quen {

// The sequence that starts a text: its length in bytes, and whether it is well formed.
// An ill-formed sequence is the maximal subpart that the Unicode Standard's "substitution
// of maximal subparts" replaces by one U+FFFD: the longest prefix of a well-formed
// sequence, or the single first byte when no well-formed sequence starts with it.
struct Utf8Sequence {
  std::size_t length;
  bool wellFormed;
};

// `bytes` must not be empty.
Utf8Sequence measureUtf8Sequence(std::string_view bytes);

// The replacement character U+FFFD in UTF-8.
inline constexpr std::string_view UTF8_REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";

// Appends the code point `codePoint` (a scalar value: no surrogate, at most U+10FFFF) in UTF-8.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// Whether `bytes` is well-formed UTF-8 throughout.
bool isValidUtf8(std::string_view bytes);

// `bytes` as UTF-8 with every ill-formed part replaced by U+FFFD, one for each maximal
// subpart, so that text the OS hands over broken still makes a valid record line.
std::string repairUtf8(std::string_view bytes);

}  // namespace quen
