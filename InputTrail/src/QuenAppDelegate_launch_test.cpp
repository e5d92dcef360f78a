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

class InputLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::resetProcessWideState(); }

  void launch(bool keysNeeded, bool forcePermissions) {
    testing::setFeatureFlags(keysNeeded, forcePermissions);
    agent.launch();
  }

  bool keyboardInstalled() const { return agent.system.hasMonitorFor(KEY_RELEASE_MASK); }

  // From a whole second: a key release half-way through it, then its report tick.
  void secondWithKeyRelease() {
    agent.second([&] { agent.inject(EventType::KeyUp); });
  }

  testing::Agent agent;
};

TEST_F(InputLaunchTest, TakesTheAppNapExemptionAndHoldsIt) {
  launch(false, false);
  ASSERT_EQ(agent.system.activityCalls().size(), 1u);
  EXPECT_EQ(agent.system.activityCalls()[0].options, 0x00EFFFFFu);
  EXPECT_EQ(agent.system.activityCalls()[0].reason, "Hourlet watching if user active");
  agent.second();
  EXPECT_TRUE(agent.system.activityTokenHeld());
}

TEST_F(InputLaunchTest, WithNeitherFlagOnlyTheMouseIsWatched) {
  agent.system.setTrusted(false);
  launch(false, false);
  EXPECT_EQ(agent.system.repeatingIntervals(), std::vector<double>{ACCUMULATOR_INTERVAL});
  EXPECT_EQ(agent.system.trustObserverCount(), 0u);
  EXPECT_EQ(agent.system.installedMonitorCount(), 2u);
  EXPECT_TRUE(agent.system.hasMonitorFor(0x200000A));
  EXPECT_TRUE(agent.system.hasMonitorFor(0x20));

  agent.second([&] {
    agent.inject(EventType::MouseMoved);
    agent.inject(EventType::KeyUp);
  });
  for (int i = 0; i < 120; ++i) agent.second();
  EXPECT_EQ(agent.system.trustChecks(), 0u);
  EXPECT_EQ(agent.records(),
            (std::vector<Json>{defaults(), report(false, true, false), defaults()}));
}

TEST_F(InputLaunchTest, ForcedPermissionsProbeAndRecheckButWatchNoKeys) {
  agent.system.setTrusted(false);
  launch(false, true);
  EXPECT_EQ(agent.system.trustChecks(), 1u);
  EXPECT_EQ(agent.system.trustChecksWithoutPrompt(), 0u);
  EXPECT_EQ(agent.system.repeatingIntervals(), (std::vector<double>{60.0, 1.0}));
  EXPECT_EQ(agent.system.trustObserverCount(), 1u);

  agent.system.setTrusted(true);
  agent.system.postTrustChanged();
  agent.second([&] { agent.inject(EventType::KeyUp); });
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_EQ(agent.system.installedMonitorCount(), 2u);
  EXPECT_EQ(agent.records(), std::vector<Json>{defaults()});
}

TEST_F(InputLaunchTest, MouseActivityWhileUntrustedCarriesTheAccessibilityCode) {
  agent.system.setTrusted(false);
  launch(false, true);
  agent.second([&] { agent.inject(EventType::LeftMouseDown); });
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(true, false, false, true)}));
}

TEST_F(InputLaunchTest, PermissionTimerRechecksTrustEveryMinute) {
  launch(false, true);
  agent.system.advance(59.5);
  EXPECT_EQ(agent.system.trustChecks(), 1u);
  agent.system.advance(0.5);
  EXPECT_EQ(agent.system.trustChecks(), 2u);
  agent.system.advance(60.0);
  EXPECT_EQ(agent.system.trustChecks(), 3u);
}

TEST_F(InputLaunchTest, EachTrustNotificationSchedulesItsOwnRecheckASecondLater) {
  launch(false, true);
  agent.system.postTrustChanged();
  agent.system.advance(0.25);
  agent.system.postTrustChanged();
  EXPECT_EQ(agent.system.pendingDelayedCalls(), 2u);
  agent.system.advance(0.74);
  EXPECT_EQ(agent.system.trustChecks(), 1u);
  agent.system.advance(0.01);
  EXPECT_EQ(agent.system.trustChecks(), 2u);
  agent.system.advance(0.25);
  EXPECT_EQ(agent.system.trustChecks(), 3u);
  EXPECT_EQ(agent.system.pendingDelayedCalls(), 0u);
}

TEST_F(InputLaunchTest, TrustedAtLaunchKeysAreReported) {
  launch(true, false);
  EXPECT_TRUE(keyboardInstalled());
  secondWithKeyRelease();
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, false, true)}));
}

TEST_F(InputLaunchTest, UntrustedKeysAreReportedAboutASecondAfterTrustIsGranted) {
  agent.system.setTrusted(false);
  launch(true, false);
  EXPECT_FALSE(keyboardInstalled());
  secondWithKeyRelease();
  secondWithKeyRelease();

  agent.system.advance(0.2);
  agent.system.setTrusted(true);
  agent.system.postTrustChanged();
  agent.system.advance(0.3);
  agent.inject(EventType::KeyUp);  // before the re-check: not heard
  agent.system.advance(0.5);
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_EQ(agent.records(), std::vector<Json>{defaults()});

  agent.system.advance(0.2);
  EXPECT_TRUE(keyboardInstalled());
  agent.system.advance(0.3);
  agent.inject(EventType::KeyUp);
  agent.system.advance(0.5);
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, false, true)}));
}

TEST_F(InputLaunchTest, RevokedTrustRemovesTheKeyboardRegistrationAndRegrantInstallsANewOne) {
  launch(true, false);
  ASSERT_TRUE(keyboardInstalled());
  const std::size_t installsBefore = agent.system.monitorInstalls();

  agent.system.setTrusted(false);
  agent.system.postTrustChanged();
  agent.system.advance(1.0);
  EXPECT_FALSE(keyboardInstalled());
  EXPECT_EQ(agent.system.monitorRemovals(), 1u);
  secondWithKeyRelease();
  EXPECT_EQ(agent.records(), std::vector<Json>{defaults()});

  agent.system.setTrusted(true);
  agent.system.postTrustChanged();
  agent.system.advance(1.0);
  EXPECT_TRUE(keyboardInstalled());
  EXPECT_EQ(agent.system.monitorInstalls(), installsBefore + 1);
  secondWithKeyRelease();
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, false, true)}));
}

TEST_F(InputLaunchTest, RevocationWithoutNotificationIsNoticedByTheMinuteRecheck) {
  launch(true, false);
  agent.system.setTrusted(false);
  agent.system.advance(59.0);
  EXPECT_TRUE(keyboardInstalled());
  agent.system.advance(1.0);
  EXPECT_FALSE(keyboardInstalled());
}

TEST_F(InputLaunchTest, RefusedKeyboardInstallIsRetriedByTheNextTrustedProbe) {
  agent.system.setRefuseMonitors(true);
  launch(true, false);
  EXPECT_EQ(agent.system.installedMonitorCount(), 0u);
  agent.system.setRefuseMonitors(false);
  agent.system.advance(60.0);
  EXPECT_TRUE(keyboardInstalled());
  // The mouse monitors are not retried.
  EXPECT_EQ(agent.system.installedMonitorCount(), 1u);
  secondWithKeyRelease();
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, false, true)}));
}

TEST_F(InputLaunchTest, DestroyingTheDelegateRemovesEveryRegistration) {
  launch(true, false);
  EXPECT_EQ(agent.system.installedMonitorCount(), 3u);
  agent.delegate.reset();
  EXPECT_EQ(agent.system.installedMonitorCount(), 0u);
}

}  // namespace
}  // namespace quen::input
