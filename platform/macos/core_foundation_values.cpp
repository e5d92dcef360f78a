#include "platform/macos/core_foundation_values.h"

#include <cstdint>
#include <vector>

namespace quen::macos {

using platform::OsValue;

namespace {

// Deeper dictionaries than this are handed over as Other. The window server's entries are
// at most two levels deep; the limit only keeps a hostile value from exhausting the stack.
constexpr int MAXIMUM_DICTIONARY_DEPTH = 8;

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

void appendUtf8(std::string& text, char32_t codePoint) {
  if (codePoint < 0x80) {
    text.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    text.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    text.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

OsValue numberValue(CFNumberRef number) {
  if (!CFNumberIsFloatType(number)) {
    std::int64_t integer = 0;
    // False only when the number does not fit in 64 bits; it is then read as a real.
    if (CFNumberGetValue(number, kCFNumberSInt64Type, &integer)) return OsValue::ofInteger(integer);
  }
  double real = 0.0;
  CFNumberGetValue(number, kCFNumberDoubleType, &real);
  return OsValue::ofReal(real);
}

OsValue translate(CFTypeRef value, int depth);

OsValue dictionaryValue(CFDictionaryRef dictionary, int depth) {
  if (depth >= MAXIMUM_DICTIONARY_DEPTH) return OsValue::other();
  const CFIndex count = CFDictionaryGetCount(dictionary);
  std::vector<const void*> keys(static_cast<std::size_t>(count));
  std::vector<const void*> values(static_cast<std::size_t>(count));
  CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
  std::vector<platform::OsEntry> entries;
  entries.reserve(keys.size());
  for (std::size_t index = 0; index < keys.size(); ++index) {
    const auto key = static_cast<CFTypeRef>(keys[index]);
    if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID()) continue;
    entries.push_back({textFromString(static_cast<CFStringRef>(key)),
                       translate(static_cast<CFTypeRef>(values[index]), depth + 1)});
  }
  return OsValue::ofDictionary(std::move(entries));
}

OsValue translate(CFTypeRef value, int depth) {
  if (value == nullptr) return OsValue::absent();
  const CFTypeID type = CFGetTypeID(value);
  // CFBoolean is a type of its own, not a CFNumber, so a boolean never reads as 0 or 1.
  if (type == CFBooleanGetTypeID())
    return OsValue::ofBoolean(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
  if (type == CFNumberGetTypeID()) return numberValue(static_cast<CFNumberRef>(value));
  if (type == CFStringGetTypeID())
    return OsValue::ofText(textFromString(static_cast<CFStringRef>(value)));
  if (type == CFDictionaryGetTypeID())
    return dictionaryValue(static_cast<CFDictionaryRef>(value), depth);
  return OsValue::other();
}

}  // namespace

std::string textFromString(CFStringRef string) {
  const CFIndex length = CFStringGetLength(string);
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  CFStringInlineBuffer buffer;
  CFStringInitInlineBuffer(string, &buffer, CFRangeMake(0, length));
  for (CFIndex index = 0; index < length; ++index) {
    const UniChar unit = CFStringGetCharacterFromInlineBuffer(&buffer, index);
    char32_t codePoint = unit;
    if (CFStringIsSurrogateHighCharacter(unit) && index + 1 < length &&
        CFStringIsSurrogateLowCharacter(CFStringGetCharacterFromInlineBuffer(&buffer, index + 1))) {
      codePoint = static_cast<char32_t>(CFStringGetLongCharacterForSurrogatePair(
          unit, CFStringGetCharacterFromInlineBuffer(&buffer, index + 1)));
      ++index;
    } else if (CFStringIsSurrogateHighCharacter(unit) || CFStringIsSurrogateLowCharacter(unit)) {
      codePoint = REPLACEMENT_CHARACTER;
    }
    appendUtf8(text, codePoint);
  }
  return text;
}

OsValue osValueFrom(CFTypeRef value) { return translate(value, 0); }

OsValue osValueOfEntry(CFDictionaryRef dictionary, CFStringRef key) {
  if (dictionary == nullptr) return OsValue::absent();
  return osValueFrom(CFDictionaryGetValue(dictionary, key));
}

}  // namespace quen::macos
