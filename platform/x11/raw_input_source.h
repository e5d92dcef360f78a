#pragma once

// Global input monitors over XInput2 raw events on the root window: the server reports
// every device event to any client that selects them there, with no grab and no special
// privileges. XInput 2.2 is announced first (with 2.0, raw events stop while another client
// holds a grab) and events are selected on all master devices (all devices would deliver
// each event twice, once per slave and once per master), which covers masters added later.
// A display that offers no XInput 2 (an X server without it, or a client the SECURITY
// extension does not trust, as `ssh -X` makes it) or refuses the selection could never show
// input: the first monitor reports it unusable (Connection::reportUnusable) with the line
// "X11: display <display> offers no XInput 2 raw events", and the process ends.
//
// What counts, in the seam's event types:
// - a raw press of button 1 is LeftMouseDown, of button 3 RightMouseDown, of button 2 or
//   8 and above OtherMouseDown; buttons 4 to 7 are the scroll wheel and count as nothing;
// - raw motion that moves x or y (valuator 0 or 1 present) while no button is held is
//   MouseMoved: motion with a button held is a drag, motion on scroll axes only is
//   scrolling, and neither is a move;
// - a raw key release is KeyUp (auto-repeat sends presses only, so a held key counts once),
//   unless the key is a modifier key (ModifierKeys): that release only changes modifiers.
//
// Held buttons: counted from raw presses and releases (per button, how many devices hold it),
// and read from the server (XIQueryPointer on each master pointer) whenever the count may be
// wrong: when releases start being selected (a drag may be under way), at a release of a
// button nobody was known to hold, when a master pointer comes or goes (a new seat: the
// hierarchy changes are followed), and at each repeating timer while a button is held. Raw
// presses and releases that the server sent before it answered such a read are in the
// answer already and change no count (an event carries the sequence number of the last
// request the server had handled); raw motion sent before it is dropped, since whether a
// button was held at that moment is unknown.
//
// Wake-ups at high input rates: after delivering MouseMoved or KeyUp, that kind is no longer
// selected (and events of it still in flight are dropped) until the next repeating timer of
// the loop fires, and motion is not selected while a button is held (it could not be a
// move). Button presses and releases stay selected, so the held-button state stays right.
// Handlers therefore learn of the first move and the first key release of each timer
// period, and of every click: enough for a report that says, once per period, which kinds
// occurred.

#include <xcb/xinput.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/monitor_list.h"
#include "platform/platform.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/modifier_keys.h"
#include "platform/x11/x11_connection.h"

namespace quen::x11 {

// Whether raw motion moved the pointer: valuators 0 and 1 are the x and y axes (XI2 raw
// events list the valuators that changed); motion on other axes only is scrolling.
bool rawMotionMovesPointer(const xcb_input_raw_motion_event_t& event);

class RawInputEventSource final : public platform::EventSource {
 public:
  // `hasRepeatingTimer` says whether a repeating timer will resume paused kinds; without
  // one, nothing is paused.
  RawInputEventSource(Connection& connection, EventPump& events,
                      std::function<bool()> hasRepeatingTimer);

  // None, with the display reported unusable, when the server has no XInput 2 or refuses
  // the selection.
  std::optional<platform::MonitorToken> addGlobalMonitor(platform::EventMask matching,
                                                         platform::EventHandler handler) override;
  void removeMonitor(platform::MonitorToken token) override;

  // Selects again the kinds paused since the last repeating timer fired.
  void resumePausedKinds();
  // Reads the held buttons from the server again while some are believed held; called at
  // each repeating timer, so that a count gone wrong cannot hide moves for longer.
  void recheckHeldButtons();

 private:
  void handle(const xcb_ge_generic_event_t& event);
  void followHierarchy(const xcb_input_hierarchy_event_t& change);
  // `count`: whether the event changes the held buttons (it is newer than the last read).
  void handleButton(std::uint32_t button, bool pressed, bool count);
  // Whether a raw pointer event was sent before the last read of the held buttons.
  bool alreadyRead(const xcb_input_raw_button_press_event_t& event);
  void readHeldButtons();
  void forgetHeldButtons();
  void deliver(platform::EventType type);
  std::uint32_t wantedSelection() const;
  // Sends the selection when it changed; returns whether the server accepted it (checked
  // only when `check`, which costs a round trip).
  bool updateSelection(bool check);
  // Ends the process: this display shows no input.
  void reportNoRawEvents();

  Connection& connection_;
  std::function<bool()> hasRepeatingTimer_;
  bool available_ = false;
  std::uint8_t inputOpcode_ = 0;
  // A list: a handler may install or remove monitors while events are delivered.
  platform::MonitorList monitors_;
  ModifierKeys modifierKeys_;
  std::vector<xcb_input_device_id_t> masterPointers_;
  std::array<std::uint8_t, 256> buttonHolders_{};  // by button: how many devices hold it
  int heldButtons_ = 0;                            // the sum of buttonHolders_
  std::optional<std::uint32_t> heldButtonsReadAt_;  // the read's sequence, until passed
  bool motionPaused_ = false;
  bool keyReleasePaused_ = false;
  std::uint32_t selected_ = 0;
};

}  // namespace quen::x11
