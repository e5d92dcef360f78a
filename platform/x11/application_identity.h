#pragma once

// The running application behind a top-level client window: its process id (XRes, else the
// window's EWMH _NET_WM_PID), and the name, id and path that stand in for a bundle's: the
// desktop entry's localized Name and id, else the ICCCM WM_CLASS, else the process name,
// and the executable's path.

#include <xcb/xcb.h>

#include <optional>
#include <string_view>

#include "platform/linux/application_naming.h"
#include "platform/platform.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

// WM_CLASS: two NUL-terminated strings, the instance name and the class name (ICCCM 4.1.2.5).
linux_platform::WindowClass parseWindowClass(std::string_view bytes);

// What the server and /proc say of a window's owner: everything its description is made of
// except the desktop entry, which is looked up again at each description.
struct OwnerFacts {
  std::int32_t pid = 0;  // a negative stand-in when it cannot be found (ClientPidQuery)
  linux_platform::WindowClass windowClass;
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
  Connection& connection_;
  linux_platform::ApplicationNaming naming_;
};

}  // namespace quen::x11
