#pragma once

// The application behind a Wayland toplevel, named as the X11 backend names the owner of a
// window: through the installed desktop entries, matched by the app id (a native client's
// app_id is its desktop entry id by convention; an XWayland window's is its WM_CLASS
// class), and by the process, when the compositor's IPC gave one.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/desktop_entry_index.h"
#include "platform/platform.h"
#include "platform/x11/application_identity.h"

namespace quen::wayland {

// Stands in for the process id of a toplevel whose process is unknown: negative, so never a
// process id, and the same for the window list and the application.
inline constexpr std::int32_t UNKNOWN_PROCESS = -1;

// Names the application from its app id and what /proc says of its process (empty facts
// without a process): the entry's Name and id; without an entry the app id for both (the
// process name for the name when the app id is empty). The path is the executable's, and
// none without a process: the agent never guesses it from the entry's Exec.
platform::RunningApplication nameToplevelApplication(const std::string& appId, std::int32_t pid,
                                                     const linux_platform::ProcessFacts& process,
                                                     linux_platform::DesktopEntryIndex& entries);

class ToplevelIdentity {
 public:
  // `pid` none when the compositor does not say.
  platform::RunningApplication describe(const std::string& appId, std::optional<std::int32_t> pid);

 private:
  std::unique_ptr<linux_platform::DesktopEntryIndex> entries_;  // read on first use
  std::optional<std::int32_t> factsPid_;
  linux_platform::ProcessFacts facts_;
};

}  // namespace quen::wayland
