#pragma once

// The on-screen windows: EnumWindows' top-level windows, front to back, that are visible, not
// minimised, not cloaked (DWMWA_CLOAKED: hidden Store apps and windows on other virtual
// desktops; a failed query, as where no compositor answers it, means not cloaked) and not
// tool windows. Each is described in the terms the portable window-choice rule reads: owner
// process, alpha (GetLayeredWindowAttributes with LWA_ALPHA, else opaque), bounds
// (DWMWA_EXTENDED_FRAME_BOUNDS, else GetWindowRect) and title (GetWindowTextW, as UTF-8).

#include <windows.h>

#include <functional>
#include <vector>

#include "platform/platform.h"

namespace quen::windows {

class TopLevelWindowList final : public platform::WindowList {
 public:
  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override;

 private:
  std::vector<HWND> windows_;  // reused from walk to walk
};

}  // namespace quen::windows
