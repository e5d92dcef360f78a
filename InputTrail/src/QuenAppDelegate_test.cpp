// The stream as the parent reads it, over virtual time on the fake OS: the error attachment
// each event carries, and which trust checks may show the prompt. What each second reports
// is the simulated day's (soak_test.cpp).

#include "InputTrail/src/QuenAppDelegate.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/permissions.h"
#include "tests/support/input_agent_harness.h"

namespace quen::input {
namespace {

using platform::EventType;
using testing::defaults;
using testing::Json;
using testing::report;
using InputStreamTest = testing::InputAgentTest;
using InputTrustTest = testing::InputAgentTest;

constexpr EventType MOVE = EventType::MouseMoved, LEFT = EventType::LeftMouseDown;

TEST_F(InputStreamTest, LastEventOfTheSecondDecidesTheAttachment) {
  system.trusted = false;
  launch(false, true);
  second([&] {
    system.inject(MOVE);
    system.trusted = true;
    delegate->permissionsAccessUpdate();
    system.inject(LEFT);
  });
  second([&] {
    system.inject(MOVE);
    system.trusted = false;
    delegate->permissionsAccessUpdate();
    system.inject(MOVE);
  });
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(true, true, false, false),
                                          report(false, true, false, true)}));
}

// Any application's trust change posts the notification: the re-check a second later reads
// trust without the prompt (and still starts the keyboard monitor); only the launch check
// and the minute's re-check may show it.
TEST_F(InputTrustTest, NotificationRecheckNeverPrompts) {
  system.trusted = false;
  launch(true, false);
  system.trusted = true;
  system.postTrustChanged();
  system.advance(TRUST_CHANGE_RECHECK_DELAY);
  EXPECT_TRUE(system.hasMonitorFor(KEY_RELEASE_MASK));
  system.advance(PERMISSIONS_MANUAL_CHECK_INTERVAL);
  EXPECT_EQ(system.trustChecks, 3u);
  EXPECT_EQ(system.trustChecksWithoutPrompt, 1u);
}

}  // namespace
}  // namespace quen::input
