#include "InputTrail/src/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/feature_flags.h"

namespace quen::input {
namespace {

std::string letters(std::initializer_list<bool> flags) {
  std::string result;
  for (bool flag : flags) result += flag ? 'T' : 'F';
  return result;
}

TEST(InputLaunchArgumentsTest, FlagsAndThePermissionsTheyNeed) {
  const struct {
    std::vector<const char*> arguments;
    std::string_view flags;        // keys, force
    std::string_view permissions;  // screen, access, any
  } rows[] = {
      {{"--argKeysNeeded", "YES", "--argForceReqPerm", "no"}, "TF", "FTT"},
      {{"--argForceReqPerm", "1", "--argKeysNeeded", "0"}, "FT", "FTT"},
      {{"--argKeysNeeded", "false", "--argForceReqPerm", "NO"}, "FF", "FFF"},
      {{"--argKeysNeeded", "1", "--argForceReqPerm"}, "FF", "FFF"},
      {{"--argTitleNeeded", "1", "--argUrlNeeded", "1"}, "FF", "FFF"},
      {{"--argKeysNeeded", "1", "--argKeysNeeded", "0"}, "FF", "FFF"},
  };
  for (std::size_t index = 0; index < std::size(rows); ++index) {
    SCOPED_TRACE(::testing::Message() << "row " << index);
    FEAT_FLAG__KEYS_NEEDED = FEAT_FLAG__REQ_PERM = false;
    FEAT_PERMISSIONS_USE_SCREEN = FEAT_PERMISSIONS_USE_ACCESS = FEAT_PERMISSIONS_USE_ANY = false;
    std::vector<const char*> argv{"/Applications/InputTrail"};
    argv.insert(argv.end(), rows[index].arguments.begin(), rows[index].arguments.end());
    scanLaunchArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(letters({FEAT_FLAG__KEYS_NEEDED, FEAT_FLAG__REQ_PERM}), rows[index].flags);
    EXPECT_EQ(letters({FEAT_PERMISSIONS_USE_SCREEN, FEAT_PERMISSIONS_USE_ACCESS,
                       FEAT_PERMISSIONS_USE_ANY}),
              rows[index].permissions);
  }
}

}  // namespace
}  // namespace quen::input
