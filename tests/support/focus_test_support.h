#pragma once

// Every test of the focus agent starts from the process-wide flags' start values, since
// the flags outlive each test.

#include <gtest/gtest.h>

#include "FocusTrail/src/config.h"
#include "core/feature_flags.h"

namespace quen::focus {

// Sets the launch flags as the argument scan would, none by default.
inline void setLaunchFlags(bool titleNeeded = false, bool urlNeeded = false, bool force = false) {
  FEAT_FLAG__TITLE_NEEDED = titleNeeded;
  FEAT_FLAG__URL_NEEDED = urlNeeded;
  FEAT_FLAG__REQ_PERM = force;
  FEAT_PERMISSIONS_USE_SCREEN = FEAT_PERMISSIONS_USE_ACCESS = FEAT_PERMISSIONS_USE_ANY = false;
  derivePermissionFlags();
}

class FlagsResetTest : public ::testing::Test {
 protected:
  void SetUp() override { setLaunchFlags(); }
  void TearDown() override { setLaunchFlags(); }
};

}  // namespace quen::focus
