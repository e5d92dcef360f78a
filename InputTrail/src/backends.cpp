// The input agent's backends, tried in this order once at start. On Linux: X11 only.
// Wayland lets no client see other clients' input; in a Wayland session the agent sees
// what reaches XWayland. On Windows: Win32 (platform/windows), over Raw Input.

#include "platform/backend_table.h"

#if defined(__APPLE__)
#include "platform/macos/macos_backend.h"
#elif defined(_WIN32)
#include "platform/windows/windows_backend.h"
#else
#include "platform/x11/x11_backend.h"
#endif

namespace quen::platform {

std::unique_ptr<Backend> openSystemBackend(std::string& error) {
  static constexpr BackendEntry BACKENDS[] = {
#if defined(__APPLE__)
      {"macos", &macos::openMacOSBackend},
#elif defined(_WIN32)
      {"windows", [](std::string& cause) { return windows::openWindowsBackend(cause, nullptr); }},
#else
      {"x11", [](std::string& cause) { return x11::openX11Backend(nullptr, cause); }},
#endif
  };
  return openFirstBackend(BACKENDS, error);
}

}  // namespace quen::platform
