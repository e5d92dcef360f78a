#pragma once

// The connection to sway's IPC socket ($SWAYSOCK) that keeps a SwayWindows table current.
// The socket is non-blocking and the main loop reads what comes as it comes, so a socket
// that accepts and never answers (a stale $SWAYSOCK) holds nothing up: without the tree's
// reply within a deadline the connection counts as lost. A lost connection is tried again
// every few seconds; meanwhile the table is empty and the toplevels' processes unknown.

#include <functional>
#include <string>

#include "platform/linux/poll_run_loop.h"
#include "platform/platform.h"
#include "platform/wayland/sway_windows.h"

namespace quen::wayland {

struct SwayConnectionTiming {
  platform::Seconds replyDeadline = 1.0;  // for the tree, from the connection on
  platform::Seconds retryInterval = 5.0;  // after a connection is lost or refused
};

class SwayConnection {
 public:
  // Nothing is tried while `socketPath` is empty (not sway). `onChange` runs on the loop
  // after each read from the socket and after the connection is lost.
  SwayConnection(linux_platform::PollRunLoop& loop, SwayWindows& windows, std::string socketPath,
                 std::function<void()> onChange, SwayConnectionTiming timing = {});
  ~SwayConnection();
  SwayConnection(const SwayConnection&) = delete;
  SwayConnection& operator=(const SwayConnection&) = delete;

  // Connects and asks for the tree; the loop reads the replies and events.
  void open();
  // Once, at start, before the loop runs: waits until the tree is in, at most until the
  // deadline, so that the agent's first record already knows the front window's process.
  void awaitTree();

 private:
  void onReadable();
  bool receiveAvailable();
  void lose();
  void retryLater();

  linux_platform::PollRunLoop& loop_;
  SwayWindows& windows_;
  std::string socketPath_;
  std::function<void()> onChange_;
  SwayConnectionTiming timing_;
  int socket_ = -1;
  unsigned attempt_ = 0;  // tells the deadline of an earlier connection from this one's
};

}  // namespace quen::wayland
