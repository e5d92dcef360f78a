#pragma once

// The accessibility bus (AT-SPI2) spoken to directly over D-Bus through sd-bus: per-call
// timeouts and no GLib main loop, where libatspi would bring GLib's megabytes and waits of
// 800 ms (up to 15 s for a young application) per call to a stopped browser.

#include <memory>

#include "platform/platform.h"

namespace quen::atspi {

// Gives up on each call after this long: a stopped browser costs one timeout per query.
inline constexpr unsigned CALL_TIMEOUT_MICROSECONDS = 200'000;

std::unique_ptr<platform::AccessibilityBus> openSdBusAccessibility();

}  // namespace quen::atspi
