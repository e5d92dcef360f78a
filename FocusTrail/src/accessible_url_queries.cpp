#include "FocusTrail/src/accessible_url_queries.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <string_view>
#include <utility>

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

BackgroundUrlQueries::BackgroundUrlQueries(std::unique_ptr<platform::AccessibilityBus> bus,
                                           std::function<void()> wake)
    : bus_(std::move(bus)),
      route_(*bus_, monotonicSeconds),
      wake_(std::move(wake)),
      worker_([this] { serve(); }) {}

BackgroundUrlQueries::~BackgroundUrlQueries() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  requested_.notify_one();
  worker_.join();
}

UrlAnswer BackgroundUrlQueries::latest(std::int32_t pid, const std::string& title) {
  const Window window{pid, title};
  UrlAnswer answer{false, false};
  {
    const std::lock_guard lock(mutex_);
    if (answeredWindow_ == window) answer = answer_;
    request_ = window;
  }
  requested_.notify_one();
  return answer;
}

void BackgroundUrlQueries::serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    requested_.wait(lock, [this] { return stopping_ || request_.has_value(); });
    if (stopping_) return;
    const Window window = std::move(*request_);
    request_.reset();
    lock.unlock();
    UrlAnswer answer = route_.query(window.pid, window.title);
    lock.lock();
    const bool changed = answeredWindow_ != window || !(answer_ == answer);
    answeredWindow_ = window;
    answer_ = std::move(answer);
    if (changed && wake_) {
      lock.unlock();
      wake_();
      lock.lock();
    }
  }
}

UrlAnswer getAccessibleUrl(const Value& appName, const std::optional<std::string>& appIdentifier,
                           std::int32_t pid, const std::string& title,
                           BackgroundUrlQueries& queries) {
  if (!FEAT_FLAG__URL_NEEDED) return {false, false};
  if (!appName.isText()) return {false, Value(ERROR_SCHEMA.codeFor("APP_NONAME"))};
  if (!isAccessibleBrowser(appName, appIdentifier)) return {false, false};
  return queries.latest(pid, title);
}

}  // namespace quen::focus
