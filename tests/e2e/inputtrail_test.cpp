// InputTrail against a real X server with input injected through XTEST: the launch line,
// which input counts as a click, a move or a key release, and when lines are written.

#include <gtest/gtest.h>

#include "tests/e2e/agent_session.h"

namespace quen::testing {
namespace {

Json activity(bool click, bool move, bool key) {
  Json record;
  record["error"] = false;
  record["evMouseClick"] = click;
  record["evMouseMove"] = move;
  record["evKeyPress"] = key;
  return record;
}

const Json IDLE = activity(false, false, false);

class InputTrailTest : public AgentSessionTest {
 protected:
  void SetUp() override { startSession(WindowManager::None); }

  // Starts InputTrail and checks its launch line.
  std::unique_ptr<AgentRun> startAndReadLaunchLine(bool keysNeeded) {
    auto agent = startInputTrail(inputArguments(keysNeeded));
    if (!agent) return nullptr;
    const auto launch = agent->nextRecord(LINE_TIMEOUT);
    EXPECT_EQ(launch.value_or(Json()), IDLE) << "launch line";
    return agent;
  }
  void inject(const std::vector<std::string>& actions) { injectInput(display(), actions); }

  // The line that reports the injected second, then the all-defaults line that follows.
  void expectActivityThenIdle(AgentRun& agent, const Json& expected) {
    const auto record = agent.nextRecord(LINE_TIMEOUT);
    ASSERT_TRUE(record) << "no line after the input";
    EXPECT_EQ(*record, expected);
    const auto idle = agent.nextRecord(LINE_TIMEOUT);
    ASSERT_TRUE(idle) << "no line after the active second";
    EXPECT_EQ(*idle, IDLE);
  }
};

TEST_F(InputTrailTest, LaunchLineThenSilenceWhileIdle) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  ASSERT_TRUE(agent);
  ASSERT_EQ(agent->lines().size(), 1u);
  EXPECT_EQ(Json::parse(agent->lines().front()).size(), 4u);
  expectNoLineFor(*agent);
}

TEST_F(InputTrailTest, MovesAreReportedOnceThenDefaults) {
  auto agent = startAndReadLaunchLine(false);
  inject({"mousermove 5 3", "mousermove -5 -3", "mousermove 20 0", "mousermove 0 20"});
  expectActivityThenIdle(*agent, activity(false, true, false));
  expectNoLineFor(*agent);
}

TEST_F(InputTrailTest, PressesOfButtonsOneTwoThreeAndEightAreClicks) {
  auto agent = startAndReadLaunchLine(false);
  for (const char* button : {"1", "2", "3", "8"}) {
    SCOPED_TRACE(std::string("button ") + button);
    inject({std::string("mouseclick ") + button});
    expectActivityThenIdle(*agent, activity(true, false, false));
  }
}

TEST_F(InputTrailTest, KeyReleaseIsReportedWithTheKeysFlag) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  inject({"key a"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, KeysAreNotReportedWithoutTheKeysFlag) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/false);
  inject({"key a", "key a", "key a", "mousermove 10 10"});
  expectActivityThenIdle(*agent, activity(false, true, false));
}

TEST_F(InputTrailTest, HeldKeyCountsAtItsRelease) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  inject({"keydown b"});
  expectNoLineFor(*agent, Milliseconds(1800));
  inject({"keyup b"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, ScrollingIsNeitherClickNorMove) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  // The key release shows that the second was observed; the wheel adds nothing to it.
  inject({"mouseclick 5", "mouseclick 5", "mouseclick 4", "mouseclick 6", "mouseclick 7", "key a"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, DragIsAClickButNotAMove) {
  auto agent = startAndReadLaunchLine(false);
  std::vector<std::string> drag = {"mousedown 1"};
  for (int step = 0; step < 10; ++step) drag.push_back("mousermove 20 10");
  drag.push_back("mouseup 1");
  inject(drag);
  expectActivityThenIdle(*agent, activity(true, false, false));
}

TEST_F(InputTrailTest, ModifierKeysAloneAreNoKeyPresses) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  // After a modifier alone, the click shows that the second was observed.
  const std::pair<std::vector<std::string>, Json> rows[] = {
      {{"key Shift_L", "mouseclick 1"}, activity(true, false, false)},
      {{"key Control_L", "mouseclick 1"}, activity(true, false, false)},
      {{"keydown Shift_L", "key a", "keyup Shift_L"}, activity(false, false, true)},
  };
  for (const auto& [input, expected] : rows) {
    SCOPED_TRACE(input.front());
    inject(input);
    expectActivityThenIdle(*agent, expected);
  }
}

TEST_F(InputTrailTest, KeymapChangedDuringTheRunDecidesWhichKeysAreModifiers) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  inject({"key a"});  // keycode 38 on Xvfb's keymap
  expectActivityThenIdle(*agent, activity(false, false, true));
  // The a key becomes Control_L; the former Control_L key (#37), a letter.
  runOnDisplay(display(), {"/usr/bin/xmodmap", "-e", "clear control", "-e",
                           "keycode 37 = eacute", "-e", "keycode 38 = Control_L"});
  inject({"key Control_L", "mouseclick 1"});  // now keycode 38
  expectActivityThenIdle(*agent, activity(true, false, false));
  inject({"key eacute"});  // now keycode 37
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, DragUnderWayAtLaunchIsNoMove) {
  inject({"mousedown 1"});
  auto agent = startAndReadLaunchLine(false);
  // The click of button 3 shows that the second was observed.
  inject({"mousermove 30 20", "mousermove -10 5", "mouseup 1", "mouseclick 3"});
  expectActivityThenIdle(*agent, activity(true, false, false));
  inject({"mousermove 10 10"});
  expectActivityThenIdle(*agent, activity(false, true, false));
}

}  // namespace
}  // namespace quen::testing
