#include "core/permissions.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_system.h"

namespace quen {
namespace {

class PermissionProbeTest : public ::testing::Test {
 protected:
  bool probe() { return hasPermissionScreenRecordingShowPromt(system_.screenCapture()); }
  fake::FakeSystem system_;
};

TEST_F(PermissionProbeTest, OnMacOS11PreflightDecidesAndEveryFailedProbeRequests) {
  system_.setMacOS11OrLater(true);
  system_.setScreenCaptureAllowed(false);
  EXPECT_FALSE(probe());
  EXPECT_FALSE(probe());
  EXPECT_EQ(system_.accessRequests(), 2u);
  system_.setScreenCaptureAllowed(true);
  EXPECT_TRUE(probe());
  EXPECT_EQ(system_.accessRequests(), 2u);
  EXPECT_EQ(system_.preflightCalls(), 3u);
  EXPECT_EQ(system_.displayStreamAttempts(), 0u);
}

TEST_F(PermissionProbeTest, BeforeMacOS11TheDisplayStreamDecides) {
  system_.setMacOS11OrLater(false);
  system_.setScreenCaptureAllowed(true);
  EXPECT_TRUE(probe());
  system_.setScreenCaptureAllowed(false);
  EXPECT_FALSE(probe());
  EXPECT_EQ(system_.displayStreamAttempts(), 2u);
  EXPECT_EQ(system_.preflightCalls(), 0u);
  EXPECT_EQ(system_.accessRequests(), 0u);
}

TEST_F(PermissionProbeTest, AccessibilityIsAskedWithThePrompt) {
  system_.setTrusted(true);
  EXPECT_TRUE(isAccessibilityTrusted(system_.accessibility()));
  system_.setTrusted(false);
  EXPECT_FALSE(isAccessibilityTrusted(system_.accessibility()));
  EXPECT_EQ(system_.trustChecks(), 2u);
  EXPECT_EQ(system_.trustChecksWithoutPrompt(), 0u);
}

}  // namespace
}  // namespace quen
