#pragma once

// The values of the focus record that need a rule: the identity fallbacks, the URL, and the
// error list.

#include <optional>
#include <string>
#include <string_view>

#include "core/record.h"
#include "platform/platform.h"

namespace quen::focus {

// What the record says of an identity value the OS did not give.
inline constexpr std::string_view UNKNOWN_APP_NAME = "UNKNOWN_APP_NAME";
inline constexpr std::string_view UNKNOWN_APP_IDENTIFIER = "UNKNOWN_APP_IDENTIFIER";
inline constexpr std::string_view UNKNOWN_APP_BUNDLE_URL_PATH = "UNKNOWN_APP_BUNDLE_URL_PATH";

// The value as given, even when empty; the fallback only when absent.
Value identityValue(const std::optional<std::string>& value, std::string_view fallback);

// The query's URL when it is a text, else false.
Value urlValue(const Value& url);

// The error codes that explain missing information, in this order: screen recording not
// permitted, accessibility not trusted, the browser query's failure. The query failed
// unless `queryError` is exactly false; its code is `queryError` when that is a text and
// the catch-all code otherwise. An empty list is reported as false.
Value errorList(bool screenPermitted, bool accessibilityPermitted, const Value& queryError);

// The error list of a front application that the OS hides from the agent for `reason` (not
// None): the permission codes as above, then the reason's code (not visible to X11, the
// GNOME Shell extension missing or disabled).
Value hiddenApplicationErrorList(bool screenPermitted, bool accessibilityPermitted,
                                 platform::HiddenFront reason);

}  // namespace quen::focus
