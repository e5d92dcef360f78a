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
#include "platform/timer_queue.h"

namespace quen::windows {

class MessageLoop final : public platform::RunLoop {
 public:
  MessageLoop();
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // Timers follow TimerQueue's rules (never early; one that fell behind fires once).
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
  void fireDueTimers();
  void dispatchMessages();

  platform::TimerQueue timers_;
  std::vector<HANDLE> handles_;
  std::vector<std::unique_ptr<std::function<void()>>> handleCallbacks_;
  std::vector<HANDLE> ownedEvents_;
  bool stopping_ = false;
  int status_ = 0;
};

}  // namespace quen::windows
