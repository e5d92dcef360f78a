#pragma once

// InputTrail's process-wide constants, tables and flags.

#include <array>
#include <cstdint>

#include "core/error_schema.h"
#include "core/flags.h"
#include "core/record.h"
#include "platform/platform.h"

namespace quen::input {

// Feature flags, set once from the launch arguments before the run loop starts.
inline bool FEAT_FLAG__KEYS_NEEDED = false;  // report key releases
inline bool FEAT_FLAG__REQ_PERM = false;     // run the permission machinery regardless

// The number of flag/value pairs the parent passes.
inline constexpr int FEAT_COUNT_EXPECTED = 2;

inline constexpr std::array<FlagBinding, FEAT_COUNT_EXPECTED> FEATURE_FLAG_TABLE{{
    {"--argKeysNeeded", &FEAT_FLAG__KEYS_NEEDED},
    {"--argForceReqPerm", &FEAT_FLAG__REQ_PERM},
}};

// Sets the permission flags that InputTrail uses from its feature flags: accessibility
// matters, and the periodic re-check runs, when keys are wanted or permissions are forced.
void deriveFeaturePermissions();

// Scans the launch arguments (program path first) into the feature flags, then derives
// the permission flags. Called once by main, before anything else runs.
void scanLaunchArguments(int argc, const char* const* argv);

// Every key InputTrail reports, each with its default false. Built before main runs, so
// that it exists, whole, before any use.
inline const Record DICT_SCHEMA{
    {"error", false},
    {"evMouseClick", false},
    {"evMouseMove", false},
    {"evKeyPress", false},
};

inline constexpr ErrorSchema::Entry ERROR_SCHEMA_ENTRIES[] = {
    {"SCHEMA_INVALID", "SCHEMA_INVALID"},
    {"PERMISSIONS_ACCESSIBILITY", "E_PERMISSION_ACCESSIBILITY"},
    {"PERMISSIONS_SCREENRECORD", "E_PERMISSION_SCREENRECORDING"},
    // The compositor saw input the monitors did not (a Wayland session's native windows):
    // the user was active; the three kinds hold only what the monitors saw.
    {"INPUT_NOT_VISIBLE", "E_INPUT_NOT_VISIBLE"},
};
inline constexpr ErrorSchema ERROR_SCHEMA{ERROR_SCHEMA_ENTRIES};

// Period of the report timer, in seconds.
inline constexpr platform::Seconds ACCUMULATOR_INTERVAL = 1.0;
// Delay between the OS's news that accessibility trust may have changed and the re-check.
inline constexpr platform::Seconds TRUST_CHANGE_RECHECK_DELAY = 1.0;

// The App Nap exemption: a user-initiated activity that still allows idle system sleep
// (NSActivityUserInitiatedAllowingIdleSystemSleep).
inline constexpr std::uint64_t APP_NAP_ACTIVITY_OPTIONS = 0x00EFFFFF;
inline constexpr const char* APP_NAP_ACTIVITY_REASON = "Hourlet watching if user active";

// The event masks of the three monitors. Drags, button releases, the scroll wheel, key
// presses and modifier changes are not watched; pressing and releasing a modifier key alone
// (Shift, Control, Option or Alt, Command or Super, Caps Lock) is a modifier change, not a
// key release, on every backend.
inline constexpr platform::EventMask MOUSE_CLICK_MASK =
    platform::maskFor(platform::EventType::LeftMouseDown) |
    platform::maskFor(platform::EventType::RightMouseDown) |
    platform::maskFor(platform::EventType::OtherMouseDown);
inline constexpr platform::EventMask MOUSE_MOVE_MASK =
    platform::maskFor(platform::EventType::MouseMoved);
inline constexpr platform::EventMask KEY_RELEASE_MASK =
    platform::maskFor(platform::EventType::KeyUp);
static_assert(MOUSE_CLICK_MASK == 0x200000A);
static_assert(MOUSE_MOVE_MASK == 0x20);
static_assert(KEY_RELEASE_MASK == 0x800);

}  // namespace quen::input
