// How the agents end, as the parent application sees it: without a display, with one no
// server holds or (InputTrail) one that shows it no XInput 2 (at start), when the X server
// goes away under them, and when the parent hangs up while they sit idle; and that windows
// vanishing under FocusTrail's poll never hurt its stream.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <iostream>

#include "tests/e2e/agent_harness.h"
#include "tests/e2e/x_client.h"

namespace quen::testing {
namespace {

constexpr Milliseconds EXIT_TIMEOUT{10000};

enum class Ending { NoDisplay, DisplayWithoutServer, NoXInput2, ServerKilled, ParentHangsUp };

using EndRow = std::tuple<Agent, Ending>;

std::string nameOf(const ::testing::TestParamInfo<EndRow>& row) {
  const char* endings[] = {"NoDisplay", "DisplayWithoutServer", "NoXInput2", "ServerKilled",
                           "ParentHangsUp"};
  return std::string(std::get<0>(row.param) == Agent::FocusTrail ? "FocusTrail" : "InputTrail") +
         endings[static_cast<int>(std::get<1>(row.param))];
}

class AgentEndTest : public AgentTest, public ::testing::WithParamInterface<EndRow> {
 protected:
  void SetUp() override { startSession(WindowManager::FocusOnRequest); }
};

TEST_P(AgentEndTest, EndsAsTheParentExpects) {
  const auto [agentKind, ending] = GetParam();
  Environment changes;
  std::string expectedLine;  // what it writes to standard error when it cannot start
  if (ending == Ending::NoDisplay) {
    changes["DISPLAY"] = std::nullopt;
    // A compositor named that does not answer: FocusTrail tries it first, and the reason
    // given is the last backend's, X11's.
    changes["WAYLAND_DISPLAY"] = "quen-no-compositor";
    expectedLine = "X11: cannot open display (unset)\n";
  }
  if (ending == Ending::DisplayWithoutServer) {
    int unused = 4000;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused))) ++unused;
    changes["DISPLAY"] = ":" + std::to_string(unused);
    expectedLine = "X11: cannot open display :" + std::to_string(unused) + "\n";
  }
  if (ending == Ending::NoXInput2) {
    // The SECURITY extension hides XInput from a client it does not trust (as `ssh -X` does).
    const auto cookie = applicationsDirectory().parent_path() / "untrusted-xauthority";
    auto xauth = ChildProcess::spawn(
        {"/usr/bin/xauth", "-f", cookie, "generate", display(), ".", "untrusted"},
        {{"DISPLAY", display()}});
    ASSERT_TRUE(xauth && xauth->waitForExit(EXIT_TIMEOUT).value_or(ExitStatus()).exitCode == 0);
    changes["XAUTHORITY"] = cookie;
    expectedLine = "X11: display " + display() + " offers no XInput 2 raw events\n";
  }
  XClient client(display());
  if (agentKind == Agent::FocusTrail) client.activate(client.open({.title = "Connected"}));
  auto agent = startAgent(agentKind, true, changes);
  ASSERT_TRUE(agent);
  const bool atStart = ending < Ending::ServerKilled;
  if (!atStart) {
    // Its first line shows it in its loop; nothing changes after it, so it sits idle.
    ASSERT_TRUE(agent->nextRecord()) << "no first line";
    if (ending == Ending::ServerKilled) {
      ASSERT_EQ(kill(session().serverPid(), SIGKILL), 0);
    }
    if (ending == Ending::ParentHangsUp) agent->closeOutput();
  }
  const auto status = agent->waitForExit(EXIT_TIMEOUT);
  ASSERT_TRUE(status) << "still running " << EXIT_TIMEOUT.count() << " ms after the ending";
  const std::string& diagnostic = agent->standardError();
  if (ending == Ending::ParentHangsUp) {
    // Killed by SIGPIPE, or exit(141) where the coverage build turns the signal into one.
    EXPECT_TRUE(status->exitCode || status->signal == SIGPIPE)
        << "killed by signal " << status->signal.value_or(0);
    EXPECT_EQ(diagnostic, "");
    return;
  }
  // Exit status 1 and exactly one line on standard error, so that the parent may restart it.
  EXPECT_EQ(status->exitCode, 1) << "signal " << status->signal.value_or(0);
  EXPECT_EQ(std::count(diagnostic.begin(), diagnostic.end(), '\n'), 1) << diagnostic;
  EXPECT_TRUE(diagnostic.size() > 1 && diagnostic.back() == '\n') << diagnostic;
  if (atStart) {
    EXPECT_EQ(diagnostic, expectedLine);
    EXPECT_FALSE(agent->readLine(Milliseconds(100))) << "wrote to standard output";
  }
  while (agent->nextRecord(Milliseconds(100))) {
  }  // whatever it wrote before is still one JSON object per line
}

INSTANTIATE_TEST_SUITE_P(
    BothAgents, AgentEndTest,
    ::testing::Combine(::testing::Values(Agent::FocusTrail, Agent::InputTrail),
                       ::testing::Values(Ending::NoDisplay, Ending::DisplayWithoutServer,
                                         Ending::ServerKilled, Ending::ParentHangsUp)),
    nameOf);
INSTANTIATE_TEST_SUITE_P(InputTrailOnly, AgentEndTest,
                         ::testing::Values(EndRow(Agent::InputTrail, Ending::NoXInput2)), nameOf);

class WindowChurnTest : public AgentTest {
 protected:
  // Openbox focuses each churning window as it maps it: windows vanish while in front.
  void SetUp() override { startSession(WindowManager::FocusNewWindows); }
};

TEST_F(WindowChurnTest, WindowsVanishingDuringPollsLeaveTheStreamIntact) {
  XClient anchorClient(display()), churner(display());
  const auto anchor =
      anchorClient.open({.title = "Anchor", .instance = "anchor", .className = "Anchor"});
  anchorClient.activate(anchor);
  auto agent = startAgent(Agent::FocusTrail);
  ASSERT_TRUE(agent);
  ASSERT_TRUE(agent->nextRecord());
  // Windows come and go faster than the manager frames them, four alive at once, every
  // other one without a pid; every tenth is waited for, so that the agent sees some in front.
  std::deque<xcb_window_t> alive;
  for (int index = 0; index < 1500; ++index) {
    alive.push_back(churner.open({.title = "churn " + std::to_string(index),
                                  .width = static_cast<std::uint16_t>(100 + index % 300),
                                  .publishPid = index % 2 == 0},
                                 /*untilViewable=*/index % 10 == 0));
    if (alive.size() == 5) {
      churner.destroy(alive.front());
      alive.pop_front();
    }
  }
  anchorClient.activate(anchor);
  anchorClient.setTitle(anchor, "Anchor after churn");
  int churnRecords = 0;
  EXPECT_TRUE(agent->waitForRecord([&](Json record) {
    EXPECT_EQ(record.size(), 6u) << record.dump();
    churnRecords += record["appIdentifier"] != "anchor";
    return record["winTitle"] == "Anchor after churn";
  })) << "the agent stopped reporting";
  EXPECT_FALSE(agent->waitForExit(Milliseconds(0))) << "the agent ended";
  EXPECT_EQ(agent->standardError(), "");
  std::cout << "[   NOTE   ] " << churnRecords << " records about the churning windows\n";
}

}  // namespace
}  // namespace quen::testing
