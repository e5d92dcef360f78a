#include "platform/x11/watched_window_identity.h"

#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// The top bit of response_type marks an event sent with SendEvent.
constexpr std::uint8_t RESPONSE_TYPE_MASK = 0x7F;
constexpr std::uint32_t WATCHED_EVENTS =
    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;

}  // namespace

WatchedWindowIdentity::WatchedWindowIdentity(Connection& connection, EventPump& events)
    : connection_(connection), identity_(connection) {
  events.onPropertyNotify(
      [this](const xcb_property_notify_event_t& event) { handlePropertyNotify(event); });
  events.onStructureEvent([this](const xcb_generic_event_t& event) { handleStructureEvent(event); });
}

std::optional<platform::RunningApplication> WatchedWindowIdentity::describe(xcb_window_t client) {
  if (owner_ && client == watched_) return identity_.nameApplication(*owner_);
  owner_.reset();
  const std::optional<xcb_void_cookie_t> selection = watch(client);
  std::optional<OwnerFacts> owner = identity_.readOwner(client);
  // Answered by now (the properties' replies came after it): no extra round trip.
  const bool watched =
      selection && !Reply<xcb_generic_error_t>(xcb_request_check(connection_.get(), *selection));
  if (!watched) watched_ = XCB_WINDOW_NONE;
  if (!owner) return std::nullopt;
  if (watched) owner_ = *owner;
  return identity_.nameApplication(*owner);
}

std::optional<xcb_void_cookie_t> WatchedWindowIdentity::watch(xcb_window_t client) {
  xcb_connection_t* x = connection_.get();
  if (watched_ != XCB_WINDOW_NONE && watched_ != client) {
    // Unchecked: an error (the window is gone) arrives as an event and is dropped.
    const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(x, watched_, XCB_CW_EVENT_MASK, &none);
  }
  watched_ = XCB_WINDOW_NONE;
  // The root's event mask is shared with the other services: never replaced here.
  if (client == connection_.root()) return std::nullopt;
  watched_ = client;
  return xcb_change_window_attributes_checked(x, client, XCB_CW_EVENT_MASK, &WATCHED_EVENTS);
}

void WatchedWindowIdentity::handlePropertyNotify(const xcb_property_notify_event_t& event) {
  if (event.window != watched_) return;
  if (event.atom == XCB_ATOM_WM_CLASS || event.atom == connection_.atoms().netWmPid)
    owner_.reset();
}

void WatchedWindowIdentity::handleStructureEvent(const xcb_generic_event_t& event) {
  switch (event.response_type & RESPONSE_TYPE_MASK) {
    case XCB_DESTROY_NOTIFY: {
      const auto& destroyed = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
      if (destroyed.event != watched_ || destroyed.window != watched_) return;
      owner_.reset();
      watched_ = XCB_WINDOW_NONE;  // its selection died with it
      return;
    }
    case XCB_UNMAP_NOTIFY: {
      const auto& unmapped = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
      if (unmapped.event == watched_ && unmapped.window == watched_) owner_.reset();
      return;
    }
    default:
      return;
  }
}

}  // namespace quen::x11
