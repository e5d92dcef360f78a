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

constexpr EventType MOVE = EventType::MouseMoved, LEFT = EventType::LeftMouseDown,
                    RIGHT = EventType::RightMouseDown, OTHER = EventType::OtherMouseDown;

TEST_F(InputStreamTest, LaunchLineIsTheDefaultsWithoutErrorAndQuietSecondsAddNothing) {
  system.trusted = false;
  launch(true, true);
  EXPECT_EQ(system.lines, std::vector<std::string>{R"({"error":false,"evMouseClick":false,)"
                                                   R"("evMouseMove":false,"evKeyPress":false})"});
  EXPECT_EQ(system.flushedLineCount, 1u);
  system.advance(0.5);
  system.inject(MOVE);
  EXPECT_EQ(system.lines.size(), 1u) << "nothing is written per event";
  for (int i = 0; i < 5; ++i) second();
  EXPECT_EQ(records(), (std::vector<Json>{defaults(), report(false, true, false, true),
                                          defaults()}));
  EXPECT_EQ(system.flushedLineCount, 3u);
}

TEST_F(InputStreamTest, EachReportIsTheActivityOfItsOwnSecondWrittenOnlyWhenItChanges) {
  launch(false, false);
  secondWith({RIGHT});
  secondWith({LEFT, MOVE});
  secondWith({MOVE, MOVE, MOVE});
  secondWith({MOVE});
  second();
  second();
  secondWith({OTHER});
  EXPECT_EQ(records(),
            (std::vector<Json>{defaults(), report(true, false, false), report(true, true, false),
                               report(false, true, false), defaults(),
                               report(true, false, false)}));
}

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

TEST_F(InputStreamTest, EveryHandlerCarriesTheCurrentAttachment) {
  system.screenCaptureAllowed = false;
  launch(true, false);
  delegate->permissionsScreenUpdate();
  for (EventType type : {EventType::KeyUp, RIGHT, MOVE}) {
    secondWith({type});
    second();
  }
  const std::vector<Json> lines = records();
  ASSERT_EQ(lines.size(), 7u);
  for (std::size_t line : {1u, 3u, 5u})
    EXPECT_EQ(lines[line]["error"], Json::array({"E_PERMISSION_SCREENRECORDING"})) << line;
}

TEST(ErrorAttachmentTest, ListsScreenRecordingBeforeAccessibility) {
  const Value screen("E_PERMISSION_SCREENRECORDING"), access("E_PERMISSION_ACCESSIBILITY");
  EXPECT_EQ(errorAttachmentFor(true, true), Value(false));
  EXPECT_EQ(errorAttachmentFor(true, false), Value(Array{access}));
  EXPECT_EQ(errorAttachmentFor(false, true), Value(Array{screen}));
  EXPECT_EQ(errorAttachmentFor(false, false), Value(Array{screen, access}));
}

}  // namespace
}  // namespace quen::input
