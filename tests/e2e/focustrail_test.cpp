// FocusTrail against a real X server and window manager: which application and window it
// reports, when it writes a line, and how it reads window titles.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tests/e2e/agent_session.h"

namespace quen::testing {
namespace {

using std::chrono::steady_clock;

class FocusTrailTest : public AgentSessionTest {
 protected:
  void SetUp() override { startSession(WindowManager::FocusOnRequest); }

  // Starts FocusTrail with titles wanted and returns its first record.
  Json startAndReadFirstRecord(std::unique_ptr<AgentRun>& agent) {
    agent = startFocusTrail(focusArguments(/*titleNeeded=*/true));
    if (!agent) return Json();
    auto record = agent->nextRecord(LINE_TIMEOUT);
    EXPECT_TRUE(record) << "no first record";
    return record.value_or(Json());
  }

  static std::optional<Json> waitForTitle(AgentRun& agent, const Json& title) {
    auto record = agent.waitForRecord(
        [&](const Json& candidate) { return candidate.value("winTitle", Json()) == title; },
        LINE_TIMEOUT);
    EXPECT_TRUE(record) << "no record with the title " << title.dump();
    return record;
  }
};

std::string testWindowExecutable() {
  return std::filesystem::canonical(QUEN_TEST_WINDOW_PATH).string();
}

void expectSixKeys(const Json& record) {
  EXPECT_EQ(record.size(), 6u) << record.dump();
  for (const char* key : {"appName", "appIdentifier", "appPath", "winTitle", "winUrl", "error"})
    EXPECT_TRUE(record.contains(key)) << key << " missing in " << record.dump();
}

TEST_F(FocusTrailTest, SwitchingApplicationsWritesALineAtOnce) {
  auto alpha = startWindowClient();
  auto beta = startWindowClient();
  const auto alphaWindow = alpha->open("class=alpha.Alpha", "Alpha window");
  const auto betaWindow = beta->open("class=beta.Beta", "Beta window");
  beta->activate(betaWindow);
  std::unique_ptr<AgentRun> agent;
  const Json first = startAndReadFirstRecord(agent);
  EXPECT_EQ(first.value("appName", Json()), "Beta");
  EXPECT_EQ(first.value("winTitle", Json()), "Beta window");

  const auto switched = steady_clock::now();
  alpha->activate(alphaWindow);
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(
      steady_clock::now() - switched);
  std::cout << "[   NOTE   ] activation to line: " << latency.count()
            << " ms (the poll runs every 1000 ms)\n";
  expectSixKeys(*record);
  EXPECT_EQ(record->value("appName", Json()), "Alpha");
  EXPECT_EQ(record->value("appIdentifier", Json()), "alpha");
  EXPECT_EQ(record->value("winTitle", Json()), "Alpha window");
  EXPECT_EQ(record->value("winUrl", Json()), false);
  EXPECT_EQ(record->value("error", Json()), false);
}

TEST_F(FocusTrailTest, IdentityComesFromTheWindowsProcess) {
  auto client = startWindowClient();
  client->activate(client->open("", "Plain"));
  std::unique_ptr<AgentRun> agent;
  const Json record = startAndReadFirstRecord(agent);
  expectSixKeys(record);
  // No desktop entry names the class: WM_CLASS's class and instance stand in.
  EXPECT_EQ(record.value("appName", Json()), "QuenTestWindow");
  EXPECT_EQ(record.value("appIdentifier", Json()), "quen_test_window");
  EXPECT_EQ(record.value("appPath", Json()), testWindowExecutable());
}

TEST_F(FocusTrailTest, ServerKnowsThePidOfAWindowThatPublishesNone) {
  auto client = startWindowClient();
  client->activate(client->open("pid=no", "No pid"));
  std::unique_ptr<AgentRun> agent;
  const Json record = startAndReadFirstRecord(agent);
  // The X-Resource extension names the process of a local client.
  EXPECT_EQ(record.value("appPath", Json()), testWindowExecutable());
  EXPECT_EQ(record.value("winTitle", Json()), "No pid");
}

// Without the X-Resource extension, a client that publishes no _NET_WM_PID has no known pid.
class FocusTrailWithoutClientPidsTest : public FocusTrailTest {
 protected:
  void SetUp() override { startSession(WindowManager::FocusOnRequest, {"-extension", "X-Resource"}); }
};

TEST_F(FocusTrailWithoutClientPidsTest, WindowWithoutPidBelongsOnlyToItsOwnClient) {
  auto first = startWindowClient(), second = startWindowClient();
  const xcb_window_t large = first->open("pid=no class=first.First", "First");
  second->activate(second->open("pid=no class=second.Second width=40 height=40", "Second"));
  auto agent = startFocusTrail(focusArguments(/*titleNeeded=*/true));
  auto ofClient = [](const char* identifier) {
    return [identifier](const Json& record) { return record["appIdentifier"] == identifier; };
  };
  // The second client's only window is too small; the first client's is not the second's.
  const auto record = agent->waitForRecord(ofClient("second"), LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("winTitle", Json()), false);
  first->activate(large);
  const auto firstRecord = agent->waitForRecord(ofClient("first"), LINE_TIMEOUT);
  ASSERT_TRUE(firstRecord);
  EXPECT_EQ(firstRecord->value("winTitle", Json()), "First");
}

TEST_F(FocusTrailTest, DesktopEntryNamesTheApplicationInTheUsersLanguage) {
  std::ofstream(applicationsDirectory() / "org.example.QuenTest.desktop")
      << "[Desktop Entry]\nType=Application\nName=Quen Test\nName[de]=Quen Pr\xC3\xBC" "fung\n"
         "Exec=quen_test_window\nStartupWMClass=QuenTestWindow\n";
  auto client = startWindowClient();
  client->activate(client->open("", "Localized"));
  auto environment = agentEnvironment();
  environment["LANG"] = "de_DE.UTF-8";
  auto agent = AgentRun::start(QUEN_FOCUSTRAIL_PATH, focusArguments(true), environment);
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("appName", Json()), "Quen Pr\xC3\xBC" "fung");
  EXPECT_EQ(record->value("appIdentifier", Json()), "org.example.QuenTest");
  EXPECT_EQ(record->value("appPath", Json()), testWindowExecutable());
}

TEST_F(FocusTrailTest, TitleChangeWritesALineWithinAPoll) {
  auto client = startWindowClient();
  const auto window = client->open("", "Draft 1");
  client->activate(window);
  std::unique_ptr<AgentRun> agent;
  EXPECT_EQ(startAndReadFirstRecord(agent).value("winTitle", Json()), "Draft 1");
  client->setTitle(window, "Draft 2");
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("winTitle", Json()), "Draft 2");
}

TEST_F(FocusTrailTest, NarrowWindowInFrontOfALargeOneIsSkipped) {
  auto client = startWindowClient();
  client->open("width=600 height=400", "Document");
  client->activate(client->open("width=40 height=600", "Sidebar"));
  std::unique_ptr<AgentRun> agent;
  EXPECT_EQ(startAndReadFirstRecord(agent).value("winTitle", Json()), "Document");
}

TEST_F(FocusTrailTest, TransparentWindowIsSkippedUntilItShows) {
  auto client = startWindowClient();
  client->open("width=600 height=400", "Document");
  const auto ghost = client->open("width=600 height=400 opacity=0", "Ghost");
  client->activate(ghost);
  std::unique_ptr<AgentRun> agent;
  EXPECT_EQ(startAndReadFirstRecord(agent).value("winTitle", Json()), "Document");
  client->command("opacity " + std::to_string(ghost) + " value=1");
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("winTitle", Json()), "Ghost");
}

TEST_F(FocusTrailTest, DesktopWindowIsLeftOut) {
  auto client = startWindowClient();
  client->open("width=1280 height=800 type=DESKTOP", "Desktop");
  client->activate(client->open("width=40 height=600", "Sidebar"));
  std::unique_ptr<AgentRun> agent;
  const Json record = startAndReadFirstRecord(agent);
  EXPECT_EQ(record.value("appName", Json()), "QuenTestWindow");
  EXPECT_EQ(record.value("winTitle", Json()), false);
}

TEST_F(FocusTrailTest, UnmappedWindowIsNotOnScreen) {
  auto client = startWindowClient();
  const auto document = client->open("width=600 height=400", "Document");
  client->activate(client->open("width=40 height=600", "Sidebar"));
  std::unique_ptr<AgentRun> agent;
  EXPECT_EQ(startAndReadFirstRecord(agent).value("winTitle", Json()), "Document");
  client->command("unmap " + std::to_string(document));
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("winTitle", Json()), false);
}

TEST_F(FocusTrailTest, TitleIsFalseWithoutTheTitleFlag) {
  auto client = startWindowClient();
  const auto window = client->open("", "Secret");
  client->activate(window);
  auto agent = startFocusTrail(focusArguments(/*titleNeeded=*/false));
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("appName", Json()), "QuenTestWindow");
  EXPECT_EQ(record->value("winTitle", Json()), false);
  client->setTitle(window, "Another secret");
  expectNoLineFor(*agent);
}

TEST_F(FocusTrailTest, RepeatedActivationWithNothingChangedWritesNothing) {
  auto alpha = startWindowClient();
  auto beta = startWindowClient();
  const auto alphaWindow = alpha->open("class=alpha.Alpha", "Alpha");
  const auto betaWindow = beta->open("class=beta.Beta", "Beta");
  alpha->activate(alphaWindow);
  std::unique_ptr<AgentRun> agent;
  EXPECT_EQ(startAndReadFirstRecord(agent).value("appName", Json()), "Alpha");
  beta->activate(betaWindow);
  EXPECT_EQ(agent->nextRecord(LINE_TIMEOUT).value_or(Json()).value("appName", Json()), "Beta");
  alpha->activate(alphaWindow);
  EXPECT_EQ(agent->nextRecord(LINE_TIMEOUT).value_or(Json()).value("appName", Json()), "Alpha");
  alpha->activate(alphaWindow);
  expectNoLineFor(*agent);
  alpha->setTitle(alphaWindow, "Alpha again");
  EXPECT_EQ(agent->nextRecord(LINE_TIMEOUT).value_or(Json()).value("winTitle", Json()),
            "Alpha again");
}

TEST_F(FocusTrailTest, NothingIsWrittenWhileNoWindowIsActive) {
  auto agent = startFocusTrail(focusArguments(true));
  expectNoLineFor(*agent);
  auto client = startWindowClient();
  client->activate(client->open("", "First"));
  const auto record = agent->nextRecord(LINE_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->value("winTitle", Json()), "First");
}

}  // namespace
}  // namespace quen::testing
