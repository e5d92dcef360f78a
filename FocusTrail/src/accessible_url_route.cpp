#include "FocusTrail/src/accessible_url_route.h"

#include <string_view>
#include <utility>
#include <vector>

#include "FocusTrail/src/config.h"

namespace quen::focus {

namespace {

using platform::AccessibleObject;
using platform::BusCall;

UrlAnswer notPermitted() {
  return {false, Value(ERROR_SCHEMA.codeFor("AE_KNOWN_EVENT_NOT_PERMITTED"))};
}

// Chromium shows its own page for a load that failed; the site's URL is not in it.
bool isErrorPage(std::string_view url) { return url.starts_with("chrome-error:"); }

}  // namespace

AccessibleUrlRoute::AccessibleUrlRoute(platform::AccessibilityBus& bus,
                                       std::function<double()> monotonicSeconds)
    : bus_(bus), now_(std::move(monotonicSeconds)) {}

UrlAnswer AccessibleUrlRoute::query(const UrlRequest& request, StopToken stop) {
  stop_ = std::move(stop);
  const std::int32_t pid = request.pid;
  // The bus is asked by process: one the OS could not name has no URL and no code.
  if (pid <= 0) return {false, false};
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
  switch (frameFor(app, request, frame)) {
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
  // A worker that is asked to stop makes no further call: the query ends with nothing known.
  if (stop_.stopRequested()) {
    failed_ = {false, false};
    return false;
  }
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
      failed_ = timedOutAnswer();
      break;
    case BusCall::Failed:
      failed_ = connectionInvalidAnswer();
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
  // the bus costs one call a query. An application that cannot say its pid (it quit since
  // the listing, or hangs) is passed over and asked again at the next listing: its failure
  // is not the browser's. Only a bus that is gone ends the query.
  for (const AccessibleObject& root : roots) {
    auto [entry, isNew] = pidByBusName_.try_emplace(root.busName, 0);
    if (isNew) {
      const BusCall result = bus_.processId(root.busName, entry->second);
      const bool othersFailure = result == BusCall::Failed || result == BusCall::TimedOut;
      if (!check(othersFailure ? BusCall::Done : result, pid)) {
        pidByBusName_.erase(root.busName);
        return Step::Failed;
      }
      if (othersFailure) {
        pidByBusName_.erase(entry);
        continue;
      }
    }
    if (entry->second == pid) {
      applicationByPid_[pid] = app = root;
      return Step::Found;
    }
  }
  return Step::Missing;
}

bool AccessibleUrlRoute::isCachedFrameOf(const UrlRequest& request) const {
  return frame_ && frame_->pid == request.pid && frame_->window == request.window &&
         (request.window != 0 || frame_->title == request.title);
}

AccessibleUrlRoute::Step AccessibleUrlRoute::frameFor(const AccessibleObject& app,
                                                      const UrlRequest& request,
                                                      AccessibleObject& frame) {
  const std::int32_t pid = request.pid;
  const std::string& title = request.title;
  if (isCachedFrameOf(request)) {
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
  frame_ = CachedFrame{pid, request.window, title, frame};
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
