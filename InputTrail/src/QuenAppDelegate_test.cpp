// The stream as the parent reads it, over virtual time on the fake OS: the error attachment
// each event carries. What each second reports is the simulated day's (soak_test.cpp).

#include "InputTrail/src/QuenAppDelegate.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/input_agent_harness.h"

namespace quen::input {
namespace {

using platform::EventType;
using testing::defaults;
using testing::Json;
using testing::report;
using InputStreamTest = testing::InputAgentTest;

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

}  // namespace
}  // namespace quen::input
