#include "FocusTrail/src/focus_record.h"

#include <gtest/gtest.h>

namespace quen::focus {
namespace {

TEST(ErrorListTest, NothingMissingIsFalseNotAnEmptyList) {
  EXPECT_EQ(errorList(true, true, false), Value(false));
}

TEST(ErrorListTest, CodesComeInTheirFixedOrder) {
  EXPECT_EQ(errorList(false, false, Value("E_AE_KNOWN_EVENT_NOT_PERMITTED")),
            Value(Array{Value("E_PERMISSION_SCREENRECORDING"), Value("E_PERMISSION_ACCESSIBILITY"),
                        Value("E_AE_KNOWN_EVENT_NOT_PERMITTED")}));
  EXPECT_EQ(errorList(false, true, Value("E_AE_KNOWN_OTHER-1728")),
            Value(Array{Value("E_PERMISSION_SCREENRECORDING"), Value("E_AE_KNOWN_OTHER-1728")}));
  EXPECT_EQ(errorList(true, false, false), Value(Array{Value("E_PERMISSION_ACCESSIBILITY")}));
}

TEST(ErrorListTest, QueryErrorThatIsNoTextIsTheCatchAll) {
  EXPECT_EQ(errorList(true, true, true), Value(Array{Value("E_AE_CATCHALL")}));
  EXPECT_EQ(errorList(true, true, Value(-1743)), Value(Array{Value("E_AE_CATCHALL")}));
  EXPECT_EQ(errorList(true, true, Value(Array{})), Value(Array{Value("E_AE_CATCHALL")}));
  EXPECT_EQ(errorList(true, true, Value("")), Value(Array{Value("")}));
}

TEST(IdentityValueTest, EmptyTextIsKeptAndOnlyAbsenceTakesTheFallback) {
  EXPECT_EQ(identityValue(std::string(), UNKNOWN_APP_NAME), Value(""));
  EXPECT_EQ(identityValue(std::nullopt, UNKNOWN_APP_NAME), Value("UNKNOWN_APP_NAME"));
  EXPECT_EQ(identityValue("Finder", UNKNOWN_APP_NAME), Value("Finder"));
}

TEST(UrlValueTest, OnlyTextIsAUrl) {
  EXPECT_EQ(urlValue(Value("")), Value(""));
  EXPECT_EQ(urlValue(Value(true)), Value(false));
  EXPECT_EQ(urlValue(Value(7)), Value(false));
}

}  // namespace
}  // namespace quen::focus
