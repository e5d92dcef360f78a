#include "tests/wayland/sway_session.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace {

namespace fs = std::filesystem;

constexpr uid_t NOBODY = 65534;
constexpr std::chrono::milliseconds READY_TIMEOUT{15000};

bool runToEnd(const std::vector<std::string>& arguments, std::string& errorText) {
  auto process = ChildProcess::spawn(arguments, {});
  const auto status = process ? process->waitForExit(LINE_TIMEOUT) : std::nullopt;
  if (process) errorText = process->standardError();
  return status && status->exitCode == 0;
}

}  // namespace

std::unique_ptr<SwaySession> SwaySession::start() {
  std::unique_ptr<SwaySession> session(new SwaySession);
  char pattern[] = "/tmp/quen-sway-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return nullptr;
  session->directory_ = pattern;
  session->runtimeDirectory_ = session->directory_ + "/xdg";
  const std::string home = session->directory_ + "/home";
  fs::create_directory(session->runtimeDirectory_);
  fs::create_directory(home);
  fs::permissions(session->directory_, fs::perms(0755));
  fs::permissions(session->runtimeDirectory_, fs::perms(0700));
  const std::string config = session->directory_ + "/sway.conf";
  // XWayland's display, written once root's X clients may use it (XWayland admits only its
  // own user's otherwise).
  std::ofstream(config) << "exec sh -c 'xhost +si:localuser:root >/dev/null && "
                           "echo $DISPLAY > $XDG_RUNTIME_DIR/display'\n";
  fs::permissions(config, fs::perms(0644));
  if (chown(session->runtimeDirectory_.c_str(), NOBODY, NOBODY) != 0 ||
      chown(home.c_str(), NOBODY, NOBODY) != 0) {
    ADD_FAILURE() << "cannot hand the runtime directory to nobody";
    return nullptr;
  }
  session->sway_ = ChildProcess::spawnAsNobody(
      {"/usr/bin/sway", "-c", config},
      {{"XDG_RUNTIME_DIR", session->runtimeDirectory_},
       {"HOME", home},
       {"WLR_BACKENDS", "headless"},
       {"WLR_LIBINPUT_NO_DEVICES", "1"},
       {"WLR_RENDERER", "pixman"},
       {"DISPLAY", std::nullopt},
       {"WAYLAND_DISPLAY", std::nullopt},
       {"SWAYSOCK", std::nullopt},
       {"XDG_SESSION_TYPE", std::nullopt}});
  if (!session->sway_ || !session->awaitReady()) return nullptr;
  return session;
}

bool SwaySession::awaitReady() {
  std::string cause = "no IPC socket";
  const bool ready = waitUntil(
      [&] {
        if (sway_->waitForExit(Milliseconds(0))) return true;
        for (const auto& entry : fs::directory_iterator(runtimeDirectory_))
          if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0)
            ipcSocket_ = entry.path().string();
        std::ifstream(runtimeDirectory_ + "/display") >> xwaylandDisplay_;
        return !ipcSocket_.empty() && !xwaylandDisplay_.empty() &&
               runToEnd({"/usr/bin/swaymsg", "-s", ipcSocket_, "-t", "get_version"}, cause);
      },
      READY_TIMEOUT);
  if (ready && !sway_->waitForExit(Milliseconds(0))) return true;
  ADD_FAILURE() << "sway did not become ready: " << cause << sway_->standardError();
  return false;
}

SwaySession::~SwaySession() {
  // SIGTERM lets sway end XWayland and its clients' connections itself.
  if (sway_ && !sway_->waitForExit(Milliseconds(0))) {
    kill(sway_->pid(), SIGTERM);
    sway_->waitForExit(LINE_TIMEOUT);
  }
  sway_.reset();
  std::error_code ignored;
  if (!directory_.empty()) fs::remove_all(directory_, ignored);
}

Environment SwaySession::clientEnvironment() const {
  return {{"XDG_RUNTIME_DIR", runtimeDirectory_}, {"WAYLAND_DISPLAY", "wayland-1"},
          {"SWAYSOCK", ipcSocket_},               {"DISPLAY", std::nullopt},
          {"XDG_SESSION_TYPE", std::nullopt},     {"HOME", directory_ + "/home"},
          {"XDG_CONFIG_HOME", std::nullopt},      {"XDG_CACHE_HOME", std::nullopt},
          {"XDG_DATA_HOME", directory_ + "/home"}, {"XDG_DATA_DIRS", directory_ + "/none"}};
}

void SwaySession::command(const std::string& swayCommand) {
  std::string errorText;
  EXPECT_TRUE(runToEnd({"/usr/bin/swaymsg", "-s", ipcSocket_, swayCommand}, errorText))
      << swayCommand << ": " << errorText;
}

bool SwaySession::awaitWindow(const std::string& criteria) const {
  std::string errorText;
  if (waitUntil([&] { return runToEnd({"/usr/bin/swaymsg", "-s", ipcSocket_, criteria + " nop"},
                                      errorText); },
                LINE_TIMEOUT))
    return true;
  ADD_FAILURE() << "sway shows no window " << criteria << ": " << errorText;
  return false;
}

}  // namespace quen::testing
