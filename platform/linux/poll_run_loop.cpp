#include "platform/linux/poll_run_loop.h"

#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace quen::linux_platform {
namespace {

constexpr std::int64_t kNanosecondsPerMillisecond = 1'000'000;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr short kReadyEvents = POLLIN | POLLERR | POLLHUP | POLLNVAL;

std::int64_t monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * kNanosecondsPerSecond + now.tv_nsec;
}

// poll() waits whole milliseconds; rounding up keeps timers from waking before they are due.
int pollTimeout(std::int64_t waitNanoseconds) {
  if (waitNanoseconds <= 0) return 0;
  const std::int64_t milliseconds =
      (waitNanoseconds + kNanosecondsPerMillisecond - 1) / kNanosecondsPerMillisecond;
  return static_cast<int>(std::min<std::int64_t>(milliseconds, std::numeric_limits<int>::max()));
}

}  // namespace

void PollRunLoop::scheduleRepeating(platform::Seconds interval, std::function<void()> callback) {
  timers_.scheduleRepeating(monotonicNanoseconds(), interval, std::move(callback));
}

void PollRunLoop::scheduleOnce(platform::Seconds delay, std::function<void()> callback) {
  timers_.scheduleOnce(monotonicNanoseconds(), delay, std::move(callback));
}

void PollRunLoop::watchFileDescriptor(int fd, std::function<void()> onReady) {
  pollDescriptors_.push_back(pollfd{fd, POLLIN, 0});
  readyCallbacks_.push_back(std::make_unique<std::function<void()>>(std::move(onReady)));
}

void PollRunLoop::unwatchFileDescriptor(int fd) {
  // poll() skips negative descriptors, so the entry keeps its index, and its callback lives
  // on, while the dispatch that may be running walks the entries by index.
  for (pollfd& descriptor : pollDescriptors_) {
    if (descriptor.fd != fd) continue;
    descriptor = pollfd{-1, 0, 0};
    unwatched_ = true;
  }
}

void PollRunLoop::dropUnwatched() {
  if (!unwatched_) return;
  unwatched_ = false;
  std::size_t kept = 0;
  for (std::size_t index = 0; index < pollDescriptors_.size(); ++index) {
    if (pollDescriptors_[index].fd < 0) continue;
    pollDescriptors_[kept] = pollDescriptors_[index];
    readyCallbacks_[kept++] = std::move(readyCallbacks_[index]);
  }
  pollDescriptors_.resize(kept);
  readyCallbacks_.resize(kept);
}

void PollRunLoop::setBeforeSleep(std::function<void()> beforeSleep) {
  beforeSleep_ = std::move(beforeSleep);
}

void PollRunLoop::stop(int status) {
  stopping_ = true;
  status_ = status;
}

int PollRunLoop::run(std::function<void()> didFinishLaunching) {
  stopping_ = false;
  status_ = 0;
  if (didFinishLaunching) didFinishLaunching();
  finishCallback();
  while (!stopping_) {
    if (!waitForDescriptors()) return 1;
    dispatchReadyDescriptors();
    fireDueTimers();
  }
  return status_;
}

void PollRunLoop::finishCallback() {
  if (!stopping_ && beforeSleep_) beforeSleep_();
}

bool PollRunLoop::waitForDescriptors() {
  dropUnwatched();
  const std::optional<std::int64_t> due = timers_.nextDue();
  const int timeout = due ? pollTimeout(*due - monotonicNanoseconds()) : -1;
  if (poll(pollDescriptors_.data(), pollDescriptors_.size(), timeout) >= 0) return true;
  const int error = errno;
  for (pollfd& descriptor : pollDescriptors_) descriptor.revents = 0;
  if (error == EINTR || error == EAGAIN) return true;
  std::fprintf(stderr, "Linux: poll failed: %s\n", std::strerror(error));
  return false;
}

void PollRunLoop::dispatchReadyDescriptors() {
  // Watchers added by a callback are looked at from the next poll() on.
  const std::size_t watched = pollDescriptors_.size();
  for (std::size_t index = 0; index < watched && !stopping_; ++index) {
    if ((pollDescriptors_[index].revents & kReadyEvents) == 0) continue;
    pollDescriptors_[index].revents = 0;
    (*readyCallbacks_[index])();
    finishCallback();
  }
}

void PollRunLoop::fireDueTimers() {
  // Only timers due when this pass began fire in it, so a busy timer cannot starve the
  // descriptors.
  const std::int64_t now = monotonicNanoseconds();
  while (!stopping_ && timers_.fireNextDue(now)) finishCallback();
}

std::function<void()> PollRunLoop::wakerFor(std::function<void()> onWake) {
  const int wakeDescriptor = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeDescriptor < 0) return {};
  watchFileDescriptor(wakeDescriptor, [wakeDescriptor, onWake = std::move(onWake)] {
    std::uint64_t count = 0;
    if (read(wakeDescriptor, &count, sizeof count) == sizeof count) onWake();
  });
  return [wakeDescriptor] {
    const std::uint64_t one = 1;
    (void)!write(wakeDescriptor, &one, sizeof one);
  };
}

}  // namespace quen::linux_platform
