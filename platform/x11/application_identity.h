#pragma once

// The running application behind a top-level client window: its process id (XRes, else the
// window's EWMH _NET_WM_PID), and the name, id and path that stand in for a bundle's: the
// desktop entry's localized Name and id, else the ICCCM WM_CLASS, else the process name,
// and the executable's path.

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/linux/desktop_entry_index.h"
#include "platform/linux/process_info.h"
#include "platform/platform.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

// WM_CLASS: two NUL-terminated strings, the instance name and the class name (ICCCM 4.1.2.5).
struct WindowClass {
  std::string instance;
  std::string className;
};
WindowClass parseWindowClass(std::string_view bytes);

// What the server and /proc say of a window's owner: everything its description is made of
// except the desktop entry, which is looked up again at each description.
struct OwnerFacts {
  std::int32_t pid = 0;  // a negative stand-in when it cannot be found (ClientPidQuery)
  WindowClass windowClass;
  linux_platform::ProcessFacts process;  // empty without a pid
};

class ApplicationIdentity {
 public:
  explicit ApplicationIdentity(Connection& connection);

  // A description in two halves: the round trip (and the reads of /proc), then the naming,
  // which asks only the desktop entry index. readOwner gives none when the window no longer
  // exists; a window whose process id cannot be found is described with its client's
  // stand-in (ClientPidQuery::ownerOf), which the window list gives that client's windows as
  // their owner.
  std::optional<OwnerFacts> readOwner(xcb_window_t client);
  platform::RunningApplication nameApplication(const OwnerFacts& owner);

 private:
  // The facts of `pid`, read again only when its executable changed (an exec, or another
  // process that took the pid): a poll reads one link, not three files.
  const linux_platform::ProcessFacts& factsOf(std::int32_t pid);

  Connection& connection_;
  std::unordered_map<std::int32_t, linux_platform::ProcessFacts> processFacts_;
  std::unique_ptr<linux_platform::DesktopEntryIndex> desktopEntries_;  // read on first use
};

}  // namespace quen::x11
