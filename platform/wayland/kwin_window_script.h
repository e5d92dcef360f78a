#pragma once

// The KWin script FocusTrail loads over KWin's scripting interface when KWin lists its
// windows to no ordinary client (see kwin_script_windows.h). KWin runs it inside the
// compositor; it tells the agent, and no other process, which window is active: it calls the
// agent back at the agent's unique bus name, written into the text, so no well-known name is
// needed that another process could take first.
//
// What the script calls on the agent (object KWIN_SCRIPT_PATH, interface
// KWIN_SCRIPT_INTERFACE), each as KWin's scripting sends it (callDBus, JavaScript values):
//   WindowActivated(s internalId, s caption, s desktopFileName, s resourceClass, i pid)
//   NothingActivated()
//   CaptionChanged(s internalId, s caption)     the active window's only
// It reports the window active when it is run, so a restarted agent learns the state at
// once. It handles KWin 5's names (clientActivated, activeClient) and KWin 6's
// (windowActivated, activeWindow). When the agent's name has no owner any more (the agent
// ended without unloading it, as a killed process does), it unloads itself at the next
// activation: a unique name is never given again.

#include <string>
#include <string_view>

namespace quen::wayland {

inline constexpr const char* KWIN_SCRIPT_PATH = "/org/quen/FocusTrail";
inline constexpr const char* KWIN_SCRIPT_INTERFACE = "org.quen.FocusTrail.KWinWindows";

// The script's name for KWin (which keys loaded scripts by name): unique to the agent whose
// unique bus name is `agentBusName`.
std::string kwinScriptName(std::string_view agentBusName);
// The script text for that agent; empty when `agentBusName` is no unique bus name (only
// those characters are ever written into the text).
std::string kwinScriptText(std::string_view agentBusName);

}  // namespace quen::wayland
