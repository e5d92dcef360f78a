#include "platform/windows/win32_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace quen::windows {
namespace {

using platform::EventType;

// One mouse session, report after report: each step's meaning depends on what came before.
TEST(Win32Rules, RawMouseReportsInSequence) {
  struct Step {
    std::uint16_t usFlags, buttons;
    std::int32_t x, y;
    std::optional<EventType> click;
    bool moved;
  };
  const std::vector<Step> steps{
      {0, 0, 3, 0, {}, true},                                  // relative motion
      {0, RAW_WHEEL, 0, 0, {}, false},                         // the wheel is no click
      {0, RAW_LEFT_DOWN, 0, 0, EventType::LeftMouseDown, false},
      {0, 0, 5, 5, {}, false},                                 // a drag is no move
      {0, RAW_LEFT_UP, 2, 0, {}, false},                       // moved while still held
      {0, 0, 0, -1, {}, true},
      {0, RAW_X1_DOWN | RAW_X1_UP, 0, 0, EventType::OtherMouseDown, false},
      {0, RAW_RIGHT_DOWN | RAW_MIDDLE_DOWN, 0, 0, EventType::RightMouseDown, false},
      {0, RAW_RIGHT_UP, 1, 1, {}, false},                      // middle still held
      {0, RAW_MIDDLE_UP, 0, 0, {}, false},
      {RAW_MOVE_ABSOLUTE, 0, 100, 100, {}, false},             // no earlier position
      {RAW_MOVE_ABSOLUTE, 0, 100, 100, {}, false},
      {RAW_MOVE_ABSOLUTE, 0, 120, 100, {}, true},
  };
  MouseState state;
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const Step& step = steps[index];
    const MouseMeaning meaning = translateRawMouse(step.usFlags, step.buttons, step.x, step.y, state);
    EXPECT_EQ(meaning.click, step.click) << "step " << index;
    EXPECT_EQ(meaning.moved, step.moved) << "step " << index;
  }
}

TEST(Win32Rules, HeldButtonsAtStartFollowSwappedButtons) {
  EXPECT_EQ(heldButtonsAtStart(true, false, false, false, false, false), 1);
  EXPECT_EQ(heldButtonsAtStart(true, false, false, false, false, true), 2);
  EXPECT_EQ(heldButtonsAtStart(false, true, true, false, true, true), 1 | 4 | 16);
}

TEST(Win32Rules, CountedKeyReleases) {
  EXPECT_TRUE(isCountedKeyRelease(0x41, RAW_KEY_BREAK));  // A
  EXPECT_TRUE(isCountedKeyRelease(0x0D, RAW_KEY_BREAK));  // Enter
  EXPECT_FALSE(isCountedKeyRelease(0x41, 0));             // a press, or its auto-repeat
  for (const std::uint16_t modifier : {0x10, 0xA1, 0x11, 0xA2, 0x12, 0xA5, 0x5B, 0x5C, 0x14, 0xFF})
    EXPECT_FALSE(isCountedKeyRelease(modifier, RAW_KEY_BREAK)) << modifier;
}

TEST(Win32Rules, WinEventsThatMayChangeTheReport) {
  EXPECT_TRUE(isActivationEvent(WIN_EVENT_FOREGROUND, WIN_OBJECT_WINDOW, WIN_CHILD_SELF, false));
  EXPECT_TRUE(isActivationEvent(WIN_EVENT_NAME_CHANGE, WIN_OBJECT_WINDOW, WIN_CHILD_SELF, true));
  EXPECT_FALSE(isActivationEvent(WIN_EVENT_NAME_CHANGE, WIN_OBJECT_WINDOW, WIN_CHILD_SELF, false));
  EXPECT_FALSE(isActivationEvent(WIN_EVENT_NAME_CHANGE, -4, WIN_CHILD_SELF, true));  // OBJID_CLIENT
  EXPECT_FALSE(isActivationEvent(WIN_EVENT_NAME_CHANGE, WIN_OBJECT_WINDOW, 3, true));  // a part
  EXPECT_FALSE(isActivationEvent(0x8000, WIN_OBJECT_WINDOW, WIN_CHILD_SELF, true));  // creation
}

TEST(Win32Rules, AlphaAndCloakingFallBackToVisible) {
  EXPECT_EQ(windowAlpha(true, true, LAYERED_ALPHA_FLAG, 0), 0.0);
  EXPECT_EQ(windowAlpha(true, true, LAYERED_ALPHA_FLAG, 255), 1.0);
  EXPECT_EQ(windowAlpha(true, true, 0x1, 0), 1.0);                    // a colour key only
  EXPECT_EQ(windowAlpha(true, false, LAYERED_ALPHA_FLAG, 0), 1.0);    // UpdateLayeredWindow
  EXPECT_EQ(windowAlpha(false, true, LAYERED_ALPHA_FLAG, 0), 1.0);
  EXPECT_TRUE(isCloaked(true, 2));
  EXPECT_FALSE(isCloaked(true, 0));
  EXPECT_FALSE(isCloaked(false, 1));  // E_NOTIMPL where no compositor answers
}

TEST(Win32Rules, ReaderGoneErrors) {
  for (const std::uint32_t error : {109u, 232u, 233u}) EXPECT_TRUE(isReaderGoneError(error));
  for (const std::uint32_t error : {0u, 5u, 6u, 112u}) EXPECT_FALSE(isReaderGoneError(error));
}

TEST(Win32Rules, Utf16TitlesBecomeUtf8) {
  struct Case {
    std::u16string in;
    std::string out;
  };
  const std::vector<Case> cases{
      {u"Grüße — 日本語", "Grüße — 日本語"},
      {u"ok \U0001F600", "ok \xF0\x9F\x98\x80"},
      {std::u16string{u'a', char16_t(0xD83D), u'b'}, "a\uFFFDb"},      // lone high
      {std::u16string{char16_t(0xDE00), u'x'}, "\uFFFDx"},            // lone low
      {std::u16string{u'z', char16_t(0xD83D)}, "z\uFFFD"},             // high at the end
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, "\uFFFD\uFFFD"},  // reversed pair
  };
  for (const Case& c : cases) EXPECT_EQ(utf16ToUtf8(c.in), c.out);
}

TEST(Win32Rules, StoreAppFrameStandsForItsHostedProcess) {
  const std::vector<std::uint32_t> owners{40, 0, 77, 90};
  EXPECT_EQ(hostedProcess(40, owners), 77u);
  EXPECT_EQ(hostedProcess(40, std::vector<std::uint32_t>{40}), 40u);
  EXPECT_TRUE(isApplicationFrameHost("ApplicationFrameHost.exe"));
  EXPECT_FALSE(isApplicationFrameHost("explorer.exe"));
}

}  // namespace
}  // namespace quen::windows
