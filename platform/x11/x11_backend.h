#pragma once

// The X11 backend: every service of the seam over one xcb connection. Services are set up
// on first use, so InputTrail never reads desktop entries and FocusTrail never selects input.

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace quen::linux_platform {
class PollRunLoop;
}

namespace quen::x11 {

// Makes the watch of the input X11's monitors miss in a Wayland session (the compositor's
// idle news, from platform/wayland or the session bus), served by `loop`; null when nothing
// in the session tells. `onLost` takes the one diagnostic line when its connection ends.
using UnseenInputFactory = std::unique_ptr<platform::UnseenInputWatch> (*)(
    linux_platform::PollRunLoop& loop, std::function<void(const std::string& line)> onLost);

// Opens the backend on `displayName` (the DISPLAY variable when null). Null, with
// "X11: cannot open display <name>" in `error`, when no X server answers. In a Wayland
// session (see wayland_session.h), unseenInput() gives the watch `unseenInput` makes, else one
// that cannot tell; an agent that passes no factory links no Wayland or bus code.
std::unique_ptr<platform::Backend> openX11Backend(const char* displayName, std::string& error,
                                                  UnseenInputFactory unseenInput = nullptr);

}  // namespace quen::x11
