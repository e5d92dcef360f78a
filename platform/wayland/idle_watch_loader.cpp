#include <dlfcn.h>

#include <cstdlib>

#include "platform/wayland/idle_watch_module.h"
#include "platform/wayland/wayland_module.h"

namespace quen::wayland {

std::unique_ptr<platform::UnseenInputWatch> openIdleWatchModule(
    linux_platform::PollRunLoop& loop, std::function<void(const std::string& line)> onLost) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (display == nullptr || *display == '\0') return nullptr;
  void* module = openModuleBesideExecutable(QUEN_IDLE_WATCH_MODULE_FILE);
  if (module == nullptr) return nullptr;
  const auto open = reinterpret_cast<QuenOpenIdleWatch>(dlsym(module, QUEN_IDLE_WATCH_SYMBOL));
  std::unique_ptr<platform::UnseenInputWatch> watch(open ? open(loop, onLost) : nullptr);
  // With a watch, the module stays for the process: the watch's code is in it.
  if (!watch) dlclose(module);
  return watch;
}

}  // namespace quen::wayland
