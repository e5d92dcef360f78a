#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#import <AppKit/AppKit.h>

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/macos/macos_services.h"

using quen::platform::EventMask;
using quen::platform::EventType;
using quen::platform::MonitorToken;

namespace {

// The seam's event types are NSEvent's type numbers; a type the seam does not name is not
// handed on (a monitor receives only the types of its mask).
std::optional<EventType> eventTypeOf(NSEventType type) {
  switch (type) {
    case NSEventTypeLeftMouseDown:
      return EventType::LeftMouseDown;
    case NSEventTypeRightMouseDown:
      return EventType::RightMouseDown;
    case NSEventTypeMouseMoved:
      return EventType::MouseMoved;
    case NSEventTypeKeyUp:
      return EventType::KeyUp;
    case NSEventTypeOtherMouseDown:
      return EventType::OtherMouseDown;
    default:
      return std::nullopt;
  }
}

// NSEvent global monitors. Handlers "are always called on the main thread"; key events
// reach them only while the process is trusted for accessibility; events sent to this
// application itself are not delivered.
class GlobalMonitorSource final : public quen::platform::EventSource {
 public:
  ~GlobalMonitorSource() override {
    for (auto& [token, monitor] : monitors_) [NSEvent removeMonitor:monitor];
  }

  // The mask is already in NSEventMask terms (bit n for event type n). A refused install
  // returns nil, which is no token.
  std::optional<MonitorToken> addGlobalMonitor(EventMask matching,
                                               quen::platform::EventHandler handler) override {
    @autoreleasepool {
      id monitor = [NSEvent
          addGlobalMonitorForEventsMatchingMask:static_cast<NSEventMask>(matching)
                                        handler:^(NSEvent* event) {
                                          @autoreleasepool {
                                            const std::optional<EventType> type =
                                                eventTypeOf(event.type);
                                            if (type) handler(*type);
                                          }
                                        }];
      if (monitor == nil) return std::nullopt;
      const MonitorToken token = nextToken_++;
      monitors_.emplace(token, monitor);
      return token;
    }
  }

  // "You must ensure that eventMonitor is removed only once": the token is forgotten as
  // soon as its monitor is removed, so a second removal does nothing.
  void removeMonitor(MonitorToken token) override {
    const auto found = monitors_.find(token);
    if (found == monitors_.end()) return;
    [NSEvent removeMonitor:found->second];
    monitors_.erase(found);
  }

 private:
  std::unordered_map<MonitorToken, id> monitors_;  // strong references to the monitors
  MonitorToken nextToken_ = 1;
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::EventSource> makeEventSource() {
  return std::make_unique<GlobalMonitorSource>();
}

}  // namespace quen::macos
