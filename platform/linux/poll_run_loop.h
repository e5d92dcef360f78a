#pragma once

// The main loop of the Linux backend: poll() over the watched file descriptors, with a
// timeout to the earliest timer on CLOCK_MONOTONIC. One thread; every callback runs on it,
// one at a time. Written by hand because it is all the backend needs: a general event
// library adds megabytes of resident memory and still could not see events that xcb has
// already read into its own queue, which `setBeforeSleep` exists to drain.

#include <poll.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/timer_queue.h"

namespace quen::linux_platform {

class PollRunLoop final : public platform::RunLoop {
 public:
  // Timers follow TimerQueue's rules (never early; one that fell behind fires once).
  void scheduleRepeating(platform::Seconds interval, std::function<void()> callback) override;
  // A delay of 0 or less fires after the loop next looks at its descriptors.
  void scheduleOnce(platform::Seconds delay, std::function<void()> callback) override;
  // Returns the status given to stop(), or 1 after one line on standard error when poll()
  // fails for good.
  int run(std::function<void()> didFinishLaunching) override;

  // Calls `onReady` whenever `fd` is readable or reports an error or hang-up (POLLIN,
  // POLLERR, POLLHUP; POLLNVAL for a descriptor closed while watched). Each call adds a
  // watcher, until `fd` is unwatched; `onReady` must consume what is ready, or stop the
  // loop, else it is called again at once.
  void watchFileDescriptor(int fd, std::function<void()> onReady);
  // Stops watching `fd` (before it is closed): its watchers are not called again, and their
  // entries go before the next poll(). A callback may call it for any descriptor, its own
  // included.
  void unwatchFileDescriptor(int fd);
  // The watchers the loop holds, for tests: a descriptor watched and unwatched again and
  // again (a connection that comes back) must not make the loop grow.
  std::size_t watcherCount() const { return pollDescriptors_.size(); }
  // An eventfd watched by the loop, for the life of the process: the function returned may
  // be called from any thread, and soon after `onWake` runs on the loop (once for any number
  // of calls made meanwhile). Empty when no eventfd can be made.
  std::function<void()> wakerFor(std::function<void()> onWake);
  // Called after every callback and so before each sleep in poll(): xcb reads events into
  // its own queue while it waits for a reply, where they never make the socket readable.
  void setBeforeSleep(std::function<void()> beforeSleep);
  // Ends run() with `status` once the current callback returns.
  void stop(int status);

 private:
  bool waitForDescriptors();
  void dispatchReadyDescriptors();
  void fireDueTimers();
  void finishCallback();
  void dropUnwatched();

  platform::TimerQueue timers_;
  std::vector<pollfd> pollDescriptors_;
  // Parallel to pollDescriptors_; heap-allocated so that a callback may add watchers.
  std::vector<std::unique_ptr<std::function<void()>>> readyCallbacks_;
  std::function<void()> beforeSleep_;
  bool unwatched_ = false;  // entries wait, marked with fd -1, until no callback runs
  bool stopping_ = false;
  int status_ = 0;
};

}  // namespace quen::linux_platform
