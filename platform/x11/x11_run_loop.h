#pragma once

// The loop the X11 backend hands out: the Linux poll() loop, watching the X connection and
// standard output, draining xcb's event queue after every callback, and telling the input
// source after each repeating timer that a new period began.

#include <functional>

#include "platform/linux/poll_run_loop.h"
#include "platform/platform.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

class X11RunLoop final : public platform::RunLoop {
 public:
  X11RunLoop(Connection& connection, EventPump& events);

  void scheduleRepeating(platform::Seconds interval, std::function<void()> callback) override;
  void scheduleOnce(platform::Seconds delay, std::function<void()> callback) override;
  // Returns 1 once the display connection is lost (its cause was reported to onLost).
  int run(std::function<void()> didFinishLaunching) override;

  void stop(int status) { loop_.stop(status); }
  // Calls `onReady` on the loop whenever `fd` is readable (see PollRunLoop).
  void watchFileDescriptor(int fd, std::function<void()> onReady) {
    loop_.watchFileDescriptor(fd, std::move(onReady));
  }
  // See PollRunLoop::wakerFor.
  std::function<void()> wakerFor(std::function<void()> onWake) {
    return loop_.wakerFor(std::move(onWake));
  }
  // The poll loop itself, for the services that watch descriptors of their own.
  linux_platform::PollRunLoop& pollLoop() { return loop_; }
  bool hasRepeatingTimer() const { return repeatingTimers_ > 0; }
  // Called after every repeating timer's callback.
  void afterRepeatingTimer(std::function<void()> hook) { afterRepeatingTimer_ = std::move(hook); }

 private:
  Connection& connection_;
  EventPump& events_;
  linux_platform::PollRunLoop loop_;
  int repeatingTimers_ = 0;
  bool watching_ = false;
  std::function<void()> afterRepeatingTimer_;
};

}  // namespace quen::x11
