#pragma once

// Test support: every test of the focus agent starts from the process-wide flags' start
// values, since the flags outlive each test.

#include <gtest/gtest.h>

#include "FocusTrail/src/config.h"
#include "core/feature_flags.h"

namespace quen::focus {

inline void resetProcessFlags() {
  FEAT_FLAG__TITLE_NEEDED = false;
  FEAT_FLAG__URL_NEEDED = false;
  FEAT_FLAG__REQ_PERM = false;
  FEAT_PERMISSIONS_USE_SCREEN = false;
  FEAT_PERMISSIONS_USE_ACCESS = false;
  FEAT_PERMISSIONS_USE_ANY = false;
}

class FlagsResetTest : public ::testing::Test {
 protected:
  void SetUp() override { resetProcessFlags(); }
  void TearDown() override { resetProcessFlags(); }
};

}  // namespace quen::focus
