#include "FocusTrail/src/config.h"

#include <set>
#include <string>
#include <vector>

#include "FocusTrail/src/focus_test_support.h"

namespace quen::focus {
namespace {

class LaunchArgumentsTest : public FlagsResetTest {
 protected:
  void scan(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "/Applications/FocusTrail");
    scanLaunchArguments(static_cast<int>(arguments.size()), arguments.data());
  }
};

TEST_F(LaunchArgumentsTest, AllThreePairsSetTheirFlagsInAnyOrder) {
  scan({"--argUrlNeeded", "1", "--argForceReqPerm", "no", "--argTitleNeeded", "YES"});
  EXPECT_TRUE(FEAT_FLAG__TITLE_NEEDED);
  EXPECT_TRUE(FEAT_FLAG__URL_NEEDED);
  EXPECT_FALSE(FEAT_FLAG__REQ_PERM);
}

TEST_F(LaunchArgumentsTest, FewerThanSevenArgumentsAreNotRead) {
  scan({"--argTitleNeeded", "1", "--argForceReqPerm", "1", "x"});
  EXPECT_FALSE(FEAT_FLAG__TITLE_NEEDED);
  EXPECT_FALSE(FEAT_FLAG__REQ_PERM);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ANY);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_SCREEN);
}

TEST_F(LaunchArgumentsTest, TitleFlagTurnsOnTheScreenPermission) {
  scan({"--argTitleNeeded", "1", "--argUrlNeeded", "0", "--argForceReqPerm", "0"});
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_SCREEN);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_ANY);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ACCESS);
}

TEST_F(LaunchArgumentsTest, ForcedPermissionRequestTurnsOnTheScreenPermission) {
  scan({"--argTitleNeeded", "0", "--argUrlNeeded", "0", "--argForceReqPerm", "t"});
  EXPECT_FALSE(FEAT_FLAG__TITLE_NEEDED);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_SCREEN);
  EXPECT_TRUE(FEAT_PERMISSIONS_USE_ANY);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ACCESS);
}

TEST_F(LaunchArgumentsTest, UrlFlagAloneNeedsNoPermission) {
  scan({"--argTitleNeeded", "0", "--argUrlNeeded", "1", "--argForceReqPerm", "0"});
  EXPECT_TRUE(FEAT_FLAG__URL_NEEDED);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_SCREEN);
  EXPECT_FALSE(FEAT_PERMISSIONS_USE_ANY);
}

TEST(FocusConfigTest, ErrorCodesKeepTheirPublishedSpelling) {
  EXPECT_EQ(ERROR_SCHEMA.entries().size(), 15u);
  EXPECT_EQ(ERROR_SCHEMA.codeFor("AE_SCRIPT_LOAD"), "E_AE_SCRIP_LOAD");
  EXPECT_EQ(ERROR_SCHEMA.codeFor("AE_KNOWN_TARGET_ADDRESS_NOT_PERMITTED"),
            "E_AE_KNOWN_TARGET_ADDRESS_NOT_PERMITED");
  std::set<std::string_view> tokens;
  for (const ErrorSchema::Entry& entry : ERROR_SCHEMA.entries()) tokens.insert(entry.token);
  EXPECT_EQ(tokens.size(), 15u) << "a token appears twice";
}

TEST(FocusConfigTest, SchemaHoldsTheSixKeysAllFalse) {
  const std::vector<std::string> expected{"appName", "appIdentifier", "appPath",
                                          "winTitle", "winUrl", "error"};
  std::vector<std::string> keys;
  for (const Record::Member& member : DICT_SCHEMA.members()) {
    keys.push_back(member.first);
    EXPECT_TRUE(member.second.isFalse()) << member.first;
  }
  EXPECT_EQ(keys, expected);
}

}  // namespace
}  // namespace quen::focus
