#include "tests/e2e/window_title_encoding.h"

#include <cstdint>
#include <vector>

namespace quen::testing {

namespace {

struct Character {
  char32_t codePoint;
  std::string_view bytes;  // its UTF-8 form within the text
};

// Strict decoding: shortest forms only, no surrogates, nothing above U+10FFFF.
std::optional<std::vector<Character>> decodeUtf8(std::string_view text) {
  std::vector<Character> characters;
  std::size_t index = 0;
  while (index < text.size()) {
    const auto lead = static_cast<unsigned char>(text[index]);
    std::size_t length = 0;
    char32_t codePoint = 0;
    if (lead < 0x80) {
      length = 1, codePoint = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, codePoint = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (index + length > text.size()) return std::nullopt;
    for (std::size_t offset = 1; offset < length; ++offset) {
      const auto continuation = static_cast<unsigned char>(text[index + offset]);
      if ((continuation & 0xC0) != 0x80) return std::nullopt;
      codePoint = (codePoint << 6) | (continuation & 0x3F);
    }
    const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < shortest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
      return std::nullopt;
    characters.push_back({codePoint, text.substr(index, length)});
    index += length;
  }
  return characters;
}

}  // namespace

std::optional<std::string> utf8ToLatin1(std::string_view text) {
  const auto characters = decodeUtf8(text);
  if (!characters) return std::nullopt;
  std::string latin1;
  for (const Character& character : *characters) {
    if (character.codePoint > 0xFF) return std::nullopt;
    latin1 += static_cast<char>(character.codePoint);
  }
  return latin1;
}

std::optional<std::string> utf8ToCompoundText(std::string_view text) {
  const auto characters = decodeUtf8(text);
  if (!characters) return std::nullopt;
  // X Consortium, "Compound Text Encoding", version 1.1: the initial state designates
  // ISO 8859-1 to GL and GR; ESC % G starts UTF-8 and ESC % @ returns to that state.
  static constexpr std::string_view START_UTF8 = "\x1b%G";
  static constexpr std::string_view END_UTF8 = "\x1b%@";
  std::string compound;
  bool inUtf8Segment = false;
  for (const Character& character : *characters) {
    const bool needsUtf8 = character.codePoint > 0xFF;
    if (needsUtf8 != inUtf8Segment) compound += needsUtf8 ? START_UTF8 : END_UTF8;
    inUtf8Segment = needsUtf8;
    if (needsUtf8)
      compound += character.bytes;
    else
      compound += static_cast<char>(character.codePoint);
  }
  if (inUtf8Segment) compound += END_UTF8;
  return compound;
}

}  // namespace quen::testing
