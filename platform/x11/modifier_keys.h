#pragma once

// Which keys are modifier keys, by keycode, as the server's mappings say now. Releasing such
// a key changes the modifiers and is no key release: on macOS, Shift, Control, Option,
// Command and Caps Lock raise flags-changed events, never key-up events.
//
// A key is a modifier key when the modifier mapping lists its keycode (X11 protocol,
// GetModifierMapping) or when its first keysym is a modifier keysym. The table is read when
// first asked for and again after the server announces a new keyboard or modifier mapping
// (MappingNotify, which the server also sends to clients that do not use XKB, such as this
// one, when an XKB keymap changes), so that the answer for one key is a bit test.

#include <xcb/xcb.h>

#include <bitset>
#include <cstdint>

#include "platform/x11/event_pump.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

// Xlib's IsModifierKey: Shift_L to Hyper_R, ISO_Lock to ISO_Level5_Lock, Mode_switch and
// Num_Lock.
bool isModifierKeysym(xcb_keysym_t keysym);

class ModifierKeys {
 public:
  ModifierKeys(Connection& connection, EventPump& events);

  // Reads the mappings first (one round trip) when they changed since the last read.
  bool isModifier(std::uint32_t keycode);

 private:
  void readMappings();

  Connection& connection_;
  std::bitset<256> modifiers_;
  bool stale_ = true;
};

}  // namespace quen::x11
