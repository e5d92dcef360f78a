#include "platform/x11/event_pump.h"

#include <utility>

#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// The top bit of response_type marks an event sent with SendEvent.
constexpr std::uint8_t RESPONSE_TYPE_MASK = 0x7F;

}  // namespace

EventPump::EventPump(Connection& connection) : connection_(connection) {}

void EventPump::onPropertyNotify(std::function<void(const xcb_property_notify_event_t&)> handler) {
  propertyHandlers_.push_back(std::move(handler));
}

void EventPump::onStructureEvent(std::function<void(const xcb_generic_event_t&)> handler) {
  structureHandlers_.push_back(std::move(handler));
}

void EventPump::onMappingNotify(
    std::function<void(const xcb_mapping_notify_event_t&)> handler) {
  mappingHandlers_.push_back(std::move(handler));
}

void EventPump::onGenericEvent(std::function<void(const xcb_ge_generic_event_t&)> handler) {
  genericHandlers_.push_back(std::move(handler));
}

void EventPump::afterEvents(std::function<bool()> work) { afterEvents_.push_back(std::move(work)); }

bool EventPump::pump(bool readSocket) {
  xcb_connection_t* x = connection_.get();
  bool moreWork = true;
  while (moreWork && connection_.alive()) {
    // xcb_poll_for_event reads the socket once, then serves the queue.
    Reply<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(x)
                                                : xcb_poll_for_queued_event(x));
    for (; event; event.reset(xcb_poll_for_queued_event(x))) dispatch(*event);
    readSocket = false;
    moreWork = false;
    for (const auto& work : afterEvents_) moreWork = work() || moreWork;
  }
  xcb_flush(x);
  return connection_.alive();
}

void EventPump::dispatch(const xcb_generic_event_t& event) {
  switch (event.response_type & RESPONSE_TYPE_MASK) {
    case 0:  // an error: the request it answers had no effect
      return;
    case XCB_PROPERTY_NOTIFY:
      for (const auto& handler : propertyHandlers_)
        handler(reinterpret_cast<const xcb_property_notify_event_t&>(event));
      return;
    case XCB_CREATE_NOTIFY:
    case XCB_DESTROY_NOTIFY:
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_REPARENT_NOTIFY:
      for (const auto& handler : structureHandlers_) handler(event);
      return;
    case XCB_MAPPING_NOTIFY:
      for (const auto& handler : mappingHandlers_)
        handler(reinterpret_cast<const xcb_mapping_notify_event_t&>(event));
      return;
    case XCB_GE_GENERIC:
      for (const auto& handler : genericHandlers_)
        handler(reinterpret_cast<const xcb_ge_generic_event_t&>(event));
      return;
    default:
      return;
  }
}

}  // namespace quen::x11
