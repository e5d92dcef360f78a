#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#import <AppKit/AppKit.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/macos/core_foundation_values.h"
#include "platform/macos/macos_services.h"

using quen::platform::RunningApplication;
using ActivationCallback = std::function<void(const std::optional<RunningApplication>&)>;

namespace {

std::optional<std::string> optionalText(NSString* text) {
  if (text == nil) return std::nullopt;
  return quen::macos::textFromString((__bridge CFStringRef)text);
}

// What NSRunningApplication says of the application. The bundle path is that of
// bundleURL standardized as a file URL (URLByStandardizingPath, which Swift calls
// standardizedFileURL): "." and ".." resolved, and a leading /private removed where the
// shorter path names the same file.
RunningApplication describe(NSRunningApplication* application) {
  RunningApplication description;
  description.processIdentifier = application.processIdentifier;
  description.localizedName = optionalText(application.localizedName);
  description.bundleIdentifier = optionalText(application.bundleIdentifier);
  NSURL* bundle = application.bundleURL;
  if (bundle != nil) description.bundlePath = optionalText(bundle.URLByStandardizingPath.path);
  return description;
}

}  // namespace

// The observer of NSWorkspaceDidActivateApplicationNotification, whose user info maps
// NSWorkspaceApplicationKey to the activated NSRunningApplication.
@interface QuenActivationObserver : NSObject
- (instancetype)initWithCallback:(ActivationCallback)callback;
- (void)appChangedClbk:(NSNotification*)notification;
@end

@implementation QuenActivationObserver {
  ActivationCallback _callback;
}

- (instancetype)initWithCallback:(ActivationCallback)callback {
  self = [super init];
  if (self != nil) _callback = std::move(callback);
  return self;
}

- (void)appChangedClbk:(NSNotification*)notification {
  @autoreleasepool {
    id application = notification.userInfo[NSWorkspaceApplicationKey];
    if ([application isKindOfClass:[NSRunningApplication class]])
      _callback(describe(application));
    else
      _callback(std::nullopt);
  }
}

@end

namespace {

class AppKitWorkspace final : public quen::platform::Workspace {
 public:
  AppKitWorkspace() : observers_([NSMutableArray array]) {}

  // Before 10.11 a notification centre keeps a dangling reference to an observer that is
  // released without being removed.
  ~AppKitWorkspace() override {
    NSNotificationCenter* center = [[NSWorkspace sharedWorkspace] notificationCenter];
    for (QuenActivationObserver* observer in observers_) [center removeObserver:observer];
  }

  std::optional<RunningApplication> frontmostApplication() override {
    @autoreleasepool {
      NSRunningApplication* application = [[NSWorkspace sharedWorkspace] frontmostApplication];
      if (application == nil) return std::nullopt;
      return describe(application);
    }
  }

  // The workspace's own notification centre: the default centre never receives
  // NSWorkspace notifications.
  void observeActivation(ActivationCallback callback) override {
    @autoreleasepool {
      QuenActivationObserver* observer =
          [[QuenActivationObserver alloc] initWithCallback:std::move(callback)];
      [[[NSWorkspace sharedWorkspace] notificationCenter]
          addObserver:observer
             selector:@selector(appChangedClbk:)
                 name:NSWorkspaceDidActivateApplicationNotification
               object:nil];
      [observers_ addObject:observer];
    }
  }

 private:
  NSMutableArray<QuenActivationObserver*>* observers_;  // strong: the centre does not retain
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::Workspace> makeWorkspace() {
  return std::make_unique<AppKitWorkspace>();
}

}  // namespace quen::macos
