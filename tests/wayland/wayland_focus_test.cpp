// The real FocusTrail on a real, headless sway: which toplevel is in front, its process
// through sway's IPC, titles, XWayland windows, X11 in a Wayland session, and the
// compositor going away.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "tests/e2e/agent_harness.h"
#include "tests/e2e/x_client.h"
#include "tests/wayland/sway_session.h"

namespace quen::testing {
namespace {

// One window of foot (a Wayland-native terminal, its configuration empty) with its app id and
// title. `cat` inside it copies a FIFO to the terminal, so what the test writes there is
// what a program writes: OSC 2 sets the title, bytes as given.
class Terminal {
 public:
  Terminal(const SwaySession& session, const std::string& appId, const std::string& title) {
    const std::string input = session.directory() + "/" + appId;
    mkfifo(input.c_str(), 0600);
    process_ = ChildProcess::spawn({QUEN_FOOT_PATH, "--config=/dev/null", "--app-id=" + appId,
                                    "--title=" + title, "cat", input},
                                   session.clientEnvironment());
    input_.open(input, std::ios::in | std::ios::out);  // read-write: waits for no reader
    EXPECT_TRUE(process_ && session.awaitWindow("[app_id=\"^" + appId + "$\"]"));
  }
  void retitle(const std::string& title) { input_ << "\033]2;" << title << '\a' << std::flush; }
  void close() {
    kill(process_->pid(), SIGTERM);
    EXPECT_TRUE(process_->waitForExit(LINE_TIMEOUT));
  }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::fstream input_;  // closed first: cat reads the end of its input, and foot ends with it
};

class WaylandFocusTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(session = SwaySession::start()); }
  std::unique_ptr<ChildProcess> startAgent(const Environment& changes = {},
                                           const char* urlNeeded = "false") {
    Environment environment = session->clientEnvironment();
    for (const auto& [name, value] : changes) environment[name] = value;
    return ChildProcess::spawn({QUEN_FOCUSTRAIL_PATH, "--argTitleNeeded", "true",
                                "--argUrlNeeded", urlNeeded, "--argForceReqPerm", "false"},
                               environment);
  }
  void focus(const std::string& criteria) { session->command(criteria + " focus"); }

  std::unique_ptr<SwaySession> session;
};

TEST_F(WaylandFocusTest, SwitchesTitlesAndClosingAreReportedWithTheProcessPath) {
  Terminal editor(*session, "quen.editor", "notes");
  // In sway's tree as the agent starts, with a title of invalid UTF-8: one such window hides
  // no process.
  Terminal viewer(*session, "quen.viewer", "photo \xe9" "dited");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  EXPECT_EQ(agent->waitForRecord(withMember("appIdentifier", "quen.editor")),
            Json::parse(std::string(R"({"appName":"quen.editor","appIdentifier":"quen.editor",)") +
                        R"("appPath":")" + QUEN_FOOT_PATH +
                        R"(","winTitle":"notes","winUrl":false,"error":false})"));
  focus("[app_id=\"^quen.viewer$\"]");
  EXPECT_EQ(agent->waitForRecord(withMember("appIdentifier", "quen.viewer"))
                .value_or(Json::object())["winTitle"],
            "photo \xEF\xBF\xBD" "dited") << "invalid UTF-8 as U+FFFD";

  viewer.retitle("photo");
  Json next = agent->nextRecord().value_or(Json::object());
  EXPECT_EQ(next["winTitle"], "photo") << "the poll sees the new title";
  EXPECT_EQ(next["appPath"], QUEN_FOOT_PATH);

  viewer.close();
  next = agent->nextRecord().value_or(Json::object());
  EXPECT_EQ(next["appIdentifier"], "quen.editor") << "closing the front one brings the other";
  EXPECT_EQ(next["appPath"], QUEN_FOOT_PATH);

  session->command("workspace 2");
  Terminal player(*session, "quen.player", "song");
  focus("[app_id=\"^quen.player$\"]");
  EXPECT_EQ(agent->nextRecord().value_or(Json::object())["appIdentifier"], "quen.player")
      << "an empty workspace writes nothing";
}

TEST_F(WaylandFocusTest, AnXWaylandWindowIsNamedByItsClassWithItsProcessPath) {
  Terminal editor(*session, "quen.editor", "notes");
  XClient xclient(session->xwaylandDisplay());
  xclient.open(WindowSpec{.title = "x window", .instance = "quenx", .className = "QuenXTest"});
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  ASSERT_TRUE(agent->waitForRecord(withMember("appIdentifier", "quen.editor")));
  focus("[class=\"^QuenXTest$\"]");
  Json record = agent->nextRecord().value_or(Json::object());
  EXPECT_EQ(record["appIdentifier"], "QuenXTest") << "an XWayland app id is the class";
  EXPECT_EQ(record["winTitle"], "x window");
  EXPECT_EQ(record["appPath"], std::filesystem::canonical("/proc/self/exe").string());
}

// The browser URL takes the accessibility bus, as on X11: with no bus to reach, the user has
// not let the agent ask the browser.
TEST_F(WaylandFocusTest, ABrowsersUrlIsAskedOfTheAccessibilityBus) {
  Terminal browser(*session, "firefox", "page");
  auto agent = startAgent({{"AT_SPI_BUS_ADDRESS", std::nullopt},
                           {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}},
                          "true");
  ASSERT_TRUE(agent);
  focus("[app_id=\"^firefox$\"]");
  // The query runs on a thread of its own: its answer comes with a later line.
  Json record =
      agent->waitForRecord(withMember("error", Json::array({"E_AE_KNOWN_EVENT_NOT_PERMITTED"})))
          .value_or(Json::object());
  EXPECT_EQ(record["appIdentifier"], "firefox");
  EXPECT_EQ(record["winUrl"], false);
}

TEST_F(WaylandFocusTest, OnX11InAWaylandSessionANativeWindowInFrontIsReportedNotVisible) {
  Terminal editor(*session, "quen.editor", "notes");
  XClient xclient(session->xwaylandDisplay());
  xclient.open(WindowSpec{.title = "x window", .instance = "quenx", .className = "QuenXTest"});
  focus("[class=\"^QuenXTest$\"]");
  // A compositor that offers no toplevel list (here: none answers): the agent goes on with
  // X11, in a session that XDG_SESSION_TYPE marks as Wayland.
  auto agent = startAgent({{"WAYLAND_DISPLAY", "wayland-gone"},
                           {"XDG_SESSION_TYPE", "wayland"},
                           {"DISPLAY", session->xwaylandDisplay()}});
  ASSERT_TRUE(agent);
  ASSERT_TRUE(agent->waitForRecord(withMember("appIdentifier", "quenx")));
  focus("[app_id=\"^quen.editor$\"]");
  EXPECT_EQ(agent->nextRecord(), Json::parse(R"({"appName":"UNKNOWN_APP_NAME",
      "appIdentifier":"UNKNOWN_APP_IDENTIFIER","appPath":"UNKNOWN_APP_BUNDLE_URL_PATH",
      "winTitle":false,"winUrl":false,"error":["E_WINDOW_NOT_VISIBLE"]})"));
}

TEST_F(WaylandFocusTest, TheCompositorGoingAwayEndsTheAgentWithOneLine) {
  Terminal editor(*session, "quen.editor", "notes");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  focus("[app_id=\"^quen.editor$\"]");
  ASSERT_TRUE(agent->waitForRecord(withMember("appIdentifier", "quen.editor")));
  kill(session->compositorPid(), SIGKILL);
  const auto status = agent->waitForExit(LINE_TIMEOUT);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->exitCode, 1);
  EXPECT_EQ(agent->standardError(),
            "Wayland: connection to compositor wayland-1 lost: the compositor closed it or "
            "cannot be reached\n");
}

}  // namespace
}  // namespace quen::testing
