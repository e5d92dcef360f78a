#pragma once

// The browser URL query: asks a known browser, through its scripting interface, for the URL
// of its frontmost tab.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/record.h"
#include "platform/platform.h"

namespace quen::focus {

// The answer of one query. (false, false) when no query was made, (URL text, false) on
// success, (false, error code) on failure; a URL and an error code never come together.
struct UrlAnswer {
  Value url;
  Value error;
  friend bool operator==(const UrlAnswer&, const UrlAnswer&) = default;
};

// The two-line script that asks `appName` for the URL of its `tabType` tab of the front
// window. Both are inserted verbatim: only names of known browsers ever reach it.
std::string composeUrlScript(std::string_view appName, std::string_view tabType);

// Asks the application named `appName` for its frontmost tab's URL, when URLs are wanted
// and the name is that of a known browser. A name that is not text is no usable name.
// The script would launch a browser that is not running, so none is run when the process
// `processIdentifier` has quit: the answer is then the code an application that is not
// running gives (-600, "E_AE_KNOWN_OTHER-600").
UrlAnswer getUrlForAppName(const Value& appName, std::int32_t processIdentifier,
                           platform::ScriptService& scripts);

// Runs one query against `appName`, making, running and releasing one script object.
UrlAnswer getBrowserUrl(std::string_view appName, std::string_view tabType,
                        platform::ScriptService& scripts);

}  // namespace quen::focus
