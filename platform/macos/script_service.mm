#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#import <AppKit/AppKit.h>
#include <CoreServices/CoreServices.h>
#import <Foundation/Foundation.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include <signal.h>

#include "platform/macos/callback_target.h"
#include "platform/macos/core_foundation_values.h"
#include "platform/macos/macos_services.h"

using quen::platform::AutomationConsent;
using quen::platform::ScriptRun;

namespace {

// What the run gave: the result descriptor's text, and the error information with its
// NSAppleScriptErrorNumber entry exactly as the dictionary holds it (an NSNumber by
// Apple's documentation, but read by the portable rules whatever it is).
void readOutcome(NSAppleEventDescriptor* result, NSDictionary<NSString*, id>* errorInformation,
                 ScriptRun& run) {
  NSString* text = result.stringValue;
  if (text != nil) run.resultText = quen::macos::textFromString((__bridge CFStringRef)text);
  run.hasErrorInformation = errorInformation != nil;
  if (errorInformation != nil)
    run.errorNumber = quen::macos::osValueFrom(
        (__bridge CFTypeRef)errorInformation[NSAppleScriptErrorNumber]);
}

// AEDeterminePermissionToAutomateTarget's answer (AppleEvents.h): noErr when every event
// may be sent, errAEEventNotPermitted when the user refused, errAEEventWouldRequireUserConsent
// when asking without the prompt and the user has not decided; procNotFound (the application
// is gone) and anything else leave the answer open.
AutomationConsent consentFrom(OSStatus status) {
  switch (status) {
    case noErr:
      return AutomationConsent::Permitted;
    case errAEEventNotPermitted:
      return AutomationConsent::NotPermitted;
    case -1744:  // errAEEventWouldRequireUserConsent, declared for macOS 10.14 and later
      return AutomationConsent::WouldPrompt;
    default:
      return AutomationConsent::Unknown;
  }
}

// Called from the URL worker's thread, not the main thread's: a script, or a consent check
// that may prompt, takes as long as the browser or the user does. Each call makes, compiles,
// runs and releases its own NSAppleScript there, in its own autorelease pool, so no object
// is shared between threads or outlives the call. (Apple's Threading Programming Guide
// lists NSAppleScript as main-thread only, as its class reference did up to Mac OS X 10.5;
// the reference dropped the note with 10.6, whose AppleScript Editor runs scripts on
// background threads itself, by the AppleScript release notes for 10.6.)
class AppleScriptService final : public quen::platform::ScriptService {
 public:
  // Cocoa sets up its own locking only once a thread has been started through NSThread
  // (Threading Programming Guide, "Using POSIX Threads in a Cocoa Application"); the URL
  // worker may be a plain POSIX thread, so one NSThread is started that ends at once.
  AppleScriptService() {
    if ([NSThread isMultiThreaded]) return;
    @autoreleasepool {
      [NSThread detachNewThreadSelector:@selector(call:)
                               toTarget:[[QuenCallbackTarget alloc] initWithCallback:[] {}]
                             withObject:nil];
    }
  }

  ScriptRun run(const std::string& source) override {
    ScriptRun run;
    @autoreleasepool {
      NSString* sourceText = [[NSString alloc] initWithBytes:source.data()
                                                      length:source.size()
                                                    encoding:NSUTF8StringEncoding];
      NSAppleScript* script =
          sourceText != nil ? [[NSAppleScript alloc] initWithSource:sourceText] : nil;
      if (script == nil) {
        run.stage = ScriptRun::Stage::NotCreated;
        return run;
      }
      // The compile error information is not used.
      if (![script compileAndReturnError:nil]) {
        run.stage = ScriptRun::Stage::NotCompiled;
        return run;
      }
      run.stage = ScriptRun::Stage::Executed;
      NSDictionary<NSString*, id>* errorInformation = nil;
      NSAppleEventDescriptor* result = [script executeAndReturnError:&errorInformation];
      readOutcome(result, errorInformation, run);
    }
    return run;
  }

  // The kernel's process table, read at the moment of the call: ESRCH says no process has
  // this id; EPERM says one has, which this process may not signal (the kernel looks the
  // process up before it checks the permission, so the App Sandbox changes nothing here).
  // NSRunningApplication is not asked: its `terminated` is a cache that only the main run
  // loop refreshes, so from this thread it is at best as current as the kernel and at worst
  // stale, and a stale "still running" lets `tell application` launch the browser the user
  // has just quit. Ids 0 and below name process groups to kill(2), never an application.
  bool isApplicationRunning(std::int32_t processIdentifier) override {
    if (processIdentifier <= 0) return false;
    return kill(processIdentifier, 0) == 0 || errno == EPERM;
  }

  // Whether every event (typeWildCard class and id) may be sent to the process. With
  // `askUser`, the system shows the consent prompt when the user has not decided and
  // returns when the user answers: AppleEvents.h asks not to call it on the main thread.
  AutomationConsent automationConsent(std::int32_t processIdentifier, bool askUser) override {
    if (processIdentifier <= 0) return AutomationConsent::Unknown;
    if (@available(macOS 10.14, *)) {
      @autoreleasepool {
        // aeDesc points into the descriptor, which ARC keeps until this pool drains (the
        // property returns an inner pointer).
        const AEAddressDesc* target =
            [NSAppleEventDescriptor descriptorWithProcessIdentifier:processIdentifier].aeDesc;
        if (target == nullptr) return AutomationConsent::Unknown;
        return consentFrom(
            AEDeterminePermissionToAutomateTarget(target, typeWildCard, typeWildCard, askUser));
      }
    }
    // Before 10.14 there is no consent to ask for, and no way to ask.
    return AutomationConsent::Unknown;
  }
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::ScriptService> makeScriptService() {
  return std::make_unique<AppleScriptService>();
}

}  // namespace quen::macos
