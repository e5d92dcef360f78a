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

// Runs a program of the system (xmodmap, say) against `display` and waits for it to end.
void runOnDisplay(const std::string& display, const std::vector<std::string>& arguments) {
  SpawnOptions options;
  options.arguments = arguments;
  options.environment["DISPLAY"] = display;
  std::string error;
  auto process = ChildProcess::spawn(options, error);
  ASSERT_TRUE(process) << error;
  const auto status = process->waitForExit(Milliseconds(30000));
  ASSERT_TRUE(status && status->exitCode == 0) << arguments[0] << ": " << process->standardError();
}

class InputTrailTest : public AgentSessionTest {
 protected:
  void SetUp() override { startSession(/*withWindowManager=*/false); }

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
  inject({"move-by", "5", "3", "move-by", "-5", "-3", "move-by", "20", "0", "move-by", "0", "20"});
  expectActivityThenIdle(*agent, activity(false, true, false));
  expectNoLineFor(*agent);
}

TEST_F(InputTrailTest, PressesOfButtonsOneTwoThreeAndEightAreClicks) {
  auto agent = startAndReadLaunchLine(false);
  for (const char* button : {"1", "2", "3", "8"}) {
    SCOPED_TRACE(std::string("button ") + button);
    inject({"click", button});
    expectActivityThenIdle(*agent, activity(true, false, false));
  }
}

TEST_F(InputTrailTest, KeyReleaseIsReportedWithTheKeysFlag) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  inject({"key", "a"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, KeysAreNotReportedWithoutTheKeysFlag) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/false);
  inject({"key", "a", "3", "move-by", "10", "10"});
  expectActivityThenIdle(*agent, activity(false, true, false));
}

TEST_F(InputTrailTest, HeldKeyCountsAtItsRelease) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  inject({"key-down", "b"});
  expectNoLineFor(*agent, Milliseconds(1800));
  inject({"key-up", "b"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, ScrollingIsNeitherClickNorMove) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  // The key release shows that the second was observed; the wheel adds nothing to it.
  inject({"scroll", "down", "3", "scroll", "up", "scroll", "left", "scroll", "right", "key", "a"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, DragIsAClickButNotAMove) {
  auto agent = startAndReadLaunchLine(false);
  inject({"drag", "200", "100"});
  expectActivityThenIdle(*agent, activity(true, false, false));
}

TEST_F(InputTrailTest, ModifierKeysAloneAreNoKeyPresses) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  // After a modifier alone, the click shows that the second was observed.
  const std::pair<std::vector<std::string>, Json> rows[] = {
      {{"key", "Shift_L", "click", "1"}, activity(true, false, false)},
      {{"key", "Control_L", "click", "1"}, activity(true, false, false)},
      {{"key-down", "Shift_L", "key", "a", "key-up", "Shift_L"}, activity(false, false, true)},
  };
  for (const auto& [input, expected] : rows) {
    SCOPED_TRACE(input[1]);
    inject(input);
    expectActivityThenIdle(*agent, expected);
  }
}

TEST_F(InputTrailTest, KeymapChangedDuringTheRunDecidesWhichKeysAreModifiers) {
  auto agent = startAndReadLaunchLine(/*keysNeeded=*/true);
  inject({"key", "#38"});  // a on Xvfb's keymap
  expectActivityThenIdle(*agent, activity(false, false, true));
  // The a key becomes Control_L; the former Control_L key (#37), a letter.
  runOnDisplay(display(), {"/usr/bin/xmodmap", "-e", "clear control", "-e",
                           "keycode 37 = eacute", "-e", "keycode 38 = Control_L"});
  inject({"key", "#38", "click", "1"});
  expectActivityThenIdle(*agent, activity(true, false, false));
  inject({"key", "#37"});
  expectActivityThenIdle(*agent, activity(false, false, true));
}

TEST_F(InputTrailTest, DragUnderWayAtLaunchIsNoMove) {
  inject({"press", "1"});
  auto agent = startAndReadLaunchLine(false);
  // The click of button 3 shows that the second was observed.
  inject({"move-by", "30", "20", "move-by", "-10", "5", "release", "1", "click", "3"});
  expectActivityThenIdle(*agent, activity(true, false, false));
  inject({"move-by", "10", "10"});
  expectActivityThenIdle(*agent, activity(false, true, false));
}

}  // namespace
}  // namespace quen::testing
