// What the launch installs for each set of flags, and how the keyboard monitor follows
// accessibility trust.

#include <gtest/gtest.h>

#include <vector>

#include "InputTrail/src/QuenAppDelegate.h"
#include "InputTrail/src/test_support/agent_harness.h"

namespace quen::input {
namespace {

using platform::EventType;
using testing::defaults;
using testing::Json;
using testing::report;

class InputLaunchTest : public testing::InputAgentTest {
 protected:
  bool keyboardInstalled() const { return system.hasMonitorFor(KEY_RELEASE_MASK); }
  void trustChangesTo(bool trusted) {
    system.setTrusted(trusted);
    system.postTrustChanged();
  }
  // Whether a key release in the next second is reported (then followed by the defaults).
  bool keyReleaseReported() {
    const std::size_t before = system.lines().size();
    secondWith({EventType::KeyUp});
    const bool reported = system.lines().size() > before;
    EXPECT_TRUE(!reported || records().back() == report(false, false, true));
    second();
    return reported;
  }
};

TEST_F(InputLaunchTest, WithNeitherFlagOnlyTheMouseIsWatched) {
  system.setTrusted(false);
  launch(false, false);
  ASSERT_EQ(system.activityCalls().size(), 1u);
  EXPECT_EQ(system.activityCalls()[0].options, 0x00EFFFFFu);
  EXPECT_EQ(system.activityCalls()[0].reason, "Hourlet watching if user active");
  EXPECT_EQ(system.repeatingIntervals(), std::vector<double>{1.0});
  EXPECT_EQ(system.trustObserverCount(), 0u);
  EXPECT_EQ(system.installedMonitorCount(), 2u);
  EXPECT_TRUE(system.hasMonitorFor(0x200000A));
  EXPECT_TRUE(system.hasMonitorFor(0x20));
  secondWith({EventType::MouseMoved, EventType::KeyUp});
  for (int i = 0; i < 120; ++i) second();
  EXPECT_TRUE(system.activityTokenHeld());
  EXPECT_EQ(system.trustChecks(), 0u);
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(false, true, false), defaults()}));
}

TEST_F(InputLaunchTest, ForcedPermissionsProbeAndRecheckButWatchNoKeys) {
  system.setTrusted(false);
  launch(false, true);
  EXPECT_EQ(system.trustChecks(), 1u);
  EXPECT_EQ(system.trustChecksWithoutPrompt(), 0u);
  EXPECT_EQ(system.repeatingIntervals(), (std::vector<double>{60.0, 1.0}));
  EXPECT_EQ(system.trustObserverCount(), 1u);
  trustChangesTo(true);
  EXPECT_FALSE(keyReleaseReported());
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_EQ(system.installedMonitorCount(), 2u);
}

TEST_F(InputLaunchTest, MinuteRecheckNoticesRevocationWithoutNotification) {
  launch(true, false);
  EXPECT_EQ(system.trustChecks(), 1u);
  system.setTrusted(false);
  system.advance(59.5);
  EXPECT_EQ(system.trustChecks(), 1u);
  EXPECT_TRUE(keyboardInstalled());
  system.advance(0.5);
  EXPECT_EQ(system.trustChecks(), 2u);
  EXPECT_FALSE(keyboardInstalled());
  system.advance(60.0);
  EXPECT_EQ(system.trustChecks(), 3u);
}

TEST_F(InputLaunchTest, EachTrustNotificationSchedulesItsOwnRecheckASecondLater) {
  launch(false, true);
  system.postTrustChanged();
  system.advance(0.25);
  system.postTrustChanged();
  EXPECT_EQ(system.pendingDelayedCalls(), 2u);
  system.advance(0.74);
  EXPECT_EQ(system.trustChecks(), 1u);
  system.advance(0.01);
  EXPECT_EQ(system.trustChecks(), 2u);
  system.advance(0.25);
  EXPECT_EQ(system.trustChecks(), 3u);
  EXPECT_EQ(system.pendingDelayedCalls(), 0u);
}

TEST_F(InputLaunchTest, UntrustedKeysAreReportedAboutASecondAfterTrustIsGranted) {
  system.setTrusted(false);
  launch(true, false);
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_FALSE(keyReleaseReported());
  system.advance(0.2);
  trustChangesTo(true);
  system.advance(0.3);
  system.inject(EventType::KeyUp);  // before the re-check: not heard
  system.advance(0.5);
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_EQ(records(), std::vector<Json>{defaults()});
  system.advance(0.2);
  EXPECT_TRUE(keyboardInstalled());
  system.advance(0.3);
  system.inject(EventType::KeyUp);
  system.advance(0.5);
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(false, false, true)}));
}

TEST_F(InputLaunchTest, RevokedTrustRemovesTheKeyboardRegistrationAndRegrantInstallsANewOne) {
  launch(true, false);
  EXPECT_TRUE(keyReleaseReported());
  const std::size_t installsBefore = system.monitorInstalls();
  trustChangesTo(false);
  system.advance(1.0);
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_EQ(system.monitorRemovals(), 1u);
  EXPECT_FALSE(keyReleaseReported());
  trustChangesTo(true);
  system.advance(1.0);
  EXPECT_EQ(system.monitorInstalls(), installsBefore + 1);
  EXPECT_TRUE(keyReleaseReported());
}

TEST_F(InputLaunchTest, RefusedKeyboardInstallIsRetriedByTheNextTrustedProbe) {
  system.setRefuseMonitors(true);
  launch(true, false);
  EXPECT_EQ(system.installedMonitorCount(), 0u);
  system.setRefuseMonitors(false);
  system.advance(60.0);
  EXPECT_TRUE(keyboardInstalled());
  EXPECT_EQ(system.installedMonitorCount(), 1u) << "the mouse monitors are not retried";
  EXPECT_TRUE(keyReleaseReported());
}

TEST_F(InputLaunchTest, DestroyingTheDelegateRemovesEveryRegistration) {
  launch(true, false);
  EXPECT_EQ(system.installedMonitorCount(), 3u);
  delegate.reset();
  EXPECT_EQ(system.installedMonitorCount(), 0u);
}

}  // namespace
}  // namespace quen::input
