#include "tests/kde/kwin_session.h"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace {

namespace fs = std::filesystem;

constexpr uid_t NOBODY = 65534;
constexpr std::chrono::milliseconds READY_TIMEOUT{20000};
const char* const SOCKET = "wayland-kde";

}  // namespace

std::unique_ptr<ChildProcess> KwinSession::spawnAsNobody(std::vector<std::string> arguments,
                                                         const Environment& environment) {
  arguments.insert(arguments.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                       "--clear-groups", "--"});
  return ChildProcess::spawn(arguments, environment);
}

std::unique_ptr<KwinSession> KwinSession::start(bool grantWindowList) {
  std::unique_ptr<KwinSession> session(new KwinSession);
  char pattern[] = "/tmp/quen-kwin-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return nullptr;
  session->directory_ = pattern;
  session->runtimeDirectory_ = session->directory_ + "/xdg";
  const std::string home = session->directory_ + "/home";
  const std::string bin = session->directory_ + "/bin";
  const std::string applications = home + "/.local/share/applications";
  fs::create_directories(applications);
  fs::create_directory(session->runtimeDirectory_);
  fs::create_directory(bin);
  fs::permissions(session->directory_, fs::perms(0755));
  fs::permissions(session->runtimeDirectory_, fs::perms(0700));
  const fs::path agent(QUEN_FOCUSTRAIL_PATH);
  std::error_code error;
  fs::copy_file("/usr/bin/kwin_wayland", bin + "/kwin_wayland", error);  // no xattr copied
  fs::copy_file(agent, session->focusTrailPath(), error);
  fs::copy_file(agent.parent_path() / "FocusTrail-wayland.so", bin + "/FocusTrail-wayland.so",
                error);
  if (grantWindowList) {  // the entry the parent application installs, from its template
    std::stringstream entry;
    entry << std::ifstream(QUEN_DESKTOP_ENTRY_TEMPLATE).rdbuf();
    std::string text = entry.str();
    text.replace(text.find("@FOCUSTRAIL@"), 12, session->focusTrailPath());
    std::ofstream(applications + "/quen-focustrail.desktop") << text;
  }
  for (const auto& path : {session->runtimeDirectory_, home, home + "/.local",
                           home + "/.local/share", applications})
    if (chown(path.c_str(), NOBODY, NOBODY) != 0) error.assign(errno, std::generic_category());
  if (error) {
    ADD_FAILURE() << "cannot prepare the session's directory: " << error.message();
    return nullptr;
  }
  const std::string bus = "unix:path=" + session->runtimeDirectory_ + "/bus";
  session->bus_ = spawnAsNobody(
      {"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + bus},
      {{"XDG_RUNTIME_DIR", session->runtimeDirectory_}, {"HOME", home}});
  // XWayland's display, written once every local user's X clients may use it.
  const std::string started = "xhost +local: >/dev/null && echo $DISPLAY > " +
                              session->runtimeDirectory_ + "/display";
  session->kwin_ = spawnAsNobody(
      {bin + "/kwin_wayland", "--virtual", "--width", "1280", "--height", "800", "--socket",
       SOCKET, "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities", "--xwayland",
       "sh -c '" + started + "'"},
      {{"XDG_RUNTIME_DIR", session->runtimeDirectory_},
       {"HOME", home},
       {"DBUS_SESSION_BUS_ADDRESS", bus},
       {"KWIN_COMPOSE", "Q"},
       {"DISPLAY", std::nullopt},
       {"WAYLAND_DISPLAY", std::nullopt},
       {"XDG_SESSION_TYPE", std::nullopt},
       {"XDG_DATA_HOME", std::nullopt},
       {"XDG_DATA_DIRS", std::nullopt}});
  if (!session->bus_ || !session->kwin_ || !session->awaitReady()) return nullptr;
  return session;
}

bool KwinSession::awaitReady() {
  const bool ready = waitUntil(
      [&] {
        if (kwin_->waitForExit(Milliseconds(0))) return true;
        std::ifstream(runtimeDirectory_ + "/display") >> xwaylandDisplay_;
        return !xwaylandDisplay_.empty();
      },
      READY_TIMEOUT);
  if (ready && !kwin_->waitForExit(Milliseconds(0))) return true;
  ADD_FAILURE() << "KWin did not become ready: " << kwin_->standardError();
  return false;
}

KwinSession::~KwinSession() {
  // SIGTERM lets KWin end XWayland and its clients' connections itself.
  for (auto* process : {kwin_.get(), bus_.get()}) {
    if (process == nullptr || process->waitForExit(Milliseconds(0))) continue;
    kill(process->pid(), SIGTERM);
    process->waitForExit(LINE_TIMEOUT);
  }
  kwin_.reset();
  bus_.reset();
  std::error_code ignored;
  if (!directory_.empty()) fs::remove_all(directory_, ignored);
}

Environment KwinSession::clientEnvironment() const {
  return {{"XDG_RUNTIME_DIR", runtimeDirectory_},   {"WAYLAND_DISPLAY", SOCKET},
          {"DISPLAY", std::nullopt},                {"XDG_SESSION_TYPE", std::nullopt},
          {"HOME", directory_ + "/home"},           {"XDG_CONFIG_HOME", std::nullopt},
          {"XDG_CACHE_HOME", std::nullopt},         {"XDG_DATA_HOME", std::nullopt},
          {"XDG_DATA_DIRS", directory_ + "/none"},  {"SWAYSOCK", std::nullopt},
          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtimeDirectory_ + "/bus"}};
}

bool KwinSession::busCall(const std::vector<std::string>& arguments, std::string& reply) {
  std::vector<std::string> call{"/usr/bin/dbus-send", "--session", "--print-reply=literal",
                                "--dest=org.kde.KWin"};
  call.insert(call.end(), arguments.begin(), arguments.end());
  auto process = spawnAsNobody(call, clientEnvironment());
  const auto status = process ? process->waitForExit(LINE_TIMEOUT) : std::nullopt;
  reply.clear();
  // It has ended: its output is all there, up to the end of the stream.
  while (auto line = process ? process->readLine(LINE_TIMEOUT) : std::nullopt) reply += *line;
  if (process) reply += process->standardError();
  return status && status->exitCode == 0;
}

void KwinSession::activate(const std::string& caption) {
  const std::string name = "quen-activate-" + std::to_string(++scripts_);
  const std::string script = runtimeDirectory_ + "/" + name + ".js";
  std::ofstream(script) << "for (const c of workspace.clientList())\n"
                           "  if (c.caption === \"" << caption << "\") workspace.activeClient = c;\n";
  fs::permissions(script, fs::perms(0644));
  std::string reply;
  ASSERT_TRUE(busCall({"/Scripting", "org.kde.kwin.Scripting.loadScript", "string:" + script,
                       "string:" + name}, reply)) << reply;
  std::istringstream words(reply);
  std::string type;
  int id = -1;
  words >> type >> id;
  ASSERT_GE(id, 0) << reply;
  ASSERT_TRUE(busCall({"/" + std::to_string(id), "org.kde.kwin.Script.run"}, reply)) << reply;
  EXPECT_TRUE(busCall({"/Scripting", "org.kde.kwin.Scripting.unloadScript", "string:" + name},
                      reply)) << reply;
}

}  // namespace quen::testing
