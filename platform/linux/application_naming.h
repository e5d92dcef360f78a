#pragma once

// The name, id and path that stand in for a bundle's on Linux, for X11 and Wayland alike:
// the installed desktop entry a running program matches, found through its window's class
// and what /proc says of its process.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/linux/desktop_entry_index.h"
#include "platform/linux/process_info.h"
#include "platform/platform.h"

namespace quen::linux_platform {

// X11's ICCCM WM_CLASS; a Wayland toplevel's app id stands for both (a native client's app
// id is by convention its desktop entry id, an XWayland window's is its WM_CLASS class).
struct WindowClass {
  std::string instance;
  std::string className;
};

// The entry's localized Name and id; without an entry, the class for the name (else the
// process name) and the instance for the id. The path is the executable's, none without a
// process: it is never guessed from the entry's Exec. `process` is empty without a pid.
platform::RunningApplication nameApplication(const WindowClass& windowClass, std::int32_t pid,
                                             const ProcessFacts& process,
                                             DesktopEntryIndex& entries);

// The installed entries, read on first use, and what /proc said of recent processes.
class ApplicationNaming {
 public:
  // The facts of `pid` (empty for none, which is not above 0), read again only when its
  // executable changed (an exec, or another process that took the pid): a poll reads one
  // link, not three files.
  const ProcessFacts& processFacts(std::int32_t pid);

  platform::RunningApplication name(const WindowClass& windowClass, std::int32_t pid,
                                    const ProcessFacts& process);

 private:
  const ProcessFacts noProcess_;
  std::unordered_map<std::int32_t, ProcessFacts> processFacts_;
  std::unique_ptr<DesktopEntryIndex> entries_;
};

}  // namespace quen::linux_platform
