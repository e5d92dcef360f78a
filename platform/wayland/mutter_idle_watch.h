#pragma once

// InputTrail's watch of input the X11 monitors are not told of, on GNOME (mutter offers no
// Wayland idle protocol): Mutter's IdleMonitor on the session bus
// (org.gnome.Mutter.IdleMonitor, /org/gnome/Mutter/IdleMonitor/Core). An idle watch for the
// timeout says "idle"; a user-active watch, which fires once, added after each "idle", says
// "active again". Event-driven: the idle time is never polled.

#include <memory>

#include "platform/linux/poll_run_loop.h"
#include "platform/platform.h"

namespace quen::wayland {

// The watch, on its own connection to the session bus served by `loop`, when Mutter's
// IdleMonitor has an owner there; null otherwise (no bus, no libsystemd, not GNOME).
std::unique_ptr<platform::UnseenInputWatch> openMutterIdleWatch(linux_platform::PollRunLoop& loop);

}  // namespace quen::wayland
