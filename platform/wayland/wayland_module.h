#pragma once

// The entry point of the Wayland backend module (FocusTrail-wayland.so, beside the FocusTrail
// executable): what openWaylandBackend returns, the caller owning it. The module stays
// loaded for the life of the process.

#include <memory>
#include <string>

#include "platform/platform.h"

#define QUEN_OPEN_WAYLAND_BACKEND quen_open_wayland_backend
#define QUEN_WAYLAND_MODULE_SYMBOL "quen_open_wayland_backend"
#define QUEN_WAYLAND_MODULE_FILE "FocusTrail-wayland.so"

extern "C" {
using QuenOpenWaylandBackend = quen::platform::Backend* (*)(std::string& error);
}

namespace quen::wayland {

// The backend from the module beside the executable, when $WAYLAND_DISPLAY names a
// compositor. Null with `error` left empty when there is none, when the module is missing
// (a build that left it out, an installation without it) or when the compositor offers no
// toplevel list: the agent then uses X11. With a backend, the module stays loaded for the
// process; without, it is unloaded again.
std::unique_ptr<platform::Backend> openWaylandModule(std::string& error);

}  // namespace quen::wayland
