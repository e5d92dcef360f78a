#include "platform/x11/raw_input_source.h"

#include <xcb/xinput.h>

#include <algorithm>
#include <utility>

#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

using platform::EventType;
using platform::maskFor;

constexpr std::uint32_t SCROLL_BUTTON_FIRST = 4;
constexpr std::uint32_t SCROLL_BUTTON_LAST = 7;

bool isScrollButton(std::uint32_t button) {
  return button >= SCROLL_BUTTON_FIRST && button <= SCROLL_BUTTON_LAST;
}

}  // namespace

bool rawMotionMovesPointer(const xcb_input_raw_motion_event_t& event) {
  if (event.valuators_len == 0) return false;
  return (xcb_input_raw_button_press_valuator_mask(&event)[0] & 0x3u) != 0;
}

RawInputEventSource::RawInputEventSource(Connection& connection, EventPump& events,
                                         std::function<bool()> hasRepeatingTimer)
    : connection_(connection), hasRepeatingTimer_(std::move(hasRepeatingTimer)) {
  const xcb_query_extension_reply_t* input = xcb_get_extension_data(connection.get(), &xcb_input_id);
  if (input == nullptr || !input->present) return;
  inputOpcode_ = input->major_opcode;
  auto version = own(xcb_input_xi_query_version_reply(
      connection.get(), xcb_input_xi_query_version(connection.get(), 2, 2), nullptr));
  available_ = version && version->major_version >= 2;
  events.onGenericEvent([this](const xcb_ge_generic_event_t& event) { handle(event); });
}

std::optional<platform::MonitorToken> RawInputEventSource::addGlobalMonitor(
    platform::EventMask matching, platform::EventHandler handler) {
  if (!available_) return std::nullopt;
  const platform::MonitorToken token = nextToken_++;
  monitors_.push_back({token, matching, std::move(handler)});
  if (!updateSelection(true)) {
    monitors_.pop_back();
    updateSelection(false);
    return std::nullopt;
  }
  return token;
}

void RawInputEventSource::removeMonitor(platform::MonitorToken token) {
  const auto found = std::find_if(monitors_.begin(), monitors_.end(),
                                  [token](const Monitor& monitor) { return monitor.token == token; });
  if (found == monitors_.end()) return;
  // A handler that removes its own monitor is still running: it is erased afterwards.
  if (delivering_ > 0) found->removed = true;
  else monitors_.erase(found);
  updateSelection(false);
}

void RawInputEventSource::resumePausedKinds() {
  if (!motionPaused_ && !keyReleasePaused_) return;
  motionPaused_ = keyReleasePaused_ = false;
  updateSelection(false);
}

void RawInputEventSource::handle(const xcb_ge_generic_event_t& event) {
  if (event.extension != inputOpcode_) return;
  const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
  switch (event.event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS:
      handleButton(raw.detail, true);
      break;
    case XCB_INPUT_RAW_BUTTON_RELEASE:
      handleButton(raw.detail, false);
      break;
    case XCB_INPUT_RAW_MOTION:
      // Events still in flight when the kind was paused are dropped like the rest.
      if (!motionPaused_ && heldButtons_.none() && rawMotionMovesPointer(raw)) {
        deliver(EventType::MouseMoved);
        if (hasRepeatingTimer_()) {
          motionPaused_ = true;
          updateSelection(false);
        }
      }
      break;
    case XCB_INPUT_RAW_KEY_RELEASE:
      if (keyReleasePaused_) break;
      deliver(EventType::KeyUp);
      if (hasRepeatingTimer_()) {
        keyReleasePaused_ = true;
        updateSelection(false);
      }
      break;
    default:
      break;
  }
}

void RawInputEventSource::handleButton(std::uint32_t button, bool pressed) {
  if (isScrollButton(button) || button >= heldButtons_.size()) return;
  const bool wasHeld = heldButtons_.any();
  heldButtons_.set(button, pressed);
  if (wasHeld != heldButtons_.any()) updateSelection(false);
  if (!pressed) return;
  if (button == 1) deliver(EventType::LeftMouseDown);
  else if (button == 3) deliver(EventType::RightMouseDown);
  else deliver(EventType::OtherMouseDown);
}

void RawInputEventSource::deliver(EventType type) {
  const platform::EventMask bit = maskFor(type);
  // A monitor installed by a handler hears of the events after this one.
  const platform::MonitorToken installedBefore = nextToken_;
  ++delivering_;
  for (Monitor& monitor : monitors_)
    if (!monitor.removed && monitor.token < installedBefore && (monitor.mask & bit) != 0)
      monitor.handler(type);
  if (--delivering_ == 0)
    std::erase_if(monitors_, [](const Monitor& monitor) { return monitor.removed; });
}

std::uint32_t RawInputEventSource::wantedSelection() const {
  platform::EventMask wanted = 0;
  for (const Monitor& monitor : monitors_)
    if (!monitor.removed) wanted |= monitor.mask;
  const bool moves = (wanted & maskFor(EventType::MouseMoved)) != 0;
  const bool clicks = (wanted & platform::MOUSE_BUTTON_DOWN_MASK) != 0;
  std::uint32_t selection = 0;
  if (moves || clicks) selection |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
  if (moves) selection |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
  if (moves && !motionPaused_ && heldButtons_.none())
    selection |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
  if ((wanted & maskFor(EventType::KeyUp)) != 0 && !keyReleasePaused_)
    selection |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
  return selection;
}

bool RawInputEventSource::updateSelection(bool check) {
  const std::uint32_t selection = wantedSelection();
  if (selection == selected_ && !check) return true;
  // Without release events, a held button's state would go stale.
  if ((selection & XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE) == 0) heldButtons_.reset();
  selected_ = selection;
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
  } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, selection};
  if (!check) {
    xcb_input_xi_select_events(connection_.get(), connection_.root(), 1, &mask.head);
    return true;
  }
  const auto cookie =
      xcb_input_xi_select_events_checked(connection_.get(), connection_.root(), 1, &mask.head);
  const Reply<xcb_generic_error_t> error(xcb_request_check(connection_.get(), cookie));
  return error == nullptr;
}

}  // namespace quen::x11
