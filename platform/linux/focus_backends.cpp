// The focus agent's backends: Wayland where the compositor lists its toplevels (wlroots
// compositors such as sway), else X11 (an X session, or XWayland under any other
// compositor).

#include "platform/linux/backend_table.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/x11/x11_backend.h"

namespace quen::platform {

std::unique_ptr<Backend> openSystemBackend(std::string& error) {
  static constexpr linux_platform::BackendEntry BACKENDS[] = {
      {"wayland", &wayland::openWaylandBackend},
      {"x11", [](std::string& cause) { return x11::openX11Backend(nullptr, cause); }},
  };
  return linux_platform::openFirstBackend(BACKENDS, error);
}

}  // namespace quen::platform
