#include "FocusTrail/src/config.h"

#include <string>
#include <vector>

#include "tests/support/focus_test_support.h"

namespace quen::focus {
namespace {

using LaunchArgumentsTest = FlagsResetTest;

// The agent's own flag names and the permissions they need; the scan's rules are the core's.
TEST_F(LaunchArgumentsTest, FlagsAndThePermissionsTheyNeed) {
  const struct {
    std::vector<const char*> arguments;
    bool title, url, force, screen, access, any;
  } rows[] = {
      {{"--argUrlNeeded", "1", "--argForceReqPerm", "no", "--argTitleNeeded", "YES"},
       true, true, false, true, false, true},
      {{"--argTitleNeeded", "0", "--argUrlNeeded", "0", "--argForceReqPerm", "t"},
       false, false, true, true, false, true},
      {{"--argTitleNeeded", "0", "--argUrlNeeded", "1", "--argForceReqPerm", "0"},
       false, true, false, false, false, false},
      {{"--argTitleNeeded", "1", "--argForceReqPerm", "1", "x"},
       false, false, false, false, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments.back());
    setLaunchFlags();
    std::vector<const char*> argv{"/Applications/FocusTrail"};
    argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
    scanLaunchArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ((std::vector<bool>{FEAT_FLAG__TITLE_NEEDED, FEAT_FLAG__URL_NEEDED,
                                 FEAT_FLAG__REQ_PERM, FEAT_PERMISSIONS_USE_SCREEN,
                                 FEAT_PERMISSIONS_USE_ACCESS, FEAT_PERMISSIONS_USE_ANY}),
              (std::vector<bool>{row.title, row.url, row.force, row.screen, row.access, row.any}));
  }
}

}  // namespace
}  // namespace quen::focus
