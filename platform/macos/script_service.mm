#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/macos/core_foundation_values.h"
#include "platform/macos/macos_services.h"

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

// NSAppleScript, one object per script, made, compiled, run and released here. Runs
// synchronously on the main thread, for as long as the target application takes.
class AppleScriptService final : public quen::platform::ScriptService {
 public:
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

  // NSRunningApplication is refreshed by the main run loop: one that quit while the main
  // thread was busy may still be found, and is then seen at the next query.
  bool isApplicationRunning(std::int32_t processIdentifier) override {
    @autoreleasepool {
      NSRunningApplication* application =
          [NSRunningApplication runningApplicationWithProcessIdentifier:processIdentifier];
      return application != nil && !application.terminated;
    }
  }
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::ScriptService> makeScriptService() {
  return std::make_unique<AppleScriptService>();
}

}  // namespace quen::macos
