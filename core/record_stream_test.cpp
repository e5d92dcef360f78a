#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/json.h"
#include "platform/fake/fake_system.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/record_json_test_support.h"

namespace quen {
namespace {

// The input agent's schema, in its declaration order.
const Record SCHEMA{
    {"error", false}, {"evMouseClick", false}, {"evMouseMove", false}, {"evKeyPress", false}};

// The schema with the members of `changes` set over it.
Record schemaWith(const Record& changes) {
  Record record = SCHEMA;
  for (const Record::Member& member : changes.members()) record.set(member.first, member.second);
  return record;
}

class RecordStreamTest : public ::testing::Test {
 protected:
  void write(const Record& record, bool onlyIfDiffers = true) {
    stream_.dictMergeAndOutput(record, true, onlyIfDiffers);
  }
  // Every line so far, each read back by an independent parser.
  void expectLines(const std::vector<Record>& expected) {
    ASSERT_EQ(system_.lines().size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
      const auto mismatch = testing::describeMismatch(system_.lines()[index], expected[index]);
      EXPECT_FALSE(mismatch.has_value()) << "line " << index << ": " << *mismatch;
    }
  }
  // Heap allocations made by a call that must write nothing.
  std::uint64_t allocationsOfSuppressedCall(const Record& dict) {
    const std::size_t linesBefore = system_.lines().size();
    const std::uint64_t before = testing::allocationCount();
    write(dict);
    const std::uint64_t made = testing::allocationCount() - before;
    EXPECT_EQ(system_.lines().size(), linesBefore) << "the call was meant to be suppressed";
    return made;
  }

  const Record moving_{{"evMouseMove", true}};
  const Record clicking_{{"evMouseClick", true}};
  fake::FakeSystem system_;
  RecordStream stream_{SCHEMA, "InputTrail/json", system_.standardOutput()};
};

TEST_F(RecordStreamTest, MergeIsTheSchemaInItsOrderWithTheRecordsValuesThenItsExtraKeys) {
  write({});
  write({{"evKeyPress", false}});
  EXPECT_EQ(system_.flushCount(), 0u) << "the cache starts equal to the schema";
  write({}, false);
  write({{"extra", "x/y"}, {"evMouseMove", true}, {"error", Array{"E_PERMISSION_ACCESSIBILITY"}}});
  ASSERT_EQ(system_.lines().size(), 2u);
  EXPECT_EQ(system_.lines()[0],
            R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":false})");
  EXPECT_EQ(system_.lines()[1], R"({"error":["E_PERMISSION_ACCESSIBILITY"],"evMouseClick":false,)"
                                R"("evMouseMove":true,"evKeyPress":false,"extra":"x/y"})");
  EXPECT_EQ(system_.flushedLineCount(), 2u);
}

// A record is written when its merge differs from the last one written on the comparing path:
// a key left out takes the schema's value again, and a value of another kind differs.
TEST_F(RecordStreamTest, OnlyChangedRecordsAreWrittenAndUnconditionalOnesLeaveTheCache) {
  for (int call = 0; call < 3; ++call) write(moving_);
  write(clicking_);
  write(moving_);
  write({});
  write({{"error", Array{"E_A"}}});
  write({{"error", "E_A"}});
  write({{"extra", 1}, {"other", 2}});
  write({{"other", 2}, {"extra", 1}});  // equal, member order aside
  write({{"other", 2}});
  write(clicking_, false);
  write({{"other", 2}});
  EXPECT_EQ(stream_.cachedLast(), schemaWith({{"other", 2}}));
  expectLines({schemaWith(moving_), schemaWith(clicking_), schemaWith(moving_), SCHEMA,
               schemaWith({{"error", Array{"E_A"}}}), schemaWith({{"error", "E_A"}}),
               schemaWith({{"extra", 1}, {"other", 2}}), schemaWith({{"other", 2}}),
               schemaWith(clicking_)});
  EXPECT_EQ(system_.flushCount(), 9u);
  stream_.dictMergeAndOutput(moving_, false, true);
  EXPECT_EQ(system_.lines().size(), 10u);
  EXPECT_EQ(system_.flushedLineCount(), 9u) << "written without flush";
}

// The change test runs every second all day: a call that writes nothing allocates nothing.
TEST_F(RecordStreamTest, SuppressedCallAllocatesNothing) {
  const Record record{{"error", Array{"E_PERMISSION_ACCESSIBILITY and enough to need the heap"}},
                      {"evMouseMove", true},
                      {"extraKeyOutsideTheSchema", "a text long enough to live on the heap"}};
  const std::uint64_t before = testing::allocationCount();
  write(record);
  EXPECT_GT(testing::allocationCount(), before) << "the counter sees the written line";
  EXPECT_EQ(allocationsOfSuppressedCall(record), 0u);
  EXPECT_EQ(allocationsOfSuppressedCall(record), 0u);
  write({});
  EXPECT_EQ(allocationsOfSuppressedCall({}), 0u);
}

TEST_F(RecordStreamTest, RecordTooDeepForTheWriterEndsTheProcess) {
  Value deep = Record{};
  for (int level = 0; level < 100; ++level) deep = Record{{"inner", std::move(deep)}};
  EXPECT_DEATH(write({{"error", std::move(deep)}}, false),
               "^InputTrail/json:27: Fatal error: record nested deeper than 64 levels\n$");
}

}  // namespace
}  // namespace quen
