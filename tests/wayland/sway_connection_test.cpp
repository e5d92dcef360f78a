#include "platform/wayland/sway_connection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace quen::wayland {
namespace {

// What the client did to its end: "waiting" while it keeps it open, "gone" once it closed it.
std::string peerState(int fd) {
  char bytes[256];
  for (;;) {
    const ssize_t got = recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
    if (got > 0) continue;  // the requests it sent
    return got == 0 ? "gone" : "waiting";
  }
}

// A stale $SWAYSOCK: a socket that accepts and never answers. The loop goes on while the
// connection waits for the tree; at the deadline the connection is given up and tried
// again later.
TEST(SwayConnectionTest, ASocketThatNeverAnswersHoldsNothingUp) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quen-silent-sway-" + std::to_string(getpid()));
  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);

  linux_platform::PollRunLoop loop;
  SwayWindows windows;
  SwayConnection connection(loop, windows, path, [] {},
                            {.replyDeadline = 0.2, .retryInterval = 0.05});
  std::vector<std::string> log;
  std::vector<int> accepted;
  loop.watchFileDescriptor(listener, [&] {
    accepted.push_back(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    log.push_back("connected");
    if (accepted.size() == 2) loop.stop(0);
  });
  loop.scheduleOnce(
      0.05, [&] { log.push_back(accepted.empty() ? "not connected" : peerState(accepted[0])); });
  loop.scheduleOnce(20.0, [&] { loop.stop(99); });
  EXPECT_EQ(loop.run([&] { connection.open(); }), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"connected", "waiting", "connected"}));
  ASSERT_FALSE(accepted.empty());
  EXPECT_EQ(peerState(accepted[0]), "gone") << "given up at the deadline";
  for (int fd : accepted) close(fd);
  close(listener);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace quen::wayland
