#pragma once

// The focus agent's process-wide configuration: its launch flags, its record template, its
// error table, the browsers it can ask for a URL, and the poll interval.

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "core/error_schema.h"
#include "core/flags.h"
#include "core/record.h"

namespace quen::focus {

// Launch flags, set once by scanLaunchArguments before the run loop starts, read afterwards.
inline bool FEAT_FLAG__TITLE_NEEDED = false;  // report the front window's title
inline bool FEAT_FLAG__URL_NEEDED = false;    // ask known browsers for the frontmost tab's URL
inline bool FEAT_FLAG__REQ_PERM = false;      // run the permission machinery regardless

// The number of flag/value pairs the parent passes.
inline constexpr int FEAT_COUNT_EXPECTED = 3;

// The flags in the order they are compared with each argument.
std::span<const FlagBinding> featureFlagTable();

// The title needs screen-recording access; a forced permission request asks for it too.
// The URL flag plays no part.
void derivePermissionFlags();

// Sets the launch flags from the process's arguments (program path first), then derives
// the permission flags.
void scanLaunchArguments(int argc, const char* const* argv);

// Every key the agent reports, each with the default false. Nothing reads it while static
// objects are being initialised.
extern const Record DICT_SCHEMA;

inline constexpr ErrorSchema::Entry ERROR_SCHEMA_ENTRIES[] = {
    {"SCHEMA_INVALID", "SCHEMA_INVALID"},
    {"PERMISSIONS_ACCESSIBILITY", "E_PERMISSION_ACCESSIBILITY"},
    {"PERMISSIONS_SCREENRECORD", "E_PERMISSION_SCREENRECORDING"},
    {"APP_NOWINDOW", "E_NOWINDOW"},
    {"APP_WINDOW_NOT_VISIBLE", "E_WINDOW_NOT_VISIBLE"},
    {"APP_SHELL_EXTENSION_MISSING", "E_SHELL_EXTENSION_MISSING"},
    {"APP_SHELL_EXTENSION_DISABLED", "E_SHELL_EXTENSION_DISABLED"},
    {"APP_NONAME", "E_NOAPPNAME"},
    {"AE_UNINITIALIZED", "E_AE_UNINITIALIZED"},
    {"AE_CATCHALL", "E_AE_CATCHALL"},
    {"AE_SCRIPT_LOAD", "E_AE_SCRIP_LOAD"},
    {"AE_SCRIPT_COMPILE", "E_AE_SCRIPT_COMPILE"},
    {"AE_ERR_CODE_PARSE", "E_AE_ERROR_NUMBER_PARSE"},
    {"AE_ERR_NIL", "E_AE_ERROR_IS_NIL"},
    {"AE_ERR_UNCAUGHT", "E_AE_ERROR_UNCAUGHT"},
    {"AE_KNOWN_EVENT_NOT_PERMITTED", "E_AE_KNOWN_EVENT_NOT_PERMITTED"},
    {"AE_KNOWN_TARGET_ADDRESS_NOT_PERMITTED", "E_AE_KNOWN_TARGET_ADDRESS_NOT_PERMITED"},
    {"AE_KNOWN_OTHER", "E_AE_KNOWN_OTHER"},
};

// Error token to the code the parent reads; the codes are part of the interface with the
// parent and are kept exactly, misspellings included.
inline constexpr ErrorSchema ERROR_SCHEMA{ERROR_SCHEMA_ENTRIES};

// What the agent knows of one browser's scripting dictionary.
struct BrowserBinding {
  std::string_view browserName;               // matched whole and case-sensitively
  std::optional<std::string_view> tabType;    // the term for the frontmost tab
};

inline constexpr std::array<BrowserBinding, 7> BROWSERS_AE_BINDINGS{{
    {"Safari", "current"},
    {"Safari Technology Preview", "current"},
    {"Chromium", "active"},
    {"Google Chrome", "active"},
    {"Opera", "active"},
    {"Microsoft Edge", "active"},
    {"Vivaldi", "active"},
}};

// The period of the focus poll, in seconds.
inline constexpr double SILENT_META_CHANGE_INTERVAL = 1.0;

}  // namespace quen::focus
