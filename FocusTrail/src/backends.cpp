// The focus agent's backends, tried in this order once at start. On Linux: Wayland where
// the compositor lists its toplevels (wlroots compositors such as sway), else X11 (an X
// session, or XWayland under any other compositor). On Windows: Win32 (platform/windows).

#include "platform/backend_table.h"

#if defined(__APPLE__)
#include "platform/macos/macos_backend.h"
#elif defined(_WIN32)
#include "platform/windows/msaa_elements.h"
#include "platform/windows/windows_backend.h"
#else
#include "platform/wayland/wayland_module.h"
#include "platform/x11/x11_backend.h"
#endif

namespace quen::platform {

std::unique_ptr<Backend> openSystemBackend(std::string& error) {
  static constexpr BackendEntry BACKENDS[] = {
#if defined(__APPLE__)
      {"macos", &macos::openMacOSBackend},
#elif defined(_WIN32)
      {"windows",
       [](std::string& cause) { return windows::openWindowsBackend(cause, &windows::openMsaaElements); }},
#else
      {"wayland", &wayland::openWaylandModule},
      {"x11", [](std::string& cause) { return x11::openX11Backend(nullptr, cause); }},
#endif
  };
  return openFirstBackend(BACKENDS, error);
}

}  // namespace quen::platform
