#include "core/utf8.h"

#include <gtest/gtest.h>

#include <vector>

namespace quen {
namespace {

struct ByteRange {
  int low, high;
};

// RFC 3629, section 4, row by row: the lead bytes and the range of each following byte.
// Titles and URLs alike are measured by these rules before they are written.
const struct {
  ByteRange lead;
  std::vector<ByteRange> following;
} RFC_3629_ROWS[] = {
    {{0x00, 0x7F}, {}},
    {{0xC2, 0xDF}, {{0x80, 0xBF}}},
    {{0xE0, 0xE0}, {{0xA0, 0xBF}, {0x80, 0xBF}}},
    {{0xE1, 0xEC}, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {{0xED, 0xED}, {{0x80, 0x9F}, {0x80, 0xBF}}},
    {{0xEE, 0xEF}, {{0x80, 0xBF}, {0x80, 0xBF}}},
    {{0xF0, 0xF0}, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {{0xF1, 0xF3}, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
    {{0xF4, 0xF4}, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
};

void expectSequence(const std::string& bytes, std::size_t length, bool wellFormed) {
  const Utf8Sequence measured = measureUtf8Sequence(bytes);
  EXPECT_EQ(measured.length, length) << testing::PrintToString(bytes);
  EXPECT_EQ(measured.wellFormed, wellFormed) << testing::PrintToString(bytes);
  EXPECT_EQ(isValidUtf8(bytes), wellFormed && length == bytes.size());
}

// Each lead at both ends of its range, each following byte at both ends of its range and
// just outside them, and each sequence cut short; a bad byte ends the ill-formed part before
// it. A byte that leads no row is one ill-formed byte.
TEST(Utf8Test, EveryRowAtBothEndsOfEveryRange) {
  std::vector<bool> leads(256, false);
  for (const auto& row : RFC_3629_ROWS) {
    for (int lead = row.lead.low; lead <= row.lead.high; ++lead) leads[lead] = true;
    for (const int lead : {row.lead.low, row.lead.high}) {
      std::string lowest(1, static_cast<char>(lead));
      for (const ByteRange& range : row.following) lowest += static_cast<char>(range.low);
      expectSequence(lowest, lowest.size(), true);
      EXPECT_EQ(repairUtf8(lowest), lowest);
      for (std::size_t position = 1; position < lowest.size(); ++position) {
        const ByteRange range = row.following[position - 1];
        for (const int inside : {range.low, range.high}) {
          std::string bytes = lowest;
          bytes[position] = static_cast<char>(inside);
          expectSequence(bytes, bytes.size(), true);
        }
        for (const int outside : {range.low - 1, range.high + 1}) {
          std::string bytes = lowest;
          bytes[position] = static_cast<char>(outside);
          expectSequence(bytes, position, false);
        }
        expectSequence(lowest.substr(0, position), position, false);
      }
    }
  }
  for (int lead = 0; lead < 256; ++lead)
    if (!leads[lead])
      expectSequence(std::string(1, static_cast<char>(lead)) + "\x80\x80\x80", 1, false);
}

// One U+FFFD for each maximal subpart (the Unicode Standard, chapter 3, "U+FFFD
// Substitution of Maximal Subparts"); '?' marks where it must stand.
TEST(Utf8Test, RepairReplacesEachMaximalSubpart) {
  const struct {
    std::string text, expected;
  } rows[] = {
      {"\xF5\xF8\xFC\xFE\xFF", "?????"}, {"\xC1\xBF", "??"}, {"\xE0\x9F\xBF", "???"},
      {"\xED\xA0\x80", "???"}, {"\xF0\x8F\xBF\xBF", "????"}, {"\xF4\x90\x80\x80", "????"},
      {"\xC3", "?"}, {"\xF0\x9F\x98" "x", "?x"}, {"\xE6\x97\xF0\x9F\x98\x80", "?\xF0\x9F\x98\x80"},
      {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", "a???b?c??d"},
  };
  for (const auto& row : rows) {
    std::string expected;
    for (const char character : row.expected)
      expected += character == '?' ? UTF8_REPLACEMENT_CHARACTER : std::string_view(&character, 1);
    EXPECT_EQ(repairUtf8(row.text), expected);
  }
}

}  // namespace
}  // namespace quen
