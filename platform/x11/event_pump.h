#pragma once

// Hands the X server's events to the services that asked for them. xcb reads events into
// its own queue whenever it waits for a reply, where they never make the socket readable,
// so the queue is drained after every callback as well as when the socket is readable.
// Errors of requests whose replies nobody waits for arrive here as events of response type
// 0 (a window that vanished, mostly): they are dropped, the request having simply had no
// effect.

#include <xcb/xcb.h>

#include <functional>
#include <list>

#include "platform/x11/x11_connection.h"

namespace quen::x11 {

class EventPump {
 public:
  explicit EventPump(Connection& connection);

  void onPropertyNotify(std::function<void(const xcb_property_notify_event_t&)> handler);
  // CreateNotify, DestroyNotify, MapNotify, UnmapNotify and ReparentNotify (the structure
  // events that SubstructureNotify on a window reports of its children).
  void onStructureEvent(std::function<void(const xcb_generic_event_t&)> handler);
  // MappingNotify: the keyboard, modifier or pointer mapping changed. The server sends it to
  // every client, unasked.
  void onMappingNotify(std::function<void(const xcb_mapping_notify_event_t&)> handler);
  // XGE events (XInput2's among them).
  void onGenericEvent(std::function<void(const xcb_ge_generic_event_t&)> handler);
  // Called after each pass over the queue; returns whether it sent requests (whose waits may
  // have queued more events, so another pass follows).
  void afterEvents(std::function<bool()> work);

  // Reads what the socket holds (when `readSocket`), handles every queued event, and
  // flushes the requests made meanwhile. Returns false once the connection is lost.
  bool pump(bool readSocket);

 private:
  void dispatch(const xcb_generic_event_t& event);

  Connection& connection_;
  // Lists, so that a service set up from inside a callback may add its handlers.
  std::list<std::function<void(const xcb_property_notify_event_t&)>> propertyHandlers_;
  std::list<std::function<void(const xcb_generic_event_t&)>> structureHandlers_;
  std::list<std::function<void(const xcb_mapping_notify_event_t&)>> mappingHandlers_;
  std::list<std::function<void(const xcb_ge_generic_event_t&)>> genericHandlers_;
  std::list<std::function<bool()>> afterEvents_;
};

}  // namespace quen::x11
