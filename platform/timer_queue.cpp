#include "platform/timer_queue.h"

#include <algorithm>
#include <utility>

namespace quen::platform {
namespace {

constexpr std::int64_t NANOSECONDS_PER_SECOND = 1'000'000'000;
// About 73 years: beyond any process, and far from overflow when added to the clock.
constexpr std::int64_t LONGEST_SPAN_NANOSECONDS = std::int64_t{1} << 61;
// NSTimer: "If seconds is less than or equal to 0.0, this method chooses the nonnegative
// value of 0.1 milliseconds instead."
constexpr std::int64_t SHORTEST_INTERVAL_NANOSECONDS = 100'000;

// A span of time in whole nanoseconds, to the nearest; negative or NaN spans are none.
// Rounded by hand: std::round is the agents' only use of libm, whose pages would cost
// 0.3 MB of resident memory.
std::int64_t toNanoseconds(Seconds seconds) {
  if (!(seconds > 0)) return 0;
  const double nanoseconds = seconds * static_cast<double>(NANOSECONDS_PER_SECOND);
  if (nanoseconds >= static_cast<double>(LONGEST_SPAN_NANOSECONDS)) return LONGEST_SPAN_NANOSECONDS;
  return static_cast<std::int64_t>(nanoseconds + 0.5);
}

}  // namespace

void TimerQueue::scheduleRepeating(std::int64_t now, Seconds interval,
                                   std::function<void()> callback) {
  const std::int64_t nanoseconds = std::max(toNanoseconds(interval), SHORTEST_INTERVAL_NANOSECONDS);
  schedule(now + nanoseconds, nanoseconds, std::move(callback));
}

void TimerQueue::scheduleOnce(std::int64_t now, Seconds delay, std::function<void()> callback) {
  schedule(now + toNanoseconds(delay), 0, std::move(callback));
}

void TimerQueue::schedule(std::int64_t due, std::int64_t interval,
                          std::function<void()> callback) {
  timers_.push_back(
      std::make_unique<Timer>(Timer{due, interval, nextSequence_++, std::move(callback)}));
}

std::optional<std::int64_t> TimerQueue::nextDue() const {
  const auto next = earliest();
  if (next == timers_.end()) return std::nullopt;
  return (*next)->dueNanoseconds;
}

bool TimerQueue::fireNextDue(std::int64_t passStart) {
  const auto next = earliest();
  if (next == timers_.end() || (*next)->dueNanoseconds > passStart) return false;
  Timer& timer = **next;
  if (timer.intervalNanoseconds == 0) {
    std::unique_ptr<Timer> call = std::move(timers_[next - timers_.begin()]);
    timers_.erase(next);
    call->callback();
    return true;
  }
  const std::int64_t interval = timer.intervalNanoseconds;
  timer.dueNanoseconds += interval;
  if (timer.dueNanoseconds <= passStart)  // fell behind: skip the times already passed
    timer.dueNanoseconds += ((passStart - timer.dueNanoseconds) / interval + 1) * interval;
  timer.callback();
  return true;
}

TimerQueue::Timers::const_iterator TimerQueue::earliest() const {
  return std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
    return std::pair(a->dueNanoseconds, a->sequence) < std::pair(b->dueNanoseconds, b->sequence);
  });
}

}  // namespace quen::platform
