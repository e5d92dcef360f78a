#pragma once

// The frontmost application is the one owning EWMH's _NET_ACTIVE_WINDOW on the root window;
// every PropertyNotify of that property counts as an activation. The value is read once
// and then again after each notification, so a poll asks the server only about the
// application itself. None (no active window, which managers set for a moment during most
// switches and for good when the bare desktop is clicked) means no frontmost application.
// While the same window stays active, its identity is not read again (WatchedWindowIdentity
// says when it is), so a steady poll asks the server nothing and reads nothing in /proc.

#include <xcb/xcb.h>

#include <functional>
#include <list>
#include <optional>

#include "platform/platform.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/watched_window_identity.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

class ActiveWindowWorkspace final : public platform::Workspace {
 public:
  // Selects property changes on the root window and reads the active window.
  ActiveWindowWorkspace(Connection& connection, EventPump& events);

  std::optional<platform::RunningApplication> frontmostApplication() override;
  // In a Wayland session (see inWaylandSession), X11 sees only XWayland's windows: with no
  // active window, a native Wayland window is in front.
  platform::HiddenFront frontApplicationHidden() override;
  void observeActivation(
      std::function<void(const std::optional<platform::RunningApplication>&)> callback) override;

 private:
  void readActiveWindow();
  bool deliverActivation();

  Connection& connection_;
  WatchedWindowIdentity identity_;  // forgotten at every change of the active window
  xcb_window_t activeWindow_ = XCB_WINDOW_NONE;
  bool activeWindowKnown_ = false;
  bool waylandSession_ = false;
  bool notified_ = false;  // whether PropertyNotify of the root reaches this client
  bool activationPending_ = false;
  std::list<std::function<void(const std::optional<platform::RunningApplication>&)>> observers_;
};

}  // namespace quen::x11
