#pragma once

// The entry point of the Wayland backend module (FocusTrail-wayland.so, beside the FocusTrail
// executable): what openWaylandBackend returns, the caller owning it. The module stays
// loaded for the life of the process.
//
// The executable and the module pass the seam's classes (their vtables) and the standard
// library's types to each other, so both must come from one build: the module exports its
// ABI text, QUEN_WAYLAND_MODULE_ABI (the project's version and a hash of the seam's headers
// and the compiler, made by the build), which the executable compares with its own before it
// calls the entry point.

#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/platform.h"

#define QUEN_OPEN_WAYLAND_BACKEND quen_open_wayland_backend
#define QUEN_WAYLAND_MODULE_SYMBOL "quen_open_wayland_backend"
#define QUEN_WAYLAND_MODULE_ABI_TEXT quen_wayland_module_abi
#define QUEN_WAYLAND_MODULE_ABI_SYMBOL "quen_wayland_module_abi"
#define QUEN_WAYLAND_MODULE_FILE "FocusTrail-wayland.so"

extern "C" {
using QuenOpenWaylandBackend = quen::platform::Backend* (*)(std::string& error);
}

namespace quen::wayland {

// The backend from the module beside the executable, when $WAYLAND_DISPLAY names a
// compositor. Null with `error` left empty when there is none, when the module is missing
// (a build that left it out, an installation without it) or refused (see below), or when
// the compositor offers no toplevel list: the agent then uses X11. With a backend, the module
// stays loaded for the process; without, it is unloaded again.
std::unique_ptr<platform::Backend> openWaylandModule(std::string& error);

// The same from the module file at `path`, which is loaded only when no one but `owner` (the
// executable's owner) can have changed it: a regular file owned by `owner` that neither its
// group nor others may write. Its entry point is called only when its ABI text is the
// executable's.
std::unique_ptr<platform::Backend> openWaylandModuleFile(const std::string& path, uid_t owner,
                                                         std::string& error);

// The handle of the module file `fileName` beside the executable, loaded by the rules above
// (trusted, of the executable's ABI); null otherwise. Each agent has a module of its own.
void* openModuleBesideExecutable(const char* fileName);

}  // namespace quen::wayland
