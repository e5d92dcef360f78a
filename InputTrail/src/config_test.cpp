#include "InputTrail/src/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/feature_flags.h"

namespace quen::input {
namespace {

// The agent's own flag names and the permissions they need; the scan's rules are the core's.
TEST(InputLaunchArgumentsTest, FlagsAndThePermissionsTheyNeed) {
  const struct {
    std::vector<const char*> arguments;
    bool keys, force, screen, access, any;
  } rows[] = {
      {{"--argKeysNeeded", "YES", "--argForceReqPerm", "no"}, true, false, false, true, true},
      {{"--argForceReqPerm", "1", "--argKeysNeeded", "0"}, false, true, false, true, true},
      {{"--argKeysNeeded", "0", "--argForceReqPerm", "0"}, false, false, false, false, false},
      {{"--argTitleNeeded", "1", "--argUrlNeeded", "1"}, false, false, false, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments[0]);
    FEAT_FLAG__KEYS_NEEDED = FEAT_FLAG__REQ_PERM = false;
    FEAT_PERMISSIONS_USE_SCREEN = FEAT_PERMISSIONS_USE_ACCESS = FEAT_PERMISSIONS_USE_ANY = false;
    std::vector<const char*> argv{"/Applications/InputTrail"};
    argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
    scanLaunchArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ((std::vector<bool>{FEAT_FLAG__KEYS_NEEDED, FEAT_FLAG__REQ_PERM,
                                 FEAT_PERMISSIONS_USE_SCREEN, FEAT_PERMISSIONS_USE_ACCESS,
                                 FEAT_PERMISSIONS_USE_ANY}),
              (std::vector<bool>{row.keys, row.force, row.screen, row.access, row.any}));
  }
}

}  // namespace
}  // namespace quen::input
