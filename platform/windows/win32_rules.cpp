#include "platform/windows/win32_rules.h"

#include <array>
#include <cctype>

#include "core/utf8.h"

namespace quen::windows {
namespace {

constexpr std::uint32_t UTF8_REPLACEMENT = 0xFFFD;

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::uint8_t heldButtonsAtStart(bool logicalLeft, bool logicalRight, bool middle, bool x1,
                                bool x2, bool swapped) {
  const bool physicalLeft = swapped ? logicalRight : logicalLeft;
  const bool physicalRight = swapped ? logicalLeft : logicalRight;
  return static_cast<std::uint8_t>((physicalLeft ? 1 : 0) | (physicalRight ? 2 : 0) |
                                   (middle ? 4 : 0) | (x1 ? 8 : 0) | (x2 ? 16 : 0));
}

MouseMeaning translateRawMouse(std::uint16_t usFlags, std::uint16_t buttonFlags,
                               std::int32_t lastX, std::int32_t lastY, MouseState& state) {
  MouseMeaning meaning;
  bool motion = false;
  if ((usFlags & RAW_MOVE_ABSOLUTE) != 0) {
    const std::pair position{lastX, lastY};
    motion = state.absolutePosition && *state.absolutePosition != position;
    state.absolutePosition = position;
  } else {
    motion = lastX != 0 || lastY != 0;
  }
  meaning.moved = motion && state.heldButtons == 0;
  // Button n: down flag at bit 2n, up flag at bit 2n + 1 (left, right, middle, X1, X2).
  static constexpr std::array<platform::EventType, 5> CLICKS{
      platform::EventType::LeftMouseDown, platform::EventType::RightMouseDown,
      platform::EventType::OtherMouseDown, platform::EventType::OtherMouseDown,
      platform::EventType::OtherMouseDown};
  for (unsigned button = 0; button < CLICKS.size(); ++button) {
    const auto bit = static_cast<std::uint8_t>(1u << button);
    if ((buttonFlags & (1u << (2 * button))) != 0) {
      state.heldButtons |= bit;
      if (!meaning.click) meaning.click = CLICKS[button];
    }
    if ((buttonFlags & (2u << (2 * button))) != 0) state.heldButtons &= static_cast<std::uint8_t>(~bit);
  }
  return meaning;
}

bool isCountedKeyRelease(std::uint16_t virtualKey, std::uint16_t flags) {
  if ((flags & RAW_KEY_BREAK) == 0) return false;
  switch (virtualKey) {
    case 0x10: case 0xA0: case 0xA1:  // VK_SHIFT, VK_LSHIFT, VK_RSHIFT
    case 0x11: case 0xA2: case 0xA3:  // VK_CONTROL, VK_LCONTROL, VK_RCONTROL
    case 0x12: case 0xA4: case 0xA5:  // VK_MENU (Alt), VK_LMENU, VK_RMENU
    case 0x5B: case 0x5C:             // VK_LWIN, VK_RWIN
    case 0x14:                        // VK_CAPITAL
    case 0xFF:
      return false;
    default:
      return true;
  }
}

bool isActivationEvent(std::uint32_t event, std::int32_t object, std::int32_t child,
                       bool isForegroundWindow) {
  if (object != WIN_OBJECT_WINDOW || child != WIN_CHILD_SELF) return false;
  return event == WIN_EVENT_FOREGROUND || (event == WIN_EVENT_NAME_CHANGE && isForegroundWindow);
}

double windowAlpha(bool layered, bool queried, std::uint32_t flags, std::uint8_t alpha) {
  if (!layered || !queried || (flags & LAYERED_ALPHA_FLAG) == 0) return 1.0;
  return alpha / 255.0;
}

bool isCloaked(bool queried, std::uint32_t cloakedValue) { return queried && cloakedValue != 0; }

bool isReaderGoneError(std::uint32_t error) {
  return error == 109 || error == 232 || error == 233;
}

std::string utf16ToUtf8(std::span<const char16_t> text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char16_t unit = text[index];
    if (isHighSurrogate(unit) && index + 1 < text.size() && isLowSurrogate(text[index + 1])) {
      appendUtf8(out, 0x10000 + ((std::uint32_t{unit} - 0xD800) << 10) +
                          (std::uint32_t{text[++index]} - 0xDC00));
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendUtf8(out, UTF8_REPLACEMENT);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::uint32_t hostedProcess(std::uint32_t hostPid, std::span<const std::uint32_t> childOwners) {
  for (const std::uint32_t owner : childOwners)
    if (owner != 0 && owner != hostPid) return owner;
  return hostPid;
}

bool isApplicationFrameHost(std::string_view fileName) {
  static constexpr std::string_view HOST = "applicationframehost.exe";
  if (fileName.size() != HOST.size()) return false;
  for (std::size_t index = 0; index < HOST.size(); ++index)
    if (std::tolower(static_cast<unsigned char>(fileName[index])) != HOST[index]) return false;
  return true;
}

}  // namespace quen::windows
