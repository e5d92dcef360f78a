#pragma once

// The Win32 backend's translation rules, free of <windows.h> so that they are tested on
// every platform: what a raw-input report means in the seam's event types, which system
// errors say that the reader of standard output is gone, how a window title's UTF-16 becomes
// UTF-8, and which process a Store app's frame window stands for. The constants are the
// values the Windows SDK gives them (winuser.h, winerror.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/platform.h"

namespace quen::windows {

// RAWMOUSE.usButtonFlags bits.
inline constexpr std::uint16_t RAW_LEFT_DOWN = 0x0001, RAW_LEFT_UP = 0x0002;
inline constexpr std::uint16_t RAW_RIGHT_DOWN = 0x0004, RAW_RIGHT_UP = 0x0008;
inline constexpr std::uint16_t RAW_MIDDLE_DOWN = 0x0010, RAW_MIDDLE_UP = 0x0020;
inline constexpr std::uint16_t RAW_X1_DOWN = 0x0040, RAW_X1_UP = 0x0080;
inline constexpr std::uint16_t RAW_X2_DOWN = 0x0100, RAW_X2_UP = 0x0200;
inline constexpr std::uint16_t RAW_WHEEL = 0x0400, RAW_HWHEEL = 0x0800;
// RAWMOUSE.usFlags: the position is absolute (a tablet, a remote session, injected input).
inline constexpr std::uint16_t RAW_MOVE_ABSOLUTE = 0x0001;
// RAWKEYBOARD.Flags: the key went up.
inline constexpr std::uint16_t RAW_KEY_BREAK = 0x0001;

// The mouse as raw input reports it: which physical buttons are held (bit n for the button
// whose down flag is bit 2n of usButtonFlags), and the last absolute position.
struct MouseState {
  std::uint8_t heldButtons = 0;
  std::optional<std::pair<std::int32_t, std::int32_t>> absolutePosition;
};

// The buttons held at start, from the logical buttons GetAsyncKeyState reports (left, right,
// middle, X1, X2); with swapped buttons (SM_SWAPBUTTON) the logical left button is the
// physical right one, as raw input reports it.
std::uint8_t heldButtonsAtStart(bool logicalLeft, bool logicalRight, bool middle, bool x1,
                                bool x2, bool swapped);

// What one raw mouse report means: at most one button press (a click: LeftMouseDown,
// RightMouseDown or OtherMouseDown; the wheel is none) and whether the pointer moved with no
// button held (MouseMoved; a move with a button held is a drag). Motion is judged with the
// buttons held before the report, then the report's presses and releases update `state`.
struct MouseMeaning {
  std::optional<platform::EventType> click;
  bool moved = false;
};
MouseMeaning translateRawMouse(std::uint16_t usFlags, std::uint16_t buttonFlags,
                               std::int32_t lastX, std::int32_t lastY, MouseState& state);

// Whether a raw keyboard report is a key press the agents count: the release of a key that is
// not Shift, Control, Alt, a Windows key or Caps Lock (in either variant). Auto-repeat sends
// presses only, so a held key counts once. VK 0xFF marks the extra reports of some keys.
bool isCountedKeyRelease(std::uint16_t virtualKey, std::uint16_t flags);

// WinEvent numbers and ids (winuser.h).
inline constexpr std::uint32_t WIN_EVENT_FOREGROUND = 0x0003;    // EVENT_SYSTEM_FOREGROUND
inline constexpr std::uint32_t WIN_EVENT_NAME_CHANGE = 0x800C;   // EVENT_OBJECT_NAMECHANGE
inline constexpr std::int32_t WIN_OBJECT_WINDOW = 0;             // OBJID_WINDOW
inline constexpr std::int32_t WIN_CHILD_SELF = 0;                // CHILDID_SELF

// Whether a WinEvent means that the report may have changed: another window came to the
// front, or the foreground window itself (not one of its parts, not another window) was
// renamed.
bool isActivationEvent(std::uint32_t event, std::int32_t object, std::int32_t child,
                       bool isForegroundWindow);

// A window's alpha from 0 to 1: a layered window's LWA_ALPHA value when it has one, else
// opaque (not layered, a failed query, or one painted by UpdateLayeredWindow).
double windowAlpha(bool layered, bool queried, std::uint32_t flags, std::uint8_t alpha);
inline constexpr std::uint32_t LAYERED_ALPHA_FLAG = 0x2;  // LWA_ALPHA

// Whether DWM hides a window: a failed DWMWA_CLOAKED query (no compositor answers it) means
// not cloaked.
bool isCloaked(bool queried, std::uint32_t cloakedValue);

// Whether a failed write's error says that the reader of the pipe is gone:
// ERROR_BROKEN_PIPE (109), ERROR_NO_DATA (232), ERROR_PIPE_NOT_CONNECTED (233).
bool isReaderGoneError(std::uint32_t error);

// UTF-16 text (a window title) as UTF-8, each lone surrogate replaced by U+FFFD.
std::string utf16ToUtf8(std::span<const char16_t> text);

// A Store app's frame (ApplicationFrameHost.exe) owns the top-level window; the app's own
// window is a child owned by another process. The process a window stands for: the first
// child owner that is not the host, else the host itself.
std::uint32_t hostedProcess(std::uint32_t hostPid, std::span<const std::uint32_t> childOwners);

// Whether an executable's file name (any case) is the Store apps' frame host.
bool isApplicationFrameHost(std::string_view fileName);

}  // namespace quen::windows
