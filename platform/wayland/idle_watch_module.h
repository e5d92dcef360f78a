#pragma once

// InputTrail's idle watch (idle_watch.h) as a module, InputTrail-wayland.so beside the
// InputTrail executable, loaded only in a Wayland session: linked into the executable,
// libwayland-client and libffi cost InputTrail on X11 about 0.15 MB of resident memory it never
// uses. The module and the executable come from one build (the ABI text of wayland_module.h).

#include <functional>
#include <memory>
#include <string>

#include "platform/linux/poll_run_loop.h"
#include "platform/platform.h"

#define QUEN_OPEN_IDLE_WATCH quen_open_idle_watch
#define QUEN_IDLE_WATCH_SYMBOL "quen_open_idle_watch"
#define QUEN_IDLE_WATCH_MODULE_FILE "InputTrail-wayland.so"

extern "C" {
using QuenOpenIdleWatch = quen::platform::UnseenInputWatch* (*)(
    quen::linux_platform::PollRunLoop& loop,
    const std::function<void(const std::string& line)>& onLost);
}

namespace quen::wayland {

// openIdleWatch from the module beside the executable; null when the module is missing or
// refused, or when the compositor offers no idle protocol (the module is then unloaded again).
std::unique_ptr<platform::UnseenInputWatch> openIdleWatchModule(
    linux_platform::PollRunLoop& loop, std::function<void(const std::string& line)> onLost);

}  // namespace quen::wayland
