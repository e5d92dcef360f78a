#pragma once

// The front window on KDE Plasma when KWin lists its windows to no client of the agent's
// (the desktop entry's grant is missing): a script the agent loads into KWin over KWin's
// scripting interface on the session bus (org.kde.kwin.Scripting), which calls the agent
// back at its unique name (see kwin_window_script.h). Calls are accepted from the current
// owner of org.kde.KWin only. The script is unloaded when the source ends, and loaded
// again when another process takes org.kde.KWin (a restarted KWin has lost it).

#include <memory>

#include "platform/wayland/bus_window_source.h"

namespace quen::wayland {

// Null unless the session is KDE's (XDG_CURRENT_DESKTOP names KDE, or org.kde.KWin has an
// owner) and KWin runs the script: a KWin that does not answer costs at most about a second.
std::unique_ptr<BusWindowSource> openKwinScriptWindows(const BusSourceContext& context);

}  // namespace quen::wayland
