#include "tests/kde/kwin_session.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace fs = std::filesystem;

std::unique_ptr<KwinSession> KwinSession::start(bool grantWindowList) {
  std::unique_ptr<KwinSession> session(new KwinSession);
  char pattern[] = "/tmp/quen-kwin-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return nullptr;
  const std::string root = session->directory_ = pattern, home = root + "/home";
  const std::string runtime = session->runtimeDirectory_ = root + "/xdg";
  const fs::path agent(QUEN_FOCUSTRAIL_PATH);
  fs::create_directories(home + "/.local/share/applications");
  fs::create_directories(runtime);
  fs::create_directories(root + "/bin");
  fs::permissions(root, fs::perms(0755));
  fs::permissions(runtime, fs::perms(0700));
  for (const fs::path& file : {fs::path("/usr/bin/kwin_wayland"), agent,  // no xattr copied
                               agent.parent_path() / "FocusTrail-wayland.so"})
    fs::copy_file(file, root + "/bin/" + file.filename().string());
  std::stringstream entry;
  entry << std::ifstream(QUEN_DESKTOP_ENTRY_TEMPLATE).rdbuf();
  std::string text = entry.str();
  if (grantWindowList)
    std::ofstream(home + "/.local/share/applications/quen-focustrail.desktop")
        << text.replace(text.find("@FOCUSTRAIL@"), 12, session->focusTrailPath());
  const bool owned = std::system(("chown -R nobody: " + runtime + " " + home).c_str()) == 0;
  const std::string bus = "unix:path=" + runtime + "/bus";
  session->bus_ = ChildProcess::spawnAsNobody({"/usr/bin/dbus-daemon", "--session", "--nofork",
                                 "--nopidfile", "--address=" + bus}, {});
  // Started once KWin is ready: opens XWayland to every local user, then names its display.
  const std::string started = "sh -c 'xhost +local: && echo $DISPLAY > " + runtime + "/x'";
  session->kwin_ = ChildProcess::spawnAsNobody(
      {root + "/bin/kwin_wayland", "--virtual", "--socket", "wayland-kde", "--no-lockscreen",
       "--no-global-shortcuts", "--no-kactivities", "--xwayland", started},
      {{"XDG_RUNTIME_DIR", runtime}, {"HOME", home}, {"DBUS_SESSION_BUS_ADDRESS", bus},
       {"KWIN_COMPOSE", "Q"}, {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt},
       {"XDG_DATA_HOME", std::nullopt}, {"XDG_DATA_DIRS", std::nullopt}});
  const bool ready = owned && waitUntil([&] {
    std::ifstream(runtime + "/x") >> session->xwaylandDisplay_;
    return !session->xwaylandDisplay_.empty() || session->kwin_->waitForExit(Milliseconds(0));
  }, std::chrono::milliseconds(20000));
  if (ready && !session->kwin_->waitForExit(Milliseconds(0))) return session;
  ADD_FAILURE() << "KWin did not become ready: " << session->kwin_->standardError();
  return nullptr;
}

KwinSession::~KwinSession() {
  for (auto* process : {kwin_.get(), bus_.get()}) {  // KWin ends XWayland itself
    if (process == nullptr || process->waitForExit(Milliseconds(0))) continue;
    kill(process->pid(), SIGTERM);
    process->waitForExit(LINE_TIMEOUT);
  }
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

Environment KwinSession::clientEnvironment() const {
  return {{"XDG_RUNTIME_DIR", runtimeDirectory_},  {"WAYLAND_DISPLAY", "wayland-kde"},
          {"DISPLAY", std::nullopt},               {"XDG_SESSION_TYPE", std::nullopt},
          {"HOME", directory_ + "/home"},          {"XDG_DATA_HOME", std::nullopt},
          {"XDG_DATA_DIRS", directory_ + "/none"}, {"SWAYSOCK", std::nullopt},
          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtimeDirectory_ + "/bus"}};
}

// The reply (and any error), once dbus-send has ended; a test failure when it failed.
std::string KwinSession::busCall(const std::vector<std::string>& arguments) {
  std::vector<std::string> call{"/usr/bin/dbus-send", "--session", "--print-reply=literal",
                                "--dest=org.kde.KWin"};
  call.insert(call.end(), arguments.begin(), arguments.end());
  auto process = ChildProcess::spawnAsNobody(call, clientEnvironment());
  const auto status = process->waitForExit(LINE_TIMEOUT);
  std::string reply;
  while (auto line = process->readLine(LINE_TIMEOUT)) reply += *line;
  reply += process->standardError();
  EXPECT_TRUE(status && status->exitCode == 0) << reply;
  return reply;
}

void KwinSession::activate(const std::string& caption) {
  const std::string name = "quen-activate-" + std::to_string(++scripts_);
  const std::string script = runtimeDirectory_ + "/" + name + ".js";
  std::ofstream(script) << "for (const c of workspace.clientList())\n  if (c.caption === \""
                        << caption << "\") workspace.activeClient = c;\n";
  fs::permissions(script, fs::perms(0644));
  std::istringstream reply(busCall({"/Scripting", "org.kde.kwin.Scripting.loadScript",
                                    "string:" + script, "string:" + name}));
  std::string type;
  int id = -1;
  reply >> type >> id;  // "int32 <id>"
  ASSERT_GE(id, 0) << reply.str();
  busCall({"/" + std::to_string(id), "org.kde.kwin.Script.run"});
  busCall({"/Scripting", "org.kde.kwin.Scripting.unloadScript", "string:" + name});
}

}  // namespace quen::testing
