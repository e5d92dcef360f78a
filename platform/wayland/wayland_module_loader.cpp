// Loads the Wayland backend module beside the executable, only when a compositor is named,
// so that an agent on X11 never maps libwayland.

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/wayland/wayland_module.h"

namespace quen::wayland {

namespace {

// The module's path: the executable's directory (from /proc/self/exe) and the module's name.
std::string waylandModulePath() {
  char executable[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  if (length <= 0) return {};
  const std::string path(executable, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + QUEN_WAYLAND_MODULE_FILE;
}

}  // namespace

std::unique_ptr<platform::Backend> openWaylandModule(std::string& error) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (display == nullptr || *display == '\0') return nullptr;
  const std::string path = waylandModulePath();
  void* module = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return nullptr;
  const auto open = reinterpret_cast<QuenOpenWaylandBackend>(
      dlsym(module, QUEN_WAYLAND_MODULE_SYMBOL));
  std::unique_ptr<platform::Backend> backend(open ? open(error) : nullptr);
  // A compositor without the toplevel list (GNOME, KDE): the agent goes on with X11, which
  // then carries nothing of the module. With a backend, the module stays for the process.
  if (!backend) dlclose(module);
  return backend;
}

}  // namespace quen::wayland
