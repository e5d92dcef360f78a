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

  const Record moving_{{"evMouseMove", true}}, clicking_{{"evMouseClick", true}};
  fake::FakeSystem system_;
  RecordStream stream_{SCHEMA, "InputTrail/json", system_.standardOutput()};
};

// The merge is the schema in its order with the record's values, then the record's other keys.
// It is written when it differs from the last merge written on the comparing path, which
// starts as the schema: a key left out takes the schema's value again, and a value of
// another kind differs. An unconditional line neither reads nor changes that cache.
TEST_F(RecordStreamTest, OnlyChangedMergesAreWrittenAndUnconditionalOnesLeaveTheCache) {
  write({});
  write({{"evKeyPress", false}});
  EXPECT_EQ(system_.flushCount, 0u);
  write({}, false);
  write({{"extra", "x/y"}, {"evMouseMove", true}, {"error", Array{"E_PERMISSION_ACCESSIBILITY"}}});
  EXPECT_EQ(system_.lines,
            (std::vector<std::string>{
                R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":false})",
                R"({"error":["E_PERMISSION_ACCESSIBILITY"],"evMouseClick":false,)"
                R"("evMouseMove":true,"evKeyPress":false,"extra":"x/y"})"}));
  for (const Record& record : std::initializer_list<Record>{
           moving_, moving_, moving_, clicking_, moving_, {}, {{"error", Array{"E_A"}}},
           {{"error", "E_A"}}, {{"extra", 1}, {"other", 2}},
           {{"other", 2}, {"extra", 1}},  // equal, member order aside
           {{"other", 2}}})
    write(record);
  write(clicking_, false);
  write({{"other", 2}});
  const std::vector<Record> expected{
      schemaWith(moving_), schemaWith(clicking_), schemaWith(moving_), SCHEMA,
      schemaWith({{"error", Array{"E_A"}}}), schemaWith({{"error", "E_A"}}),
      schemaWith({{"extra", 1}, {"other", 2}}), schemaWith({{"other", 2}}), schemaWith(clicking_)};
  ASSERT_EQ(system_.lines.size(), 2 + expected.size());
  for (std::size_t index = 0; index < expected.size(); ++index) {
    const auto mismatch = testing::describeMismatch(system_.lines[2 + index], expected[index]);
    EXPECT_FALSE(mismatch.has_value()) << "line " << 2 + index << ": " << *mismatch;
  }
  EXPECT_EQ(stream_.cachedLast(), schemaWith({{"other", 2}}));
  stream_.dictMergeAndOutput(moving_, false, true);
  EXPECT_EQ(system_.lines.size(), 3 + expected.size());
  EXPECT_EQ(system_.flushedLineCount, 2 + expected.size()) << "the last line is not flushed";
}

// The change test runs every second all day: a call that writes nothing allocates nothing.
TEST_F(RecordStreamTest, SuppressedCallAllocatesNothing) {
  const Record record{{"error", Array{"E_PERMISSION_ACCESSIBILITY and enough to need the heap"}},
                      {"evMouseMove", true},
                      {"extraKeyOutsideTheSchema", "a text long enough to live on the heap"}};
  const struct {
    Record dict;
    bool written;
  } calls[] = {{record, true}, {record, false}, {record, false}, {{}, true}, {{}, false}};
  for (std::size_t index = 0; index < std::size(calls); ++index) {
    const std::size_t lines = system_.lines.size();
    const std::uint64_t allocations = testing::allocationCount();
    write(calls[index].dict);
    EXPECT_EQ(system_.lines.size(), lines + calls[index].written) << "call " << index;
    EXPECT_EQ(testing::allocationCount() > allocations, calls[index].written) << "call " << index;
  }
}

TEST_F(RecordStreamTest, RecordTooDeepForTheWriterEndsTheProcess) {
  Value deep = Record{};
  for (int level = 0; level < 100; ++level) deep = Record{{"inner", std::move(deep)}};
  EXPECT_DEATH(write({{"error", std::move(deep)}}, false),
               "^InputTrail/json:27: Fatal error: record nested deeper than 64 levels\n$");
}

}  // namespace
}  // namespace quen
