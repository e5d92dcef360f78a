#include "FocusTrail/src/config.h"

#include <string>
#include <vector>

#include "tests/support/focus_test_support.h"

namespace quen::focus {
namespace {

using LaunchArgumentsTest = FlagsResetTest;

std::string letters(bool first, bool second, bool third) {
  return {first ? 'T' : 'F', second ? 'T' : 'F', third ? 'T' : 'F'};
}

TEST_F(LaunchArgumentsTest, FlagsAndThePermissionsTheyNeed) {
  const struct {
    std::vector<const char*> arguments;
    std::string_view flags;        // title, url, force: 'T' or 'F'
    std::string_view permissions;  // screen, access, any
  } rows[] = {
      {{"--argUrlNeeded", "1", "--argForceReqPerm", "no", "--argTitleNeeded", "YES"}, "TTF", "TFT"},
      {{"--argTitleNeeded", "1", "--argForceReqPerm", "1", "x"}, "FFF", "FFF"},
      {{"--argTitleNeeded", "1", "--argUrlNeeded", "0", "--argForceReqPerm", "0"}, "TFF", "TFT"},
      {{"--argTitleNeeded", "0", "--argUrlNeeded", "0", "--argForceReqPerm", "t"}, "FFT", "TFT"},
      {{"--argTitleNeeded", "0", "--argUrlNeeded", "1", "--argForceReqPerm", "0"}, "FTF", "FFF"},
  };
  for (std::size_t index = 0; index < std::size(rows); ++index) {
    SCOPED_TRACE(::testing::Message() << "row " << index);
    const auto& row = rows[index];
    setLaunchFlags();
    std::vector<const char*> argv{"/Applications/FocusTrail"};
    argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
    scanLaunchArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(letters(FEAT_FLAG__TITLE_NEEDED, FEAT_FLAG__URL_NEEDED, FEAT_FLAG__REQ_PERM),
              row.flags);
    EXPECT_EQ(letters(FEAT_PERMISSIONS_USE_SCREEN, FEAT_PERMISSIONS_USE_ACCESS,
                      FEAT_PERMISSIONS_USE_ANY),
              row.permissions);
  }
}

}  // namespace
}  // namespace quen::focus
