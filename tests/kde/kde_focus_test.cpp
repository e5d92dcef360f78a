// The real FocusTrail on a real, headless KWin: the front window from KWin's window list
// (granted by a desktop entry), with its process; native and XWayland windows, titles,
// closing, and KWin going away. Without the grant: the same from the KWin script FocusTrail
// loads, which only KWin may call.

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/agent_harness.h"
#include "tests/kde/kwin_session.h"
#include "tests/support/wait_until.h"

namespace quen::testing {
namespace {

// A GTK window (run by python3, so that is its process's path), retitled through a FIFO.
class Window {
 public:
  Window(const KwinSession& session, const std::string& appId, const std::string& title) {
    const std::string input = session.directory() + "/" + appId;
    mkfifo(input.c_str(), 0644);
    input_.open(input, std::ios::in | std::ios::out);  // read-write: waits for no reader
    Environment environment = session.clientEnvironment();
    environment["NO_AT_BRIDGE"] = "1";  // no accessibility bus to outlive the session
    process_ = ChildProcess::spawnAsNobody(
        {"/usr/bin/python3", QUEN_GTK_WINDOW, appId, title, input}, environment);
    EXPECT_EQ(process_->readLine(LINE_TIMEOUT), "mapped") << process_->standardError();
  }
  void retitle(const std::string& title) { input_ << title << '\n' << std::flush; }
  void close() { kill(process_->pid(), SIGTERM); }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::fstream input_;  // closed first: the window ends at the end of its input
};

// An XWayland window titled "x window", of class QuenXTest, running `sleep`: nobody's shell
// (nologin) would end it at once where $SHELL is unset.
std::unique_ptr<ChildProcess> startXterm(const KwinSession& session) {
  return ChildProcess::spawnAsNobody({"/usr/bin/xterm", "-class", "QuenXTest", "-name", "quenx",
                                      "-T", "x window", "-e", "sleep", "infinity"},
      {{"DISPLAY", session.xwaylandDisplay()}, {"WAYLAND_DISPLAY", std::nullopt}});
}

Json frontRecord(const std::string& appId, const std::string& title) {
  return Json{{"appName", appId}, {"appIdentifier", appId}, {"appPath", QUEN_PYTHON_PATH},
              {"winTitle", title}, {"winUrl", false},      {"error", false}};
}

// With the desktop entry's grant FocusTrail reads KWin's window list; without it, it loads its
// script, which only KWin may call. Either way the records are the same.
class KdeFocusTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { ASSERT_TRUE(session = KwinSession::start(/*grantWindowList=*/GetParam())); }
  bool viaScript() const { return !GetParam(); }
  // In the session's environment, with `changes` made to it.
  std::unique_ptr<ChildProcess> startAgent(const Environment& changes = {}) {
    Environment environment = session->clientEnvironment();
    for (const auto& [name, value] : changes) environment[name] = value;
    return ChildProcess::spawnAsNobody({session->focusTrailPath(), "--argTitleNeeded", "true",
                                        "--argUrlNeeded", "false", "--argForceReqPerm", "false"},
                                       environment);
  }
  // Runs busctl in the session; its output, and whether it succeeded.
  std::pair<std::string, bool> busctl(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"/usr/bin/busctl", "--user"});
    auto process = ChildProcess::spawnAsNobody(arguments, session->clientEnvironment());
    const auto status = process->waitForExit(LINE_TIMEOUT);
    std::string output;
    while (auto line = process->readLine(LINE_TIMEOUT)) output += *line + "\n";
    return {output, status && status->exitCode == 0};
  }
  // The agent's unique bus name, as any process of the user may list it.
  std::string busNameOf(const ChildProcess& agent) {
    std::istringstream names(busctl({"list", "--unique", "--no-legend"}).first);
    std::string name, pid, rest;
    while (names >> name >> pid && std::getline(names, rest))
      if (pid == std::to_string(agent.pid())) return name;
    return {};
  }
  bool scriptLoaded(std::string busName) {
    std::replace(busName.begin(), busName.end(), '.', '-');
    return busctl({"call", "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                   "isScriptLoaded", "s", "focustrail-" + busName.substr(1)}).first == "b true\n";
  }

  std::unique_ptr<KwinSession> session;
};

TEST_P(KdeFocusTest, SwitchesTitlesClosingAndARestartedAgent) {
  Window editor(*session, "quen.editor", "notes");
  auto agent = startAgent();
  ASSERT_TRUE(agent);
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "notes"))
      << "the window in front as the agent starts";
  Window viewer(*session, "quen.viewer", "photo");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.viewer", "photo")) << "a new window";
  session->activate("notes");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "notes"));
  editor.retitle("draft");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "draft")) << "a title change";

  auto terminal = startXterm(*session);
  auto record = agent->waitForRecord(withMember("winTitle", "x window"));
  ASSERT_TRUE(record) << "an XWayland window";
  EXPECT_EQ((*record)["appPath"], QUEN_XTERM_PATH);
  EXPECT_EQ((*record)["appIdentifier"], "quenxtest") << "KWin's app id: the class, lower case";
  session->activate("draft");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.editor", "draft"));
  editor.close();
  EXPECT_EQ(agent->nextRecord().value_or(Json())["winTitle"], "x window")
      << "closing the front window brings the one active before it forward";
  session->activate("photo");
  EXPECT_EQ(agent->nextRecord(), frontRecord("quen.viewer", "photo"));

  const std::string firstName = busNameOf(*agent);
  if (viaScript()) {
    ASSERT_TRUE(scriptLoaded(firstName));
  }
  kill(agent->pid(), SIGTERM);  // as the parent ends it: no chance to unload a script
  ASSERT_TRUE(agent->waitForExit(LINE_TIMEOUT));
  auto restarted = startAgent();
  ASSERT_TRUE(restarted);
  EXPECT_EQ(restarted->nextRecord(), frontRecord("quen.viewer", "photo"))
      << "a restarted agent knows the front window at once";
  if (viaScript()) {  // only KWin's calls count
    EXPECT_FALSE(busctl({"call", busNameOf(*restarted), "/org/quen/FocusTrail",
                         "org.quen.FocusTrail.KWinWindows", "WindowActivated", "ssssi", "{f}",
                         "forged", "quen.forged", "quen.forged", "1"}).second);
  }
  session->activate("x window");
  EXPECT_EQ(restarted->nextRecord().value_or(Json())["winTitle"], "x window")
      << "the forged window never reported";
  if (viaScript()) {
    EXPECT_TRUE(waitUntil([&] { return !scriptLoaded(firstName); }, LINE_TIMEOUT))
        << "the ended agent's script unloads itself at the next activation";
  }
  kill(terminal->pid(), SIGTERM);
}

TEST_P(KdeFocusTest, KWinGoingAwayEndsTheAgentWithOneLine) {
  Window editor(*session, "quen.editor", "notes");
  auto agent = startAgent();
  ASSERT_TRUE(agent && agent->nextRecord());
  kill(session->compositorPid(), SIGKILL);
  const auto status = agent->waitForExit(LINE_TIMEOUT);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->exitCode, 1);
  EXPECT_EQ(agent->standardError(),
            "Wayland: connection to compositor wayland-kde lost: the compositor closed it or "
            "cannot be reached\n");
}

INSTANTIATE_TEST_SUITE_P(Routes, KdeFocusTest, ::testing::Values(true, false),
                         [](const auto& route) { return route.param ? "WindowList" : "Script"; });

using KdeWithoutScriptTest = KdeFocusTest;

TEST_P(KdeWithoutScriptTest, ANativeWindowIsReportedNotVisibleThroughX11) {
  Window editor(*session, "quen.editor", "notes");
  // KWin finds no script in a runtime directory that does not exist; the Wayland socket is
  // named by its path instead.
  auto agent = startAgent(
      {{"WAYLAND_DISPLAY", *session->clientEnvironment()["XDG_RUNTIME_DIR"] + "/wayland-kde"},
       {"XDG_RUNTIME_DIR", session->directory() + "/none"},
       {"DISPLAY", session->xwaylandDisplay()},
       {"XDG_SESSION_TYPE", "wayland"}});
  ASSERT_TRUE(agent);
  const auto record = agent->nextRecord();
  ASSERT_TRUE(record) << agent->standardError();
  EXPECT_EQ((*record)["error"], Json::array({"E_WINDOW_NOT_VISIBLE"}));
}

INSTANTIATE_TEST_SUITE_P(NoGrant, KdeWithoutScriptTest, ::testing::Values(false));

}  // namespace
}  // namespace quen::testing
