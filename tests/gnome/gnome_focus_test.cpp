// The real FocusTrail on a real, headless GNOME Shell, through the project's Shell extension:
// native and XWayland windows with their process, titles, closing, a restarted agent, the
// extension switched off and on at run time, one that is missing, what another client on the
// bus can see, and the Shell going away.

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>

#include "tests/e2e/agent_harness.h"
#include "tests/gnome/gnome_session.h"
#include "tests/support/wait_until.h"

namespace quen::testing {
namespace {

// One window of foot (its configuration empty) with its app id and title, run as nobody, and
// brought forward once mapped (so that no window mapped late takes the focus during a test);
// `cat` inside copies a FIFO to the terminal, so OSC 2 written there sets the title.
class Terminal {
 public:
  Terminal(GnomeSession& session, const std::string& appId, const std::string& title) {
    const std::string input = session.directory() + "/" + appId;
    mkfifo(input.c_str(), 0644);
    input_.open(input, std::ios::in | std::ios::out);  // read-write: waits for no reader
    process_ = GnomeSession::spawnAsNobody({QUEN_FOOT_PATH, "--config=/dev/null",
                                            "--app-id=" + appId, "--title=" + title, "cat", input},
                                           session.clientEnvironment());
    session.activate(title);
  }
  void retitle(const std::string& title) { input_ << "\033]2;" << title << '\a' << std::flush; }
  void close() { kill(process_->pid(), SIGTERM); }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::fstream input_;  // closed first: cat reads the end of its input, and foot ends with it
};

Json frontRecord(const std::string& appId, const std::string& title,
                 const std::string& path = QUEN_FOOT_PATH) {
  return Json{{"appName", appId}, {"appIdentifier", appId}, {"appPath", path},
              {"winTitle", title}, {"winUrl", false},      {"error", false}};
}

Json hiddenRecord(const char* code) {
  return Json{{"appName", "UNKNOWN_APP_NAME"},
              {"appIdentifier", "UNKNOWN_APP_IDENTIFIER"},
              {"appPath", "UNKNOWN_APP_BUNDLE_URL_PATH"},
              {"winTitle", false},
              {"winUrl", false},
              {"error", Json::array({code})}};
}

// One Shell per suite: it takes seconds to start. Each test closes the windows it opened.
template <bool WithExtension>
class GnomeShellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { session = GnomeSession::start(WithExtension); }
  static void TearDownTestSuite() { session.reset(); }
  void SetUp() override { ASSERT_TRUE(session); }
  static std::unique_ptr<ChildProcess> startAgent() {
    return GnomeSession::spawnAsNobody({QUEN_FOCUSTRAIL_PATH, "--argTitleNeeded", "true",
                                        "--argUrlNeeded", "false", "--argForceReqPerm", "false"},
                                       session->clientEnvironment());
  }

  static inline std::unique_ptr<GnomeSession> session;
};
using GnomeFocusTest = GnomeShellTest<true>;
using GnomeWithoutExtensionTest = GnomeShellTest<false>;

TEST_F(GnomeFocusTest, SwitchesTitlesAndClosingAreReportedWithTheProcessPath) {
  Terminal editor(*session, "quen.editor", "notes"), viewer(*session, "quen.viewer", "photo");
  auto terminal = GnomeSession::spawnAsNobody(
      {"/usr/bin/xterm", "-class", "QuenXTest", "-name", "quenx", "-T", "x window"},
      session->x11ClientEnvironment());
  session->activate("x window");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  const struct {
    const char* title;
    Json record;
  } switches[] = {{"notes", frontRecord("quen.editor", "notes")},
                  {"photo", frontRecord("quen.viewer", "photo")},
                  {"x window", frontRecord("QuenXTest", "x window", QUEN_XTERM_PATH)},
                  {"notes", frontRecord("quen.editor", "notes")}};
  for (const auto& step : switches) {
    session->activate(step.title);
    EXPECT_EQ(agent->waitForRecord(withMember("winTitle", step.title)), step.record);
  }

  editor.retitle("draft");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "draft")) << "a title change";
  editor.close();
  EXPECT_EQ(agent->nextRecord(), frontRecord("QuenXTest", "x window", QUEN_XTERM_PATH))
      << "closing the front window brings the one before it forward";
  session->activate("photo");
  ASSERT_TRUE(agent->waitForRecord(withMember("winTitle", "photo")));

  auto restarted = startAgent();
  ASSERT_TRUE(restarted);
  EXPECT_EQ(restarted->nextRecord(), frontRecord("quen.viewer", "photo"))
      << "a restarted agent knows the front window at once";
  viewer.close();
  kill(terminal->pid(), SIGTERM);
}

TEST_F(GnomeFocusTest, TheExtensionSwitchedOffIsReportedAndFollowedAgainOnceOn) {
  Terminal editor(*session, "quen.editor", "notes"), viewer(*session, "quen.viewer", "photo");
  // Another client of the user's bus, listening to every signal the Shell sends it.
  auto listener = GnomeSession::spawnAsNobody(
      {"/usr/bin/gdbus", "monitor", "--session", "--dest", "org.gnome.Shell"},
      session->clientEnvironment());
  ASSERT_TRUE(waitUntil([&] {  // its match rule is in place once it knows the Shell's owner
    const auto line = listener->readLine(LINE_TIMEOUT);
    return !line || line->find("is owned by") != std::string::npos;
  }, LINE_TIMEOUT));
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  session->activate("notes");
  ASSERT_TRUE(agent->waitForRecord(withMember("winTitle", "notes")));
  session->activate("photo");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.viewer", "photo"));

  session->setExtensionEnabled(false);
  EXPECT_EQ(agent->nextRecord(), hiddenRecord("E_SHELL_EXTENSION_DISABLED"));
  // The Shell's broadcast of the extension's new state reaches the listener after anything
  // the Shell sent before it: so the listener has seen every focus change it ever will.
  std::string heard;
  while (heard.find("ExtensionStateChanged") == std::string::npos)
    if (auto line = listener->readLine(LINE_TIMEOUT)) heard += *line + "\n";
    else break;
  EXPECT_NE(heard.find("ExtensionStateChanged"), std::string::npos) << heard;
  EXPECT_EQ(heard.find("FocusChanged"), std::string::npos) << "another client saw: " << heard;

  session->setExtensionEnabled(true);
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.viewer", "photo"))
      << "followed again once the extension runs, without a restart";
  session->activate("notes");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "notes"));
  editor.close();
  viewer.close();
}

TEST_F(GnomeWithoutExtensionTest, AMissingExtensionIsReportedAndTheShellsEndEndsTheAgent) {
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  EXPECT_EQ(agent->nextRecord(), hiddenRecord("E_SHELL_EXTENSION_MISSING"));
  kill(session->shellPid(), SIGKILL);
  const auto status = agent->waitForExit(LINE_TIMEOUT);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->exitCode, 1);
  EXPECT_EQ(agent->standardError(),
            "Wayland: connection to compositor wayland-gnome lost: the compositor closed it or "
            "cannot be reached\n");
}

}  // namespace
}  // namespace quen::testing
