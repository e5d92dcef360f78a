#include "platform/x11/title_decoding.h"

#include <gtest/gtest.h>

namespace quen::x11 {
namespace {

class TitleDecodingTest : public ::testing::Test {
 protected:
  static constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
};

TEST_F(TitleDecodingTest, Latin1BytesBecomeTheirCodePoints) {
  EXPECT_EQ(decodeLatin1("Caf\xE9 \xA0\xFF"), "Caf\xC3\xA9 \xC2\xA0\xC3\xBF");
  EXPECT_EQ(decodeText("plain", TextEncoding::Latin1), "plain");
}

TEST_F(TitleDecodingTest, CompoundTextDefaultsToLatin1InBothHalves) {
  EXPECT_EQ(decodeCompoundText("na\xEFve"), "na\xC3\xAFve");
}

TEST_F(TitleDecodingTest, CompoundTextUtf8SegmentIsCopied) {
  // xterm's form: Latin-1 text with an ESC % G ... ESC % @ segment for the rest.
  EXPECT_EQ(decodeCompoundText("\xE9t\xE9 \x1B%G\xE2\x82\xAC \xE6\x97\xA5\x1B%@ fin"),
            "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5 fin");
}

TEST_F(TitleDecodingTest, CompoundTextUtf8SegmentMayRunToTheEnd) {
  EXPECT_EQ(decodeCompoundText("a\x1B%G\xCE\xB1\xCE\xB2"), "a\xCE\xB1\xCE\xB2");
}

TEST_F(TitleDecodingTest, CompoundTextBrokenUtf8SegmentIsRepaired) {
  EXPECT_EQ(decodeCompoundText("\x1B%G\xE2\x82 ok\x1B%@"), std::string(REPLACEMENT) + " ok");
}

TEST_F(TitleDecodingTest, CompoundTextOtherDesignationsBecomeOneReplacementPerCharacter) {
  // ESC $ ( B designates JIS X 0208 (two bytes a character) into GL; ESC ( B returns to ASCII.
  EXPECT_EQ(decodeCompoundText("x\x1B$(B\x30\x21\x30\x22\x1B(By"),
            "x" + std::string(REPLACEMENT) + std::string(REPLACEMENT) + "y");
  // ESC - B designates ISO 8859-2's right half into GR; ESC - A returns to Latin-1.
  EXPECT_EQ(decodeCompoundText("\x1B-B\xB1\x1B-A\xB1"), std::string(REPLACEMENT) + "\xC2\xB1");
}

TEST_F(TitleDecodingTest, CompoundTextDirectionAndControlCharactersCarryNoText) {
  EXPECT_EQ(decodeCompoundText("\x9B" "1]ab\x9B]\x07" "c\td"), "abc\td");
}

TEST_F(TitleDecodingTest, CompoundTextExtendedSegmentInUtf8IsRead) {
  // ESC % / 1 M L, then "UTF-8" STX and the text: length (M-128)*128 + (L-128) = 8.
  EXPECT_EQ(decodeCompoundText("\x1B%/1\x80\x88UTF-8\x02\xC3\xA9z"), "\xC3\xA9z");
}

TEST_F(TitleDecodingTest, TruncatedEscapeSequencesEndTheText) {
  EXPECT_EQ(decodeCompoundText("ab\x1B"), "ab");
  EXPECT_EQ(decodeCompoundText("ab\x1B%/1\x80"), "ab");
  EXPECT_EQ(decodeCompoundText("ab\x1B$(B\x30"), "ab" + std::string(REPLACEMENT));
}

TEST_F(TitleDecodingTest, NetWmNameWinsWhenItIsValidUtf8) {
  EXPECT_EQ(chooseTitle("\xE2\x82\xAC net", "wm", TextEncoding::Latin1), "\xE2\x82\xAC net");
  EXPECT_EQ(chooseTitle("", "wm", TextEncoding::Latin1), "");
}

TEST_F(TitleDecodingTest, InvalidNetWmNameFallsBackToWmNameByItsType) {
  EXPECT_EQ(chooseTitle("bad \xFF", "caf\xE9", TextEncoding::Latin1), "caf\xC3\xA9");
  EXPECT_EQ(chooseTitle("bad \xC0\xAF", "\x1B%G\xCE\xB1\x1B%@", TextEncoding::CompoundText),
            "\xCE\xB1");
}

TEST_F(TitleDecodingTest, InvalidNetWmNameWithoutWmNameIsRepaired) {
  EXPECT_EQ(chooseTitle("bad \xFF end", std::nullopt, TextEncoding::Latin1),
            "bad " + std::string(REPLACEMENT) + " end");
}

TEST_F(TitleDecodingTest, WmNameAloneIsDecodedAndUtf8WmNameIsRepaired) {
  EXPECT_EQ(chooseTitle(std::nullopt, "\xE9", TextEncoding::Latin1), "\xC3\xA9");
  EXPECT_EQ(chooseTitle(std::nullopt, "\xED\xA0\x80", TextEncoding::Utf8),
            std::string(REPLACEMENT) + std::string(REPLACEMENT) + std::string(REPLACEMENT));
}

TEST_F(TitleDecodingTest, NoPropertyMeansNoTitle) {
  EXPECT_FALSE(chooseTitle(std::nullopt, std::nullopt, TextEncoding::Latin1).has_value());
}

TEST_F(TitleDecodingTest, CountedTerminatorsAreNotPartOfTheTitle) {
  EXPECT_EQ(chooseTitle(std::string_view("title\0", 6), std::nullopt, TextEncoding::Utf8), "title");
  EXPECT_EQ(chooseTitle(std::nullopt, std::string_view("t\xE9\0\0", 4), TextEncoding::Latin1),
            "t\xC3\xA9");
}

}  // namespace
}  // namespace quen::x11
