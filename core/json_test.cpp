#include "core/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "tests/support/record_json_test_support.h"

namespace quen {
namespace {

// Every line these tests make is also read back by an independent parser.
class JsonLineTest : public ::testing::Test {
 protected:
  // The writer's text for `record`, after checking that it parses back to `expected`.
  static std::string lineFor(const Record& record, const Record& expected) {
    const JsonText json = serializeDictToJsonString(record);
    EXPECT_TRUE(json.ok()) << json.error;
    EXPECT_EQ(json.text.find('\n'), std::string::npos) << "a line must stay one line";
    const auto mismatch = testing::describeMismatch(json.text, expected);
    EXPECT_FALSE(mismatch.has_value()) << *mismatch;
    return json.text;
  }
  static std::string lineFor(const Record& record) { return lineFor(record, record); }

  // The text as written inside a one-member record, in quotes.
  static std::string writtenText(const std::string& text, const std::string& readBack) {
    const std::string line = lineFor({{"k", text}}, {{"k", readBack}});
    EXPECT_EQ(line.substr(0, 5), "{\"k\":");
    return line.substr(5, line.size() - 6);
  }
  static std::string writtenText(const std::string& text) { return writtenText(text, text); }
};

TEST_F(JsonLineTest, CompactMembersOfEveryKindInRecordOrder) {
  EXPECT_EQ(lineFor({}), "{}");
  const Record record{
      {"b", 1},
      {"error", Array{"E_PERMISSION_ACCESSIBILITY", "E_AE_KNOWN_OTHER-1728"}},
      {"none", Array{}},
      {"nested", Record{{"inner", Array{Record{}, Array{true, false}}}}},
      {"negative", std::numeric_limits<std::int64_t>::min()},
      {"positive", std::numeric_limits<std::int64_t>::max()},
      {"empty", ""},
      {"a\"b\\", true},
  };
  EXPECT_EQ(lineFor(record),
            R"({"b":1,"error":["E_PERMISSION_ACCESSIBILITY","E_AE_KNOWN_OTHER-1728"],"none":[],)"
            R"("nested":{"inner":[{},[true,false]]},"negative":-9223372036854775808,)"
            R"("positive":9223372036854775807,"empty":"","a\"b\\":true})");
}

TEST_F(JsonLineTest, TextEscapes) {
  const struct {
    std::string text, written;
  } rows[] = {
      {"/Applications/Safari.app", R"("/Applications/Safari.app")"},
      {"https://example.com/a/b?c=d/e", R"("https://example.com/a/b?c=d/e")"},
      {"\\/", R"("\\/")"},
      {"C:\\dir\\/x", R"("C:\\dir\\/x")"},
      {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
      {"a\x7F" "b", "\"a\x7F" "b\""},
      {"Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5 \xF0\x9F\x98\x80 \xEF\xBF\xBF \xF4\x8F\xBF\xBF "
       "\xE2\x80\xA8 \xED\x9F\xBF",
       "\"Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5 \xF0\x9F\x98\x80 \xEF\xBF\xBF \xF4\x8F\xBF\xBF "
       "\xE2\x80\xA8 \xED\x9F\xBF\""},
  };
  for (const auto& row : rows) EXPECT_EQ(writtenText(row.text), row.written);
}

TEST_F(JsonLineTest, EveryControlCharacterIsEscaped) {
  for (int character = 0; character < 0x20; ++character) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", character);
    std::string expected = escape;
    if (character == '\b') expected = "\\b";
    if (character == '\t') expected = "\\t";
    if (character == '\n') expected = "\\n";
    if (character == '\f') expected = "\\f";
    if (character == '\r') expected = "\\r";
    EXPECT_EQ(writtenText(std::string("a") + static_cast<char>(character) + "b"),
              "\"a" + expected + "b\"")
        << "character " << character;
  }
  EXPECT_EQ(lineFor({{std::string("line\nfeed\0", 10), 1}}), R"({"line\nfeed\u0000":1})");
}

// '?' marks where U+FFFD must stand.
std::string replaced(const std::string& withMarks) {
  std::string result;
  for (char character : withMarks)
    result += character == '?' ? std::string("\xEF\xBF\xBD") : std::string(1, character);
  return result;
}

// Ill-formed UTF-8 is written with one U+FFFD per maximal subpart (the Unicode Standard,
// chapter 3, "U+FFFD Substitution of Maximal Subparts", table 3-8 the last row).
TEST_F(JsonLineTest, InvalidUtf8IsReplacedPerMaximalSubpart) {
  const struct {
    std::string text, expected;
  } rows[] = {
      {"a\x80" "b", "a?b"}, {"\x80\xBF", "??"}, {"\xF5\xF8\xFC\xFE\xFF", "?????"},
      {"\xC0\xAF", "??"}, {"\xC1\xBF", "??"}, {"\xE0\x80\xAF", "???"}, {"\xE0\x9F\xBF", "???"},
      {"\xF0\x80\x80\xAF", "????"}, {"\xF0\x8F\xBF\xBF", "????"},
      {"\xED\xA0\x80", "???"}, {"\xED\xBF\xBF", "???"}, {"\xED\xA0\xBD\xED\xB8\x80", "??????"},
      {"\xF4\x90\x80\x80", "????"}, {"\xF7\xBF\xBF\xBF", "????"},
      {"\xC3", "?"}, {"\xE6\x97", "?"}, {"\xF0\x9F\x98", "?"}, {"\xF0\x9F\x98" "x", "?x"},
      {"\xE6\x97\xF0\x9F\x98\x80", "?\xF0\x9F\x98\x80"},
      {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", "a???b?c??d"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(writtenText(row.text, replaced(row.expected)), '"' + replaced(row.expected) + '"');

  const Record record{{"k\xFF", Array{"\xC0", "ok"}}};
  const Record readBack{{replaced("k?"), Array{replaced("?"), "ok"}}};
  EXPECT_EQ(lineFor(record, readBack), replaced(R"({"k?":["?","ok"]})"));
}

Record nestedRecords(int depth) {
  Record record;
  for (int level = 1; level < depth; ++level) {
    Record outer;
    outer.set("inner", std::move(record));
    record = std::move(outer);
  }
  return record;
}

Record nestedArrays(int depth) {
  Value value = Array{};
  for (int level = 2; level < depth; ++level) {
    Array outer;
    outer.push_back(std::move(value));
    value = std::move(outer);
  }
  return Record{{"array", std::move(value)}};
}

// Records nested deeper than the writer accepts are the writer's only failure.
TEST_F(JsonLineTest, SixtyFourLevelsAreWrittenAndSixtyFiveFail) {
  EXPECT_EQ(lineFor(nestedRecords(64)).size(), 63 * std::string(R"({"inner":})").size() + 2);
  EXPECT_EQ(lineFor(nestedArrays(64)).size(), std::string(R"({"array":})").size() + 2 * 63);
  for (const Record& record : {nestedRecords(65), nestedArrays(65), nestedRecords(1000)}) {
    const JsonText json = serializeDictToJsonString(record);
    EXPECT_FALSE(json.ok());
    EXPECT_EQ(json.error, "record nested deeper than 64 levels");
    EXPECT_EQ(json.text, "");
  }
}

}  // namespace
}  // namespace quen
