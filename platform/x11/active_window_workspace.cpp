#include "platform/x11/active_window_workspace.h"

#include <utility>

#include "platform/x11/wayland_session.h"
#include "platform/x11/x11_reply.h"

namespace quen::x11 {

ActiveWindowWorkspace::ActiveWindowWorkspace(Connection& connection, EventPump& events)
    : connection_(connection), identity_(connection, events) {
  waylandSession_ = inWaylandSession();
  const auto selection = connection.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
  notified_ = true;
  readActiveWindow();
  // Answered by now (the property's reply came after it): no extra round trip. Without the
  // selection no notification arrives, and the active window is read at every poll.
  const Reply<xcb_generic_error_t> error(xcb_request_check(connection.get(), selection));
  if (error) notified_ = activeWindowKnown_ = false;

  events.onPropertyNotify([this](const xcb_property_notify_event_t& event) {
    if (event.window != connection_.root() || event.atom != connection_.atoms().netActiveWindow)
      return;
    activeWindowKnown_ = false;
    activationPending_ = true;
    identity_.forget();
  });
  events.afterEvents([this] { return deliverActivation(); });
}

std::optional<platform::RunningApplication> ActiveWindowWorkspace::frontmostApplication() {
  if (!activeWindowKnown_) readActiveWindow();
  if (activeWindow_ == XCB_WINDOW_NONE) return std::nullopt;
  return identity_.describe(activeWindow_);
}

platform::HiddenFront ActiveWindowWorkspace::frontApplicationHidden() {
  if (!waylandSession_) return platform::HiddenFront::None;
  if (!activeWindowKnown_) readActiveWindow();
  return activeWindow_ == XCB_WINDOW_NONE && connection_.alive() ? platform::HiddenFront::NotVisible
                                                                 : platform::HiddenFront::None;
}

void ActiveWindowWorkspace::observeActivation(
    std::function<void(const std::optional<platform::RunningApplication>&)> callback) {
  observers_.push_back(std::move(callback));
}

void ActiveWindowWorkspace::readActiveWindow() {
  xcb_connection_t* x = connection_.get();
  const auto cookie = xcb_get_property(x, 0, connection_.root(),
                                       connection_.atoms().netActiveWindow, XCB_ATOM_WINDOW, 0, 1);
  auto reply = own(xcb_get_property_reply(x, cookie, nullptr));
  activeWindow_ = propertyFirstCardinal(reply.get()).value_or(XCB_WINDOW_NONE);
  activeWindowKnown_ = reply != nullptr && notified_;
}

// Any number of notifications handled in one pass make one activation: each would name the
// window that is active now.
bool ActiveWindowWorkspace::deliverActivation() {
  if (!activationPending_) return false;
  activationPending_ = false;
  readActiveWindow();
  if (!connection_.alive() || observers_.empty()) return true;
  std::optional<platform::RunningApplication> application;
  if (activeWindow_ != XCB_WINDOW_NONE) application = identity_.describe(activeWindow_);
  for (const auto& observer : observers_) observer(application);
  return true;
}

}  // namespace quen::x11
