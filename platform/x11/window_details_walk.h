#pragma once

// Which windows' details one walk of the window list fetches, and when. The window-choice
// rule looks only at the windows of one owner, front to back, and usually takes the first:
// that window's opacity, bounds and title come alone, in one round trip. When the rule goes
// on past it, the opacity and bounds of all later windows of the owner come in one batch,
// without their titles (up to 256 KiB each, twice), and a title is fetched only for the
// window it is asked of, the one the rule chose: memory and time stay flat however many
// windows an application has.

#include <xcb/xcb.h>

#include <cstddef>
#include <optional>
#include <set>
#include <vector>

#include "platform/os_value.h"
#include "platform/x11/window_stack.h"

namespace quen::x11 {

// A client window's values as the window-choice rule reads them.
struct WindowDetails {
  platform::OsValue alpha;   // _NET_WM_WINDOW_OPACITY as 0.0 .. 1.0; absent when unset
  platform::OsValue bounds;  // {"X", "Y", "Width", "Height"} in root coordinates
  std::optional<platform::OsValue> name;  // the decoded title (absent when the window has
                                          // none); none when not fetched
};

// Where the details come from; an interface so that the choice of what to fetch is tested
// without an X server.
class WindowDetailsSource {
 public:
  virtual ~WindowDetailsSource() = default;
  // One round trip for all of `clients`, with their titles when `withNames`; a window that
  // vanished gets absent values.
  virtual std::vector<WindowDetails> fetchDetails(const std::vector<xcb_window_t>& clients,
                                                  bool withNames) = 0;
};

class WindowDetailsWalk {
 public:
  WindowDetailsWalk(const std::vector<StackedWindow>& windows, WindowDetailsSource& source);

  // The details of windows[index], its title perhaps not among them.
  const WindowDetails& details(std::size_t index);
  const platform::OsValue& name(std::size_t index);

 private:
  const std::vector<StackedWindow>& windows_;
  WindowDetailsSource& source_;
  std::vector<std::optional<WindowDetails>> details_;
  std::set<std::optional<std::int32_t>> ownersAsked_;
};

}  // namespace quen::x11
