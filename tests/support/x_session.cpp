#include "tests/support/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace quen::testing {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr auto READY_TIMEOUT = std::chrono::seconds(10);
constexpr auto STOP_TIMEOUT = std::chrono::seconds(5);
constexpr int DISPLAY_FD_IN_SERVER = 3;

// Harmless for tests: one desktop, a click focuses and raises, nothing bound to keys or to
// the bare desktop; new windows focused or not, as asked.
constexpr std::string_view OPENBOX_CONFIG_HEAD = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><followMouse>no</followMouse><focusNew>)";
constexpr std::string_view OPENBOX_CONFIG_TAIL = R"(</focusNew></focus>
  <desktops><number>1</number></desktops>
  <mouse>
    <context name="Client">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Middle" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Right" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
    <context name="Titlebar">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
  </mouse>
</openbox_config>
)";

// Spawns `arguments` with standard input and output on /dev/null and `extraEnvironment`
// added; `keepDescriptor` (when >= 0) becomes DISPLAY_FD_IN_SERVER in the child.
pid_t spawn(const std::vector<std::string>& arguments,
            const std::vector<std::string>& extraEnvironment, int keepDescriptor) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (keepDescriptor >= 0)
    posix_spawn_file_actions_adddup2(&actions, keepDescriptor, DISPLAY_FD_IN_SERVER);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp(extraEnvironment.size());
  for (std::size_t index = 0; index < extraEnvironment.size(); ++index)
    envp[index] = const_cast<char*>(extraEnvironment[index].c_str());
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string_view entry(*variable);
    const bool replaced = std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                                      [&entry](const std::string& extra) {
                                        return entry.substr(0, entry.find('=') + 1) ==
                                               extra.substr(0, extra.find('=') + 1);
                                      });
    if (!replaced) envp.push_back(*variable);
  }
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Ends a child: SIGTERM, then SIGKILL if it has not ended in time. Reaps it.
void stopChild(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  const auto deadline = steady_clock::now() + STOP_TIMEOUT;
  while (::waitpid(pid, nullptr, WNOHANG) == 0) {
    if (steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      return;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
}

bool childRunning(pid_t pid) {
  return pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0;
}

// Polls `condition` every 10 ms until it holds or the time-out passes.
template <typename Condition>
bool waitFor(Condition condition) {
  const auto deadline = steady_clock::now() + READY_TIMEOUT;
  while (!condition()) {
    if (steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

xcb_atom_t internAtom(xcb_connection_t* connection, std::string_view name) {
  auto* reply = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
      nullptr);
  xcb_atom_t atom = XCB_ATOM_NONE;
  if (reply != nullptr) atom = reply->atom;
  std::free(reply);
  return atom;
}

// The 32-bit items of a property of `window`.
std::vector<std::uint32_t> propertyItems(xcb_connection_t* connection, xcb_window_t window,
                                         xcb_atom_t property) {
  auto* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ANY, 0, 4096),
      nullptr);
  std::vector<std::uint32_t> items;
  if (reply != nullptr && reply->format == 32) {
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    items.assign(values, values + reply->value_len);
  }
  std::free(reply);
  return items;
}

bool contains(const std::vector<std::uint32_t>& items, std::uint32_t item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

}  // namespace

std::unique_ptr<XSession> XSession::start(WindowManager windowManager, std::string& error,
                                          const std::vector<std::string>& serverArguments) {
  std::unique_ptr<XSession> session(new XSession());
  if (!session->startServer(error, serverArguments)) return nullptr;
  if (windowManager != WindowManager::None &&
      !session->startWindowManager(windowManager == WindowManager::FocusNewWindows, error))
    return nullptr;
  return session;
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

bool XSession::startServer(std::string& error, const std::vector<std::string>& serverArguments) {
  int displayPipe[2];
  if (::pipe2(displayPipe, O_CLOEXEC) != 0) {
    error = "cannot make a pipe";
    return false;
  }
  std::vector<std::string> command{"Xvfb", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                                   "-noreset", "-displayfd", std::to_string(DISPLAY_FD_IN_SERVER)};
  command.insert(command.end(), serverArguments.begin(), serverArguments.end());
  serverPid_ = spawn(command, {}, displayPipe[1]);
  ::close(displayPipe[1]);
  std::string number;
  const auto deadline = steady_clock::now() + READY_TIMEOUT;
  // Xvfb writes the display number and a line feed once it accepts connections.
  while (serverPid_ > 0 && (number.empty() || number.back() != '\n') &&
         steady_clock::now() < deadline) {
    pollfd ready{displayPipe[0], POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    char buffer[16];
    const ssize_t count = ::read(displayPipe[0], buffer, sizeof buffer);
    if (count <= 0) break;
    number.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(displayPipe[0]);
  if (number.empty() || number.back() != '\n') {
    error = serverPid_ > 0 ? "Xvfb did not report a display" : "cannot start Xvfb";
    return false;
  }
  displayNumber_ = std::atoi(number.c_str());
  // Built in a buffer: GCC 12 at -O3 flags ":" + std::to_string(...) with a false -Wrestrict.
  char name[16];
  std::snprintf(name, sizeof name, ":%d", displayNumber_);
  display_ = std::string(name);
  return true;
}

bool XSession::startWindowManager(bool focusNewWindows, std::string& error) {
  char directory[] = "/tmp/quen-xsession-XXXXXX";
  if (::mkdtemp(directory) == nullptr) {
    error = "cannot make a directory for openbox's configuration";
    return false;
  }
  configDirectory_ = directory;
  std::ofstream(configDirectory_ + "/rc.xml")
      << OPENBOX_CONFIG_HEAD << (focusNewWindows ? "yes" : "no") << OPENBOX_CONFIG_TAIL;
  windowManagerPid_ = spawn({"openbox", "--sm-disable", "--config-file", configDirectory_ + "/rc.xml"},
                            {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + configDirectory_}, -1);
  xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
  error = awaitWindowManager(connection);
  xcb_disconnect(connection);
  if (!error.empty()) error = "openbox on " + display_ + ": " + error;
  return error.empty();
}

// Empty when the manager is ready; else what it failed to do.
std::string XSession::awaitWindowManager(xcb_connection_t* connection) const {
  if (windowManagerPid_ <= 0) return "cannot start it";
  if (xcb_connection_has_error(connection)) return "cannot connect to the display";
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const xcb_atom_t check = internAtom(connection, "_NET_SUPPORTING_WM_CHECK");
  const xcb_atom_t clientList = internAtom(connection, "_NET_CLIENT_LIST");
  if (!waitFor([&] {
        return !childRunning(windowManagerPid_) || !propertyItems(connection, root, check).empty();
      }) ||
      !childRunning(windowManagerPid_))
    return "it did not announce itself (_NET_SUPPORTING_WM_CHECK)";
  // A window mapped right after the manager announced itself may be missed for good: map
  // probe windows, a fresh one every half second, until one is managed; then let it go.
  xcb_window_t probe = XCB_WINDOW_NONE;
  auto nextProbe = steady_clock::now();
  const bool managed = waitFor([&] {
    if (probe != XCB_WINDOW_NONE && contains(propertyItems(connection, root, clientList), probe))
      return true;
    if (steady_clock::now() >= nextProbe) {
      if (probe != XCB_WINDOW_NONE) xcb_destroy_window(connection, probe);
      probe = xcb_generate_id(connection);
      xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 100, 100, 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
      xcb_map_window(connection, probe);
      xcb_flush(connection);
      nextProbe = steady_clock::now() + milliseconds(500);
    }
    return false;
  });
  if (!managed) return "it did not manage a probe window";
  xcb_destroy_window(connection, probe);
  xcb_flush(connection);
  if (!waitFor([&] { return !contains(propertyItems(connection, root, clientList), probe); }))
    return "it did not let the probe window go";
  return {};
}

// A server killed by a signal leaves its socket (and lock file, where it takes one). The
// socket is removed only when nobody answers on it (no other server took the display number
// since); the lock file only while it names this server.
void XSession::removeServerLeftovers() const {
  if (displayNumber_ < 0 || serverPid_ <= 0) return;
  const std::string number = std::to_string(displayNumber_);
  const std::string socketPath = "/tmp/.X11-unix/X" + number;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe >= 0) {
    if (::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno == ECONNREFUSED)
      std::remove(socketPath.c_str());
    ::close(probe);
  }
  const std::string lockFile = "/tmp/.X" + number + "-lock";
  std::ifstream lock(lockFile);
  pid_t owner = -1;
  if (lock >> owner && owner == serverPid_) std::remove(lockFile.c_str());
}

}  // namespace quen::testing
