#include "tests/gnome/gnome_session.h"

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/wait_until.h"

namespace quen::testing {

std::unique_ptr<GnomeSession> GnomeSession::start(bool withExtension) {
  auto session = std::make_unique<GnomeSession>();
  char pattern[] = "/tmp/quen-gnome-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return nullptr;
  session->directory_ = pattern;
  session->script_ = ChildProcess::spawn(
      {QUEN_GNOME_SESSION, session->directory_, withExtension ? QUEN_TEST_EXTENSION : ""}, {});
  std::istringstream ready(session->script_->readLine(Milliseconds(60000)).value_or(""));
  std::string word;
  ready >> word >> session->xwaylandDisplay_ >> session->xauthority_ >> session->shellPid_;
  if (word == "ready") return session;
  ADD_FAILURE() << "GNOME Shell did not become ready: " << session->script_->standardError();
  return nullptr;
}

GnomeSession::~GnomeSession() {
  if (::testing::Test::HasFailure()) {  // the Shell's own account, for the failure's cause
    std::ifstream file(directory_ + "/shell.log");
    const std::string log{std::istreambuf_iterator<char>(file), {}};
    ADD_FAILURE() << "the Shell's log ends:\n"
                  << log.substr(log.size() - std::min<size_t>(log.size(), 3000));
  }
  kill(script_->pid(), SIGTERM);  // it ends the Shell and the buses
  script_->waitForExit(LINE_TIMEOUT);
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

Environment GnomeSession::clientEnvironment() const {
  const std::string runtime = directory_ + "/xdg";
  Environment environment{
      {"XDG_RUNTIME_DIR", runtime}, {"WAYLAND_DISPLAY", "wayland-gnome"}, {"DISPLAY", std::nullopt},
      {"XAUTHORITY", xauthority_}, {"XDG_SESSION_TYPE", "wayland"}, {"HOME", directory_ + "/home"},
      {"XDG_CURRENT_DESKTOP", "GNOME"}, {"XDG_DATA_HOME", std::nullopt},
      {"XDG_DATA_DIRS", directory_ + "/none"}, {"XDG_CONFIG_HOME", std::nullopt},
      {"SWAYSOCK", std::nullopt}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/bus"}};
  return environment;
}

Environment GnomeSession::x11ClientEnvironment() const {
  Environment environment = clientEnvironment();
  environment["DISPLAY"] = xwaylandDisplay_;
  environment["WAYLAND_DISPLAY"] = std::nullopt;
  return environment;
}

std::string GnomeSession::shellCall(const std::string& objectPath, const std::string& method,
                                    const std::vector<std::string>& arguments) {
  std::vector<std::string> call{"/usr/bin/gdbus", "call", "--session", "--dest",
                                "org.gnome.Shell", "--object-path", objectPath, "--method", method};
  call.insert(call.end(), arguments.begin(), arguments.end());
  auto process = ChildProcess::spawnAsNobody(call, clientEnvironment());
  const auto status = process->waitForExit(LINE_TIMEOUT);
  EXPECT_TRUE(status && status->exitCode == 0) << method << ": " << process->standardError();
  return process->readLine(LINE_TIMEOUT).value_or("");
}

void GnomeSession::activate(const std::string& title) {
  EXPECT_TRUE(waitUntil([&] {
    return shellCall("/org/quen/FocusTrail", "org.quen.FocusTrail1.ActivateForTest", {title})
        .starts_with("(true,");
  }, LINE_TIMEOUT)) << "no window titled " << title;
}

}  // namespace quen::testing
