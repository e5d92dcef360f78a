#pragma once

// The identity of the active window, read once and kept while that window stays the one
// described. A window's owner never changes (its id belongs to its client's connection), and
// ICCCM 4.1.2.5 has WM_CLASS set before the window is mapped, so what the server and /proc
// say of the owner holds for the window's life. The kept facts are dropped when:
//   - the window is destroyed or unmapped (StructureNotify on the window itself: its client
//     is a child of the manager's frame, which the root's SubstructureNotify does not cover);
//   - its WM_CLASS or _NET_WM_PID changes (PropertyChange on the window);
//   - the caller forgets them (at every change of the active window).
// The events are selected on the window before its properties are read, in the same batch,
// and the facts are kept only when the selection succeeded: a change after the read is
// always reported, so an id that dies and is reused never inherits the old owner's facts.
//
// The executable's path, process name and Flatpak id are read when the facts are: a process
// that replaces its program (exec) loses its X connection, which is close-on-exec, and with
// it its windows (the default close-down mode destroys them), so a kept window does not
// outlive the program read for it. The desktop entry is looked up again at each description,
// so an entry installed or removed since is seen as before, when the index is read again.

#include <xcb/xcb.h>

#include <optional>

#include "platform/platform.h"
#include "platform/x11/application_identity.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

class WatchedWindowIdentity {
 public:
  WatchedWindowIdentity(Connection& connection, EventPump& events);

  // The identity of `client`: from the kept facts when they are of this window, else read
  // (one round trip). None when the window no longer exists.
  std::optional<platform::RunningApplication> describe(xcb_window_t client);
  // Drops the kept facts (the window stays watched until another one is described).
  void forget() { owner_.reset(); }
  // Whether facts are kept for `client`; for tests.
  bool holdsFactsOf(xcb_window_t client) const { return owner_ && client == watched_; }

 private:
  // Selects the events on `client` (and none on the window watched before); checked.
  std::optional<xcb_void_cookie_t> watch(xcb_window_t client);
  void handlePropertyNotify(const xcb_property_notify_event_t& event);
  void handleStructureEvent(const xcb_generic_event_t& event);

  Connection& connection_;
  ApplicationIdentity identity_;
  xcb_window_t watched_ = XCB_WINDOW_NONE;  // the window whose events are selected
  std::optional<OwnerFacts> owner_;         // the facts of watched_, while they hold
};

}  // namespace quen::x11
