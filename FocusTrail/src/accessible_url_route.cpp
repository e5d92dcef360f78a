#include "FocusTrail/src/accessible_url_route.h"

#include <string_view>
#include <utility>
#include <vector>

#include "FocusTrail/src/config.h"

namespace quen::focus {

namespace {

using platform::AccessibleObject;
using platform::BusCall;

// Apple Event Manager codes for the same meanings, so that the parent reads one code
// for one cause on every platform: errAETimeout and connectionInvalid (MacErrors.h).
constexpr std::string_view TIMEOUT_NUMBER = "-1712";
constexpr std::string_view CONNECTION_INVALID_NUMBER = "-609";

UrlAnswer notPermitted() {
  return {false, Value(ERROR_SCHEMA.codeFor("AE_KNOWN_EVENT_NOT_PERMITTED"))};
}

UrlAnswer otherError(std::string_view number) {
  std::string code(ERROR_SCHEMA.codeFor("AE_KNOWN_OTHER"));
  code += number;
  return {false, Value(std::move(code))};
}

// Chromium shows its own page for a load that failed; the site's URL is not in it.
bool isErrorPage(std::string_view url) { return url.starts_with("chrome-error:"); }

}  // namespace

AccessibleUrlRoute::AccessibleUrlRoute(platform::AccessibilityBus& bus,
                                       std::function<double()> monotonicSeconds)
    : bus_(bus), now_(std::move(monotonicSeconds)) {}

UrlAnswer AccessibleUrlRoute::query(std::int32_t pid, const std::string& title) {
  if (const auto until = leftAloneUntil_.find(pid); until != leftAloneUntil_.end()) {
    if (now_() < until->second) return otherError(TIMEOUT_NUMBER);
    leftAloneUntil_.erase(until);
  }
  if (!connected_) {
    if (now_() < nextConnectAttempt_) return notPermitted();
    ++calls_;
    connected_ = bus_.connect() == BusCall::Done;
    if (!connected_) {
      nextConnectAttempt_ = now_() + RECONNECT_INTERVAL_SECONDS;
      return notPermitted();
    }
  }
  AccessibleObject app;
  switch (applicationFor(pid, app)) {
    case Step::Failed: return failed_;
    case Step::Missing: return notPermitted();
    case Step::Found: break;
  }
  AccessibleObject frame;
  switch (frameFor(app, pid, title, frame)) {
    case Step::Failed: return failed_;
    case Step::Missing: return {false, false};
    case Step::Found: break;
  }
  return documentUrl(frame, pid);
}

// Records the outcome of a call that did not end in Done: the bus gone ends the
// connection; a timeout leaves the application alone for a while; any failure drops the
// application's handles.
bool AccessibleUrlRoute::check(BusCall result, std::int32_t pid) {
  ++calls_;
  switch (result) {
    case BusCall::Done:
      return true;
    case BusCall::Unreachable:
      connected_ = false;
      pidByBusName_.clear();
      applicationByPid_.clear();
      frame_.reset();
      failed_ = notPermitted();
      return false;
    case BusCall::TimedOut:
      leftAloneUntil_[pid] = now_() + HANG_BACK_OFF_SECONDS;
      failed_ = otherError(TIMEOUT_NUMBER);
      break;
    case BusCall::Failed:
      failed_ = otherError(CONNECTION_INVALID_NUMBER);
      break;
  }
  forget(pid);
  return false;
}

void AccessibleUrlRoute::forget(std::int32_t pid) {
  if (const auto app = applicationByPid_.find(pid); app != applicationByPid_.end()) {
    pidByBusName_.erase(app->second.busName);
    applicationByPid_.erase(app);
  }
  if (frame_ && frame_->pid == pid) frame_.reset();
}

AccessibleUrlRoute::Step AccessibleUrlRoute::applicationFor(std::int32_t pid,
                                                            AccessibleObject& app) {
  if (const auto known = applicationByPid_.find(pid); known != applicationByPid_.end()) {
    app = known->second;
    return Step::Found;
  }
  std::vector<AccessibleObject> roots;
  if (!check(bus_.applications(roots), pid)) return Step::Failed;
  // Bus names are never reused, so a name's pid is asked once; a browser that is not on
  // the bus costs one call a query.
  for (const AccessibleObject& root : roots) {
    auto [entry, isNew] = pidByBusName_.try_emplace(root.busName, 0);
    if (isNew && !check(bus_.processId(root.busName, entry->second), pid)) {
      pidByBusName_.erase(root.busName);
      return Step::Failed;
    }
    if (entry->second == pid) {
      applicationByPid_[pid] = app = root;
      return Step::Found;
    }
  }
  return Step::Missing;
}

AccessibleUrlRoute::Step AccessibleUrlRoute::frameFor(const AccessibleObject& app,
                                                      std::int32_t pid, const std::string& title,
                                                      AccessibleObject& frame) {
  if (frame_ && frame_->pid == pid && frame_->title == title) {
    frame = frame_->frame;
    return Step::Found;
  }
  std::vector<AccessibleObject> frames;
  if (!check(bus_.children(app, frames), pid)) return Step::Failed;
  std::optional<AccessibleObject> chosen;
  for (const AccessibleObject& candidate : frames) {
    bool active = false;
    if (!check(bus_.isActive(candidate, active), pid)) return Step::Failed;
    if (active) {
      chosen = candidate;
      break;
    }
  }
  for (std::size_t index = 0; !chosen && !title.empty() && index < frames.size(); ++index) {
    std::string name;
    if (!check(bus_.name(frames[index], name), pid)) return Step::Failed;
    if (name == title) chosen = frames[index];
  }
  if (!chosen) return Step::Missing;
  frame = *chosen;
  frame_ = CachedFrame{pid, title, frame};
  return Step::Found;
}

UrlAnswer AccessibleUrlRoute::documentUrl(const AccessibleObject& frame, std::int32_t pid) {
  std::optional<AccessibleObject> document;
  if (!check(bus_.embeds(frame, document), pid)) return failed_;
  // A browser builds its tree lazily: no document yet is no URL yet, asked again next time.
  if (!document) return {false, false};
  std::vector<std::pair<std::string, std::string>> attributes;
  if (!check(bus_.documentAttributes(*document, attributes), pid)) return failed_;
  for (const auto& [key, value] : attributes)
    if ((key == "URI" || key == "DocURL") && !value.empty() && !isErrorPage(value))
      return {Value(value), false};
  return {false, false};
}

}  // namespace quen::focus
