#pragma once

// Standard output through C stdio: a line is written into stdio's buffer and reaches the
// reader at the next flush.

#include <string_view>

#include "platform/platform.h"

namespace quen::linux_platform {

class StdioOutput final : public platform::StandardOutput {
 public:
  void writeLine(std::string_view line) override;
  void flush() override;
  // From now on nothing more is written: the process is about to end with a diagnostic
  // (the display connection was lost), and whatever it would still report was read from a
  // connection that no longer answered.
  void close() { closed_ = true; }

 private:
  bool closed_ = false;
};

// Ends the process when the reader of standard output goes away, as a failed write would:
// SIGPIPE with its default action. Standard output is watched only when it is a pipe or a
// socket, the kinds whose reader can leave.
class StandardOutputHangupWatch {
 public:
  // The descriptor to watch for POLLERR and POLLHUP; -1 when standard output is no pipe or
  // socket (a terminal or a file has no reader to lose).
  static int descriptorToWatch();
  // Called when the descriptor is ready: raises SIGPIPE when the reader is gone; otherwise
  // (a socket that received data or was half closed) consumes the readiness, so that the
  // loop does not wake again for it.
  static void onReady(int descriptor);
};

}  // namespace quen::linux_platform
