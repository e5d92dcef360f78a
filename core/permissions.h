#pragma once

// The permission probes. Their answers are kept in each delegate's permission fields
// (permissionsRunningScreen, permissionsRunningAccessibility) and turned into error codes
// by the next record the agent builds.

#include "platform/platform.h"

namespace quen {

inline constexpr double PERMISSIONS_MANUAL_CHECK_INTERVAL = 60.0;  // seconds

// Whether the process may capture the screen. On macOS 11 or later: the preflight answer,
// and when it is no, a new access request (on every failed probe). Before 11: whether a
// display stream can be created.
bool hasPermissionScreenRecordingShowPromt(platform::ScreenCapture& screen);

// Whether the process is trusted for accessibility, always asking with the prompt option.
bool isAccessibilityTrusted(platform::Accessibility& accessibility);

}  // namespace quen
