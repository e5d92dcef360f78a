#if !__has_feature(objc_arc)
#error "platform/macos is built with ARC only: compile with -fobjc-arc"
#endif

#include <CoreGraphics/CoreGraphics.h>
#include <dispatch/dispatch.h>

#include <cstdint>
#include <memory>

#include "platform/macos/macos_services.h"

// Declared by CGWindow.h as available from macOS 10.15: bound weakly, so that the x86_64
// program still loads on 10.10 to 10.14, and called only on macOS 11.0 or later. Both
// return bool (a redeclaration with an int-like result has broken callers before).
extern "C" bool CGPreflightScreenCaptureAccess(void) __attribute__((weak_import));
extern "C" bool CGRequestScreenCaptureAccess(void) __attribute__((weak_import));

namespace {

// The four-character code 'BGRA' (kCVPixelFormatType_32BGRA): 32-bit BGRA.
constexpr std::int32_t PIXEL_FORMAT_BGRA = 0x42475241;

class CoreGraphicsScreenCapture final : public quen::platform::ScreenCapture {
 public:
  bool isMacOS11OrLater() override {
    if (@available(macOS 11.0, *)) return true;
    return false;
  }

  bool preflightAccess() override {
    if (@available(macOS 11.0, *)) return CGPreflightScreenCaptureAccess();
    return false;
  }

  void requestAccess() override {
    if (@available(macOS 11.0, *)) CGRequestScreenCaptureAccess();
  }

  // The stream is never started, so its handler is never called and nothing runs on the
  // queue; it is released at once. On 10.15 making it may itself show the system prompt.
  bool canCreateDisplayStream() override {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // deprecated in macOS 14
    const CGDisplayStreamRef stream = CGDisplayStreamCreateWithDispatchQueue(
        CGMainDisplayID(), 1, 1, PIXEL_FORMAT_BGRA, nullptr,
        dispatch_get_global_queue(QOS_CLASS_DEFAULT, 0),
        ^(CGDisplayStreamFrameStatus, std::uint64_t, IOSurfaceRef, CGDisplayStreamUpdateRef){
        });
#pragma clang diagnostic pop
    if (stream == nullptr) return false;
    CFRelease(stream);
    return true;
  }
};

}  // namespace

namespace quen::macos {

std::unique_ptr<platform::ScreenCapture> makeScreenCapture() {
  return std::make_unique<CoreGraphicsScreenCapture>();
}

}  // namespace quen::macos
