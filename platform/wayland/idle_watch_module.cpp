// The module's entry point: see idle_watch_module.h.

#include "platform/wayland/idle_watch.h"
#include "platform/wayland/idle_watch_module.h"
#include "platform/wayland/wayland_module.h"

extern "C" __attribute__((visibility("default"))) const char QUEN_WAYLAND_MODULE_ABI_TEXT[] =
    QUEN_WAYLAND_MODULE_ABI;

extern "C" __attribute__((visibility("default"))) quen::platform::UnseenInputWatch*
QUEN_OPEN_IDLE_WATCH(quen::linux_platform::PollRunLoop& loop,
                     const std::function<void(const std::string& line)>& onLost) {
  return quen::wayland::openIdleWatch(loop, onLost).release();
}
