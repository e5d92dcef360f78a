#include "tests/gnome/gnome_session.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* WAYLAND_NAME = "wayland-gnome";

// The arguments of process `pid`, as /proc shows them.
std::vector<std::string> commandLine(const std::string& pid) {
  std::ifstream file("/proc/" + pid + "/cmdline");
  std::vector<std::string> arguments;
  for (std::string argument; std::getline(file, argument, '\0');) arguments.push_back(argument);
  return arguments;
}

}  // namespace

std::unique_ptr<ChildProcess> GnomeSession::spawnAsNobody(std::vector<std::string> arguments,
                                                          const Environment& environment) {
  arguments.insert(arguments.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                       "--clear-groups", "--"});
  return ChildProcess::spawn(arguments, environment);
}

std::unique_ptr<GnomeSession> GnomeSession::start(bool withExtension) {
  std::unique_ptr<GnomeSession> session(new GnomeSession);
  char pattern[] = "/tmp/quen-gnome-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return nullptr;
  const std::string root = session->directory_ = pattern;
  const std::string runtime = session->runtimeDirectory_ = root + "/xdg";
  fs::create_directories(root + "/home");
  fs::create_directories(runtime);
  fs::permissions(root, fs::perms(0755));
  fs::permissions(runtime, fs::perms(0700));
  const bool owned = std::system(("chown -R nobody: " + runtime + " " + root + "/home").c_str()) == 0;
  // The buses start what they activate (dconf, which keeps the settings) in this home.
  Environment environment = session->clientEnvironment();
  environment["WAYLAND_DISPLAY"] = std::nullopt;
  environment["XDG_DATA_DIRS"] = std::nullopt;  // the Shell's own data: schemas, its desktop entries
  environment["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + runtime + "/system";
  environment["NO_AT_BRIDGE"] = "1";
  session->bus_ = spawnAsNobody({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--address=unix:path=" + runtime + "/bus"}, environment);
  session->systemBus_ = spawnAsNobody({"/usr/bin/dbus-daemon", "--session", "--nofork",
                                       "--nopidfile", "--address=unix:path=" + runtime + "/system"},
                                      environment);
  // gsettings without a bus would write to memory alone.
  const bool busesUp = waitUntil([&] {
    return fs::exists(runtime + "/bus") && fs::exists(runtime + "/system");
  }, LINE_TIMEOUT);
  if (withExtension) {
    auto install = spawnAsNobody({QUEN_INSTALL_EXTENSION, "--from", QUEN_TEST_EXTENSION}, environment);
    const auto status = install->waitForExit(LINE_TIMEOUT);
    EXPECT_TRUE(status && status->exitCode == 0) << install->standardError();
  }
  session->shell_ = spawnAsNobody({"/usr/bin/gnome-shell", "--headless", "--wayland",
                                   "--virtual-monitor", "1280x800", "--wayland-display",
                                   WAYLAND_NAME},
                                  environment);
  if (owned && busesUp && session->awaitReady() &&
      (!withExtension || waitUntil([&] { return session->extensionState() == 1; }, LINE_TIMEOUT)))
    return session;
  ADD_FAILURE() << "GNOME Shell did not become ready: " << session->shell_->standardError();
  return nullptr;
}

bool GnomeSession::awaitReady() {
  const std::string shell = std::to_string(shell_->pid());
  return waitUntil([&] {
    if (shell_->waitForExit(Milliseconds(0))) return true;
    if (xwaylandDisplay_.empty()) {  // the Shell starts XWayland as its child
      std::error_code error;
      for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::ifstream status(entry.path() / "stat");
        std::string pid, name, state, parent;
        if (!(status >> pid >> name >> state >> parent) || parent != shell ||
            name != "(Xwayland)")
          continue;
        const std::vector<std::string> arguments = commandLine(pid);
        for (std::size_t i = 1; i < arguments.size(); ++i) {
          if (arguments[i].starts_with(":")) xwaylandDisplay_ = arguments[i];
          if (arguments[i - 1] == "-auth") xauthority_ = arguments[i];
        }
      }
      if (xwaylandDisplay_.empty()) return false;
    }
    auto call = spawnAsNobody({"/usr/bin/dbus-send", "--session", "--print-reply=literal",
                               "--dest=org.gnome.Shell", "/org/gnome/Shell",
                               "org.freedesktop.DBus.Properties.Get", "string:org.gnome.Shell",
                               "string:ShellVersion"},
                              clientEnvironment());
    const auto status = call->waitForExit(LINE_TIMEOUT);
    return status && status->exitCode == 0;
  }, Milliseconds(30000)) && !shell_->waitForExit(Milliseconds(0));
}

GnomeSession::~GnomeSession() {
  for (auto* process : {shell_.get(), systemBus_.get(), bus_.get()}) {
    if (process == nullptr || process->waitForExit(Milliseconds(0))) continue;
    kill(process->pid(), SIGTERM);
    if (!process->waitForExit(LINE_TIMEOUT)) kill(process->pid(), SIGKILL);
  }
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

Environment GnomeSession::clientEnvironment() const {
  return {{"XDG_RUNTIME_DIR", runtimeDirectory_},  {"WAYLAND_DISPLAY", WAYLAND_NAME},
          {"DISPLAY", std::nullopt},               {"XDG_SESSION_TYPE", "wayland"},
          {"XDG_CURRENT_DESKTOP", "GNOME"},        {"HOME", directory_ + "/home"},
          {"XDG_DATA_HOME", std::nullopt},         {"XDG_DATA_DIRS", directory_ + "/none"},
          {"XDG_CONFIG_HOME", std::nullopt},       {"SWAYSOCK", std::nullopt},
          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtimeDirectory_ + "/bus"}};
}

Environment GnomeSession::x11ClientEnvironment() const {
  Environment environment = clientEnvironment();
  environment["WAYLAND_DISPLAY"] = std::nullopt;
  environment["DISPLAY"] = xwaylandDisplay_;
  environment["XAUTHORITY"] = xauthority_;
  return environment;
}

std::string GnomeSession::shellCall(const std::string& objectPath, const std::string& method,
                                    const std::vector<std::string>& arguments) {
  std::vector<std::string> call{"/usr/bin/dbus-send", "--session", "--print-reply=literal",
                                "--dest=org.gnome.Shell", objectPath, method};
  call.insert(call.end(), arguments.begin(), arguments.end());
  auto process = spawnAsNobody(call, clientEnvironment());
  const auto status = process->waitForExit(LINE_TIMEOUT);
  std::string reply;
  while (auto line = process->readLine(LINE_TIMEOUT)) reply += *line + "\n";
  EXPECT_TRUE(status && status->exitCode == 0) << method << ": " << process->standardError();
  return reply;
}

void GnomeSession::activate(const std::string& title) {
  EXPECT_TRUE(waitUntil([&] {  // a window just started may not be mapped yet
    return shellCall("/org/quen/FocusTrail", "org.quen.FocusTrail1.ActivateForTest",
                     {"string:" + title})
               .find("boolean true") != std::string::npos;
  }, LINE_TIMEOUT)) << "no window titled " << title;
}

int GnomeSession::extensionState() {
  const std::string reply = shellCall("/org/gnome/Shell", "org.gnome.Shell.Extensions.GetExtensionInfo",
                                      {std::string("string:") + GNOME_EXTENSION_UUID});
  const std::size_t state = reply.find("state");
  const std::size_t value = reply.find("double ", state);
  return state == std::string::npos || value == std::string::npos ? 0
                                                                  : std::atoi(&reply[value + 7]);
}

void GnomeSession::setExtensionEnabled(bool enabled) {
  shellCall("/org/gnome/Shell",
            enabled ? "org.gnome.Shell.Extensions.EnableExtension"
                    : "org.gnome.Shell.Extensions.DisableExtension",
            {std::string("string:") + GNOME_EXTENSION_UUID});
}

}  // namespace quen::testing
