#pragma once

// The accessibility-bus URL queries on one thread of their own, so that a browser that
// hangs never stalls the agent: the main thread reads the latest answer known and asks for
// a fresh one, without waiting; when the worker learns a different answer it wakes the
// main loop, which collects again so that the change is reported promptly.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "FocusTrail/src/accessible_url_route.h"

namespace quen::focus {

// The browsers that publish their documents on the accessibility bus: the known browser
// names, Firefox, and their desktop entry ids (distribution and Flatpak), so that a
// localized name does not break the match.
bool isAccessibleBrowser(const Value& appName, const std::optional<std::string>& appIdentifier);

class BackgroundUrlQueries {
 public:
  // `wake` is called on the worker thread; it may be empty.
  BackgroundUrlQueries(std::unique_ptr<platform::AccessibilityBus> bus, std::function<void()> wake);
  ~BackgroundUrlQueries();

  // The latest answer for the window `title` of `pid`, (false, false) while none is known
  // for that window; asks the worker for a fresh one. Never waits for the bus.
  UrlAnswer latest(std::int32_t pid, const std::string& title);

 private:
  struct Window {
    std::int32_t pid = 0;
    std::string title;
    friend bool operator==(const Window&, const Window&) = default;
  };
  void serve();

  std::unique_ptr<platform::AccessibilityBus> bus_;
  AccessibleUrlRoute route_;  // used on the worker thread only
  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable requested_;
  std::optional<Window> request_;
  std::optional<Window> answeredWindow_;
  UrlAnswer answer_{false, false};
  bool stopping_ = false;
  std::thread worker_;  // last: started once every member above exists
};

// The URL of the front tab of a known browser through `queries`, as getUrlForAppName
// gives it through scripts: (false, false) when URLs are not wanted or the application is
// no known browser, (false, "E_NOAPPNAME") for a name that is not text.
UrlAnswer getAccessibleUrl(const Value& appName, const std::optional<std::string>& appIdentifier,
                           std::int32_t pid, const std::string& title,
                           BackgroundUrlQueries& queries);

}  // namespace quen::focus
