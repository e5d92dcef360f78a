#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#include <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/macos/core_foundation_values.h"
#include "platform/macos/macos_services.h"

using quen::macos::CoreFoundationOwner;
using quen::macos::osValueOfEntry;
using quen::platform::OsValue;

namespace {

// One entry of the window list, read entry by entry when the window-choice rule asks. An
// entry that is not a dictionary is a window without any value.
class WindowInfoDescription final : public quen::platform::WindowDescription {
 public:
  explicit WindowInfoDescription(CFDictionaryRef info) : info_(info) {}

  OsValue ownerPid() const override { return osValueOfEntry(info_, kCGWindowOwnerPID); }
  OsValue alpha() const override { return osValueOfEntry(info_, kCGWindowAlpha); }
  // A dictionary for CGRectMakeWithDictionaryRepresentation ("X", "Y", "Width", "Height"),
  // handed over as it is; core/os_value_rules.h reads it as that function does.
  OsValue bounds() const override { return osValueOfEntry(info_, kCGWindowBounds); }
  // Absent for many windows, and for other applications' windows whenever screen
  // recording is not granted (macOS 10.15 and later).
  OsValue name() const override { return osValueOfEntry(info_, kCGWindowName); }
  std::uint64_t identity() const override {
    const OsValue number = osValueOfEntry(info_, kCGWindowNumber);
    return number.kind == OsValue::Kind::Integer && number.integer > 0
               ? static_cast<std::uint64_t>(number.integer)
               : 0;
  }

 private:
  CFDictionaryRef info_;  // owned by the list being walked
};

class CoreGraphicsWindowList final : public quen::platform::WindowList {
 public:
  // kCGWindowListOptionOnScreenOnly lists the windows "in order from front to back".
  bool walkOnScreenWindows(
      const std::function<bool(const quen::platform::WindowDescription&)>& visit) override {
    @autoreleasepool {
      const CGWindowListOption options =
          kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements;  // 17
      const CoreFoundationOwner<CFArrayRef> windows(
          CGWindowListCopyWindowInfo(options, kCGNullWindowID));
      // NULL outside a window server session.
      if (!windows) return false;
      const CFIndex count = CFArrayGetCount(windows.get());
      for (CFIndex index = 0; index < count; ++index) {
        const CFTypeRef entry = CFArrayGetValueAtIndex(windows.get(), index);
        const bool isDictionary = entry != nullptr && CFGetTypeID(entry) == CFDictionaryGetTypeID();
        const WindowInfoDescription window(isDictionary ? static_cast<CFDictionaryRef>(entry)
                                                        : nullptr);
        if (visit(window)) break;
      }
      return true;
    }
  }
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::WindowList> makeWindowList() {
  return std::make_unique<CoreGraphicsWindowList>();
}

}  // namespace quen::macos
