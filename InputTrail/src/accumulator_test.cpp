#include "InputTrail/src/accumulator.h"

#include <gtest/gtest.h>

#include "InputTrail/src/config.h"

namespace quen::input {
namespace {

class AccumulatorTest : public ::testing::Test {
 protected:
  void SetUp() override { ACCUMULATOR_CURR = DICT_SCHEMA; }
  void TearDown() override { ACCUMULATOR_CURR = DICT_SCHEMA; }
};

const Value kAccessibilityMissing = Array{Value("E_PERMISSION_ACCESSIBILITY")};

TEST_F(AccumulatorTest, PartialRecordWinsAndTheOtherKeysKeepTheirValues) {
  accumulateMerge(Record{{"error", kAccessibilityMissing}, {"evMouseMove", true}});
  accumulateMerge(Record{{"error", false}, {"evKeyPress", true}});
  EXPECT_EQ(
      ACCUMULATOR_CURR,
      (Record{
          {"error", false}, {"evMouseClick", false}, {"evMouseMove", true}, {"evKeyPress", true}}));
}

TEST_F(AccumulatorTest, RepeatedEventsLeaveTheStateOfOne) {
  const Record move{{"error", kAccessibilityMissing}, {"evMouseMove", true}};
  accumulateMerge(move);
  const Record afterOne = ACCUMULATOR_CURR;
  for (int i = 0; i < 10; ++i) accumulateMerge(move);
  EXPECT_EQ(ACCUMULATOR_CURR, afterOne);
  EXPECT_EQ(ACCUMULATOR_CURR.size(), 4u);
}

TEST_F(AccumulatorTest, KeyOutsideTheSchemaIsAdded) {
  accumulateMerge(Record{{"evScroll", true}});
  ASSERT_NE(ACCUMULATOR_CURR.find("evScroll"), nullptr);
  EXPECT_EQ(*ACCUMULATOR_CURR.find("evScroll"), Value(true));
  EXPECT_EQ(ACCUMULATOR_CURR.size(), 5u);
}

}  // namespace
}  // namespace quen::input
