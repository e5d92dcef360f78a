#pragma once

// The active tab's URL read from the accessibility bus: the application with the window's
// pid, its top-level frame that is active (else the one named like the window title), the
// document that frame embeds, and that document's URL attribute ("URI" in Chromium-family
// browsers, "DocURL" in Firefox). The application is kept per pid and the frame per
// window (by the OS's window identity, else by the title), so that a steady poll is two
// bus calls; the document and its attributes are read at every query, since a browser
// changes a document's URL in place without telling. It never takes "any document"
// (Firefox keeps a hidden preloaded one), never trusts a kept document's showing state (a
// hidden Chromium tab's document still says it is showing) and never walks the tree.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "FocusTrail/src/url_answer.h"
#include "platform/platform.h"

namespace quen::focus {

// Seconds between two attempts to reach a bus that could not be reached.
inline constexpr double RECONNECT_INTERVAL_SECONDS = 5.0;

class AccessibleUrlRoute {
 public:
  AccessibleUrlRoute(platform::AccessibilityBus& bus, std::function<double()> monotonicSeconds);

  // One query for the window of `request` (its pid, window identity and title). Outcomes:
  // the URL; (false, "E_AE_KNOWN_EVENT_NOT_PERMITTED") when accessibility is off, no bus
  // can be reached or the browser is not on it; (false, false) while the browser has no
  // document or no URL yet, and for its error pages, whose URL is not the site's; a call
  // of the browser's that timed out, "E_AE_KNOWN_OTHER-1712" (as an Apple Event timeout);
  // any other failed call of the browser's "E_AE_KNOWN_OTHER-609" (connection invalid),
  // with every handle of that browser dropped so that the next query starts afresh. Another
  // application that fails to answer is passed over. Once `stop` is requested, no further
  // call is made and the answer is (false, false). A process the OS could not name (a pid
  // of 0 or less) gets (false, false) without a call.
  UrlAnswer query(const UrlRequest& request, StopToken stop = {});

  // How many bus calls the route has made, for the benchmark.
  std::uint64_t callCount() const { return calls_; }

 private:
  struct CachedFrame {
    std::int32_t pid = 0;
    std::uint64_t window = 0;
    std::string title;  // compared only for a window without identity
    platform::AccessibleObject frame;
  };
  // How a step of the route ended: found what it looked for, found that it is not there,
  // or a call failed (its answer is then in failed_).
  enum class Step { Found, Missing, Failed };

  bool check(platform::BusCall result, std::int32_t pid);
  Step applicationFor(std::int32_t pid, platform::AccessibleObject& app);
  Step frameFor(const platform::AccessibleObject& app, const UrlRequest& request,
                platform::AccessibleObject& frame);
  UrlAnswer documentUrl(const platform::AccessibleObject& frame, std::int32_t pid);
  bool isCachedFrameOf(const UrlRequest& request) const;
  void forget(std::int32_t pid);

  platform::AccessibilityBus& bus_;
  std::function<double()> now_;
  bool connected_ = false;
  double nextConnectAttempt_ = 0;
  std::map<std::string, std::int32_t> pidByBusName_;
  std::map<std::int32_t, platform::AccessibleObject> applicationByPid_;
  std::optional<CachedFrame> frame_;
  UrlAnswer failed_;
  StopToken stop_;  // of the query in progress
  std::uint64_t calls_ = 0;
};

}  // namespace quen::focus
