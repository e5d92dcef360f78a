#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#include <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

#include <functional>
#include <memory>
#include <utility>

#include "platform/macos/callback_target.h"
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

  // AppKit suspends the delivery of distributed notifications while the application is not
  // active, and this agent is never active (its activation policy is Prohibited): delivery
  // that is never suspended is asked for, so each announcement arrives when it is posted.
  // A registration from the main thread is delivered on the main thread's run loop, one
  // callback per notification. The center does not retain its observers: observers_ does.
  void observeTrustChanges(std::function<void()> callback) override {
    @autoreleasepool {
      QuenCallbackTarget* target =
          [[QuenCallbackTarget alloc] initWithCallback:std::move(callback)];
      [[NSDistributedNotificationCenter defaultCenter]
          addObserver:target
             selector:@selector(call:)
                 name:ACCESSIBILITY_CHANGED
               object:nil
          suspensionBehavior:NSNotificationSuspensionBehaviorDeliverImmediately];
      [observers_ addObject:target];
    }
  }

 private:
  NSMutableArray* observers_;  // the registered targets, removed from the center at the end
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::Accessibility> makeAccessibility() {
  return std::make_unique<AccessibilityServices>();
}

}  // namespace quen::macos
