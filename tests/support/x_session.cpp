#include "tests/support/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <thread>

namespace quen::testing {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto READY_TIMEOUT = std::chrono::seconds(20);
constexpr int DISPLAY_FD_IN_SERVER = 3;

// Harmless for tests: one desktop, a click focuses and raises, nothing bound to keys or to
// the bare desktop; new windows focused or not, as asked.
constexpr std::string_view OPENBOX_CONFIG = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><followMouse>no</followMouse><focusNew>%s</focusNew></focus>
  <desktops><number>1</number></desktops>
  <mouse><context name="Client">
    <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
  </context></mouse>
</openbox_config>
)";

// Forks `arguments` with standard streams on /dev/null and `environment` ("NAME=value")
// added; `displayDescriptor` (when >= 0) becomes DISPLAY_FD_IN_SERVER in the child.
pid_t spawn(std::vector<std::string> arguments, const std::vector<std::string>& environment,
            int displayDescriptor = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int null = ::open("/dev/null", O_RDWR);
  for (int stream = 0; stream < 3; ++stream) ::dup2(null, stream);
  if (displayDescriptor >= 0) {
    ::dup2(displayDescriptor, DISPLAY_FD_IN_SERVER);
    ::fcntl(DISPLAY_FD_IN_SERVER, F_SETFD, 0);  // kept across exec even when it was that fd
  }
  for (const std::string& variable : environment) ::putenv(const_cast<char*>(variable.c_str()));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

// Ends a child: SIGTERM, then SIGKILL if it has not ended within five seconds. Reaps it.
void stopChild(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (::waitpid(pid, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(milliseconds(5));
  }
}

// Whether the root's 32-bit property `name` holds `item` (any item, when `item` is 0).
bool rootPropertyHolds(xcb_connection_t* connection, std::string_view name, std::uint32_t item) {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  auto* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.data()),
      nullptr);
  const xcb_atom_t property = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(atom);
  auto* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_ANY, 0, 4096), nullptr);
  bool holds = false;
  if (reply != nullptr && reply->format == 32) {
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    holds = item == 0
                ? reply->value_len > 0
                : std::find(values, values + reply->value_len, item) != values + reply->value_len;
  }
  std::free(reply);
  return holds;
}

// Polls `condition` every 10 ms until it holds or READY_TIMEOUT passes.
template <typename Condition>
bool waitFor(Condition condition) {
  const auto deadline = Clock::now() + READY_TIMEOUT;
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

}  // namespace

std::unique_ptr<XSession> XSession::start(WindowManager windowManager, std::string& error,
                                          const std::vector<std::string>& serverArguments) {
  std::unique_ptr<XSession> session(new XSession());
  error = session->startServer(serverArguments);
  if (error.empty() && windowManager != WindowManager::None)
    error = session->startWindowManager(windowManager == WindowManager::FocusNewWindows);
  return error.empty() ? std::move(session) : nullptr;
}

XSession::~XSession() {
  stopChild(windowManagerPid_);
  stopChild(serverPid_);
  removeServerLeftovers();
  if (!configDirectory_.empty()) {
    std::remove((configDirectory_ + "/rc.xml").c_str());
    ::rmdir(configDirectory_.c_str());
  }
}

std::string XSession::startServer(const std::vector<std::string>& serverArguments) {
  int displayPipe[2];
  if (::pipe2(displayPipe, O_CLOEXEC) != 0) return "cannot make a pipe";
  std::vector<std::string> command{
      "Xvfb",        "-screen",    "0",
      "1280x800x24", "-nolisten",  "tcp",
      "-noreset",    "-displayfd", std::to_string(DISPLAY_FD_IN_SERVER)};
  command.insert(command.end(), serverArguments.begin(), serverArguments.end());
  serverPid_ = spawn(command, {}, displayPipe[1]);
  ::close(displayPipe[1]);
  // Xvfb writes the display number and a line feed once it accepts connections.
  std::string number;
  char buffer[16];
  pollfd ready{displayPipe[0], POLLIN, 0};
  ssize_t count = 0;
  while (number.find('\n') == std::string::npos &&
         ::poll(&ready, 1, static_cast<int>(milliseconds(READY_TIMEOUT).count())) > 0 &&
         (count = ::read(displayPipe[0], buffer, sizeof buffer)) > 0)
    number.append(buffer, static_cast<std::size_t>(count));
  ::close(displayPipe[0]);
  if (number.find('\n') == std::string::npos) return "Xvfb did not report a display";
  displayNumber_ = std::atoi(number.c_str());
  display_ = std::string(":").append(std::to_string(displayNumber_));
  return {};
}

std::string XSession::startWindowManager(bool focusNewWindows) {
  char directory[] = "/tmp/quen-xsession-XXXXXX";
  if (::mkdtemp(directory) == nullptr) return "cannot make a directory for openbox";
  configDirectory_ = directory;
  char config[1024];
  std::snprintf(config, sizeof config, OPENBOX_CONFIG.data(), focusNewWindows ? "yes" : "no");
  std::ofstream(configDirectory_ + "/rc.xml") << config;
  windowManagerPid_ =
      spawn({"openbox", "--sm-disable", "--config-file", configDirectory_ + "/rc.xml"},
            {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + configDirectory_});
  xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  std::string error;
  if (!waitFor([&] { return rootPropertyHolds(connection, "_NET_SUPPORTING_WM_CHECK", 0); }))
    error = "openbox did not announce itself (_NET_SUPPORTING_WM_CHECK)";
  // A window mapped right after the manager announced itself may be missed for good: map
  // probe windows, a fresh one every half second, until one is managed; then let it go.
  xcb_window_t probe = XCB_WINDOW_NONE;
  auto nextProbe = Clock::now();
  if (error.empty() && !waitFor([&] {
        if (probe != XCB_WINDOW_NONE && rootPropertyHolds(connection, "_NET_CLIENT_LIST", probe))
          return true;
        if (Clock::now() < nextProbe) return false;
        if (probe != XCB_WINDOW_NONE) xcb_destroy_window(connection, probe);
        probe = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(connection, probe);
        xcb_flush(connection);
        nextProbe = Clock::now() + milliseconds(500);
        return false;
      }))
    error = "openbox did not manage a probe window";
  xcb_destroy_window(connection, probe);
  xcb_flush(connection);
  if (error.empty() &&
      !waitFor([&] { return !rootPropertyHolds(connection, "_NET_CLIENT_LIST", probe); }))
    error = "openbox did not let the probe window go";
  xcb_disconnect(connection);
  return error;
}

// A server killed by a signal leaves its socket and lock file: both go while the lock file
// names this server (no other server took the display number since).
void XSession::removeServerLeftovers() const {
  const std::string number = std::to_string(displayNumber_);
  pid_t owner = -1;
  if (displayNumber_ >= 0 && std::ifstream("/tmp/.X" + number + "-lock") >> owner &&
      owner == serverPid_) {
    std::remove(("/tmp/.X11-unix/X" + number).c_str());
    std::remove(("/tmp/.X" + number + "-lock").c_str());
  }
}

}  // namespace quen::testing
