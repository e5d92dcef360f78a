#pragma once

// The front window as a desktop shell pushes it over the session bus, for a compositor that
// lists its toplevels to no ordinary client: GNOME Shell (through the project's extension),
// KWin without the desktop entry's grant (through a script). A source feeds the tracker in
// the protocols' terms (each window under an id of the source's choosing: title, app id,
// process, activated, then done; closed when it goes) and calls `onBatch` after each change
// it applied; the backend then decides the front window and announces an activation. The
// source decides what a closed bus means for it (LoopBus::onClosed).

#include <functional>
#include <memory>

#include "platform/dbus/loop_bus.h"
#include "platform/linux/poll_run_loop.h"
#include "platform/wayland/toplevel_tracker.h"

namespace quen::wayland {

struct BusSourceContext {
  dbus::LoopBus& bus;
  linux_platform::PollRunLoop& loop;
  ToplevelTracker& tracker;
  std::function<void()> onBatch;
};

class BusWindowSource {
 public:
  virtual ~BusWindowSource() = default;
};

// Opens the source when the session is its desktop's; null otherwise, so that the backend
// tries the next one (and, after the last, the agent uses X11).
using OpenBusWindowSource = std::unique_ptr<BusWindowSource> (*)(const BusSourceContext& context);

}  // namespace quen::wayland
