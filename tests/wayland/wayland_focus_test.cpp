// The real FocusTrail on a real, headless sway: which toplevel is in front, its process
// through sway's IPC, titles, XWayland windows, and the compositor going away.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "tests/e2e/agent_run.h"
#include "tests/e2e/test_window_process.h"
#include "tests/wayland/sway_session.h"

namespace quen::testing {
namespace {

constexpr Milliseconds RECORD_TIMEOUT{5000};

// One toplevel of the project's own test client, with its app id and title.
class TestToplevel {
 public:
  TestToplevel(const SwaySession& session, const std::string& appId, const std::string& title) {
    SpawnOptions options;
    options.arguments = {QUEN_TEST_TOPLEVEL_PATH, appId, title};
    options.environment = session.clientEnvironment();
    options.pipeStandardInput = true;
    std::string error;
    process_ = ChildProcess::spawn(options, error);
    EXPECT_TRUE(process_) << error;
    EXPECT_EQ(process_ ? process_->readLine(RECORD_TIMEOUT) : std::nullopt, "mapped");
  }
  void retitle(const std::string& title) { EXPECT_TRUE(process_->writeLine("title " + title)); }
  // Closes its window by ending it.
  void close() { process_.reset(); }

 private:
  std::unique_ptr<ChildProcess> process_;
};

auto isRecordOf(const std::string& appId) {
  return [appId](const Json& record) { return record["appIdentifier"] == appId; };
}

class WaylandFocusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    session = SwaySession::start(error);
    ASSERT_TRUE(session) << error;
  }
  std::unique_ptr<AgentRun> startAgent(const std::map<std::string, std::optional<std::string>>&
                                           extra = {}) {
    auto environment = session->clientEnvironment();
    for (const auto& [name, value] : extra) environment[name] = value;
    return AgentRun::start(QUEN_FOCUSTRAIL_PATH,
                           {"--argTitleNeeded", "true", "--argUrlNeeded", "false",
                            "--argForceReqPerm", "false"},
                           environment);
  }
  void focus(const std::string& criteria) { session->command(criteria + " focus"); }

  std::unique_ptr<SwaySession> session;
};

TEST_F(WaylandFocusTest, FocusSwitchesTitlesAndClosingAreReportedWithTheProcessPath) {
  TestToplevel editor(*session, "quen.editor", "notes");
  TestToplevel viewer(*session, "quen.viewer", "photo");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  auto record = agent->waitForRecord(
      [](const Json& r) { return r["appIdentifier"] == "quen.editor" && r["winTitle"] == "notes"; },
      RECORD_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, Json::parse(std::string(R"({"appName":"quen.editor",)") +
                                 R"("appIdentifier":"quen.editor","appPath":")" +
                                 QUEN_TEST_TOPLEVEL_PATH +
                                 R"(","winTitle":"notes","winUrl":false,"error":false})"));

  focus("[app_id=\"^quen.viewer$\"]");
  record = agent->waitForRecord(isRecordOf("quen.viewer"), RECORD_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ((*record)["winTitle"], "photo");

  viewer.retitle("photo \\xe9dited");
  record = agent->waitForRecord([](const Json& r) { return r["winTitle"] != "photo"; },
                                RECORD_TIMEOUT);
  ASSERT_TRUE(record) << "a title change is seen by the poll";
  EXPECT_EQ((*record)["winTitle"], "photo \xEF\xBF\xBD" "dited") << "invalid UTF-8 as U+FFFD";
  EXPECT_EQ((*record)["appPath"], QUEN_TEST_TOPLEVEL_PATH);

  viewer.close();
  record = agent->waitForRecord(isRecordOf("quen.editor"), RECORD_TIMEOUT);
  ASSERT_TRUE(record) << "closing the front window brings the next one forward";
  EXPECT_EQ((*record)["appPath"], QUEN_TEST_TOPLEVEL_PATH);
}

TEST_F(WaylandFocusTest, AnEmptyWorkspaceWritesNothingAndTheNextWindowIsReported) {
  TestToplevel editor(*session, "quen.editor", "notes");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  ASSERT_TRUE(agent->waitForRecord(isRecordOf("quen.editor"), RECORD_TIMEOUT));
  session->command("workspace 2");
  TestToplevel player(*session, "quen.player", "song");
  focus("[app_id=\"^quen.player$\"]");
  const auto record = agent->nextRecord(RECORD_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ((*record)["appIdentifier"], "quen.player") << "nothing came in between";
}

TEST_F(WaylandFocusTest, AnXWaylandWindowIsNamedByItsClassWithItsProcessPath) {
  TestToplevel editor(*session, "quen.editor", "notes");
  auto xclient = TestWindowProcess::start(session->xwaylandDisplay());
  ASSERT_TRUE(xclient);
  ASSERT_NE(xclient->open("width=200 height=200 class=quenx.QuenXTest", "x window"), 0u);
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  ASSERT_TRUE(agent->waitForRecord(isRecordOf("quen.editor"), RECORD_TIMEOUT));
  focus("[class=\"^QuenXTest$\"]");
  const auto record = agent->waitForRecord(isRecordOf("QuenXTest"), RECORD_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ((*record)["winTitle"], "x window");
  EXPECT_EQ((*record)["appPath"], QUEN_TEST_WINDOW_PATH);
}

TEST_F(WaylandFocusTest, OnX11InAWaylandSessionANativeWindowInFrontIsReportedNotVisible) {
  TestToplevel editor(*session, "quen.editor", "notes");
  auto xclient = TestWindowProcess::start(session->xwaylandDisplay());
  ASSERT_TRUE(xclient);
  ASSERT_NE(xclient->open("width=200 height=200 class=quenx.QuenXTest", "x window"), 0u);
  focus("[class=\"^QuenXTest$\"]");
  // X11 alone: no compositor to ask, but the session says it is Wayland.
  auto agent = startAgent({{"WAYLAND_DISPLAY", std::nullopt},
                           {"DISPLAY", session->xwaylandDisplay()},
                           {"XDG_SESSION_TYPE", "wayland"}});
  ASSERT_TRUE(agent);
  ASSERT_TRUE(agent->waitForRecord(isRecordOf("quenx"), RECORD_TIMEOUT));
  focus("[app_id=\"^quen.editor$\"]");
  const auto record = agent->nextRecord(RECORD_TIMEOUT);
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, Json::parse(R"({"appName":"UNKNOWN_APP_NAME",
      "appIdentifier":"UNKNOWN_APP_IDENTIFIER","appPath":"UNKNOWN_APP_BUNDLE_URL_PATH",
      "winTitle":false,"winUrl":false,"error":["E_WINDOW_NOT_VISIBLE"]})"));
}

TEST_F(WaylandFocusTest, TheCompositorGoingAwayEndsTheAgentWithOneLine) {
  TestToplevel editor(*session, "quen.editor", "notes");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  ASSERT_TRUE(agent->waitForRecord(isRecordOf("quen.editor"), RECORD_TIMEOUT));
  kill(session->compositorPid(), SIGKILL);
  const auto status = agent->process().waitForExit(RECORD_TIMEOUT);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->exitCode, 1);
  EXPECT_EQ(agent->process().standardError(),
            "Wayland: connection to compositor wayland-1 lost: the compositor closed it or "
            "cannot be reached\n");
}

}  // namespace
}  // namespace quen::testing
