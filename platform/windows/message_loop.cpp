#include "platform/windows/message_loop.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace quen::windows {
namespace {

constexpr std::int64_t NANOSECONDS_PER_MILLISECOND = 1'000'000;
constexpr std::int64_t NANOSECONDS_PER_SECOND = 1'000'000'000;
constexpr std::int64_t LONGEST_SPAN_NANOSECONDS = std::int64_t{1} << 61;
constexpr std::int64_t SHORTEST_INTERVAL_NANOSECONDS = 100'000;

std::int64_t monotonicNanoseconds() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<std::int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const std::int64_t ticks = now.QuadPart;
  return ticks / frequency * NANOSECONDS_PER_SECOND +
         ticks % frequency * NANOSECONDS_PER_SECOND / frequency;
}

std::int64_t toNanoseconds(platform::Seconds seconds) {
  if (!(seconds > 0)) return 0;
  const double nanoseconds = seconds * static_cast<double>(NANOSECONDS_PER_SECOND);
  if (nanoseconds >= static_cast<double>(LONGEST_SPAN_NANOSECONDS)) return LONGEST_SPAN_NANOSECONDS;
  return static_cast<std::int64_t>(nanoseconds + 0.5);
}

// Whole milliseconds, rounded up so that timers do not wake before they are due.
DWORD waitMilliseconds(std::int64_t waitNanoseconds) {
  if (waitNanoseconds <= 0) return 0;
  const std::int64_t milliseconds =
      (waitNanoseconds + NANOSECONDS_PER_MILLISECOND - 1) / NANOSECONDS_PER_MILLISECOND;
  return static_cast<DWORD>(std::min<std::int64_t>(milliseconds, INFINITE - 1));
}

}  // namespace

MessageLoop::MessageLoop() = default;

MessageLoop::~MessageLoop() {
  for (HANDLE event : ownedEvents_) CloseHandle(event);
}

void MessageLoop::scheduleRepeating(platform::Seconds interval, std::function<void()> callback) {
  const std::int64_t nanoseconds = std::max(toNanoseconds(interval), SHORTEST_INTERVAL_NANOSECONDS);
  scheduleTimer(nanoseconds, nanoseconds, std::move(callback));
}

void MessageLoop::scheduleOnce(platform::Seconds delay, std::function<void()> callback) {
  scheduleTimer(toNanoseconds(delay), 0, std::move(callback));
}

void MessageLoop::scheduleTimer(std::int64_t delayNanoseconds, std::int64_t intervalNanoseconds,
                                std::function<void()> callback) {
  timers_.push_back(std::make_unique<Timer>(Timer{monotonicNanoseconds() + delayNanoseconds,
                                                  intervalNanoseconds, nextTimerSequence_++,
                                                  std::move(callback)}));
}

void MessageLoop::watchHandle(HANDLE handle, std::function<void()> onSignaled) {
  handles_.push_back(handle);
  handleCallbacks_.push_back(std::make_unique<std::function<void()>>(std::move(onSignaled)));
}

std::function<void()> MessageLoop::wakerFor(std::function<void()> onWake) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // auto-reset
  if (event == nullptr) return {};
  ownedEvents_.push_back(event);
  watchHandle(event, std::move(onWake));
  return [event] { SetEvent(event); };
}

void MessageLoop::stop(int status) {
  stopping_ = true;
  status_ = status;
}

int MessageLoop::run(std::function<void()> didFinishLaunching) {
  stopping_ = false;
  status_ = 0;
  if (didFinishLaunching) didFinishLaunching();
  while (!stopping_) {
    const auto next = earliestTimer();
    const DWORD timeout = next == timers_.end()
                              ? INFINITE
                              : waitMilliseconds((*next)->dueNanoseconds - monotonicNanoseconds());
    // The handle list cannot change during the wait: callbacks run after it returns.
    const auto count = static_cast<DWORD>(handles_.size());
    const DWORD result = MsgWaitForMultipleObjectsEx(count, handles_.data(), timeout,
                                                     QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_FAILED) {
      std::fprintf(stderr, "Windows: wait failed: error %lu\n", GetLastError());
      return 1;
    }
    if (result < WAIT_OBJECT_0 + count) (*handleCallbacks_[result - WAIT_OBJECT_0])();
    if (!stopping_) dispatchMessages();
    if (!stopping_) fireDueTimers();
  }
  return status_;
}

void MessageLoop::dispatchMessages() {
  MSG message;
  while (!stopping_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      stop(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void MessageLoop::fireDueTimers() {
  // Only timers due when this pass began fire in it.
  const std::int64_t now = monotonicNanoseconds();
  for (auto next = earliestTimer();
       next != timers_.end() && !stopping_ && (*next)->dueNanoseconds <= now;
       next = earliestTimer()) {
    Timer& timer = **next;
    if (timer.intervalNanoseconds == 0) {
      std::unique_ptr<Timer> call = std::move(*next);
      timers_.erase(next);
      call->callback();
    } else {
      const std::int64_t interval = timer.intervalNanoseconds;
      timer.dueNanoseconds += interval;
      if (timer.dueNanoseconds <= now)
        timer.dueNanoseconds += ((now - timer.dueNanoseconds) / interval + 1) * interval;
      timer.callback();
    }
  }
}

MessageLoop::Timers::iterator MessageLoop::earliestTimer() {
  return std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
    return std::pair(a->dueNanoseconds, a->sequence) < std::pair(b->dueNanoseconds, b->sequence);
  });
}

}  // namespace quen::windows
