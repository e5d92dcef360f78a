#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#import <AppKit/AppKit.h>
#include <dispatch/dispatch.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "platform/macos/callback_target.h"
#include "platform/macos/macos_services.h"

// The application delegate: hands the launch over to the agent once AppKit has finished
// launching. NSApplicationDelegate's applicationDidFinishLaunching: is sent once, from
// -[NSApplication run].
@interface QuenLaunchDelegate : NSObject <NSApplicationDelegate>
- (instancetype)initWithLaunch:(std::function<void()>)launch;
@end

@implementation QuenLaunchDelegate {
  std::function<void()> _launch;
}

- (instancetype)initWithLaunch:(std::function<void()>)launch {
  self = [super init];
  if (self != nil) _launch = std::move(launch);
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  @autoreleasepool {
    const std::function<void()> launch = std::exchange(_launch, nullptr);
    if (launch) launch();
  }
}

// Asked at launch on macOS 12 and later; from macOS 14 AppKit logs a warning on standard
// error for a delegate that does not answer, and standard error carries nothing but fatal
// diagnostics. The agent has no windows, so it has no state to restore: YES costs nothing.
- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)application {
  (void)application;
  return YES;
}

@end

@implementation QuenCallbackTarget {
  std::function<void()> _callback;
}

- (instancetype)initWithCallback:(std::function<void()>)callback {
  self = [super init];
  if (self != nil) _callback = std::move(callback);
  return self;
}

- (void)call:(id)sender {
  (void)sender;
  @autoreleasepool {
    _callback();
  }
}

@end

namespace {

// NSApplication does not retain its delegate: this process-wide strong reference keeps the
// delegate alive for the life of the process.
QuenLaunchDelegate* quenLaunchDelegate = nil;

// dispatch_time's offset in nanoseconds; a delay that is not positive is none, and one too
// long for the offset is never reached.
dispatch_time_t dispatchTimeAfter(double seconds) {
  constexpr double LONGEST = 9.0e9;  // seconds; 9e18 ns is within int64_t
  if (!(seconds > 0.0)) return dispatch_time(DISPATCH_TIME_NOW, 0);
  if (seconds >= LONGEST) return DISPATCH_TIME_FOREVER;
  return dispatch_time(DISPATCH_TIME_NOW,
                       static_cast<std::int64_t>(std::llround(seconds * NSEC_PER_SEC)));
}

class AppKitRunLoop final : public quen::platform::RunLoop {
 public:
  // NSTimer's interval is used as given (NSTimer itself takes one of 0 or less as 0.1 ms).
  void scheduleRepeating(quen::platform::Seconds interval,
                         std::function<void()> callback) override {
    @autoreleasepool {
      QuenCallbackTarget* target =
          [[QuenCallbackTarget alloc] initWithCallback:std::move(callback)];
      NSTimer* timer = [NSTimer scheduledTimerWithTimeInterval:interval
                                                        target:target
                                                      selector:@selector(call:)
                                                      userInfo:nil
                                                       repeats:YES];
      [[NSRunLoop currentRunLoop] addTimer:timer forMode:NSDefaultRunLoopMode];
    }
  }

  void scheduleOnce(quen::platform::Seconds delay, std::function<void()> callback) override {
    dispatch_after(dispatchTimeAfter(delay), dispatch_get_main_queue(), ^{
      @autoreleasepool {
        callback();
      }
    });
  }

  int run(std::function<void()> didFinishLaunching) override {
    @autoreleasepool {
      NSApplication* application = [NSApplication sharedApplication];
      // A windowless agent: no Dock icon, no menu bar, never the active application (so
      // activating it below takes the focus from no one). A bare executable starts with
      // this policy; one with an embedded Info.plist must ask for it. The Info.plist's
      // LSBackgroundOnly already starts the process in the background, so no Dock icon
      // shows before this call.
      [application setActivationPolicy:NSApplicationActivationPolicyProhibited];
      quenLaunchDelegate = [[QuenLaunchDelegate alloc] initWithLaunch:std::move(didFinishLaunching)];
      application.delegate = quenLaunchDelegate;
      [application activateIgnoringOtherApps:YES];
      [application run];
    }
    return 0;
  }
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::RunLoop> makeRunLoop() { return std::make_unique<AppKitRunLoop>(); }

}  // namespace quen::macos
