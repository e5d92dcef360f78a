#include "FocusTrail/src/accessible_url_source.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <string_view>
#include <utility>

#include "FocusTrail/src/accessible_url_route.h"

#include "FocusTrail/src/config.h"

namespace quen::focus {

namespace {

// Desktop entry ids (and window classes) of the browsers that publish their URL on the
// accessibility bus, compared without letter case.
constexpr std::array<std::string_view, 20> ACCESSIBLE_BROWSER_IDENTIFIERS{
    "chromium",         "chromium-browser",      "org.chromium.Chromium",
    "google-chrome",    "google-chrome-stable",  "google-chrome-beta",
    "com.google.Chrome", "microsoft-edge",       "microsoft-edge-stable",
    "com.microsoft.Edge", "opera",               "com.opera.Opera",
    "vivaldi",          "vivaldi-stable",        "com.vivaldi.Vivaldi",
    "firefox",          "firefox-esr",           "org.mozilla.firefox",
    "brave-browser",    "com.brave.Browser",
};

bool sameIgnoringCase(std::string_view left, std::string_view right) {
  return std::ranges::equal(left, right, [](unsigned char a, unsigned char b) {
    return std::tolower(a) == std::tolower(b);
  });
}

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool isAccessibleBrowser(const Value& appName, const std::optional<std::string>& appIdentifier) {
  if (appName.isText()) {
    if (appName.asText() == "Firefox") return true;
    for (const BrowserBinding& binding : BROWSERS_AE_BINDINGS)
      if (binding.browserName == appName.asText()) return true;
  }
  if (!appIdentifier) return false;
  return std::ranges::any_of(ACCESSIBLE_BROWSER_IDENTIFIERS, [&](std::string_view known) {
    return sameIgnoringCase(known, *appIdentifier);
  });
}

UrlSource accessibleUrlSource(std::unique_ptr<platform::AccessibilityBus> bus) {
  struct Route {
    explicit Route(std::unique_ptr<platform::AccessibilityBus> owned)
        : bus(std::move(owned)), route(*bus, monotonicSeconds) {}
    std::unique_ptr<platform::AccessibilityBus> bus;
    AccessibleUrlRoute route;
  };
  auto shared = std::make_shared<Route>(std::move(bus));
  return [shared](const UrlRequest& request, StopToken stop) {
    return shared->route.query(request, std::move(stop));
  };
}

}  // namespace quen::focus
