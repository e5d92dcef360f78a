#include "tests/support/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto READY_TIMEOUT = std::chrono::seconds(20);

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

// Ends a child: SIGTERM, then SIGKILL if it has not ended within five seconds. Reaps it.
void stopChild(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (waitUntil([&] { return ::waitpid(pid, nullptr, WNOHANG) != 0; }, milliseconds(5000))) return;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

xcb_atom_t internAtom(xcb_connection_t* connection, std::string_view name) {
  auto* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, name.size(), name.data()), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// Whether the manager lists `window` in `clientList`, the root's EWMH _NET_CLIENT_LIST.
bool managed(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t clientList,
             xcb_window_t window) {
  auto* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, clientList, XCB_ATOM_ANY, 0, 4096),
      nullptr);
  bool listed = false;
  if (reply != nullptr && reply->format == 32) {
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    listed = std::find(windows, windows + reply->value_len, window) != windows + reply->value_len;
  }
  std::free(reply);
  return listed;
}

}  // namespace

pid_t spawnProcess(const std::vector<std::string>& arguments, const Environment& changes,
                   int output, int errors) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::signal(SIGPIPE, SIG_DFL);
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, STDIN_FILENO);
  ::dup2(output >= 0 ? output : null, STDOUT_FILENO);
  ::dup2(errors >= 0 ? errors : null, STDERR_FILENO);
  for (const auto& [name, value] : changes)
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::dprintf(STDERR_FILENO, "cannot start %s\n", argv[0]);
  ::_exit(127);
}

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
  std::error_code ignored;
  if (!configDirectory_.empty()) std::filesystem::remove_all(configDirectory_, ignored);
}

std::string XSession::startServer(const std::vector<std::string>& serverArguments) {
  int displayPipe[2];
  // Only the write end is inherited, by Xvfb, which reports on it; closed here once it runs.
  if (::pipe(displayPipe) != 0 || ::fcntl(displayPipe[0], F_SETFD, FD_CLOEXEC) != 0)
    return "cannot make a pipe";
  std::vector<std::string> command{"Xvfb",        "-screen",    "0",
                                   "1280x800x24", "-nolisten",  "tcp",
                                   "-noreset",    "-displayfd", std::to_string(displayPipe[1])};
  command.insert(command.end(), serverArguments.begin(), serverArguments.end());
  serverPid_ = spawnProcess(command, {});
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
      spawnProcess({"openbox", "--sm-disable", "--config-file", configDirectory_ + "/rc.xml"},
                   {{"DISPLAY", display_}, {"XDG_CONFIG_HOME", configDirectory_}});
  xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const xcb_atom_t clientList = internAtom(connection, "_NET_CLIENT_LIST");
  // A window mapped while openbox starts, even right after it announced itself, may be missed
  // for good: map probe windows, a fresh one every half second, until one is managed; then
  // let it go.
  xcb_window_t probe = XCB_WINDOW_NONE;
  auto nextProbe = Clock::now();
  const auto probeManaged = [&] {
    if (probe != XCB_WINDOW_NONE && managed(connection, root, clientList, probe)) return true;
    if (Clock::now() < nextProbe) return false;
    if (probe != XCB_WINDOW_NONE) xcb_destroy_window(connection, probe);
    probe = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(connection, probe);
    xcb_flush(connection);
    nextProbe = Clock::now() + milliseconds(500);
    return false;
  };
  std::string error;
  if (!waitUntil(probeManaged, READY_TIMEOUT)) error = "openbox did not manage a probe window";
  xcb_destroy_window(connection, probe);
  xcb_flush(connection);
  const auto probeGone = [&] { return !managed(connection, root, clientList, probe); };
  if (error.empty() && !waitUntil(probeGone, READY_TIMEOUT))
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
