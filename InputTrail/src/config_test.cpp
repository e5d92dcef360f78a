#include "InputTrail/src/config.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/feature_flags.h"

namespace quen::input {
namespace {

class LaunchArgumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FEAT_FLAG__KEYS_NEEDED = false;
    FEAT_FLAG__REQ_PERM = false;
    FEAT_PERMISSIONS_USE_SCREEN = false;
    FEAT_PERMISSIONS_USE_ACCESS = false;
    FEAT_PERMISSIONS_USE_ANY = false;
  }

  static void scan(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "/Applications/InputTrail");
    scanLaunchArguments(static_cast<int>(arguments.size()), arguments.data());
  }
};

TEST_F(LaunchArgumentsTest, KeysFlagAloneTurnsOnAccessibilityAndTheRecheck) {
  scan({"--argKeysNeeded", "YES", "--argForceReqPerm", "no"});
  EXPECT_TRUE(FEAT_FLAG__KEYS_NEEDED);
  EXPECT_FALSE(FEAT_FLAG__REQ_PERM);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_ACCESS);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_ANY);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_SCREEN);
}

TEST_F(LaunchArgumentsTest, ForcedPermissionsTurnOnAccessibilityWithoutKeys) {
  scan({"--argForceReqPerm", "1", "--argKeysNeeded", "0"});
  EXPECT_FALSE(FEAT_FLAG__KEYS_NEEDED);
  EXPECT_TRUE(FEAT_FLAG__REQ_PERM);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_ACCESS);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_ANY);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_SCREEN);
}

TEST_F(LaunchArgumentsTest, BothFlagsFalseLeaveThePermissionMachineryOff) {
  scan({"--argKeysNeeded", "false", "--argForceReqPerm", "NO"});
  EXPECT_FALSE(FEAT_FLAG__KEYS_NEEDED);
  EXPECT_FALSE(FEAT_FLAG__REQ_PERM);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ACCESS);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ANY);
}

TEST_F(LaunchArgumentsTest, FewerThanFiveArgumentsAreNotRead) {
  scan({"--argKeysNeeded", "1", "--argForceReqPerm"});
  EXPECT_FALSE(FEAT_FLAG__KEYS_NEEDED);
  EXPECT_FALSE(FEAT_FLAG__REQ_PERM);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ACCESS);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ANY);
}

TEST_F(LaunchArgumentsTest, FlagsOfTheFocusAgentAreIgnored) {
  scan({"--argTitleNeeded", "1", "--argUrlNeeded", "1"});
  EXPECT_FALSE(FEAT_FLAG__KEYS_NEEDED);
  EXPECT_FALSE(FEAT_FLAG__REQ_PERM);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ANY);
}

TEST_F(LaunchArgumentsTest, LaterOccurrenceOfAFlagWins) {
  scan({"--argKeysNeeded", "1", "--argKeysNeeded", "0"});
  EXPECT_FALSE(FEAT_FLAG__KEYS_NEEDED);
  // The derivation sees only the final values.
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ANY);
}

}  // namespace
}  // namespace quen::input
