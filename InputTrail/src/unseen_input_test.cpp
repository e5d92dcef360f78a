// Input only the compositor saw (a Wayland session's native windows): which seconds carry
// E_INPUT_NOT_VISIBLE, on sequences of the compositor's news as sway and KWin send them with a
// one-second timeout, and how the code joins the record.

#include "InputTrail/src/unseen_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/input_agent_harness.h"

namespace quen::input {
namespace {

using Compositor = fake::FakeSystem::Compositor;
using platform::EventType;
using testing::Json;
using testing::report;

struct Row {
  const char* sequence;
  // Per second: the news in it, in order ('-' idle, '+' active again).
  std::vector<std::string> news;
  const char* marked;  // per second: 'X' when its record carries the code
};

TEST(UnseenInputMarksTest, SecondsWithInputTheCompositorSaw) {
  const Row rows[] = {
      {"no input, idle just before the first tick", {"-", "", ""}, "..."},
      {"no input, idle just after the first tick", {"", "-", ""}, "..."},
      {"input all along from launch, never idle", {"", "", ""}, ".XX"},
      {"one input mid-second", {"-", "", "+", "-", ""}, "..X.."},
      {"input just before a tick: idle comes after the next", {"-", "", "+", "", "-", ""},
       "..XX.."},
      {"input over three seconds", {"-", "+", "", "", "-", ""}, ".XXX.."},
      {"a resume and the next idle within one second", {"-", "+-", ""}, ".X."},
      {"an idle inhibitor: never idle again", {"-", "+", "", ""}, ".XXX"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sequence);
    fake::FakeSystem system;
    system.compositor = Compositor::TellsIdle;
    UnseenInputMarks marks;
    marks.start(system.unseenInput(), 1.0);
    std::string marked;
    for (const std::string& news : row.news) {
      for (char change : news) system.postIdleChange(change == '-');
      marked += marks.endSecond() ? 'X' : '.';
    }
    EXPECT_EQ(marked, row.marked);
  }
}

class UnseenInputStreamTest : public testing::InputAgentTest {
 protected:
  static Json withCode(Json record, std::vector<std::string> codes) {
    codes.push_back("E_INPUT_NOT_VISIBLE");
    record["error"] = codes;
    return record;
  }
};

// After the permission codes of the second's last event, else the current ones; a quiet
// second writes the defaults; a marked second like the last one writes nothing.
TEST_F(UnseenInputStreamTest, CodeFollowsThePermissionCodesAndTakesPartInTheChangeTest) {
  system.compositor = Compositor::TellsIdle;
  system.trusted = false;
  launch(true, false);
  EXPECT_EQ(system.idleTimeout, ACCUMULATOR_INTERVAL);
  second([&] { system.postIdleChange(true); });
  second([&] {
    system.inject(EventType::MouseMoved);
    system.postIdleChange(false);
  });
  second([&] { system.inject(EventType::MouseMoved); });  // still active: the same record
  second([&] {
    system.inject(EventType::LeftMouseDown);
    system.trusted = true;
    delegate->permissionsAccessUpdate();
  });
  second([&] { system.postIdleChange(true); });
  second([&] { system.postIdleChange(false); });
  const Json accessibility = "E_PERMISSION_ACCESSIBILITY";
  EXPECT_EQ(records(), (std::vector<Json>{testing::defaults(),
                                          withCode(report(false, true, false), {accessibility}),
                                          withCode(report(true, false, false), {accessibility}),
                                          testing::defaults(),
                                          withCode(report(false, false, false), {})}));
}

TEST_F(UnseenInputStreamTest, CompositorThatCannotTellMarksEveryRecordButTheLaunchLine) {
  system.compositor = Compositor::Silent;
  launch(false, false);
  second();
  second();
  second([&] { system.inject(EventType::MouseMoved); });
  second();
  EXPECT_EQ(records(), (std::vector<Json>{testing::defaults(),
                                          withCode(report(false, false, false), {}),
                                          withCode(report(false, true, false), {}),
                                          withCode(report(false, false, false), {})}));
}

}  // namespace
}  // namespace quen::input
