// InputTrail against a real X server with input injected through XTEST: the launch line,
// and which input counts as a click, a move or a key release. Each row's input is followed
// by the line for its second and the all-defaults line after it, so a row that wrongly
// counts something shows in its own line, never in a later row's.

#include <gtest/gtest.h>

#include "tests/e2e/agent_harness.h"
#include "tests/e2e/x_client.h"

namespace quen::testing {
namespace {

Json activity(bool click, bool move, bool key) {
  return Json{
      {"error", false}, {"evMouseClick", click}, {"evMouseMove", move}, {"evKeyPress", key}};
}
const Json IDLE = activity(false, false, false);
const Json CLICK = activity(true, false, false);
const Json MOVE = activity(false, true, false);
const Json KEY = activity(false, false, true);

struct Row {
  const char* input;  // XClient::input's words
  Json expected;
};

class InputTrailTest : public AgentTest {
 protected:
  void SetUp() override {
    startSession(WindowManager::None);
    client_ = std::make_unique<XClient>(display());
  }

  // Starts InputTrail and checks its launch line: every flag false.
  void startAgentAndReadLaunchLine(bool keysNeeded) {
    agent_ = startAgent(Agent::InputTrail, keysNeeded);
    ASSERT_TRUE(agent_);
    const auto launch = agent_->nextRecord();
    ASSERT_EQ(launch.value_or(Json()), IDLE) << "launch line";
  }
  void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.input);
      client_->input(row.input);
      EXPECT_EQ(agent_->nextRecord().value_or(Json()), row.expected);
      EXPECT_EQ(agent_->nextRecord().value_or(Json()), IDLE) << "after the active second";
    }
  }

  std::unique_ptr<XClient> client_;
  std::unique_ptr<ChildProcess> agent_;
};

TEST_F(InputTrailTest, EachKindOfInputCountsAsWhatItIs) {
  ASSERT_NO_FATAL_FAILURE(startAgentAndReadLaunchLine(/*keysNeeded=*/true));
  // Where a row's input is no activity, a click or key after it shows the second was seen.
  expectRows({
      {"move 5 3 move -5 -3 move 20 0 move 0 20", MOVE},
      {"click 1", CLICK},
      {"click 2", CLICK},
      {"click 3", CLICK},
      {"click 8", CLICK},
      {"key a", KEY},
      {"keydown b click 1", CLICK},  // a held key counts at its release
      {"keyup b", KEY},
      {"click 5 click 5 click 4 click 6 click 7 key a", KEY},   // the wheel is no click
      {"down 1 move 20 10 move 20 10 move 20 10 up 1", CLICK},  // a drag is no move
      {"key Shift_L click 1", CLICK},                           // modifiers alone are nothing
      {"key Control_L click 1", CLICK},
      {"keydown Shift_L key a keyup Shift_L", KEY},
  });
  // A keymap changed during the run: the a key (38) becomes Control_L, the former Control_L
  // key (37) a letter.
  auto xmodmap = ChildProcess::spawn({"/usr/bin/xmodmap", "-e", "clear control", "-e",
                                      "keycode 37 = eacute", "-e", "keycode 38 = Control_L"},
                                     {{"DISPLAY", display()}});
  ASSERT_TRUE(xmodmap);
  const auto status = xmodmap->waitForExit(LINE_TIMEOUT);
  ASSERT_TRUE(status && status->exitCode == 0) << xmodmap->standardError();
  expectRows({{"key Control_L click 1", CLICK}, {"key eacute", KEY}});
}

TEST_F(InputTrailTest, DragUnderWayAtLaunchIsNoMoveAndKeysNeedTheirFlag) {
  client_->input("down 1");
  ASSERT_NO_FATAL_FAILURE(startAgentAndReadLaunchLine(/*keysNeeded=*/false));
  expectRows({
      {"move 30 20 move -10 5 up 1 click 3", CLICK},
      {"key a key a move 10 10", MOVE},
  });
}

TEST_F(InputTrailTest, DragOnASeatAddedLaterIsNoMove) {
  ASSERT_NO_FATAL_FAILURE(startAgentAndReadLaunchLine(/*keysNeeded=*/false));
  client_->addSeatForInput();
  // The button stays held across a second's end, where the agent reads the held buttons.
  expectRows({{"down 1", CLICK}, {"move 30 20 move -10 5 up 1 click 3", CLICK}});
}

// A Wayland session in which nothing tells of the input X11 cannot see (no compositor at
// WAYLAND_DISPLAY, no IdleMonitor on a session bus): activity unknown, every record after the
// launch line carries the code.
TEST_F(InputTrailTest, WaylandSessionWithoutActivityNewsMarksEveryRecord) {
  agent_ = startAgent(Agent::InputTrail, false,
                      {{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", std::nullopt},
                       {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}});
  ASSERT_TRUE(agent_);
  EXPECT_EQ(agent_->nextRecord().value_or(Json()), IDLE) << "launch line";
  Json unknown = IDLE;
  unknown["error"] = Json::array({"E_INPUT_NOT_VISIBLE"});
  EXPECT_EQ(agent_->nextRecord().value_or(Json()), unknown);
  client_->input("click 1");
  unknown["evMouseClick"] = true;
  EXPECT_EQ(agent_->nextRecord().value_or(Json()), unknown);
}

}  // namespace
}  // namespace quen::testing
