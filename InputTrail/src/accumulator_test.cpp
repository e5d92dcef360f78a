#include "InputTrail/src/accumulator.h"

#include <gtest/gtest.h>

#include "InputTrail/src/config.h"

namespace quen::input {
namespace {

TEST(AccumulatorTest, PartialRecordWinsOtherKeysKeepTheirValuesAndNewKeysAreAdded) {
  ACCUMULATOR_CURR = DICT_SCHEMA;
  const Record move{{"error", Array{Value("E_PERMISSION_ACCESSIBILITY")}}, {"evMouseMove", true}};
  for (int i = 0; i < 3; ++i) accumulateMerge(move);
  accumulateMerge(Record{{"error", false}, {"evKeyPress", true}, {"evScroll", true}});
  EXPECT_EQ(ACCUMULATOR_CURR, (Record{{"error", false}, {"evMouseClick", false},
                                      {"evMouseMove", true}, {"evKeyPress", true},
                                      {"evScroll", true}}));
  ACCUMULATOR_CURR = DICT_SCHEMA;
}

}  // namespace
}  // namespace quen::input
