#include "platform/dbus/sd_bus_library.h"

#include <dlfcn.h>

namespace quen::dbus {

const SdBusFunctions* loadSdBus() {
  static const SdBusFunctions* const loaded = []() -> const SdBusFunctions* {
    void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    static SdBusFunctions functions;
    bool complete = true;
#define QUEN_LOAD(name)                                                        \
  functions.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  complete = complete && functions.name != nullptr;
    QUEN_SD_BUS_FUNCTIONS(QUEN_LOAD)
#undef QUEN_LOAD
    return complete ? &functions : nullptr;
  }();
  return loaded;
}

}  // namespace quen::dbus
