#include "bench/x11_window_owners.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace quen::bench {

namespace {

constexpr int WINDOWS_PER_APPLICATION = 3;

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t* connection, const std::string& name) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
      nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void setText(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
             xcb_atom_t type, const std::string& text) {
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                      static_cast<std::uint32_t>(text.size()), text.data());
}

// The child's whole life: opens its windows, then sleeps until it is killed.
[[noreturn]] void ownWindows(int application, int windows) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) _exit(1);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_atom_t netWmName = internAtom(connection, "_NET_WM_NAME");
  const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
  const xcb_atom_t netWmPid = internAtom(connection, "_NET_WM_PID");
  const std::string name = "app" + std::to_string(application);
  const std::string wmClass = name + '\0' + "App" + std::to_string(application) + '\0';
  const auto pid = static_cast<std::uint32_t>(getpid());
  for (int index = 0; index < windows; ++index) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t background = screen->white_pixel;
    const auto offset = static_cast<std::int16_t>(20 * (application + index));
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, offset, offset,
                      400, 300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL, &background);
    setText(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
    setText(connection, window, netWmName, utf8,
            "Document " + std::to_string(index) + " \xE2\x80\x94 " + name);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmPid, XCB_ATOM_CARDINAL,
                        32, 1, &pid);
    xcb_map_window(connection, window);
  }
  xcb_flush(connection);
  for (;;) pause();
}

std::vector<xcb_window_t> clientList(xcb_connection_t* connection, xcb_window_t root,
                                     xcb_atom_t property) {
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_WINDOW, 0, 4096),
      nullptr));
  if (!reply) return {};
  const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
  return {windows, windows + xcb_get_property_value_length(reply.get()) / 4};
}

// Waits until the manager manages `windows` windows, then activates the newest (EWMH
// _NET_ACTIVE_WINDOW, source: pager) and waits until it is active.
bool activateNewest(std::size_t windows, std::string& error) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const xcb_atom_t clients = internAtom(connection, "_NET_CLIENT_LIST");
  const xcb_atom_t active = internAtom(connection, "_NET_ACTIVE_WINDOW");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<xcb_window_t> managed;
  bool activated = false;
  while (!activated && std::chrono::steady_clock::now() < deadline) {
    managed = clientList(connection, root, clients);
    if (managed.size() == windows) {
      xcb_client_message_event_t message = {};
      message.response_type = XCB_CLIENT_MESSAGE;
      message.format = 32;
      message.window = managed.back();
      message.type = active;
      message.data.data32[0] = 2;
      xcb_send_event(connection, 0, root,
                     XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                     reinterpret_cast<const char*>(&message));
      const auto now = clientList(connection, root, active);
      activated = !now.empty() && now.front() == managed.back();
    }
    if (!activated) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  xcb_disconnect(connection);
  if (!activated)
    error = "the window manager took " + std::to_string(managed.size()) + " of " +
            std::to_string(windows) + " windows and activated none";
  return activated;
}

}  // namespace

bool WindowOwners::open(int windows, std::string& error) {
  for (int application = 0; windows > 0; ++application) {
    const int count = windows < WINDOWS_PER_APPLICATION ? windows : WINDOWS_PER_APPLICATION;
    const pid_t owner = fork();
    if (owner == 0) ownWindows(application, count);
    if (owner < 0) {
      error = "cannot start a window owner";
      return false;
    }
    owners_.push_back(owner);
    windows -= count;
    // Wait for each owner in turn, so that the stacking order follows the owners' order.
    if (!activateNewest(static_cast<std::size_t>(application * WINDOWS_PER_APPLICATION + count),
                        error))
      return false;
  }
  return true;
}

WindowOwners::~WindowOwners() {
  for (const pid_t owner : owners_) kill(owner, SIGTERM);
  for (const pid_t owner : owners_) waitpid(owner, nullptr, 0);
}

}  // namespace quen::bench
