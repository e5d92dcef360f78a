#pragma once

// The Win32 backend: every service of the seam over user32, kernel32 and dwmapi. Services are
// set up on first use, so InputTrail never walks windows and FocusTrail never registers for
// raw input. Windows asks no permission to read other processes' windows or to receive raw
// input, so no permission is ever missing: the screen-capture and accessibility answers are
// always granted.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace quen::windows {

// Makes the windows' accessible elements for openWindowAccessibility (openMsaaElements, in
// msaa_elements.h); an agent that passes none links no OLE library.
using WindowAccessibilityFactory = std::unique_ptr<platform::WindowAccessibility> (*)();

// Null, with "Windows: no standard output" in `error`, when the process has no standard-output
// handle (a GUI-subsystem process started without one redirected).
std::unique_ptr<platform::Backend> openWindowsBackend(std::string& error,
                                                      WindowAccessibilityFactory accessibility);

}  // namespace quen::windows
