#pragma once

// The top-level windows on screen, front to back, as the X server stacks them. QueryTree on
// the root lists its children bottom to top (X11 protocol, QueryTree); under a reparenting
// window manager each child is a frame that holds one client window, the one carrying the
// ICCCM WM_STATE property. Each frame's client is found once and kept: after that, one poll
// costs one round trip (the tree and every known client's attributes, window type and pid,
// sent together), plus what finding the clients of new frames takes.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/x11/x11_connection.h"

namespace quen::x11 {

struct StackedWindow {
  xcb_window_t client = XCB_WINDOW_NONE;
  std::optional<std::int32_t> ownerPid;  // XRes, else _NET_WM_PID
};

class WindowStack {
 public:
  explicit WindowStack(Connection& connection);

  // The viewable client windows, front to back, EWMH desktop windows
  // (_NET_WM_WINDOW_TYPE_DESKTOP) and input-only windows left out. None when the root's
  // children cannot be listed.
  std::optional<std::vector<StackedWindow>> onScreenWindows();

  // How many top-level windows have a known client (or are known to be unmapped); for tests.
  std::size_t knownTopLevels() const { return topLevels_.size(); }

 private:
  // What is known of one child of the root.
  struct TopLevel {
    enum class Kind { Client, Unmapped } kind = Kind::Unmapped;
    xcb_window_t client = XCB_WINDOW_NONE;  // Kind::Client
    // A viewable window with no WM_STATE anywhere below it that is not override-redirect:
    // taken as its own client for now, and looked at again at the next poll (a window
    // manager may not have managed it yet).
    bool provisional = false;
  };
  // What one batch says of one client window.
  struct ClientState {
    bool exists = false;
    bool onScreen = false;
    std::optional<std::int32_t> ownerPid;
  };
  class ClientBatch;

  void findClients(const std::vector<xcb_window_t>& topLevels);
  std::vector<std::optional<xcb_window_t>> searchForClients(
      const std::vector<xcb_window_t>& topLevels);

  Connection& connection_;
  std::unordered_map<xcb_window_t, TopLevel> topLevels_;
};

}  // namespace quen::x11
