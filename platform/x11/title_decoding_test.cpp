#include "platform/x11/title_decoding.h"

#include <gtest/gtest.h>

namespace quen::x11 {
namespace {

// '?' marks where U+FFFD must stand.
std::string replaced(std::string_view withMarks) {
  std::string result;
  for (char character : withMarks)
    result += character == '?' ? "\xEF\xBF\xBD" : std::string{character};
  return result;
}

TEST(TitleDecodingTest, Latin1AndCompoundText) {
  EXPECT_EQ(decodeLatin1("Caf\xE9 \xA0\xFF"), "Caf\xC3\xA9 \xC2\xA0\xC3\xBF");
  const struct {
    std::string_view compound, expected;
  } rows[] = {
      // ASCII and the Latin-1 right half by default; xterm's UTF-8 segments between ESC % G
      // and ESC % @, or to the end.
      {"\xE9t\xE9 \x1B%G\xE2\x82\xAC \xE6\x97\xA5\x1B%@ fin",
       "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5 fin"},
      {"a\x1B%G\xCE\xB1\xCE\xB2", "a\xCE\xB1\xCE\xB2"}, {"\x1B%G\xE2\x82 ok\x1B%@", "? ok"},
      // ESC $ ( B designates JIS X 0208 (two bytes a character) into GL; ESC ( B ASCII.
      {"x\x1B$(B\x30\x21\x30\x22\x1B(By", "x??y"},
      // ESC - B designates ISO 8859-2's right half into GR; ESC - A returns to Latin-1.
      {"\x1B-B\xB1\x1B-A\xB1", "?\xC2\xB1"},
      // Direction and control characters carry no text.
      {"\x9B" "1]ab\x9B]\x07" "c\td", "abc\td"},
      // ESC % / 1 M L, then "UTF-8" STX and the text: length (M-128)*128 + (L-128) = 8.
      {"\x1B%/1\x80\x88UTF-8\x02\xC3\xA9z", "\xC3\xA9z"},
      // Truncated escape sequences end the text.
      {"ab\x1B", "ab"}, {"ab\x1B%/1\x80", "ab"}, {"ab\x1B$(B\x30", "ab?"},
  };
  for (const auto& row : rows) EXPECT_EQ(decodeCompoundText(row.compound), replaced(row.expected));
}

TEST(TitleDecodingTest, NetWmNameWhenValidElseWmNameByItsTypeElseRepaired) {
  using Text = std::optional<std::string>;
  using enum TextEncoding;
  constexpr std::nullopt_t NONE = std::nullopt;
  const struct {
    std::optional<std::string_view> netWmName, wmName;
    TextEncoding encoding;
    std::optional<std::string_view> expected;
  } rows[] = {
      {"\xE2\x82\xAC net", "wm", Latin1, "\xE2\x82\xAC net"}, {"", "wm", Latin1, ""},
      {"bad \xFF", "caf\xE9", Latin1, "caf\xC3\xA9"}, {"bad \xFF end", NONE, Latin1, "bad ? end"},
      {"bad \xC0\xAF", "\x1B%G\xCE\xB1\x1B%@", CompoundText, "\xCE\xB1"},
      {NONE, "\xE9", Latin1, "\xC3\xA9"}, {NONE, "\xED\xA0\x80", Utf8, "???"},
      {NONE, NONE, Latin1, NONE},
      // Counted terminators are not part of the title.
      {std::string_view("title\0", 6), NONE, Utf8, "title"},
      {NONE, std::string_view("t\xE9\0\0", 4), Latin1, "t\xC3\xA9"},
  };
  for (std::size_t index = 0; index < std::size(rows); ++index)
    EXPECT_EQ(chooseTitle(rows[index].netWmName, rows[index].wmName, rows[index].encoding),
              rows[index].expected ? replaced(*rows[index].expected) : Text())
        << "row " << index;
}

}  // namespace
}  // namespace quen::x11
