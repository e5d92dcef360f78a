#include "core/permissions.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_system.h"

namespace quen {
namespace {

class ScreenRecordingProbeTest : public ::testing::Test {
 protected:
  bool probe() { return hasPermissionScreenRecordingShowPromt(system_.screenCapture()); }
  fake::FakeSystem system_;
};

TEST_F(ScreenRecordingProbeTest, GrantedOnMacOS11MakesNoRequest) {
  system_.setMacOS11OrLater(true);
  system_.setScreenCaptureAllowed(true);
  EXPECT_TRUE(probe());
  EXPECT_EQ(system_.preflightCalls(), 1u);
  EXPECT_EQ(system_.accessRequests(), 0u);
  EXPECT_EQ(system_.displayStreamAttempts(), 0u);
}

TEST_F(ScreenRecordingProbeTest, MissingOnMacOS11RequestsOnEveryProbe) {
  system_.setMacOS11OrLater(true);
  system_.setScreenCaptureAllowed(false);
  for (int probeCount = 1; probeCount <= 3; ++probeCount) {
    EXPECT_FALSE(probe());
    EXPECT_EQ(system_.accessRequests(), static_cast<std::size_t>(probeCount));
  }
  EXPECT_EQ(system_.displayStreamAttempts(), 0u);
}

TEST_F(ScreenRecordingProbeTest, GrantedLaterIsSeenByTheNextProbe) {
  system_.setMacOS11OrLater(true);
  system_.setScreenCaptureAllowed(false);
  EXPECT_FALSE(probe());
  system_.setScreenCaptureAllowed(true);
  EXPECT_TRUE(probe());
  EXPECT_EQ(system_.accessRequests(), 1u);
}

TEST_F(ScreenRecordingProbeTest, BeforeMacOS11TheDisplayStreamDecides) {
  system_.setMacOS11OrLater(false);
  system_.setScreenCaptureAllowed(true);
  EXPECT_TRUE(probe());
  system_.setScreenCaptureAllowed(false);
  EXPECT_FALSE(probe());
  EXPECT_EQ(system_.displayStreamAttempts(), 2u);
  EXPECT_EQ(system_.preflightCalls(), 0u);
  EXPECT_EQ(system_.accessRequests(), 0u);
}

class AccessibilityCheckTest : public ::testing::Test {
 protected:
  fake::FakeSystem system_;
};

TEST_F(AccessibilityCheckTest, AnswersTrustAlwaysWithThePrompt) {
  system_.setTrusted(true);
  EXPECT_TRUE(isAccessibilityTrusted(system_.accessibility()));
  system_.setTrusted(false);
  EXPECT_FALSE(isAccessibilityTrusted(system_.accessibility()));
  EXPECT_FALSE(isAccessibilityTrusted(system_.accessibility()));
  EXPECT_EQ(system_.trustChecks(), 3u);
  EXPECT_EQ(system_.trustChecksWithoutPrompt(), 0u);
}

}  // namespace
}  // namespace quen
