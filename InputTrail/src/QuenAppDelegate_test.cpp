// The stream as the parent reads it, over virtual time on the fake OS.

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

TEST_F(InputStreamTest, LaunchLineIsTheDefaultsWithoutErrorAndQuietSecondsAddNothing) {
  system.trusted = false;
  launch(true, true);
  ASSERT_EQ(system.lines.size(), 1u);
  EXPECT_EQ(system.lines[0],
            R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":false})");
  EXPECT_EQ(system.flushedLineCount, 1u);
  for (int i = 0; i < 5; ++i) second();
  EXPECT_EQ(system.lines.size(), 1u);
}

TEST_F(InputStreamTest, ActiveSecondReportsTheKindsSeenAtItsTick) {
  launch(false, false);
  system.advance(0.5);
  system.inject(EventType::LeftMouseDown);
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(system.lines.size(), 1u) << "nothing is written per event";
  system.advance(0.5);
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(true, true, false)}));
  EXPECT_EQ(system.flushedLineCount, 2u);
}

TEST_F(InputStreamTest, ManyEventsInEqualSecondsGiveOneLine) {
  launch(false, false);
  for (int i = 0; i < 4; ++i)
    second([&] {
      for (int event = 0; event < 5000; ++event) system.inject(EventType::MouseMoved);
    });
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(false, true, false)}));
}

TEST_F(InputStreamTest, ReportsAreTheActivityOfTheirOwnSecondWithEveryButtonAClick) {
  launch(false, false);
  secondWith({EventType::RightMouseDown});
  secondWith({EventType::LeftMouseDown, EventType::MouseMoved});
  secondWith({EventType::MouseMoved});
  second();
  secondWith({EventType::OtherMouseDown});
  EXPECT_EQ(records(),
            (std::vector<Json>{defaults(), report(true, false, false), report(true, true, false),
                               report(false, true, false), defaults(),
                               report(true, false, false)}));
}

TEST_F(InputStreamTest, FirstQuietSecondAfterActivityWritesTheDefaultsOnce) {
  system.trusted = false;
  launch(false, true);
  secondWith({EventType::MouseMoved});
  for (int i = 0; i < 3; ++i) second();
  EXPECT_EQ(records(),
            (std::vector<Json>{defaults(), report(false, true, false, true), defaults()}));
}

TEST_F(InputStreamTest, LastEventOfTheSecondDecidesTheAttachment) {
  system.trusted = false;
  launch(false, true);
  second([&] {
    system.inject(EventType::MouseMoved);
    system.trusted = true;
    delegate->permissionsAccessUpdate();
    system.inject(EventType::LeftMouseDown);
  });
  second([&] {
    system.inject(EventType::MouseMoved);
    system.trusted = false;
    delegate->permissionsAccessUpdate();
    system.inject(EventType::MouseMoved);
  });
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(true, true, false, false),
                                          report(false, true, false, true)}));
}

TEST_F(InputStreamTest, EveryHandlerCarriesTheCurrentAttachment) {
  system.screenCaptureAllowed = false;
  launch(true, false);
  delegate->permissionsScreenUpdate();
  for (EventType type : {EventType::KeyUp, EventType::RightMouseDown, EventType::MouseMoved}) {
    secondWith({type});
    second();
  }
  const std::vector<Json> lines = records();
  ASSERT_EQ(lines.size(), 7u);
  for (std::size_t line : {1u, 3u, 5u})
    EXPECT_EQ(lines[line]["error"], Json::array({"E_PERMISSION_SCREENRECORDING"})) << line;
}

TEST_F(InputStreamTest, AttachmentListsScreenRecordingBeforeAccessibility) {
  const Value screen("E_PERMISSION_SCREENRECORDING"), access("E_PERMISSION_ACCESSIBILITY");
  EXPECT_EQ(errorAttachmentFor(true, true), Value(false));
  EXPECT_EQ(errorAttachmentFor(true, false), Value(Array{access}));
  EXPECT_EQ(errorAttachmentFor(false, true), Value(Array{screen}));
  EXPECT_EQ(errorAttachmentFor(false, false), Value(Array{screen, access}));
}

}  // namespace
}  // namespace quen::input
