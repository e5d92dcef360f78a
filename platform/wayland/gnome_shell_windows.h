#pragma once

// The focused window of GNOME Shell, whose compositor lists its windows to no ordinary client,
// as the project's Shell extension (platform/gnome-shell) tells it over the session bus: the
// agent subscribes (the Shell then sends it, and no other client, every change of the focused
// window) and asks for the state once. The extension's state comes from the Shell's extension
// interface (GetExtensionInfo, then ExtensionStateChanged): while it is not running, no window
// is in front and the reason is missing or disabled; once it runs (switched on, say), the
// agent subscribes again without a restart.
//
// Only the focused window is known: it is the one toplevel given to the tracker, under the
// Shell's window id, and the previous one is closed when another takes the focus.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/wayland/bus_window_source.h"

namespace quen::wayland {

// The extension, as installed by scripts/install-gnome-extension.sh.
inline constexpr const char* GNOME_EXTENSION_UUID = "focustrail@quen.dev";

class GnomeShellWindows final : public BusWindowSource {
 public:
  // On a GNOME session (XDG_CURRENT_DESKTOP names GNOME, or org.gnome.Shell is on the bus).
  // The extension's state is asked before it returns (bounded), so that the first poll knows
  // it; the focus, when the extension runs, comes once the loop runs and is announced then.
  static std::unique_ptr<BusWindowSource> open(const BusSourceContext& context);
  ~GnomeShellWindows() override;

  platform::HiddenFront frontHidden() const override { return hidden_; }

  // Callbacks of the bus (see the source file); public for its C trampolines.
  void extensionInfoArrived(sd_bus_message* reply);
  void extensionStateChanged(sd_bus_message* signal);
  void focusArrived(sd_bus_message* message);
  void shellOwnerChanged(sd_bus_message* signal);

 private:
  GnomeShellWindows(const BusSourceContext& context, std::string shellName);
  // Asks the Shell for the extension's state; `wait`: before returning.
  void askExtensionState(bool wait);
  // Takes the extension's state from a{sv} at the message's position.
  void takeExtensionState(sd_bus_message* message);
  // Subscribes, then asks for the focus.
  void subscribe();
  // No window known: the focused one is forgotten, with `reason` as the cause.
  void forgetFocus(platform::HiddenFront reason);
  bool fromShell(sd_bus_message* message) const;

  const dbus::SdBusFunctions& sd_;
  dbus::LoopBus& bus_;
  ToplevelTracker& tracker_;
  std::function<void()> onBatch_;
  std::string shellName_;  // the unique name of org.gnome.Shell's owner; empty when none
  platform::HiddenFront hidden_ = platform::HiddenFront::ShellExtensionMissing;
  std::optional<ToplevelId> focused_;
  dbus::Slot ownerMatch_, stateMatch_, focusMatch_;
  dbus::Slot stateCall_, subscribeCall_, focusCall_;  // pending: released, they are cancelled
};

}  // namespace quen::wayland
