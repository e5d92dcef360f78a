// The input agent's backends: X11 only. Wayland lets no client see other clients' input;
// in a Wayland session the agent sees what reaches XWayland.

#include "platform/linux/backend_table.h"
#include "platform/x11/x11_backend.h"

namespace quen::platform {

std::unique_ptr<Backend> openSystemBackend(std::string& error) {
  static constexpr linux_platform::BackendEntry BACKENDS[] = {
      {"x11", [](std::string& cause) { return x11::openX11Backend(nullptr, cause); }},
  };
  return linux_platform::openFirstBackend(BACKENDS, error);
}

}  // namespace quen::platform
