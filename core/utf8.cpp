#include "core/utf8.h"

#include <string>

namespace quen {

namespace {

struct LeadByte {
  std::size_t length;         // 0 when no well-formed sequence starts with this byte
  unsigned char secondLow;    // the second byte's range, narrower than 80..BF for the
  unsigned char secondHigh;   // leads that would otherwise allow overlongs, surrogates
                              // or code points above U+10FFFF
};

LeadByte classifyLeadByte(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

Utf8Sequence measureUtf8Sequence(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (lead < 0x80) return {1, true};
  const LeadByte expected = classifyLeadByte(lead);
  if (expected.length == 0) return {1, false};
  for (std::size_t index = 1; index < expected.length; ++index) {
    if (index >= bytes.size()) return {index, false};
    const auto byte = static_cast<unsigned char>(bytes[index]);
    const unsigned char low = index == 1 ? expected.secondLow : 0x80;
    const unsigned char high = index == 1 ? expected.secondHigh : 0xBF;
    if (byte < low || byte > high) return {index, false};
  }
  return {expected.length, true};
}

void appendUtf8(std::string& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

bool isValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const Utf8Sequence sequence = measureUtf8Sequence(bytes);
    if (!sequence.wellFormed) return false;
    bytes.remove_prefix(sequence.length);
  }
  return true;
}

std::string repairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const Utf8Sequence sequence = measureUtf8Sequence(bytes);
    if (sequence.wellFormed)
      out.append(bytes.substr(0, sequence.length));
    else
      out.append(UTF8_REPLACEMENT_CHARACTER);
    bytes.remove_prefix(sequence.length);
  }
  return out;
}

}  // namespace quen
