#pragma once

// The on-screen window list of the seam: the window stack's client windows, front to back,
// each with its owner's pid at once and its opacity, bounds and title fetched only when the
// window-choice rule asks for them: first for that window alone (the rule usually takes the
// first window of the application it describes), then for all the later windows of the same
// owner in one batch (the rule looks at no other owner's windows).

#include <xcb/xcb.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/window_stack.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

// A client window's values as the window-choice rule reads them.
struct WindowDetails {
  platform::OsValue alpha;   // _NET_WM_WINDOW_OPACITY as 0.0 .. 1.0; absent when unset
  platform::OsValue bounds;  // {"X", "Y", "Width", "Height"} in root coordinates
  platform::OsValue name;    // the decoded title; absent when the window has none
};

class ClientWindowList final : public platform::WindowList {
 public:
  ClientWindowList(Connection& connection, EventPump& events);

  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override;

  // One round trip for all of `clients`; a window that vanished gets absent values.
  std::vector<WindowDetails> fetchDetails(const std::vector<xcb_window_t>& clients);

 private:
  class Description;

  Connection& connection_;
  WindowStack stack_;
};

}  // namespace quen::x11
