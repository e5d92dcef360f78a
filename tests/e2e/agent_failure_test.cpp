// How the agents end: without a display, when the X server goes away under them, and when
// the parent hangs up; and that windows vanishing under FocusTrail's poll never hurt it.

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "tests/e2e/agent_session.h"

namespace quen::testing {
namespace {

constexpr Milliseconds EXIT_TIMEOUT{6000};

enum class Agent { FocusTrail, InputTrail };

void PrintTo(Agent agent, std::ostream* stream) {
  *stream << (agent == Agent::FocusTrail ? "FocusTrail" : "InputTrail");
}

std::string programOf(Agent agent) {
  return agent == Agent::FocusTrail ? QUEN_FOCUSTRAIL_PATH : QUEN_INPUTTRAIL_PATH;
}

std::vector<std::string> argumentsOf(Agent agent) {
  return agent == Agent::FocusTrail ? focusArguments(true) : inputArguments(true);
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The agent ended with status 1 and exactly one non-empty line on standard error.
void expectFatalExit(AgentRun& agent) {
  const auto status = agent.process().waitForExit(EXIT_TIMEOUT);
  ASSERT_TRUE(status) << "the agent is still running";
  EXPECT_EQ(status->exitCode, 1) << "signal " << status->signal.value_or(0);
  const std::string& diagnostic = agent.process().standardError();
  EXPECT_EQ(lineCount(diagnostic), 1u) << diagnostic;
  EXPECT_GT(diagnostic.size(), 1u);
  EXPECT_EQ(diagnostic.back(), '\n') << diagnostic;
}

class AgentEndTest : public AgentSessionTest, public ::testing::WithParamInterface<Agent> {
 protected:
  void SetUp() override { startSession(WindowManager::FocusOnRequest); }

  std::unique_ptr<AgentRun> startAgent() {
    return AgentRun::start(programOf(GetParam()), argumentsOf(GetParam()), agentEnvironment());
  }
  // Starts the agent and reads its first line, so that it surely runs on the display.
  std::unique_ptr<AgentRun> startConnectedAgent() {
    if (GetParam() == Agent::FocusTrail) {
      windows_ = startWindowClient();
      windows_->activate(windows_->open("", "Connected"));
    }
    auto agent = startAgent();
    EXPECT_TRUE(agent && agent->nextRecord(LINE_TIMEOUT)) << "no first line";
    return agent;
  }

  std::unique_ptr<TestWindowProcess> windows_;
};

TEST_P(AgentEndTest, WithoutDisplayItExitsWithOneLineOnStandardError) {
  auto environment = agentEnvironment();
  environment["DISPLAY"] = std::nullopt;
  auto agent = AgentRun::start(programOf(GetParam()), argumentsOf(GetParam()), environment);
  ASSERT_TRUE(agent);
  expectFatalExit(*agent);
  EXPECT_FALSE(agent->process().readLine(Milliseconds(100))) << "wrote to standard output";
}

TEST_P(AgentEndTest, WithADisplayThatNoServerHoldsItExitsWithOneLine) {
  int unused = 4000;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused))) ++unused;
  auto environment = agentEnvironment();
  environment["DISPLAY"] = ":" + std::to_string(unused);
  auto agent = AgentRun::start(programOf(GetParam()), argumentsOf(GetParam()), environment);
  ASSERT_TRUE(agent);
  expectFatalExit(*agent);
  EXPECT_FALSE(agent->process().readLine(Milliseconds(100))) << "wrote to standard output";
}

TEST_P(AgentEndTest, ServerGoingAwayEndsItWithOneLine) {
  auto agent = startConnectedAgent();
  ASSERT_TRUE(agent);
  ASSERT_EQ(kill(session().serverPid(), SIGKILL), 0);
  expectFatalExit(*agent);
  while (agent->nextRecord(Milliseconds(100))) {
  }  // whatever it wrote before is still one JSON object per line
}

TEST_P(AgentEndTest, ParentHangingUpEndsItEvenWhenIdle) {
  // Its first line shows it in its loop; nothing changes after it, so it sits idle.
  auto agent = startConnectedAgent();
  ASSERT_TRUE(agent);
  agent->process().closeOutput();
  const auto status = agent->process().waitForExit(EXIT_TIMEOUT);
  ASSERT_TRUE(status) << "still running " << EXIT_TIMEOUT.count() << " ms after the hang-up";
  const bool quietEnd = status->exitCode.has_value() || status->signal == SIGPIPE;
  EXPECT_TRUE(quietEnd) << "killed by signal " << status->signal.value_or(0);
  EXPECT_EQ(agent->process().standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(BothAgents, AgentEndTest,
                         ::testing::Values(Agent::FocusTrail, Agent::InputTrail),
                         [](const ::testing::TestParamInfo<Agent>& agent) {
                           return agent.param == Agent::FocusTrail ? "FocusTrail" : "InputTrail";
                         });

class WindowChurnTest : public AgentSessionTest {
 protected:
  // Openbox focuses each churning window as it maps it: windows vanish while in front.
  void SetUp() override { startSession(WindowManager::FocusNewWindows); }
};

TEST_F(WindowChurnTest, WindowsVanishingDuringPollsLeaveTheStreamIntact) {
  auto anchorClient = startWindowClient();
  const auto anchor = anchorClient->open("class=anchor.Anchor", "Anchor");
  anchorClient->activate(anchor);
  auto agent = startFocusTrail(focusArguments(true));
  ASSERT_TRUE(agent->nextRecord(LINE_TIMEOUT));
  auto churner = startWindowClient();
  churner->command("churn count=1500 rate=500");
  anchorClient->activate(anchor);
  anchorClient->setTitle(anchor, "Anchor after churn");
  const auto after = agent->waitForRecord(
      [](const Json& record) { return record.value("winTitle", Json()) == "Anchor after churn"; },
      LINE_TIMEOUT);
  EXPECT_TRUE(after) << "the agent stopped reporting";
  EXPECT_FALSE(agent->process().waitForExit(Milliseconds(0))) << "the agent ended";
  EXPECT_EQ(agent->process().standardError(), "");
  std::size_t churnLines = 0;
  for (const std::string& line : agent->lines()) {
    const auto record = Json::parse(line);
    EXPECT_EQ(record.size(), 6u) << line;
    churnLines += record.value("appName", Json()) == "QuenTestWindow";
  }
  std::cout << "[   NOTE   ] " << agent->lines().size() << " lines, " << churnLines
            << " of them about the churning client\n";
}

}  // namespace
}  // namespace quen::testing
