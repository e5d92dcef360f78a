#pragma once

// The timers of a one-thread main loop (the Linux poll loop, the Windows message loop), on
// the loop's monotonic clock in nanoseconds. Timers never fire early. A repeating timer keeps
// the times start + k * interval; one that fell behind (a long callback, a stopped process)
// fires once and is then due at the next of those times still ahead, as NSTimer does,
// instead of firing a burst. An interval of 0 or less repeats every 0.1 ms, also as NSTimer
// does; a delay of 0 or less is due at once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace quen::platform {

class TimerQueue {
 public:
  void scheduleRepeating(std::int64_t now, Seconds interval, std::function<void()> callback);
  void scheduleOnce(std::int64_t now, Seconds delay, std::function<void()> callback);
  // When the earliest timer is due; none without timers.
  std::optional<std::int64_t> nextDue() const;
  // Fires the earliest timer if it is due at `passStart` (timers due later wait for the next
  // pass, so that a busy timer cannot starve the loop's other sources), and says whether it
  // did. A callback may schedule more timers.
  bool fireNextDue(std::int64_t passStart);

 private:
  struct Timer {
    std::int64_t dueNanoseconds;
    std::int64_t intervalNanoseconds;  // 0 for a one-shot call
    std::uint64_t sequence;            // orders timers due at the same instant
    std::function<void()> callback;
  };
  using Timers = std::vector<std::unique_ptr<Timer>>;  // stable while a callback adds more

  void schedule(std::int64_t due, std::int64_t interval, std::function<void()> callback);
  Timers::const_iterator earliest() const;

  Timers timers_;
  std::uint64_t nextSequence_ = 0;
};

}  // namespace quen::platform
