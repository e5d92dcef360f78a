// The focus agent's backends: Wayland where the compositor lists its toplevels (wlroots
// compositors such as sway), else X11 (an X session, or XWayland under any other
// compositor). The Wayland backend is a module beside the executable, loaded only when
// $WAYLAND_DISPLAY names a compositor, so that an agent on X11 never maps libwayland.

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/linux/backend_table.h"
#include "platform/wayland/wayland_module.h"
#include "platform/x11/x11_backend.h"

namespace quen::platform {

namespace {

// The module's path: the executable's directory (from /proc/self/exe) and the module's name.
std::string waylandModulePath() {
  char executable[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  if (length <= 0) return {};
  const std::string path(executable, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + QUEN_WAYLAND_MODULE_FILE;
}

// Without the module (a build that left it out, an installation without it) the agent uses
// X11, as it does with a compositor it cannot ask.
std::unique_ptr<Backend> openWaylandModule(std::string& error) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (display == nullptr || *display == '\0') return nullptr;
  const std::string path = waylandModulePath();
  void* module = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return nullptr;
  const auto open = reinterpret_cast<QuenOpenWaylandBackend>(
      dlsym(module, QUEN_WAYLAND_MODULE_SYMBOL));
  std::unique_ptr<Backend> backend(open ? open(error) : nullptr);
  // A compositor without the toplevel list (GNOME, KDE): the agent goes on with X11, which
  // then carries nothing of the module. With a backend, the module stays for the process.
  if (!backend) dlclose(module);
  return backend;
}

}  // namespace

std::unique_ptr<Backend> openSystemBackend(std::string& error) {
  static constexpr linux_platform::BackendEntry BACKENDS[] = {
      {"wayland", &openWaylandModule},
      {"x11", [](std::string& cause) { return x11::openX11Backend(nullptr, cause); }},
  };
  return linux_platform::openFirstBackend(BACKENDS, error);
}

}  // namespace quen::platform
