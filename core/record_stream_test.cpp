#include <gtest/gtest.h>

#include <string>

#include "core/json.h"
#include "core/record_json_test_support.h"
#include "platform/fake/fake_system.h"

namespace quen {
namespace {

class RecordStreamTest : public ::testing::Test {
 protected:
  // Every line written so far, each also read back by an independent parser and compared
  // with the merged record it should hold, in the order of `expected`.
  void expectLines(std::initializer_list<Record> expected) {
    ASSERT_EQ(system_.lines().size(), expected.size());
    std::size_t index = 0;
    for (const Record& record : expected) {
      const auto mismatch = testing::describeMismatch(system_.lines()[index++], record);
      EXPECT_FALSE(mismatch.has_value()) << *mismatch;
    }
  }

  // The input agent's schema, in its declaration order.
  const Record schema_{
      {"error", false}, {"evMouseClick", false}, {"evMouseMove", false}, {"evKeyPress", false}};
  const Record moving_{{"evMouseMove", true}};
  const Record clicking_{{"evMouseClick", true}};
  const Record mergedMoving_{
      {"error", false}, {"evMouseClick", false}, {"evMouseMove", true}, {"evKeyPress", false}};
  const Record mergedClicking_{
      {"error", false}, {"evMouseClick", true}, {"evMouseMove", false}, {"evKeyPress", false}};

  fake::FakeSystem system_;
  RecordStream stream_{schema_, "InputTrail/json", system_.standardOutput()};
};

TEST_F(RecordStreamTest, EmptyRecordUnconditionallyWritesTheSchema) {
  stream_.dictMergeAndOutput({}, true, false);
  ASSERT_EQ(system_.lines().size(), 1u);
  EXPECT_EQ(system_.lines()[0],
            R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":false})");
  EXPECT_EQ(system_.flushCount(), 1u);
  EXPECT_EQ(system_.flushedLineCount(), 1u);
}

TEST_F(RecordStreamTest, RecordEqualToTheStartingCacheWritesAndFlushesNothing) {
  stream_.dictMergeAndOutput({}, true, true);
  stream_.dictMergeAndOutput({{"evKeyPress", false}}, true, true);
  EXPECT_TRUE(system_.lines().empty());
  EXPECT_EQ(system_.flushCount(), 0u);
}

TEST_F(RecordStreamTest, MergeLaysTheRecordOverTheSchemaInSchemaOrder) {
  const Record partial{{"evMouseMove", true}, {"error", Array{"E_PERMISSION_ACCESSIBILITY"}}};
  stream_.dictMergeAndOutput(partial, true, true);
  ASSERT_EQ(system_.lines().size(), 1u);
  EXPECT_EQ(system_.lines()[0],
            R"({"error":["E_PERMISSION_ACCESSIBILITY"],"evMouseClick":false,)"
            R"("evMouseMove":true,"evKeyPress":false})");
  EXPECT_EQ(stream_.cachedLast(), (Record{{"evMouseMove", true},
                                          {"error", Array{"E_PERMISSION_ACCESSIBILITY"}},
                                          {"evMouseClick", false},
                                          {"evKeyPress", false}}));
}

TEST_F(RecordStreamTest, SameRecordThriceGivesOneLine) {
  for (int call = 0; call < 3; ++call) stream_.dictMergeAndOutput(moving_, true, true);
  expectLines({mergedMoving_});
  EXPECT_EQ(system_.flushCount(), 1u);
}

TEST_F(RecordStreamTest, AlternatingRecordsGiveALineEach) {
  stream_.dictMergeAndOutput(moving_, true, true);
  stream_.dictMergeAndOutput(clicking_, true, true);
  stream_.dictMergeAndOutput(moving_, true, true);
  expectLines({mergedMoving_, mergedClicking_, mergedMoving_});
  EXPECT_EQ(system_.flushCount(), 3u);
}

TEST_F(RecordStreamTest, LeftOutKeysReportFalseNotTheirLastValue) {
  stream_.dictMergeAndOutput(moving_, true, true);
  stream_.dictMergeAndOutput({}, true, true);
  stream_.dictMergeAndOutput({}, true, true);
  expectLines({mergedMoving_, schema_});
}

TEST_F(RecordStreamTest, UnconditionalLineLeavesTheCacheAsItWas) {
  stream_.dictMergeAndOutput(moving_, true, true);
  stream_.dictMergeAndOutput(clicking_, true, false);
  EXPECT_EQ(stream_.cachedLast(), mergedMoving_);
  stream_.dictMergeAndOutput(moving_, true, true);  // equal to the cache: suppressed
  stream_.dictMergeAndOutput(clicking_, true, true);
  expectLines({mergedMoving_, mergedClicking_, mergedClicking_});
}

TEST_F(RecordStreamTest, UnconditionalLineDoesNotCountAsLastWritten) {
  stream_.dictMergeAndOutput(moving_, true, false);
  EXPECT_EQ(stream_.cachedLast(), schema_);
  stream_.dictMergeAndOutput(moving_, true, true);
  expectLines({mergedMoving_, mergedMoving_});
}

TEST_F(RecordStreamTest, WithoutFlushTheLineIsWrittenButNotFlushed) {
  stream_.dictMergeAndOutput(moving_, false, true);
  expectLines({mergedMoving_});
  EXPECT_EQ(system_.flushCount(), 0u);
  EXPECT_EQ(system_.flushedLineCount(), 0u);
  stream_.dictMergeAndOutput(clicking_, true, true);
  EXPECT_EQ(system_.flushedLineCount(), 2u);
}

TEST_F(RecordStreamTest, KeyOutsideTheSchemaIsWrittenAfterTheSchemasKeys) {
  const Record partial{{"extra", "x/y"}, {"evKeyPress", true}};
  stream_.dictMergeAndOutput(partial, true, true);
  ASSERT_EQ(system_.lines().size(), 1u);
  EXPECT_EQ(system_.lines()[0],
            R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":true,)"
            R"("extra":"x/y"})");
  expectLines({{{"error", false}, {"evMouseClick", false}, {"evMouseMove", false},
                {"evKeyPress", true}, {"extra", "x/y"}}});
}

TEST_F(RecordStreamTest, ExtraKeysComeAndGo) {
  stream_.dictMergeAndOutput({{"extra", 1}, {"other", 2}}, true, true);
  stream_.dictMergeAndOutput({{"other", 2}, {"extra", 1}}, true, true);  // equal: order aside
  stream_.dictMergeAndOutput({{"other", 2}}, true, true);
  stream_.dictMergeAndOutput(moving_, true, true);
  Record withBoth = schema_;
  withBoth.set("extra", 1);
  withBoth.set("other", 2);
  Record withOther = schema_;
  withOther.set("other", 2);
  ASSERT_NO_FATAL_FAILURE(expectLines({withBoth, withOther, mergedMoving_}));
  EXPECT_EQ(system_.lines()[2],
            R"({"error":false,"evMouseClick":false,"evMouseMove":true,"evKeyPress":false})");
}

TEST_F(RecordStreamTest, ValuesChangeKindFromCallToCall) {
  stream_.dictMergeAndOutput({{"error", Array{"E_A"}}}, true, true);
  stream_.dictMergeAndOutput({{"error", "E_A"}}, true, true);
  stream_.dictMergeAndOutput({{"error", Array{"E_A", "E_B"}}}, true, true);
  stream_.dictMergeAndOutput({{"error", Array{"E_A", "E_B"}}}, true, true);
  stream_.dictMergeAndOutput({}, true, true);
  Record withArray = schema_, withText = schema_, withTwo = schema_;
  withArray.set("error", Array{"E_A"});
  withText.set("error", "E_A");
  withTwo.set("error", Array{"E_A", "E_B"});
  expectLines({withArray, withText, withTwo, schema_});
}

TEST_F(RecordStreamTest, FocusRecordWithBarePathSolidus) {
  const Record focusSchema{{"appName", false}, {"appIdentifier", false}, {"appPath", false},
                           {"winTitle", false}, {"winUrl", false},       {"error", false}};
  RecordStream focus(focusSchema, "FocusTrail/json", system_.standardOutput());
  focus.dictMergeAndOutput({{"appName", "Safari"},
                            {"appIdentifier", "com.apple.Safari"},
                            {"appPath", "/Applications/Safari.app"}},
                           true, true);
  ASSERT_EQ(system_.lines().size(), 1u);
  EXPECT_EQ(system_.lines()[0],
            R"({"appName":"Safari","appIdentifier":"com.apple.Safari",)"
            R"("appPath":"/Applications/Safari.app","winTitle":false,"winUrl":false,)"
            R"("error":false})");
}

using RecordStreamDeathTest = RecordStreamTest;

TEST_F(RecordStreamDeathTest, RecordTooDeepForTheWriterEndsTheProcess) {
  Record deep;
  for (int level = 0; level < 100; ++level) {
    Record outer;
    outer.set("inner", std::move(deep));
    deep = std::move(outer);
  }
  Record partial;
  partial.set("error", std::move(deep));
  EXPECT_DEATH(stream_.dictMergeAndOutput(partial, true, false),
               "^InputTrail/json:27: Fatal error: record nested deeper than 64 levels\n$");
}

}  // namespace
}  // namespace quen
