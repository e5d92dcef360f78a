#include <gtest/gtest.h>

#include <string>

#include "core/json.h"
#include "tests/support/record_json_test_support.h"
#include "platform/fake/fake_system.h"

namespace quen {
namespace {

class RecordStreamTest : public ::testing::Test {
 protected:
  // Every line written so far, each also read back by an independent parser and compared
  // with the merged record it should hold.
  void expectLines(std::initializer_list<Record> expected) {
    ASSERT_EQ(system_.lines().size(), expected.size());
    std::size_t index = 0;
    for (const Record& record : expected) {
      const auto mismatch = testing::describeMismatch(system_.lines()[index++], record);
      EXPECT_FALSE(mismatch.has_value()) << *mismatch;
    }
  }
  void write(const Record& record, bool onlyIfDiffers = true) {
    stream_.dictMergeAndOutput(record, true, onlyIfDiffers);
  }
  // The schema with `key` set to `value`.
  Record schemaWith(const std::string& key, Value value) const {
    Record record = schema_;
    record.set(key, std::move(value));
    return record;
  }

  // The input agent's schema, in its declaration order.
  const Record schema_{
      {"error", false}, {"evMouseClick", false}, {"evMouseMove", false}, {"evKeyPress", false}};
  const Record moving_{{"evMouseMove", true}};
  const Record clicking_{{"evMouseClick", true}};
  const Record mergedMoving_ = schemaWith("evMouseMove", true);
  const Record mergedClicking_ = schemaWith("evMouseClick", true);

  fake::FakeSystem system_;
  RecordStream stream_{schema_, "InputTrail/json", system_.standardOutput()};
};

TEST_F(RecordStreamTest, EmptyRecordWritesTheSchemaOnlyUnconditionally) {
  write({});
  write({{"evKeyPress", false}});
  EXPECT_TRUE(system_.lines().empty());
  EXPECT_EQ(system_.flushCount(), 0u);
  write({}, false);
  expectLines({schema_});
  EXPECT_EQ(system_.lines()[0],
            R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":false})");
  EXPECT_EQ(system_.flushedLineCount(), 1u);
}

TEST_F(RecordStreamTest, MergeLaysTheRecordOverTheSchemaInSchemaOrderExtraKeysAfter) {
  write({{"extra", "x/y"}, {"evMouseMove", true}, {"error", Array{"E_PERMISSION_ACCESSIBILITY"}}});
  ASSERT_EQ(system_.lines().size(), 1u);
  EXPECT_EQ(system_.lines()[0],
            R"({"error":["E_PERMISSION_ACCESSIBILITY"],"evMouseClick":false,)"
            R"("evMouseMove":true,"evKeyPress":false,"extra":"x/y"})");
  Record expected = schemaWith("evMouseMove", true);
  expected.set("error", Array{"E_PERMISSION_ACCESSIBILITY"});
  expected.set("extra", "x/y");
  EXPECT_EQ(stream_.cachedLast(), expected);
}

TEST_F(RecordStreamTest, SameRecordThriceGivesOneLineAndAlternatingALineEach) {
  for (int call = 0; call < 3; ++call) write(moving_);
  expectLines({mergedMoving_});
  EXPECT_EQ(system_.flushCount(), 1u);
  write(clicking_);
  write(moving_);
  expectLines({mergedMoving_, mergedClicking_, mergedMoving_});
  EXPECT_EQ(system_.flushCount(), 3u);
}

TEST_F(RecordStreamTest, LeftOutKeysAndValuesOfAnotherKindCountAsChanges) {
  write(moving_);
  write({});
  write({});
  write({{"error", Array{"E_A"}}});
  write({{"error", "E_A"}});
  write({{"extra", 1}, {"other", 2}});
  write({{"other", 2}, {"extra", 1}});  // equal, member order aside
  write({{"other", 2}});
  Record withBoth = schemaWith("extra", 1);
  withBoth.set("other", 2);
  expectLines({mergedMoving_, schema_, schemaWith("error", Array{"E_A"}),
               schemaWith("error", "E_A"), withBoth, schemaWith("other", 2)});
}

TEST_F(RecordStreamTest, UnconditionalLineLeavesTheCacheAsItWas) {
  write(moving_, false);
  EXPECT_EQ(stream_.cachedLast(), schema_);
  write(moving_);
  write(clicking_, false);
  EXPECT_EQ(stream_.cachedLast(), mergedMoving_);
  write(moving_);  // equal to the cache: suppressed
  write(clicking_);
  expectLines({mergedMoving_, mergedMoving_, mergedClicking_, mergedClicking_});
}

TEST_F(RecordStreamTest, WithoutFlushTheLineIsWrittenButNotFlushed) {
  stream_.dictMergeAndOutput(moving_, false, true);
  expectLines({mergedMoving_});
  EXPECT_EQ(system_.flushedLineCount(), 0u);
  write(clicking_);
  EXPECT_EQ(system_.flushedLineCount(), 2u);
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
  EXPECT_DEATH(write(partial, false),
               "^InputTrail/json:27: Fatal error: record nested deeper than 64 levels\n$");
}

}  // namespace
}  // namespace quen
