#pragma once

// The main loop of the Win32 backend: MsgWaitForMultipleObjectsEx over the watched handles
// and the thread's message queue, with a timeout to the earliest timer. One thread; every
// callback runs on it, one at a time, and so do the window procedures and WinEvent hooks of
// the windows and hooks it made, since their messages are dispatched from here.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace quen::windows {

class MessageLoop final : public platform::RunLoop {
 public:
  MessageLoop();
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // Timers never fire early. A repeating timer keeps the times start + k * interval; one that
  // fell behind fires once and is then due at the next of those times still ahead. An
  // interval of 0 or less repeats every 0.1 ms.
  void scheduleRepeating(platform::Seconds interval, std::function<void()> callback) override;
  void scheduleOnce(platform::Seconds delay, std::function<void()> callback) override;
  // Returns the status given to stop(), or 1 after one line on standard error when the wait
  // fails for good.
  int run(std::function<void()> didFinishLaunching) override;

  // Calls `onSignaled` each time `handle` is signaled (the loop does not own the handle). An
  // auto-reset event wakes the loop once per SetEvent; a process handle stays signaled, so
  // its callback must stop the loop or end the process.
  void watchHandle(HANDLE handle, std::function<void()> onSignaled);
  // The function returned may be called from any thread: soon after, `onWake` runs on the
  // loop (once for any number of calls made meanwhile). Empty when no event can be made.
  std::function<void()> wakerFor(std::function<void()> onWake);
  // Ends run() with `status` once the current callback returns.
  void stop(int status);

 private:
  struct Timer {
    std::int64_t dueNanoseconds;
    std::int64_t intervalNanoseconds;  // 0 for a one-shot call
    std::uint64_t sequence;
    std::function<void()> callback;
  };
  using Timers = std::vector<std::unique_ptr<Timer>>;

  void scheduleTimer(std::int64_t delayNanoseconds, std::int64_t intervalNanoseconds,
                     std::function<void()> callback);
  Timers::iterator earliestTimer();
  void fireDueTimers();
  void dispatchMessages();

  Timers timers_;
  std::uint64_t nextTimerSequence_ = 0;
  std::vector<HANDLE> handles_;
  std::vector<std::unique_ptr<std::function<void()>>> handleCallbacks_;
  std::vector<HANDLE> ownedEvents_;
  bool stopping_ = false;
  int status_ = 0;
};

}  // namespace quen::windows
