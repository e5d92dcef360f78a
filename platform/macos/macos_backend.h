#pragma once

// The macOS backend: AppKit, CoreGraphics, ApplicationServices and NSAppleScript.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace quen::macos {

// Never fails: each service is made on first use.
std::unique_ptr<platform::Backend> openMacOSBackend(std::string& error);

}  // namespace quen::macos
