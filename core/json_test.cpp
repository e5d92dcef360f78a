#include "core/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tests/support/record_json_test_support.h"

namespace quen {
namespace {

// '?' marks where U+FFFD must stand.
std::string replaced(const std::string& withMarks) {
  std::string result;
  for (char character : withMarks)
    result += character == '?' ? "\xEF\xBF\xBD" : std::string{character};
  return result;
}

// The writer's line for `record`, which an independent parser must read back as `expected`.
std::string lineFor(const Record& record, const Record& expected) {
  const JsonText json = serializeDictToJsonString(record);
  const auto mismatch = testing::describeMismatch(json.text, expected);
  EXPECT_FALSE(mismatch.has_value()) << *mismatch << " (" << json.error << ")";
  return json.text;
}

// The text as written in a one-member record, quotes included.
std::string written(const std::string& text, const std::string& readBack) {
  const std::string line = lineFor({{"k", text}}, {{"k", readBack}});
  EXPECT_EQ(line.substr(0, 5), "{\"k\":");
  return line.substr(5, line.size() - 6);
}

TEST(JsonLineTest, CompactMembersOfEveryKindInRecordOrder) {
  const Record empty;
  EXPECT_EQ(lineFor(empty, empty), "{}");
  const Record record{
      {"b", 1}, {"error", Array{"E_PERMISSION_ACCESSIBILITY", "E_AE_KNOWN_OTHER-1728"}},
      {"none", Array{}}, {"nested", Record{{"inner", Array{Record{}, Array{true, false}}}}},
      {"negative", std::numeric_limits<std::int64_t>::min()},
      {"positive", std::numeric_limits<std::int64_t>::max()}, {"empty", ""}, {"a\"b\\", true},
      {std::string("line\nfeed\0", 10), 0}};
  EXPECT_EQ(lineFor(record, record),
            R"({"b":1,"error":["E_PERMISSION_ACCESSIBILITY","E_AE_KNOWN_OTHER-1728"],"none":[],)"
            R"("nested":{"inner":[{},[true,false]]},"negative":-9223372036854775808,)"
            R"("positive":9223372036854775807,"empty":"","a\"b\\":true,"line\nfeed\u0000":0})");
}

// The solidus stays bare, and from U+007F up every character is raw UTF-8 (U+2028 and the
// last code points before the surrogates and of the planes included).
TEST(JsonLineTest, OnlyQuotesReverseSolidiAndControlCharactersAreEscaped) {
  for (const std::string raw : {"https://example.com/a?c=d/e",
                                "a\x7F \xC2\x80 \xDF\xBF \xE6\x97\xA5 \xF0\x9F\x98\x80 "
                                "\xEF\xBF\xBF \xF4\x8F\xBF\xBF \xE2\x80\xA8 \xED\x9F\xBF"})
    EXPECT_EQ(written(raw, raw), '"' + raw + '"');
  const std::string quoted = "C:\\dir\\/x say \"hi\"";
  EXPECT_EQ(written(quoted, quoted), R"("C:\\dir\\/x say \"hi\"")");
  std::string controls = "<";
  for (char character = 0; character < 0x20; ++character) controls += character;
  EXPECT_EQ(written(controls + ">", controls + ">"),
            R"("<\u0000\u0001\u0002\u0003\u0004\u0005\u0006\u0007\b\t\n\u000b\f\r\u000e\u000f)"
            R"(\u0010\u0011\u0012\u0013\u0014\u0015\u0016\u0017\u0018\u0019\u001a\u001b\u001c)"
            R"(\u001d\u001e\u001f>")");
}

// One U+FFFD per maximal subpart of ill-formed UTF-8 (core/utf8_test.cpp has the rules), in
// values, keys and array elements, a truncated sequence at the end included.
TEST(JsonLineTest, InvalidUtf8IsReplacedPerMaximalSubpart) {
  const std::string text = "a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d\xF0\x9F\x98";
  EXPECT_EQ(written(text, replaced("a???b?c??d?")), '"' + replaced("a???b?c??d?") + '"');
  const Record readBack{{replaced("k?"), Array{replaced("?"), "ok"}}};
  EXPECT_EQ(lineFor({{"k\xFF", Array{"\xC0", "ok"}}}, readBack), replaced(R"({"k?":["?","ok"]})"));
}

// Containers nested deeper than the writer accepts are its only failure.
TEST(JsonLineTest, SixtyFourLevelsAreWrittenAndSixtyFiveFail) {
  const auto nested = [](int depth, bool arrays) {
    Value value = arrays ? Value(Array{}) : Value(Record{});
    for (int level = 2; level < depth; ++level)
      value = arrays ? Value(Array{std::move(value)}) : Value(Record{{"inner", std::move(value)}});
    return Record{{"inner", std::move(value)}};
  };
  const std::size_t member = std::string(R"({"inner":})").size();
  EXPECT_EQ(lineFor(nested(64, false), nested(64, false)).size(), 63 * member + 2);
  EXPECT_EQ(lineFor(nested(64, true), nested(64, true)).size(), member + 2 * 63);
  for (const Record& record : {nested(65, false), nested(65, true), nested(1000, false)}) {
    const JsonText json = serializeDictToJsonString(record);
    EXPECT_EQ(json.error, "record nested deeper than 64 levels");
    EXPECT_EQ(json.text, "");
  }
}

}  // namespace
}  // namespace quen
