#include "tests/wayland/sway_session.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace quen::testing {

namespace {

constexpr uid_t NOBODY = 65534;
constexpr std::chrono::milliseconds READY_TIMEOUT{15000};
// How often readiness is looked at while waiting for it.
constexpr std::chrono::milliseconds READY_CHECK{10};
constexpr Milliseconds COMMAND_TIMEOUT{10000};

std::optional<ExitStatus> runToEnd(const std::vector<std::string>& arguments,
                                   const std::map<std::string, std::optional<std::string>>& env,
                                   std::string& errorText) {
  SpawnOptions options;
  options.arguments = arguments;
  options.environment = env;
  std::string error;
  auto process = ChildProcess::spawn(options, error);
  if (!process) {
    errorText = error;
    return std::nullopt;
  }
  auto status = process->waitForExit(COMMAND_TIMEOUT);
  errorText = process->standardError();
  return status;
}

}  // namespace

std::unique_ptr<SwaySession> SwaySession::start(std::string& error) {
  std::unique_ptr<SwaySession> session(new SwaySession);
  char pattern[] = "/tmp/quen-sway-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    error = "cannot make a directory for sway";
    return nullptr;
  }
  session->directory_ = pattern;
  session->runtimeDirectory_ = session->directory_ + "/xdg";
  namespace fs = std::filesystem;
  const std::string home = session->directory_ + "/home";
  fs::create_directory(session->runtimeDirectory_);
  fs::create_directory(home);
  fs::permissions(session->directory_, fs::perms(0755));
  fs::permissions(session->runtimeDirectory_, fs::perms(0700));
  const std::string config = session->directory_ + "/sway.conf";
  // XWayland's display, written once root's X clients may use it (XWayland admits only its
  // own user's otherwise); new windows take focus in an order that varies, so the tests
  // focus explicitly.
  std::ofstream(config) << "exec sh -c 'xhost +si:localuser:root >/dev/null && "
                           "echo $DISPLAY > $XDG_RUNTIME_DIR/display'\n"
                        << "focus_on_window_activation none\n";
  fs::permissions(config, fs::perms(0644));
  if (chown(session->runtimeDirectory_.c_str(), NOBODY, NOBODY) != 0 ||
      chown(home.c_str(), NOBODY, NOBODY) != 0) {
    error = "cannot hand the runtime directory to nobody";
    return nullptr;
  }
  SpawnOptions options;
  options.arguments = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                       "--",   "/usr/bin/sway", "-c", config};
  options.environment = {{"XDG_RUNTIME_DIR", session->runtimeDirectory_},
                         {"HOME", home},
                         {"WLR_BACKENDS", "headless"},
                         {"WLR_LIBINPUT_NO_DEVICES", "1"},
                         {"WLR_RENDERER", "pixman"},
                         {"DISPLAY", std::nullopt},
                         {"WAYLAND_DISPLAY", std::nullopt},
                         {"SWAYSOCK", std::nullopt},
                         {"XDG_SESSION_TYPE", std::nullopt},
                         {"XDG_CURRENT_DESKTOP", std::nullopt}};
  session->sway_ = ChildProcess::spawn(options, error);
  if (!session->sway_ || !session->awaitReady(error)) return nullptr;
  return session;
}

bool SwaySession::awaitReady(std::string& error) {
  namespace fs = std::filesystem;
  const auto deadline = std::chrono::steady_clock::now() + READY_TIMEOUT;
  std::string cause = "no IPC socket";
  while (std::chrono::steady_clock::now() < deadline) {
    if (sway_->waitForExit(Milliseconds(0))) {
      error = "sway ended: " + sway_->standardError();
      return false;
    }
    for (const auto& entry : fs::directory_iterator(runtimeDirectory_))
      if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0)
        ipcSocket_ = entry.path().string();
    std::string display;
    std::ifstream(runtimeDirectory_ + "/display") >> display;
    if (!ipcSocket_.empty() && fs::exists(runtimeDirectory_ + "/wayland-1") && !display.empty()) {
      const auto status = runToEnd({"/usr/bin/swaymsg", "-s", ipcSocket_, "-t", "get_version"},
                                   {}, cause);
      if (status && status->exitCode == 0) {
        xwaylandDisplay_ = display;
        return true;
      }
    }
    std::this_thread::sleep_for(READY_CHECK);
  }
  error = "sway did not become ready: " + cause + " " + sway_->standardError();
  return false;
}

SwaySession::~SwaySession() {
  // SIGTERM lets sway end XWayland and the clients' connections itself.
  if (sway_ && !sway_->waitForExit(Milliseconds(0))) {
    kill(sway_->pid(), SIGTERM);
    sway_->waitForExit(Milliseconds(5000));
  }
  sway_.reset();
  std::error_code ignored;
  if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
}

std::map<std::string, std::optional<std::string>> SwaySession::clientEnvironment() const {
  return {{"XDG_RUNTIME_DIR", runtimeDirectory_}, {"WAYLAND_DISPLAY", "wayland-1"},
          {"SWAYSOCK", ipcSocket_},               {"DISPLAY", std::nullopt},
          {"XDG_SESSION_TYPE", std::nullopt},     {"XDG_DATA_HOME", directory_ + "/home"},
          {"XDG_DATA_DIRS", directory_ + "/none"}};
}

void SwaySession::command(const std::string& swayCommand) {
  std::string errorText;
  const auto status =
      runToEnd({"/usr/bin/swaymsg", "-s", ipcSocket_, swayCommand}, {}, errorText);
  EXPECT_TRUE(status && status->exitCode == 0) << swayCommand << ": " << errorText;
}

}  // namespace quen::testing
