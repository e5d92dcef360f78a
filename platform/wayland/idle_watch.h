#pragma once

// InputTrail's watch of input the X11 monitors are not told of, in a Wayland session: the
// compositor's idle notifications, ext_idle_notifier_v1 (wayland-protocols, staging), else
// KDE's older org_kde_kwin_idle (the only one sway 1.7 offers), on the first seat. Either tells
// only "idle for the timeout" and "resumed", never the kind of input. The connection is the
// watch's own, served by the X11 backend's poll loop.

#include <functional>
#include <memory>
#include <string>

#include "platform/linux/poll_run_loop.h"
#include "platform/platform.h"

namespace quen::wayland {

// The watch, when a compositor answers at $WAYLAND_DISPLAY within a second and offers a seat
// and either protocol; null otherwise (no compositor, or one such as mutter without them).
// When the connection ends later, `onLost` gets the one diagnostic line to write ("Wayland:
// connection to compositor <display> lost: <cause>"), once.
std::unique_ptr<platform::UnseenInputWatch> openIdleWatch(
    linux_platform::PollRunLoop& loop, std::function<void(const std::string& line)> onLost);

}  // namespace quen::wayland
