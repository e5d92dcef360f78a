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

// One XISelectEvents request on the root window: `bits` for `device`.
xcb_void_cookie_t selectOnRoot(Connection& connection, xcb_input_device_id_t device,
                               std::uint32_t bits, bool checked) {
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
  } mask{{device, 1}, bits};
  return (checked ? xcb_input_xi_select_events_checked : xcb_input_xi_select_events)(
      connection.get(), connection.root(), 1, &mask.head);
}

// Whether sequence number `earlier` comes before `later` (both wrap at 2^32).
bool sequenceBefore(std::uint32_t earlier, std::uint32_t later) {
  return static_cast<std::int32_t>(earlier - later) < 0;
}

}  // namespace

bool rawMotionMovesPointer(const xcb_input_raw_motion_event_t& event) {
  if (event.valuators_len == 0) return false;
  return (xcb_input_raw_button_press_valuator_mask(&event)[0] & 0x3u) != 0;
}

RawInputEventSource::RawInputEventSource(Connection& connection, EventPump& events,
                                         std::function<bool()> hasRepeatingTimer)
    : connection_(connection),
      hasRepeatingTimer_(std::move(hasRepeatingTimer)),
      modifierKeys_(connection, events) {
  xcb_connection_t* x = connection.get();
  const xcb_query_extension_reply_t* input = xcb_get_extension_data(x, &xcb_input_id);
  if (input == nullptr || !input->present) return;
  inputOpcode_ = input->major_opcode;
  const auto versionCookie = xcb_input_xi_query_version(x, 2, 2);
  const auto devicesCookie = xcb_input_xi_query_device(x, XCB_INPUT_DEVICE_ALL_MASTER);
  auto version = own(xcb_input_xi_query_version_reply(x, versionCookie, nullptr));
  auto devices = own(xcb_input_xi_query_device_reply(x, devicesCookie, nullptr));
  available_ = version && version->major_version >= 2;
  for (auto device = xcb_input_xi_query_device_infos_iterator(devices.get());
       devices && device.rem > 0; xcb_input_xi_device_info_next(&device))
    if (device.data->type == XCB_INPUT_DEVICE_TYPE_MASTER_POINTER)
      masterPointers_.push_back(device.data->deviceid);
  events.onGenericEvent([this](const xcb_ge_generic_event_t& event) { handle(event); });
  // Selectable for all devices only, apart from the raw events' selection on the masters.
  if (available_)
    selectOnRoot(connection, XCB_INPUT_DEVICE_ALL, XCB_INPUT_XI_EVENT_MASK_HIERARCHY, false);
}

std::optional<platform::MonitorToken> RawInputEventSource::addGlobalMonitor(
    platform::EventMask matching, platform::EventHandler handler) {
  if (!available_) {
    reportNoRawEvents();
    return std::nullopt;
  }
  const platform::MonitorToken token = monitors_.add(matching, std::move(handler));
  if (!updateSelection(true)) {
    monitors_.remove(token);
    updateSelection(false);
    reportNoRawEvents();
    return std::nullopt;
  }
  return token;
}

void RawInputEventSource::reportNoRawEvents() {
  connection_.reportUnusable("X11: display " + connection_.displayName() +
                             " offers no XInput 2 raw events");
}

void RawInputEventSource::removeMonitor(platform::MonitorToken token) {
  if (monitors_.remove(token)) updateSelection(false);
}

void RawInputEventSource::resumePausedKinds() {
  if (!motionPaused_ && !keyReleasePaused_) return;
  motionPaused_ = keyReleasePaused_ = false;
  updateSelection(false);
}

void RawInputEventSource::recheckHeldButtons() {
  if (heldButtons_ > 0) readHeldButtons();
}

void RawInputEventSource::handle(const xcb_ge_generic_event_t& event) {
  if (event.extension != inputOpcode_) return;
  const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
  switch (event.event_type) {
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE:
      handleButton(raw.detail, event.event_type == XCB_INPUT_RAW_BUTTON_PRESS, !alreadyRead(raw));
      break;
    case XCB_INPUT_RAW_MOTION:
      // Events still in flight when the kind was paused are dropped like the rest.
      if (!motionPaused_ && heldButtons_ == 0 && !alreadyRead(raw) &&
          rawMotionMovesPointer(raw)) {
        deliver(EventType::MouseMoved);
        if (hasRepeatingTimer_()) {
          motionPaused_ = true;
          updateSelection(false);
        }
      }
      break;
    case XCB_INPUT_RAW_KEY_RELEASE:
      if (keyReleasePaused_ || modifierKeys_.isModifier(raw.detail)) break;
      deliver(EventType::KeyUp);
      if (hasRepeatingTimer_()) {
        keyReleasePaused_ = true;
        updateSelection(false);
      }
      break;
    case XCB_INPUT_HIERARCHY:
      followHierarchy(reinterpret_cast<const xcb_input_hierarchy_event_t&>(event));
      break;
    default:
      break;
  }
}

void RawInputEventSource::followHierarchy(const xcb_input_hierarchy_event_t& change) {
  constexpr std::uint32_t REMOVED = XCB_INPUT_HIERARCHY_MASK_MASTER_REMOVED;
  if ((change.flags & (XCB_INPUT_HIERARCHY_MASK_MASTER_ADDED | REMOVED)) == 0) return;
  // The event lists every device as the hierarchy now stands, and those just removed.
  masterPointers_.clear();
  for (auto info = xcb_input_hierarchy_infos_iterator(&change); info.rem > 0;
       xcb_input_hierarchy_info_next(&info))
    if (info.data->type == XCB_INPUT_DEVICE_TYPE_MASTER_POINTER &&
        (info.data->flags & REMOVED) == 0)
      masterPointers_.push_back(info.data->deviceid);
  // A new master may hold buttons already; a removed one holds none any more.
  if ((selected_ & XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE) != 0) readHeldButtons();
}

void RawInputEventSource::handleButton(std::uint32_t button, bool pressed, bool count) {
  if (isScrollButton(button) || button >= buttonHolders_.size()) return;
  std::uint8_t& holders = buttonHolders_[button];
  const bool wasHeld = heldButtons_ > 0;
  if (count && pressed && holders < UINT8_MAX) {
    ++holders;
    ++heldButtons_;
  } else if (count && !pressed && holders > 0) {
    --holders;
    --heldButtons_;
  } else if (count && !pressed) {
    readHeldButtons();  // a release of a button nobody held: the count went wrong
  }
  if (wasHeld != (heldButtons_ > 0)) updateSelection(false);
  if (!pressed) return;
  if (button == 1) deliver(EventType::LeftMouseDown);
  else if (button == 3) deliver(EventType::RightMouseDown);
  else deliver(EventType::OtherMouseDown);
}

bool RawInputEventSource::alreadyRead(const xcb_input_raw_button_press_event_t& event) {
  if (!heldButtonsReadAt_) return false;
  if (sequenceBefore(event.full_sequence, *heldButtonsReadAt_)) return true;
  heldButtonsReadAt_.reset();  // events come in order: every later one is newer than the read
  return false;
}

void RawInputEventSource::readHeldButtons() {
  xcb_connection_t* x = connection_.get();
  std::vector<xcb_input_xi_query_pointer_cookie_t> cookies;
  for (const xcb_input_device_id_t pointer : masterPointers_)
    cookies.push_back(xcb_input_xi_query_pointer(x, connection_.root(), pointer));
  forgetHeldButtons();
  if (!cookies.empty()) heldButtonsReadAt_ = cookies.front().sequence;
  for (const auto& cookie : cookies) {
    auto reply = own(xcb_input_xi_query_pointer_reply(x, cookie, nullptr));
    if (!reply) continue;  // a master pointer removed since
    // XI2 button masks: bit n is set while button n is down.
    const std::uint32_t* mask = xcb_input_xi_query_pointer_buttons(reply.get());
    const auto words =
        static_cast<std::uint32_t>(xcb_input_xi_query_pointer_buttons_length(reply.get()));
    for (std::uint32_t button = 1; button < buttonHolders_.size() && button / 32 < words; ++button)
      if ((mask[button / 32] >> (button % 32) & 1u) != 0 && !isScrollButton(button)) {
        ++buttonHolders_[button];
        ++heldButtons_;
      }
  }
  updateSelection(false);
}

void RawInputEventSource::forgetHeldButtons() {
  buttonHolders_.fill(0);
  heldButtons_ = 0;
}

void RawInputEventSource::deliver(EventType type) { monitors_.deliver(type); }

std::uint32_t RawInputEventSource::wantedSelection() const {
  const platform::EventMask wanted = monitors_.wanted();
  const bool moves = (wanted & maskFor(EventType::MouseMoved)) != 0;
  const bool clicks = (wanted & platform::MOUSE_BUTTON_DOWN_MASK) != 0;
  std::uint32_t selection = 0;
  if (moves || clicks) selection |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
  if (moves) selection |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
  if (moves && !motionPaused_ && heldButtons_ == 0)
    selection |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
  if ((wanted & maskFor(EventType::KeyUp)) != 0 && !keyReleasePaused_)
    selection |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
  return selection;
}

bool RawInputEventSource::updateSelection(bool check) {
  const std::uint32_t selection = wantedSelection();
  if (selection == selected_ && !check) return true;
  const std::uint32_t releases = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
  const bool releasesWereSelected = (selected_ & releases) != 0;
  selected_ = selection;
  const auto cookie = selectOnRoot(connection_, XCB_INPUT_DEVICE_ALL_MASTER, selection, check);
  const bool accepted =
      !check || own(xcb_request_check(connection_.get(), cookie)) == nullptr;
  // Without release events the count would go stale; with them again, a button may be down.
  if ((selection & releases) == 0) forgetHeldButtons();
  else if (!releasesWereSelected) readHeldButtons();
  return accepted;
}

}  // namespace quen::x11
