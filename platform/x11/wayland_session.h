#pragma once

// Whether this X11 connection runs inside a Wayland session, where X11 sees only XWayland's
// windows and so cannot tell a native Wayland window in front from the bare desktop.

namespace quen::x11 {

// True when XDG_SESSION_TYPE says "wayland", or when a compositor listens at the socket
// WAYLAND_DISPLAY names (as libwayland finds it: an absolute path, else one in
// XDG_RUNTIME_DIR). A WAYLAND_DISPLAY left over in a plain X11 session, which no compositor
// serves, makes no Wayland session. The socket is tried without waiting and closed at once.
bool inWaylandSession();

}  // namespace quen::x11
