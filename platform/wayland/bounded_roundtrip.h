#pragma once

// A round trip to the compositor that gives up: a socket that accepts but never answers (a
// compositor that hangs, a stale $WAYLAND_DISPLAY taken by another program) must not hold
// the agent at start for ever, as wl_display_roundtrip would.

#include <wayland-client-core.h>

#include <chrono>

namespace quen::wayland {

// Sends what is queued, then waits at most `limit` for the compositor to answer everything
// sent so far, dispatching the events that come meanwhile. False when it did not answer in
// time or the connection failed.
bool roundtripWithin(wl_display* display, std::chrono::milliseconds limit);

}  // namespace quen::wayland
