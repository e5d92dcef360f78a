// The real FocusTrail on a headless GNOME Shell through the project's extension: switches,
// titles, closing, restarts, the extension off, on and missing, privacy, the Shell's end.

#include <signal.h>

#include <memory>
#include <string>

#include "tests/gnome/gnome_session.h"
#include "tests/support/wait_until.h"

namespace quen::testing {
namespace {

// A window of foot (a native client) or xterm (an X11 one), brought forward once mapped, so
// that no window mapped late takes the focus during a test. Each runs `sleep` rather than a
// shell: nobody's shell is nologin, which would end the window at once where $SHELL is unset.
std::unique_ptr<ChildProcess> openWindow(GnomeSession& session, const std::string& id,
                                         const std::string& title) {
  auto window = ChildProcess::spawnAsNobody(
      id == "QuenXTest"
          ? std::vector<std::string>{QUEN_XTERM_PATH, "-class", id, "-T", title,
                                     "-e", "sleep", "infinity"}
          : std::vector<std::string>{QUEN_FOOT_PATH, "--config=/dev/null", "--app-id=" + id,
                                     "--title=" + title, "sleep", "infinity"},
      id == "QuenXTest" ? session.x11ClientEnvironment() : session.clientEnvironment());
  session.activate(title);
  return window;
}

Json frontRecord(const std::string& appId, const std::string& title,
                 const std::string& path = QUEN_FOOT_PATH) {
  return Json{{"appName", appId}, {"appIdentifier", appId}, {"appPath", path},
              {"winTitle", title}, {"winUrl", false},      {"error", false}};
}

// A Shell of each test's own (about 3 s to start): a window of an earlier test, still being
// closed, can then neither match a title nor move the focus.
template <bool WithExtension>
class GnomeShellTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(session = GnomeSession::start(WithExtension)); }
  std::unique_ptr<ChildProcess> startAgent() {
    return ChildProcess::spawnAsNobody({QUEN_FOCUSTRAIL_PATH, "--argTitleNeeded", "true",
                                        "--argUrlNeeded", "false", "--argForceReqPerm", "false"},
                                       session->clientEnvironment());
  }

  std::unique_ptr<GnomeSession> session;
};
using GnomeFocusTest = GnomeShellTest<true>;
using GnomeWithoutExtensionTest = GnomeShellTest<false>;

TEST_F(GnomeFocusTest, SwitchesTitlesAndClosingAreReportedWithTheProcessPath) {
  auto editor = openWindow(*session, "quen.editor", "notes");
  auto viewer = openWindow(*session, "quen.viewer", "photo");
  auto terminal = openWindow(*session, "QuenXTest", "x window");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  const struct {
    const char* title;
    Json record;
  } switches[] = {{"notes", frontRecord("quen.editor", "notes")},
                  {"photo", frontRecord("quen.viewer", "photo")},
                  // named by the entry the Shell found for it; foot's, by their app ids
                  {"x window", frontRecord("debian-xterm", "x window", QUEN_XTERM_PATH)},
                  {"notes", frontRecord("quen.editor", "notes")}};
  for (const auto& step : switches) {
    session->activate(step.title);
    EXPECT_EQ(agent->waitForRecord(withMember("winTitle", step.title)), step.record);
  }

  kill(editor->pid(), SIGTERM);
  EXPECT_EQ(agent->nextRecord(), frontRecord("debian-xterm", "x window", QUEN_XTERM_PATH))
      << "closing the front window brings the one before it forward";
  ChildProcess::spawnAsNobody({"/usr/bin/xdotool", "search", "--name", "x window", "set_window",
                               "--name", "draft"}, session->x11ClientEnvironment());
  EXPECT_EQ(agent->nextRecord(), frontRecord("debian-xterm", "draft", QUEN_XTERM_PATH))
      << "a title change";
  session->activate("photo");
  ASSERT_TRUE(agent->waitForRecord(withMember("winTitle", "photo")));

  auto restarted = startAgent();
  ASSERT_TRUE(restarted);
  EXPECT_EQ(restarted->nextRecord(), frontRecord("quen.viewer", "photo"))
      << "a restarted agent knows the front window at once";
  for (const auto& window : {viewer.get(), terminal.get()}) kill(window->pid(), SIGTERM);
}

TEST_F(GnomeFocusTest, TheExtensionSwitchedOffIsReportedAndFollowedAgainOnceOn) {
  auto editor = openWindow(*session, "quen.editor", "notes");
  auto viewer = openWindow(*session, "quen.viewer", "photo");
  // Another client of the user's bus, listening to every signal the Shell sends it.
  auto listener = ChildProcess::spawnAsNobody(
      {"/usr/bin/gdbus", "monitor", "--session", "--dest", "org.gnome.Shell"},
      session->clientEnvironment());
  ASSERT_TRUE(waitUntil([&] {  // its match rule is in place once it knows the Shell's owner
    const auto line = listener->readLine(LINE_TIMEOUT);
    return !line || line->find("is owned by") != std::string::npos;
  }, LINE_TIMEOUT));
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.viewer", "photo"));
  const std::string extensions = "org.gnome.Shell.Extensions.", uuid = "focustrail@quen.dev";
  session->shellCall("/org/gnome/Shell", extensions + "DisableExtension", {uuid});
  EXPECT_EQ(agent->nextRecord().value_or(Json())["error"],
            Json::array({"E_SHELL_EXTENSION_DISABLED"}));
  // The Shell's broadcast of the extension's new state reaches the listener after anything
  // the Shell sent before it: so the listener has seen every focus change it ever will.
  std::string heard;
  while (heard.find("ExtensionStateChanged") == std::string::npos)
    if (auto line = listener->readLine(LINE_TIMEOUT)) heard += *line + "\n";
    else break;
  EXPECT_NE(heard.find("ExtensionStateChanged"), std::string::npos) << heard;
  EXPECT_EQ(heard.find("FocusChanged"), std::string::npos) << "another client saw: " << heard;

  session->shellCall("/org/gnome/Shell", extensions + "EnableExtension", {uuid});
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.viewer", "photo"))
      << "followed again once the extension runs, without a restart";
  session->activate("notes");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "notes"));
  for (const auto& window : {editor.get(), viewer.get()}) kill(window->pid(), SIGTERM);
}

TEST_F(GnomeWithoutExtensionTest, AMissingExtensionIsReportedAndTheShellsEndEndsTheAgent) {
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  EXPECT_EQ(agent->nextRecord().value_or(Json())["error"],
            Json::array({"E_SHELL_EXTENSION_MISSING"}));
  kill(session->shellPid(), SIGKILL);
  const auto status = agent->waitForExit(LINE_TIMEOUT);
  EXPECT_TRUE(status && status->exitCode == 1);
  EXPECT_EQ(agent->standardError(),
            "Wayland: connection to compositor wayland-gnome lost: the compositor closed it or "
            "cannot be reached\n");
}

}  // namespace
}  // namespace quen::testing
