#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#import <Foundation/Foundation.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/macos/macos_services.h"

namespace {

class ProcessInfoActivity final : public quen::platform::Activity {
 public:
  // The token is handed to the caller with one reference, which the caller's last copy
  // releases; endActivity: is never sent. The agents hold it for the life of the process.
  std::shared_ptr<void> beginActivity(std::uint64_t options, std::string_view reason) override {
    @autoreleasepool {
      NSString* reasonText = [[NSString alloc] initWithBytes:reason.data()
                                                      length:reason.size()
                                                    encoding:NSUTF8StringEncoding];
      id<NSObject> token =
          [[NSProcessInfo processInfo] beginActivityWithOptions:static_cast<NSActivityOptions>(options)
                                                         reason:reasonText != nil ? reasonText : @""];
      if (token == nil) return nullptr;
      return std::shared_ptr<void>(const_cast<void*>(CFBridgingRetain(token)),
                                   [](void* retained) { CFRelease(retained); });
    }
  }
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::Activity> makeActivity() {
  return std::make_unique<ProcessInfoActivity>();
}

}  // namespace quen::macos
