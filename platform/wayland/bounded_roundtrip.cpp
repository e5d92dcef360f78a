#include "platform/wayland/bounded_roundtrip.h"

#include <poll.h>
#include <wayland-client-protocol.h>

#include <cerrno>
#include <cstdint>

namespace quen::wayland {

namespace {

void onDone(void* data, wl_callback* /*callback*/, std::uint32_t /*serial*/) {
  *static_cast<bool*>(data) = true;
}

// Reads what the socket has within `timeoutMs`; false on a timeout or a failed read.
bool readEventsWithin(wl_display* display, int timeoutMs) {
  while (wl_display_prepare_read(display) != 0)
    if (wl_display_dispatch_pending(display) < 0) return false;
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    return false;
  }
  pollfd descriptor{wl_display_get_fd(display), POLLIN, 0};
  int ready = 0;
  do ready = ::poll(&descriptor, 1, timeoutMs);
  while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    wl_display_cancel_read(display);
    return false;
  }
  return wl_display_read_events(display) == 0;
}

}  // namespace

bool roundtripWithin(wl_display* display, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  bool done = false;
  static const wl_callback_listener listener{&onDone};
  wl_callback* callback = wl_display_sync(display);
  if (callback == nullptr) return false;
  wl_callback_add_listener(callback, &listener, &done);
  while (!done) {
    if (wl_display_dispatch_pending(display) < 0 || done) break;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !readEventsWithin(display, static_cast<int>(left.count()))) break;
  }
  wl_callback_destroy(callback);
  return done;
}

}  // namespace quen::wayland
