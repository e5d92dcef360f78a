#pragma once

// The on-screen window list of the seam: the window stack's client windows, front to back,
// each with its owner's pid at once and its opacity, bounds and title fetched only when the
// window-choice rule asks for them (WindowDetailsWalk says which, and when).

#include <xcb/xcb.h>

#include <functional>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/window_details_walk.h"
#include "platform/x11/window_stack.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

class ClientWindowList final : public platform::WindowList, public WindowDetailsSource {
 public:
  ClientWindowList(Connection& connection, EventPump& events);

  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override;

  std::vector<WindowDetails> fetchDetails(const std::vector<xcb_window_t>& clients,
                                          bool withNames) override;

 private:
  class Description;

  Connection& connection_;
  WindowStack stack_;
};

}  // namespace quen::x11
