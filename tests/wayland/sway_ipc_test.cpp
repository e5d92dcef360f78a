#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/sway_connection.h"

namespace quen::wayland {
namespace {

// sway's replies to SUBSCRIBE and GET_TREE (trimmed to what is read): two foot windows of two
// processes, the first focused; two that show one app id and title; an XWayland window.
const std::string TREE = encodeIpcMessage(2, R"({"success":true})") + encodeIpcMessage(4, R"(
  {"id":1,"type":"root","nodes":[{"id":4,"type":"workspace","nodes":[
    {"id":11,"name":"shell","focused":true,"pid":100,"app_id":"foot"},
    {"id":12,"name":"logs","focused":false,"pid":200,"app_id":"foot"},
    {"id":14,"name":"same","pid":400,"app_id":"term"},
    {"id":15,"name":"same","pid":500,"app_id":"term"}],
  "floating_nodes":[
    {"id":13,"name":"x","pid":300,"app_id":null,"window_properties":{"class":"X"}}]}]})");
const std::string NEW_WINDOW = encodeIpcMessage(
    0x80000003u,
    R"({"change":"new","container":{"id":16,"name":"draft","pid":600,"app_id":"ed"}})");

TEST(SwayPidTest, NamesTheProcessOfTheActivatedToplevel) {
  const struct {
    std::vector<std::string> reads;  // the bytes of each read from the socket
    const char *appId, *title;       // of the toplevel the compositor shows activated
    std::optional<std::int32_t> pid;
  } rows[] = {
      {{TREE}, "foot", "shell", 100},
      {{TREE}, "foot", "logs", 200},  // activated before sway's focus event came
      {{TREE}, "X", "x", 300},        // an XWayland window, by its class
      {{TREE}, "term", "same", std::nullopt},  // one app id and title for two processes
      {{TREE + NEW_WINDOW}, "ed", "draft", 600},  // an event in the tree's read
      {{TREE.substr(0, 40), TREE.substr(40)}, "foot", "logs", 200}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.title << ", " << row.reads.size() << " reads");
    SwayWindows windows;
    for (const std::string& bytes : row.reads) ASSERT_TRUE(windows.receive(bytes));
    EXPECT_EQ(windows.pidOf(row.appId, row.title), row.pid);
  }
}

// "waiting" while the client keeps its end open, "gone" once it closed it.
std::string peerState(int fd) {
  char bytes[256];
  ssize_t got;
  while ((got = recv(fd, bytes, sizeof bytes, MSG_DONTWAIT)) > 0) continue;  // its requests
  return got == 0 ? "gone" : "waiting";
}

// A stale $SWAYSOCK that accepts and never answers: the loop goes on while the connection
// waits for the tree, which is given up at the deadline and tried again later.
TEST(SwayConnectionTest, ASocketThatNeverAnswersHoldsNothingUp) {
  const std::string path =
      std::filesystem::temp_directory_path() / ("quen-sway-" + std::to_string(getpid()));
  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  path.copy(address.sun_path, sizeof address.sun_path - 1);
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
  loop.scheduleOnce(0.05,
                    [&] { log.push_back(accepted.empty() ? "none" : peerState(accepted[0])); });
  loop.scheduleOnce(20.0, [&] { loop.stop(99); });
  EXPECT_EQ(loop.run([&] { connection.open(); }), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"connected", "waiting", "connected"}));
  EXPECT_EQ(accepted.empty() ? "none" : peerState(accepted[0]), "gone")
      << "given up at the deadline";
  for (int fd : accepted) close(fd);
  close(listener);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace quen::wayland
