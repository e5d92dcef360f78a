#include "platform/x11/raw_input_source.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstring>

#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_client_test.h"

namespace quen::x11 {
namespace {

using platform::EventType;
using platform::maskFor;

// The keycode of "a" on Xvfb's default keymap.
constexpr std::uint8_t KEY_A = 38;

class RawInputEventSourceTest : public testing::X11ClientTest<false> {
 protected:
  void SetUp() override {
    X11ClientTest::SetUp();
    if (HasFatalFailure()) return;
    source_ = std::make_unique<RawInputEventSource>(*connection_, *events_,
                                                    [this] { return hasRepeatingTimer_; });
  }

  platform::MonitorToken install(platform::EventMask mask) {
    const auto token = source_->addGlobalMonitor(mask, [this](EventType type) {
      received_.push_back(type);
    });
    EXPECT_TRUE(token.has_value());
    return token.value_or(0);
  }

  // Serves events for `duration`, as the loop would.
  void pumpFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd ready{xcb_get_file_descriptor(connection_->get()), POLLIN, 0};
      ::poll(&ready, 1, 10);
      events_->pump(true);
    }
  }

  // Serves events until `count` were received (or a generous time passed), then a little
  // longer, so that an event too many would show.
  void pumpUntilReceived(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received_.size() < count && std::chrono::steady_clock::now() < deadline)
      pumpFor(std::chrono::milliseconds(10));
    pumpFor(std::chrono::milliseconds(100));
  }

  // The raw event kinds this client selects on the root window, as the server has them.
  std::uint32_t selectedKinds() {
    events_->pump(false);
    xcb_connection_t* connection = connection_->get();
    auto reply = own(xcb_input_xi_get_selected_events_reply(
        connection, xcb_input_xi_get_selected_events(connection, connection_->root()), nullptr));
    if (!reply) return 0;
    for (auto masks = xcb_input_xi_get_selected_events_masks_iterator(reply.get()); masks.rem > 0;
         xcb_input_event_mask_next(&masks))
      if (masks.data->deviceid == XCB_INPUT_DEVICE_ALL_MASTER && masks.data->mask_len > 0)
        return xcb_input_event_mask_mask(masks.data)[0];
    return 0;
  }

  void click(std::uint8_t button) {
    client_->button(button, true);
    client_->button(button, false);
  }

  std::unique_ptr<RawInputEventSource> source_;
  bool hasRepeatingTimer_ = true;
  std::vector<EventType> received_;
};


TEST_F(RawInputEventSourceTest, ButtonsMapToClickTypesAndTheWheelCountsAsNothing) {
  install(platform::MOUSE_BUTTON_DOWN_MASK);
  for (const std::uint8_t button : {1, 2, 3, 4, 5, 6, 7, 8, 9}) click(button);
  pumpUntilReceived(5);
  EXPECT_EQ(received_, (std::vector<EventType>{EventType::LeftMouseDown, EventType::OtherMouseDown,
                                               EventType::RightMouseDown, EventType::OtherMouseDown,
                                               EventType::OtherMouseDown}));
}

TEST_F(RawInputEventSourceTest, MoveIsHeardOncePerTimerPeriod) {
  install(maskFor(EventType::MouseMoved));
  client_->moveTo(100, 100);
  pumpUntilReceived(1);
  client_->moveTo(120, 110);
  client_->moveTo(140, 120);
  pumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(received_.size(), 1u);
  EXPECT_EQ(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_MOTION, 0u) << "motion paused";

  source_->resumePausedKinds();
  EXPECT_NE(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_MOTION, 0u);
  client_->moveTo(160, 130);
  pumpUntilReceived(2);
  EXPECT_EQ(received_, std::vector<EventType>(2, EventType::MouseMoved));
}

TEST_F(RawInputEventSourceTest, WithoutRepeatingTimerEveryMoveIsHeard) {
  hasRepeatingTimer_ = false;
  install(maskFor(EventType::MouseMoved));
  for (int move = 0; move < 3; ++move) {
    client_->moveTo(200 + 10 * move, 200);
    pumpUntilReceived(static_cast<std::size_t>(move) + 1);
  }
  EXPECT_EQ(received_, std::vector<EventType>(3, EventType::MouseMoved));
}

TEST_F(RawInputEventSourceTest, DragIsNotAMove) {
  install(maskFor(EventType::MouseMoved));
  client_->button(1, true);
  client_->moveTo(300, 300);
  client_->moveTo(320, 310);
  pumpFor(std::chrono::milliseconds(150));
  EXPECT_TRUE(received_.empty()) << "motion with a button held is a drag";
  EXPECT_EQ(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_MOTION, 0u);

  client_->button(1, false);
  pumpFor(std::chrono::milliseconds(50));
  client_->moveTo(340, 320);
  pumpUntilReceived(1);
  EXPECT_EQ(received_, std::vector<EventType>{EventType::MouseMoved});
}

TEST_F(RawInputEventSourceTest, ScrollWheelPressesDoNotMakeMotionADrag) {
  install(maskFor(EventType::MouseMoved) | platform::MOUSE_BUTTON_DOWN_MASK);
  client_->button(4, true);  // a wheel notch whose release comes later
  client_->moveTo(400, 400);
  pumpUntilReceived(1);
  client_->button(4, false);
  EXPECT_EQ(received_, std::vector<EventType>{EventType::MouseMoved});
}

TEST_F(RawInputEventSourceTest, EachMonitorHearsItsMaskAndKeyReleasesAreSelectedOnlyForOne) {
  install(maskFor(EventType::RightMouseDown));
  EXPECT_EQ(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE, 0u);
  const auto keys = install(maskFor(EventType::KeyUp));
  EXPECT_NE(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE, 0u);

  click(1);  // heard by neither mask
  client_->key(KEY_A, true);
  client_->key(KEY_A, false);
  pumpUntilReceived(1);
  EXPECT_EQ(received_, std::vector<EventType>{EventType::KeyUp});

  source_->removeMonitor(keys);
  EXPECT_EQ(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE, 0u);
  EXPECT_NE(selectedKinds() & XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS, 0u);
}

TEST_F(RawInputEventSourceTest, ModifierKeyReleasesAreNoKeyReleases) {
  hasRepeatingTimer_ = false;  // every release that counts is delivered
  install(maskFor(EventType::KeyUp));
  // Shift_L, Control_L, Alt_L, Super_L, ISO_Level3_Shift on Xvfb's default keymap.
  for (const std::uint8_t modifier : {50, 37, 64, 133, 92}) {
    client_->key(modifier, true);
    client_->key(modifier, false);
  }
  client_->key(50, true);  // Shift+a counts once, for the a
  client_->key(KEY_A, true);
  client_->key(KEY_A, false);
  client_->key(50, false);
  pumpUntilReceived(1);
  EXPECT_EQ(received_, std::vector<EventType>{EventType::KeyUp});
}

TEST_F(RawInputEventSourceTest, HandlerMayRemoveItsOwnMonitorAndNothingStaysSelected) {
  std::optional<platform::MonitorToken> token;
  int calls = 0;
  token = source_->addGlobalMonitor(platform::MOUSE_BUTTON_DOWN_MASK, [&](EventType) {
    ++calls;
    source_->removeMonitor(*token);
  });
  click(1);
  click(3);
  pumpFor(std::chrono::milliseconds(200));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(selectedKinds(), 0u);
}

class RawMotionTest : public ::testing::Test {
 protected:
  // A raw motion event as the server sends it, with the given valuator mask.
  static bool moves(std::uint32_t valuatorMask) {
    alignas(8) unsigned char bytes[sizeof(xcb_input_raw_motion_event_t) + 4] = {};
    auto* event = reinterpret_cast<xcb_input_raw_motion_event_t*>(bytes);
    event->valuators_len = 1;
    std::memcpy(bytes + sizeof(xcb_input_raw_motion_event_t), &valuatorMask, 4);
    return rawMotionMovesPointer(*event);
  }
};

TEST_F(RawMotionTest, OnlyTheXAndYAxesMoveThePointer) {
  for (std::uint32_t mask : {0b01u, 0b10u, 0b1011u}) EXPECT_TRUE(moves(mask)) << mask;
  for (std::uint32_t mask : {0b1100u, 0u}) EXPECT_FALSE(moves(mask)) << mask;  // scroll only
}

}  // namespace
}  // namespace quen::x11
