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

// Whether the process is trusted for accessibility. With `showPrompt` (the launch check and
// the periodic re-check), an untrusted process lets the OS ask the user again; without it
// (the re-check after a notification that trust may have changed, which any application's
// change posts), the trust state is only read.
bool isAccessibilityTrusted(platform::Accessibility& accessibility, bool showPrompt = true);

}  // namespace quen
