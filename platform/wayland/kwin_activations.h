#pragma once

// What the KWin script's calls mean for the ToplevelTracker (see kwin_window_script.h).
// Knows no D-Bus type, so that the rules are tested on recorded sequences.
//
// KWin activates nothing before it activates each window: every switch arrives as
// NothingActivated, then WindowActivated, sent back to back. So NothingActivated is held,
// and counts only when no window is activated within EMPTY_ACTIVATION_BOUND (the last
// window closed, the bare desktop clicked). Only the active window is known; it is the only
// one the tracker holds, under a ToplevelId of its own (the same while it stays active, a new
// one for each activation of another window).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/wayland/toplevel_tracker.h"

namespace quen::wayland {

// Measured on KWin 5.27: the window's call follows the empty one in the same millisecond,
// closing and XWayland windows included. A quarter of a second is far above that, even on a
// loaded machine, and still within the 1 s poll, so the poll stops naming a closed window
// before its next record.
inline constexpr std::chrono::milliseconds EMPTY_ACTIVATION_BOUND{250};

// One WindowActivated call.
struct KwinWindow {
  std::string internalId;
  std::string caption;
  std::string desktopFileName;  // empty for most XWayland windows
  std::string resourceClass;
  std::int32_t pid = 0;  // 0 when KWin does not know it
};

class KwinActivations {
 public:
  explicit KwinActivations(ToplevelTracker& tracker) : tracker_(tracker) {}

  // Each returns whether the tracker changed (the caller then finishes the batch).
  bool windowActivated(const KwinWindow& window);
  bool captionChanged(const std::string& internalId, const std::string& caption);
  // Holds the empty activation; returns the token to settle once EMPTY_ACTIVATION_BOUND has
  // passed.
  std::uint64_t nothingActivated();
  // The bound has passed since the empty activation `token` named: it counts unless a window
  // was activated since (or a later empty activation holds).
  bool settleNothing(std::uint64_t token);
  // KWin went away (or another KWin took its place): no window is known.
  bool forgetAll();

 private:
  ToplevelTracker& tracker_;
  std::optional<ToplevelId> front_;
  std::string frontInternalId_;
  ToplevelId nextId_ = 1;
  std::uint64_t heldEmpty_ = 0;  // 0: none held
  std::uint64_t emptyCount_ = 0;
};

}  // namespace quen::wayland
