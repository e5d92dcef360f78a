#pragma once

// The user's session bus ($DBUS_SESSION_BUS_ADDRESS) attached to the Linux poll loop: the
// bus's socket is watched by the loop, every message that arrives is dispatched there (to
// the matches, objects and asynchronous replies registered on bus()), and the timeouts of
// asynchronous calls fire on the loop's timers. One thread: the loop's.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/dbus/sd_bus_library.h"
#include "platform/linux/poll_run_loop.h"

namespace quen::dbus {

// A blocking call (sd_bus_call_method and the like) gives up after this long, the bus's own
// start included: a bus that does not answer holds the agent up at start for at most this.
inline constexpr unsigned long long BLOCKING_CALL_TIMEOUT_MICROSECONDS = 1'000'000;

// CLOCK_MONOTONIC in microseconds: the clock of sd-bus's timeouts and of deadlines made for
// its calls.
std::uint64_t monotonicMicroseconds();

class LoopBus {
 public:
  // Null when libsystemd cannot be loaded or no session bus answers.
  static std::unique_ptr<LoopBus> openSession(linux_platform::PollRunLoop& loop);
  ~LoopBus();
  LoopBus(const LoopBus&) = delete;
  LoopBus& operator=(const LoopBus&) = delete;

  const SdBusFunctions& sd() const { return *sd_; }
  sd_bus* bus() const { return bus_.get(); }
  // This connection's unique name (":1.42"): the address peers reply and call back to.
  const std::string& uniqueName() const { return uniqueName_; }
  // Called once, on the loop, when the connection ends (the bus went away).
  void onClosed(std::function<void()> callback) { onClosed_ = std::move(callback); }
  // Dispatches what has arrived, writes what is queued, and sets the timer for the earliest
  // asynchronous call's timeout. The loop calls it; a user calls it after queueing messages
  // from outside a bus callback, when it must not wait for the next message to go out.
  void process();

 private:
  LoopBus(linux_platform::PollRunLoop& loop, const SdBusFunctions& sd, BusHandle bus);
  void scheduleTimeout();
  void close();

  linux_platform::PollRunLoop& loop_;
  const SdBusFunctions* sd_;
  BusHandle bus_;
  int fd_ = -1;
  std::string uniqueName_;
  std::function<void()> onClosed_;
  std::uint64_t timerDue_ = 0;  // the timeout a timer is set for; 0 when none
  // Held by the loop's timers, which may outlive the bus.
  std::shared_ptr<LoopBus*> self_ = std::make_shared<LoopBus*>(this);
};

}  // namespace quen::dbus
