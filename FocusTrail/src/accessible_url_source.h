#pragma once

// The browser URL through the accessibility bus (Linux): which applications are asked, and
// the query the URL worker runs for them.

#include <memory>
#include <optional>
#include <string>

#include "FocusTrail/src/url_worker.h"
#include "core/record.h"
#include "platform/platform.h"

namespace quen::focus {

// The browsers that publish their documents on the accessibility bus: the known browser
// names, Firefox, and their desktop entry ids (distribution and Flatpak), so that a
// localized name does not break the match.
bool isAccessibleBrowser(const Value& appName, const std::optional<std::string>& appIdentifier);

// The query the URL worker runs: the accessible URL route over `bus`, which the worker's
// thread alone uses from then on.
UrlSource accessibleUrlSource(std::unique_ptr<platform::AccessibilityBus> bus);

}  // namespace quen::focus
