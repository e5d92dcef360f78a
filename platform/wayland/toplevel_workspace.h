#pragma once

// The seam's Workspace and WindowList over the toplevel a Wayland compositor reports as
// activated. Wayland gives clients no stacking order, geometry or opacity of other
// clients' windows, so the activated toplevel is the front window and the only one listed:
// fully opaque, and with nominal bounds that no size rule rejects.

#include <functional>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/wayland/bus_window_source.h"
#include "platform/wayland/sway_windows.h"
#include "platform/wayland/toplevel_identity.h"
#include "platform/wayland/toplevel_tracker.h"

namespace quen::wayland {

class ToplevelWorkspace final : public platform::Workspace, public platform::WindowList {
 public:
  // A toplevel's process is the one its protocol names (KWin's does), else the one `sway`
  // gives; sway's table is empty on another compositor, or while its socket does not answer.
  ToplevelWorkspace(const ToplevelTracker& tracker, const SwayWindows& sway);

  std::optional<platform::RunningApplication> frontmostApplication() override;
  // What the source on the session bus, if one feeds the tracker, says of a hidden front.
  platform::HiddenFront frontApplicationHidden() override;
  void setBusSource(const BusWindowSource* source) { busSource_ = source; }
  void observeActivation(
      std::function<void(const std::optional<platform::RunningApplication>&)> callback) override;
  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override;

  // After a batch of compositor events (`frontChanged`: the tracker's verdict) or of sway
  // events: announces an activation when the front toplevel changed, or when its process
  // became known or another (sway's news of a new window may come after the toplevel's).
  void deliverActivation(bool frontChanged);

 private:
  std::optional<std::int32_t> frontPid() const;

  const ToplevelTracker& tracker_;
  const SwayWindows& sway_;
  const BusWindowSource* busSource_ = nullptr;
  ToplevelIdentity identity_;
  std::optional<std::int32_t> announcedPid_;
  std::vector<std::function<void(const std::optional<platform::RunningApplication>&)>> observers_;
};

}  // namespace quen::wayland
