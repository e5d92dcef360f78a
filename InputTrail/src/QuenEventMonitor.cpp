#include "InputTrail/src/QuenEventMonitor.h"

#include <utility>

namespace quen::input {

QuenEventMonitor::QuenEventMonitor(platform::EventSource& eventSource, platform::EventMask mask,
                                   platform::EventHandler eventHandler)
    : eventSource_(eventSource), matching(mask), handler(std::move(eventHandler)) {}

QuenEventMonitor::~QuenEventMonitor() { stop(); }

void QuenEventMonitor::startIfNotRunning() {
  if (!monitor) start();
}

void QuenEventMonitor::start() {
  // A second registration would leave the first one's token lost: never removed, its
  // handler still called after this monitor is gone.
  stop();
  // The registration holds its own copy of the handler for as long as it is installed.
  monitor = eventSource_.addGlobalMonitor(matching, handler);
}

void QuenEventMonitor::stop() {
  if (!monitor) return;
  const platform::MonitorToken token = *monitor;
  monitor.reset();
  eventSource_.removeMonitor(token);
}

}  // namespace quen::input
