// The Wayland backend as a module that FocusTrail loads only when a Wayland compositor is
// named: linked into the executable, libwayland-client, libffi and the backend's own code
// cost an agent on X11 about 0.25 MB of resident memory that it never uses.

#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_module.h"

extern "C" __attribute__((visibility("default"))) const char QUEN_WAYLAND_MODULE_ABI_TEXT[] =
    QUEN_WAYLAND_MODULE_ABI;

extern "C" __attribute__((visibility("default"))) quen::platform::Backend*
QUEN_OPEN_WAYLAND_BACKEND(std::string& error) {
  return quen::wayland::openWaylandBackend(error).release();
}
