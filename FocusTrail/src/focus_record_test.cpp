#include "FocusTrail/src/focus_record.h"

#include <gtest/gtest.h>

namespace quen::focus {
namespace {

Value codes(std::initializer_list<const char*> list) {
  Array array;
  for (const char* code : list) array.emplace_back(code);
  return Value(std::move(array));
}

TEST(FocusRecordValuesTest, ErrorListInItsFixedOrderFalseWhenEmpty) {
  EXPECT_EQ(errorList(true, true, false), Value(false));
  EXPECT_EQ(errorList(false, false, Value("E_AE_KNOWN_EVENT_NOT_PERMITTED")),
            codes({"E_PERMISSION_SCREENRECORDING", "E_PERMISSION_ACCESSIBILITY",
                   "E_AE_KNOWN_EVENT_NOT_PERMITTED"}));
  EXPECT_EQ(errorList(true, false, false), codes({"E_PERMISSION_ACCESSIBILITY"}));
  EXPECT_EQ(errorList(true, true, true), codes({"E_AE_CATCHALL"}));
  EXPECT_EQ(errorList(true, true, Value(-1743)), codes({"E_AE_CATCHALL"}));
  EXPECT_EQ(errorList(true, true, Value(Array{})), codes({"E_AE_CATCHALL"}));
  EXPECT_EQ(errorList(true, true, Value("")), codes({""}));
}

TEST(FocusRecordValuesTest, OnlyAbsenceTakesTheFallbackAndOnlyTextIsAUrl) {
  EXPECT_EQ(identityValue(std::string(), UNKNOWN_APP_NAME), Value(""));
  EXPECT_EQ(identityValue(std::nullopt, UNKNOWN_APP_NAME), Value("UNKNOWN_APP_NAME"));
  EXPECT_EQ(identityValue("Finder", UNKNOWN_APP_NAME), Value("Finder"));
  EXPECT_EQ(urlValue(Value("")), Value(""));
  EXPECT_EQ(urlValue(Value(true)), Value(false));
  EXPECT_EQ(urlValue(Value(7)), Value(false));
}

}  // namespace
}  // namespace quen::focus
