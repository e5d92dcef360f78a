#pragma once

// The macOS implementations of the seam's services, each in its own file. Plain C++ so
// that the backend can own them without knowing their Objective-C insides. Every service
// is used on the main thread only, except the script service: the URL worker's one thread
// uses it, and it keeps every object it makes on that thread. Each one made here lives
// until the process ends.

#include <memory>

#include "platform/platform.h"

namespace quen::macos {

// NSApplication's run loop, NSTimer and the main dispatch queue.
std::unique_ptr<platform::RunLoop> makeRunLoop();
// NSProcessInfo activities (App Nap).
std::unique_ptr<platform::Activity> makeActivity();
// NSWorkspace and NSRunningApplication.
std::unique_ptr<platform::Workspace> makeWorkspace();
// CGWindowListCopyWindowInfo.
std::unique_ptr<platform::WindowList> makeWindowList();
// NSAppleScript, the kernel's process table and the Apple Event Manager's Automation
// consent check (AEDeterminePermissionToAutomateTarget).
std::unique_ptr<platform::ScriptService> makeScriptService();
// CoreGraphics screen-capture access.
std::unique_ptr<platform::ScreenCapture> makeScreenCapture();
// AXIsProcessTrustedWithOptions and the distributed "com.apple.accessibility.api".
std::unique_ptr<platform::Accessibility> makeAccessibility();
// NSEvent global monitors.
std::unique_ptr<platform::EventSource> makeEventSource();
// The C library's standard output.
std::unique_ptr<platform::StandardOutput> makeStandardOutput();

}  // namespace quen::macos
