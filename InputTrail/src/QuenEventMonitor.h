#pragma once

// One global event monitor: a registration through which the process is told of input
// events of chosen types that the system delivers to any application. One instance binds
// one event mask to one handler; it can be started and stopped any number of times, and
// it removes its registration when it is destroyed. Held by std::shared_ptr.

#include <optional>

#include "platform/platform.h"

namespace quen::input {

class QuenEventMonitor {
 public:
  // Stores the mask and the handler; installs nothing. `eventSource` must outlive the
  // monitor.
  QuenEventMonitor(platform::EventSource& eventSource, platform::EventMask mask,
                   platform::EventHandler eventHandler);
  ~QuenEventMonitor();

  QuenEventMonitor(const QuenEventMonitor&) = delete;
  QuenEventMonitor& operator=(const QuenEventMonitor&) = delete;

  // Starts the monitor unless it is running.
  void startIfNotRunning();
  // Installs a fresh registration for `matching` that hands every event to `handler`.
  // A registration already held is removed first, so there is never more than one.
  // When the OS refuses, the monitor is left not running and a later start tries again.
  void start();
  // Removes the registration, if any; the handler is not called again until a start.
  void stop();

  // Running exactly while a registration is held.
  bool isRunning() const { return monitor.has_value(); }

 private:
  platform::EventSource& eventSource_;
  std::optional<platform::MonitorToken> monitor;
  const platform::EventMask matching;
  const platform::EventHandler handler;
};

}  // namespace quen::input
