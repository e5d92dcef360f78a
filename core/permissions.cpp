#include "core/permissions.h"

namespace quen {

bool hasPermissionScreenRecordingShowPromt(platform::ScreenCapture& screen) {
  if (screen.isMacOS11OrLater()) {
    if (screen.preflightAccess()) return true;
    // Every probe that finds access missing asks again, not only the first; the answer to
    // the request is not used.
    screen.requestAccess();
    return false;
  }
  // Before macOS 11 the answer is whether CGDisplayStreamCreateWithDispatchQueue makes a
  // stream, which it refuses when the process may not capture the screen.
  return screen.canCreateDisplayStream();
}

bool isAccessibilityTrusted(platform::Accessibility& accessibility, bool showPrompt) {
  // kAXTrustedCheckOptionPrompt: every failed check that may prompt lets the OS ask the user
  // again.
  return accessibility.isProcessTrusted(showPrompt);
}

}  // namespace quen
