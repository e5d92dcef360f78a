// A module with the Wayland module's entry points, for the loader's tests: its ABI text is
// the build's or an older one, and its entry point says that it ran.

#include "platform/wayland/wayland_module.h"

extern "C" __attribute__((visibility("default"))) const char QUEN_WAYLAND_MODULE_ABI_TEXT[] =
    QUEN_WAYLAND_MODULE_ABI;

extern "C" __attribute__((visibility("default"))) quen::platform::Backend*
QUEN_OPEN_WAYLAND_BACKEND(std::string& error) {
  error = "opened";
  return nullptr;
}
