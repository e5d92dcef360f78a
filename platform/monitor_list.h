#pragma once

// The global monitors an event source has installed, and the delivery of one event to them,
// for every backend that delivers input events itself. A handler may install or remove
// monitors, its own included, while an event is delivered: one installed meanwhile hears of
// the events after this one, one removed hears nothing more. Delivery allocates nothing.

#include <algorithm>
#include <list>
#include <utility>

#include "platform/platform.h"

namespace quen::platform {

class MonitorList {
 public:
  MonitorToken add(EventMask mask, EventHandler handler) {
    const MonitorToken token = nextToken_++;
    monitors_.push_back({token, mask, std::move(handler)});
    return token;
  }
  // Whether `token` named an installed monitor, now removed.
  bool remove(MonitorToken token) {
    const auto found = std::find_if(monitors_.begin(), monitors_.end(), [token](const Monitor& m) {
      return m.token == token && !m.removed;
    });
    if (found == monitors_.end()) return false;
    // A handler that removes its own monitor is still running: it is erased afterwards.
    if (delivering_ > 0) found->removed = true;
    else monitors_.erase(found);
    return true;
  }
  void deliver(EventType type) {
    const EventMask bit = maskFor(type);
    const MonitorToken installedBefore = nextToken_;
    ++delivering_;
    for (Monitor& monitor : monitors_)
      if (!monitor.removed && monitor.token < installedBefore && (monitor.mask & bit) != 0)
        monitor.handler(type);
    if (--delivering_ == 0)
      std::erase_if(monitors_, [](const Monitor& monitor) { return monitor.removed; });
  }
  // The events some installed monitor wants.
  EventMask wanted() const {
    EventMask wanted = 0;
    for (const Monitor& monitor : monitors_)
      if (!monitor.removed) wanted |= monitor.mask;
    return wanted;
  }

 private:
  struct Monitor {
    MonitorToken token;
    EventMask mask;
    EventHandler handler;
    bool removed = false;
  };
  std::list<Monitor> monitors_;  // entries stay put while handlers add more
  MonitorToken nextToken_ = 1;
  int delivering_ = 0;
};

}  // namespace quen::platform
