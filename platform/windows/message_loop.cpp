#include "platform/windows/message_loop.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace quen::windows {
namespace {

constexpr std::int64_t NANOSECONDS_PER_MILLISECOND = 1'000'000;
constexpr std::int64_t NANOSECONDS_PER_SECOND = 1'000'000'000;

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
  timers_.scheduleRepeating(monotonicNanoseconds(), interval, std::move(callback));
}

void MessageLoop::scheduleOnce(platform::Seconds delay, std::function<void()> callback) {
  timers_.scheduleOnce(monotonicNanoseconds(), delay, std::move(callback));
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
    const std::optional<std::int64_t> due = timers_.nextDue();
    const DWORD timeout = due ? waitMilliseconds(*due - monotonicNanoseconds()) : INFINITE;
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
  while (!stopping_ && timers_.fireNextDue(now)) {
  }
}

}  // namespace quen::windows
