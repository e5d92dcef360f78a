#pragma once

// The entry point of the Wayland backend module (FocusTrail-wayland.so, beside the FocusTrail
// executable): what openWaylandBackend returns, the caller owning it. The module stays
// loaded for the life of the process.

#include <string>

#include "platform/platform.h"

#define QUEN_OPEN_WAYLAND_BACKEND quen_open_wayland_backend
#define QUEN_WAYLAND_MODULE_SYMBOL "quen_open_wayland_backend"
#define QUEN_WAYLAND_MODULE_FILE "FocusTrail-wayland.so"

extern "C" {
using QuenOpenWaylandBackend = quen::platform::Backend* (*)(std::string& error);
}
