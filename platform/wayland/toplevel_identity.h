#pragma once

// The application behind a Wayland toplevel, named as the X11 backend names the owner of a
// window (linux_platform::nameApplication), its app id standing for the window class and
// instance, and its process the one the compositor's IPC gave, if any.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/application_naming.h"
#include "platform/platform.h"

namespace quen::wayland {

// Stands in for the process id of a toplevel whose process is unknown: negative, so never a
// process id, and the same for the window list and the application.
inline constexpr std::int32_t UNKNOWN_PROCESS = -1;

class ToplevelIdentity {
 public:
  // `pid` none when the compositor does not say. The executable link is read at every
  // description, so that a process that ran another program (or a pid taken by another
  // process) is read afresh.
  platform::RunningApplication describe(const std::string& appId, std::optional<std::int32_t> pid);

 private:
  linux_platform::ApplicationNaming naming_;
};

}  // namespace quen::wayland
