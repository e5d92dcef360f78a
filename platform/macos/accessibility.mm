#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#include <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

#include <functional>
#include <memory>
#include <utility>

#include "platform/macos/macos_services.h"

namespace {

// Posted by the system when a process's accessibility trust may have changed.
NSString* const ACCESSIBILITY_CHANGED = @"com.apple.accessibility.api";

class AccessibilityServices final : public quen::platform::Accessibility {
 public:
  AccessibilityServices() : observers_([NSMutableArray array]) {}

  ~AccessibilityServices() override {
    NSDistributedNotificationCenter* center = [NSDistributedNotificationCenter defaultCenter];
    for (id observer in observers_) [center removeObserver:observer];
  }

  // With the prompt option the system may ask the user to grant trust.
  bool isProcessTrusted(bool prompt) override {
    @autoreleasepool {
      NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @(prompt)};
      return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
    }
  }

  // Distributed notifications are delivered on the main thread's run loop, so the callback
  // runs there (no queue is given).
  void observeTrustChanges(std::function<void()> callback) override {
    @autoreleasepool {
      id observer = [[NSDistributedNotificationCenter defaultCenter]
          addObserverForName:ACCESSIBILITY_CHANGED
                      object:nil
                       queue:nil
                  usingBlock:^(NSNotification* notification) {
                    (void)notification;
                    @autoreleasepool {
                      callback();
                    }
                  }];
      [observers_ addObject:observer];
    }
  }

 private:
  NSMutableArray* observers_;  // the tokens addObserverForName: returned
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::Accessibility> makeAccessibility() {
  return std::make_unique<AccessibilityServices>();
}

}  // namespace quen::macos
