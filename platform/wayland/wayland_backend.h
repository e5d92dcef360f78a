#pragma once

// The Wayland backend of the focus agent: the front toplevel from the wlr foreign toplevel
// protocol (its process from sway's IPC where sway runs) or from KWin's window list (which
// names the process), and the Linux poll loop watching the compositor's socket. Wayland has no global input monitors for clients, so this
// backend offers none; the input agent keeps to X11.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace quen::wayland {

// Opens the backend on the compositor $WAYLAND_DISPLAY names. Null with `error` left empty
// when there is no compositor to ask or it offers neither toplevel list (GNOME, weston, KWin
// to a client its desktop entries do not grant the window list), so that the caller can try
// X11.
std::unique_ptr<platform::Backend> openWaylandBackend(std::string& error);

}  // namespace quen::wayland
