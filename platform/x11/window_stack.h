#pragma once

// The top-level windows on screen, front to back, as the X server stacks them. QueryTree on
// the root lists its children bottom to top (X11 protocol, QueryTree); under a reparenting
// window manager each child is a frame that holds one client window, the one carrying the
// ICCCM WM_STATE property.
//
// A poll costs one request whatever the number of windows: the root's children come from
// QueryTree, whether each is mapped from the structure events that SubstructureNotify on the
// root reports (MapNotify, UnmapNotify, CreateNotify, DestroyNotify, ReparentNotify), and a
// top-level window's client, its owner's pid and its window type are read once, when the
// window is first seen (and again when a window that had no client is mapped).

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/x11/event_pump.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

struct StackedWindow {
  xcb_window_t client = XCB_WINDOW_NONE;
  // XRes, else _NET_WM_PID, else the client's stand-in (ClientPidQuery::ownerOf)
  std::optional<std::int32_t> ownerPid;
};

class WindowStack {
 public:
  // Selects the root's structure events.
  WindowStack(Connection& connection, EventPump& events);

  // The mapped top-level windows' clients, front to back, EWMH desktop windows
  // (_NET_WM_WINDOW_TYPE_DESKTOP) and input-only windows left out. None when the root's
  // children cannot be listed.
  std::optional<std::vector<StackedWindow>> onScreenWindows();

 private:
  // What is known of one child of the root.
  struct TopLevel {
    std::optional<bool> mapped;  // none until read or reported
    bool attributesRead = false;
    bool inputOnly = false;
    bool overrideRedirect = false;
    bool searched = false;
    // No WM_STATE at or below the window: it stands for itself and, unless it is
    // override-redirect (never managed), is searched again when it is mapped and at a few
    // polls after that (a manager may set WM_STATE just after mapping its frame). Windows
    // that never get a client (a compositor's overlay) cost nothing after that.
    bool provisional = false;
    int searchesLeft = 0;
    xcb_window_t client = XCB_WINDOW_NONE;
    bool clientExists = false;
    bool desktop = false;
    std::optional<std::int32_t> ownerPid;
  };

  void handleStructureEvent(const xcb_generic_event_t& event);
  void learnTopLevels(const std::vector<xcb_window_t>& needAttributes,
                      const std::vector<xcb_window_t>& needSearch);
  void describeClients(const std::vector<xcb_window_t>& topLevels);
  std::vector<std::optional<xcb_window_t>> searchForClients(
      const std::vector<xcb_window_t>& topLevels);

  Connection& connection_;
  std::optional<xcb_void_cookie_t> selection_;  // checked at the first poll
  bool eventsSelected_ = false;
  std::unordered_map<xcb_window_t, TopLevel> topLevels_;
};

}  // namespace quen::x11
