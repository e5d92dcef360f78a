#include "platform/x11/modifier_keys.h"

#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

constexpr xcb_keysym_t NO_SYMBOL = 0;

}  // namespace

bool isModifierKeysym(xcb_keysym_t keysym) {
  constexpr xcb_keysym_t SHIFT_L = 0xffe1, HYPER_R = 0xffee;
  constexpr xcb_keysym_t ISO_LOCK = 0xfe01, ISO_LEVEL5_LOCK = 0xfe13;
  constexpr xcb_keysym_t MODE_SWITCH = 0xff7e, NUM_LOCK = 0xff7f;
  return (keysym >= SHIFT_L && keysym <= HYPER_R) ||
         (keysym >= ISO_LOCK && keysym <= ISO_LEVEL5_LOCK) || keysym == MODE_SWITCH ||
         keysym == NUM_LOCK;
}

ModifierKeys::ModifierKeys(Connection& connection, EventPump& events) : connection_(connection) {
  events.onMappingNotify([this](const xcb_mapping_notify_event_t& event) {
    if (event.request != XCB_MAPPING_POINTER) stale_ = true;
  });
}

bool ModifierKeys::isModifier(std::uint32_t keycode) {
  if (stale_) readMappings();
  return keycode < modifiers_.size() && modifiers_.test(keycode);
}

void ModifierKeys::readMappings() {
  stale_ = false;
  xcb_connection_t* x = connection_.get();
  const xcb_setup_t* setup = xcb_get_setup(x);
  const int firstKeycode = setup->min_keycode;
  const int keycodeCount = setup->max_keycode - setup->min_keycode + 1;
  const auto keyboardCookie = xcb_get_keyboard_mapping(
      x, setup->min_keycode, static_cast<std::uint8_t>(keycodeCount));
  const auto modifierCookie = xcb_get_modifier_mapping(x);
  auto keyboard = own(xcb_get_keyboard_mapping_reply(x, keyboardCookie, nullptr));
  auto modifiers = own(xcb_get_modifier_mapping_reply(x, modifierCookie, nullptr));
  if (!keyboard || !modifiers) return;  // the connection is going: the table does not matter

  modifiers_.reset();
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
  const int perKeycode = keyboard->keysyms_per_keycode;
  const int listed = xcb_get_keyboard_mapping_keysyms_length(keyboard.get());
  for (int index = 0; perKeycode > 0 && index < keycodeCount; ++index) {
    // The first keysym that is not NoSymbol: the one the key gives with the fewest modifiers.
    for (int column = 0; column < perKeycode && index * perKeycode + column < listed; ++column) {
      const xcb_keysym_t keysym = keysyms[index * perKeycode + column];
      if (keysym == NO_SYMBOL) continue;
      if (isModifierKeysym(keysym)) modifiers_.set(static_cast<std::size_t>(firstKeycode + index));
      break;
    }
  }
  const xcb_keycode_t* mapped = xcb_get_modifier_mapping_keycodes(modifiers.get());
  const int mappedCount = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
  for (int index = 0; index < mappedCount; ++index)
    if (mapped[index] != 0) modifiers_.set(mapped[index]);  // 0: an unused slot
}

}  // namespace quen::x11
