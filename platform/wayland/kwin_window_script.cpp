#include "platform/wayland/kwin_window_script.h"

#include <algorithm>

namespace quen::wayland {

namespace {

// @AGENT@, @NAME@, @PATH@ and @INTERFACE@ are replaced when the text is made. A window's
// internalId is a QUuid, written as text; resourceClass is text in KWin 5.27 and 6.
constexpr std::string_view SCRIPT = R"js((function () {
  "use strict";
  const agent = "@AGENT@", name = "@NAME@";
  const path = "@PATH@", face = "@INTERFACE@";
  let active = null;
  function onCaption() {
    if (active) callDBus(agent, path, face, "CaptionChanged", String(active.internalId),
                          String(active.caption));
  }
  function unloadWhenAgentGone(present) {
    if (!present)
      callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", name);
  }
  function onActivated(window) {
    try {
      if (active) active.captionChanged.disconnect(onCaption);
    } catch (gone) {
    }
    active = window;
    if (!window) {
      callDBus(agent, path, face, "NothingActivated");
    } else {
      callDBus(agent, path, face, "WindowActivated", String(window.internalId),
               String(window.caption), String(window.desktopFileName || ""),
               String(window.resourceClass || ""), window.pid | 0);
      try {
        window.captionChanged.connect(onCaption);
      } catch (withoutCaption) {
      }
    }
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", agent, unloadWhenAgentGone);
  }
  (workspace.windowActivated || workspace.clientActivated).connect(onActivated);
  onActivated(workspace.activeWindow !== undefined ? workspace.activeWindow
                                                   : workspace.activeClient);
})();
)js";

void replaceAll(std::string& text, std::string_view marker, std::string_view value) {
  for (auto at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + value.size()))
    text.replace(at, marker.size(), value);
}

// A unique name is ':' then dot-separated elements of [A-Za-z0-9_-].
bool isUniqueBusName(std::string_view name) {
  return name.size() > 1 && name.size() <= 255 && name[0] == ':' &&
         std::all_of(name.begin() + 1, name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-' || c == '.';
         });
}

}  // namespace

std::string kwinScriptName(std::string_view agentBusName) {
  std::string name = "focustrail-";
  for (char c : agentBusName.substr(std::min<std::size_t>(1, agentBusName.size())))
    name += c == '.' ? '-' : c;
  return name;
}

std::string kwinScriptText(std::string_view agentBusName) {
  if (!isUniqueBusName(agentBusName)) return {};
  std::string text(SCRIPT);
  replaceAll(text, "@AGENT@", agentBusName);
  replaceAll(text, "@NAME@", kwinScriptName(agentBusName));
  replaceAll(text, "@PATH@", KWIN_SCRIPT_PATH);
  replaceAll(text, "@INTERFACE@", KWIN_SCRIPT_INTERFACE);
  return text;
}

}  // namespace quen::wayland
