#include "core/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "core/record_json_test_support.h"

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

  // The line for a one-member record holding `text`, and the text as written, in quotes.
  static std::string writtenText(const std::string& text, const std::string& readBack) {
    const std::string line = lineFor({{"k", text}}, {{"k", readBack}});
    const std::string prefix = "{\"k\":";
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
    return line.substr(prefix.size(), line.size() - prefix.size() - 1);
  }
  static std::string writtenText(const std::string& text) { return writtenText(text, text); }
};

TEST_F(JsonLineTest, CompactMembersInRecordOrder) {
  EXPECT_EQ(lineFor({}), "{}");
  EXPECT_EQ(lineFor({{"error", false}, {"evMouseClick", false}, {"evMouseMove", true},
                     {"evKeyPress", false}}),
            R"({"error":false,"evMouseClick":false,"evMouseMove":true,"evKeyPress":false})");
  EXPECT_EQ(lineFor({{"b", 1}, {"a", 2}}), R"({"b":1,"a":2})");
}

TEST_F(JsonLineTest, ArraysRecordsAndIntegers) {
  const Record record{
      {"error", Array{"E_PERMISSION_ACCESSIBILITY", "E_AE_KNOWN_OTHER-1728"}},
      {"none", Array{}},
      {"nested", Record{{"inner", Array{Record{}, Array{true, 0}}}}},
      {"negative", std::numeric_limits<std::int64_t>::min()},
      {"positive", std::numeric_limits<std::int64_t>::max()},
      {"empty", ""},
  };
  EXPECT_EQ(lineFor(record),
            R"({"error":["E_PERMISSION_ACCESSIBILITY","E_AE_KNOWN_OTHER-1728"],"none":[],)"
            R"("nested":{"inner":[{},[true,0]]},"negative":-9223372036854775808,)"
            R"("positive":9223372036854775807,"empty":""})");
}

TEST_F(JsonLineTest, SolidusStaysBare) {
  EXPECT_EQ(lineFor({{"appPath", "/Applications/Safari.app"}}),
            R"({"appPath":"/Applications/Safari.app"})");
  EXPECT_EQ(writtenText("https://example.com/a/b?c=d/e"), R"("https://example.com/a/b?c=d/e")");
}

TEST_F(JsonLineTest, ReverseSolidusBeforeSolidus) {
  EXPECT_EQ(writtenText("\\/"), R"("\\/")");
  EXPECT_EQ(writtenText("C:\\dir\\/x"), R"("C:\\dir\\/x")");
}

TEST_F(JsonLineTest, QuotationMarkAndReverseSolidus) {
  EXPECT_EQ(writtenText("say \"hi\" \\ bye"), R"("say \"hi\" \\ bye")");
  EXPECT_EQ(lineFor({{"a\"b\\", true}}), R"({"a\"b\\":true})");
}

TEST_F(JsonLineTest, EveryControlCharacterIsEscaped) {
  const char* const SHORT_FORMS[] = {"\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004",
                                     "\\u0005", "\\u0006", "\\u0007", "\\b",     "\\t",
                                     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e",
                                     "\\u000f", "\\u0010", "\\u0011", "\\u0012", "\\u0013",
                                     "\\u0014", "\\u0015", "\\u0016", "\\u0017", "\\u0018",
                                     "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d",
                                     "\\u001e", "\\u001f"};
  for (int character = 0; character < 0x20; ++character) {
    const std::string text = std::string("a") + static_cast<char>(character) + "b";
    EXPECT_EQ(writtenText(text), std::string("\"a") + SHORT_FORMS[character] + "b\"")
        << "character " << character;
  }
}

TEST_F(JsonLineTest, DeleteIsNotAControlCharacterOfJson) {
  EXPECT_EQ(writtenText("a\x7F" "b"), "\"a\x7F" "b\"");
}

TEST_F(JsonLineTest, ControlCharacterInKey) {
  EXPECT_EQ(lineFor({{std::string("line\nfeed\0", 10), 1}}), R"({"line\nfeed\u0000":1})");
}

TEST_F(JsonLineTest, NonAsciiIsRawUtf8) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 "
                           "\xEF\xBF\xBF \xF4\x8F\xBF\xBF \xE2\x80\xA8";
  EXPECT_EQ(writtenText(text), '"' + text + '"');
}

// Ill-formed UTF-8 is written with one U+FFFD per maximal subpart (the Unicode Standard,
// chapter 3, "U+FFFD Substitution of Maximal Subparts").
class InvalidUtf8Test : public JsonLineTest {
 protected:
  static std::string replaced(const std::string& withMarks) {
    std::string result;
    for (char character : withMarks)
      result += character == '?' ? std::string("\xEF\xBF\xBD") : std::string(1, character);
    return result;
  }
  // `expected` holds '?' where U+FFFD must stand.
  static void expectWritten(const std::string& text, const std::string& expected) {
    EXPECT_EQ(writtenText(text, replaced(expected)), '"' + replaced(expected) + '"');
  }
};

TEST_F(InvalidUtf8Test, StrayContinuationAndImpossibleBytes) {
  expectWritten("a\x80" "b", "a?b");
  expectWritten("\x80\xBF", "??");
  expectWritten("\xF5\xF8\xFC\xFE\xFF", "?????");
}

TEST_F(InvalidUtf8Test, OverlongForms) {
  expectWritten("\xC0\xAF", "??");
  expectWritten("\xC1\xBF", "??");
  expectWritten("\xE0\x80\xAF", "???");
  expectWritten("\xE0\x9F\xBF", "???");
  expectWritten("\xF0\x80\x80\xAF", "????");
  expectWritten("\xF0\x8F\xBF\xBF", "????");
}

TEST_F(InvalidUtf8Test, Surrogates) {
  expectWritten("\xED\xA0\x80", "???");
  expectWritten("\xED\xBF\xBF", "???");
  expectWritten("\xED\xA0\xBD\xED\xB8\x80", "??????");  // a surrogate pair in CESU-8
  expectWritten("\xED\x9F\xBF", "\xED\x9F\xBF");         // U+D7FF is valid
}

TEST_F(InvalidUtf8Test, BeyondU10FFFF) {
  expectWritten("\xF4\x90\x80\x80", "????");
  expectWritten("\xF7\xBF\xBF\xBF", "????");
}

TEST_F(InvalidUtf8Test, TruncatedSequences) {
  expectWritten("\xC3", "?");
  expectWritten("\xE6\x97", "?");
  expectWritten("\xF0\x9F\x98", "?");
  expectWritten("\xF0\x9F\x98" "x", "?x");
  expectWritten("\xE6\x97\xF0\x9F\x98\x80", "?\xF0\x9F\x98\x80");
}

TEST_F(InvalidUtf8Test, UnicodeStandardExample) {
  // The Unicode Standard, chapter 3, table 3-8.
  expectWritten("a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", "a???b?c??d");
}

TEST_F(InvalidUtf8Test, InvalidKeyAndArrayElement) {
  const Record record{{"k\xFF", Array{"\xC0", "ok"}}};
  const Record readBack{{replaced("k?"), Array{replaced("?"), "ok"}}};
  EXPECT_EQ(lineFor(record, readBack), replaced(R"({"k?":["?","ok"]})"));
}

// Records nested deeper than the writer accepts are the writer's only failure.
class NestingDepthTest : public JsonLineTest {
 protected:
  static Record nestedRecords(int depth) {
    Record record;
    for (int level = 1; level < depth; ++level) {
      Record outer;
      outer.set("inner", std::move(record));
      record = std::move(outer);
    }
    return record;
  }
  static Record nestedArrays(int depth) {
    Value value = Array{};
    for (int level = 2; level < depth; ++level) {
      Array outer;
      outer.push_back(std::move(value));
      value = std::move(outer);
    }
    return Record{{"array", std::move(value)}};
  }
};

TEST_F(NestingDepthTest, SixtyFourLevelsAreWritten) {
  EXPECT_EQ(lineFor(nestedRecords(64)).size(), 63 * std::string(R"({"inner":})").size() + 2);
  EXPECT_EQ(lineFor(nestedArrays(64)).size(), std::string(R"({"array":})").size() + 2 * 63);
}

TEST_F(NestingDepthTest, SixtyFiveLevelsFail) {
  for (const Record& record : {nestedRecords(65), nestedArrays(65), nestedRecords(1000)}) {
    const JsonText json = serializeDictToJsonString(record);
    EXPECT_FALSE(json.ok());
    EXPECT_EQ(json.error, "record nested deeper than 64 levels");
    EXPECT_EQ(json.text, "");
  }
}

}  // namespace
}  // namespace quen
