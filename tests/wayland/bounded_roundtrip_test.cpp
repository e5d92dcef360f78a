#include "platform/wayland/bounded_roundtrip.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wayland-client.h>

namespace quen::wayland {
namespace {

// A compositor that accepted the connection and never answers: the round trip gives up.
TEST(BoundedRoundtripTest, ASilentCompositorIsGivenUp) {
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
  wl_display* display = wl_display_connect_to_fd(ends[0]);
  ASSERT_NE(display, nullptr);
  EXPECT_FALSE(roundtripWithin(display, std::chrono::milliseconds(50)));
  close(ends[1]);
  EXPECT_FALSE(roundtripWithin(display, std::chrono::milliseconds(1000)))
      << "a compositor gone is no answer either";
  wl_display_disconnect(display);
}

}  // namespace
}  // namespace quen::wayland
