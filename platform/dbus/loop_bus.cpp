#include "platform/dbus/loop_bus.h"

#include <time.h>

#include <cstdint>

namespace quen::dbus {

std::uint64_t monotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1'000;
}

std::unique_ptr<LoopBus> LoopBus::openSession(linux_platform::PollRunLoop& loop) {
  const SdBusFunctions* sd = loadSdBus();
  if (sd == nullptr) return nullptr;
  sd_bus* bus = nullptr;
  if (sd->sd_bus_open_user(&bus) < 0) return nullptr;
  BusHandle owned(bus, BusUnref{sd});
  if (sd->sd_bus_set_method_call_timeout(bus, BLOCKING_CALL_TIMEOUT_MICROSECONDS) < 0)
    return nullptr;
  std::unique_ptr<LoopBus> attached(new LoopBus(loop, *sd, std::move(owned)));
  if (attached->uniqueName_.empty() || attached->fd_ < 0) return nullptr;
  return attached;
}

LoopBus::LoopBus(linux_platform::PollRunLoop& loop, const SdBusFunctions& sd, BusHandle bus)
    : loop_(loop), sd_(&sd), bus_(std::move(bus)) {
  // Waits for the bus's answer to the connection's greeting, within the blocking bound.
  const char* name = nullptr;
  if (sd_->sd_bus_get_unique_name(bus_.get(), &name) < 0 || name == nullptr) return;
  uniqueName_ = name;
  fd_ = sd_->sd_bus_get_fd(bus_.get());
  if (fd_ < 0) return;
  loop_.watchFileDescriptor(fd_, [this] { process(); });
}

LoopBus::~LoopBus() {
  *self_ = nullptr;
  if (fd_ >= 0) loop_.unwatchFileDescriptor(fd_);
}

void LoopBus::process() {
  if (fd_ < 0) return;
  int result = 0;
  while ((result = sd_->sd_bus_process(bus_.get(), nullptr)) > 0) {
  }
  if (result >= 0) result = sd_->sd_bus_flush(bus_.get());
  if (result < 0 || sd_->sd_bus_is_open(bus_.get()) <= 0) return close();
  scheduleTimeout();
}

void LoopBus::scheduleTimeout() {
  std::uint64_t due = 0;
  if (sd_->sd_bus_get_timeout(bus_.get(), &due) < 0 || due == UINT64_MAX) return;
  if (timerDue_ != 0 && timerDue_ <= due) return;  // a timer as early is set already
  timerDue_ = due;
  const std::uint64_t now = monotonicMicroseconds();
  const double delay = due > now ? static_cast<double>(due - now) / 1e6 : 0.0;
  loop_.scheduleOnce(delay, [self = self_, due] {
    LoopBus* bus = *self;
    if (bus == nullptr || bus->timerDue_ != due) return;
    bus->timerDue_ = 0;
    bus->process();
  });
}

void LoopBus::close() {
  loop_.unwatchFileDescriptor(fd_);
  fd_ = -1;
  if (onClosed_) onClosed_();
}

}  // namespace quen::dbus
