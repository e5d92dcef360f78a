#pragma once

// The X11 backend: every service of the seam over one xcb connection. Services are set up
// on first use, so InputTrail never reads desktop entries and FocusTrail never selects input.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace quen::x11 {

// Opens the backend on `displayName` (the DISPLAY variable when null). Null, with
// "X11: cannot open display <name>" in `error`, when no X server answers.
std::unique_ptr<platform::Backend> openX11Backend(const char* displayName, std::string& error);

}  // namespace quen::x11
