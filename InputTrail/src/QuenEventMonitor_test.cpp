#include "InputTrail/src/QuenEventMonitor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "InputTrail/src/config.h"
#include "platform/fake/fake_system.h"

namespace quen::input {
namespace {

using platform::EventType;

class QuenEventMonitorTest : public ::testing::Test {
 protected:
  std::shared_ptr<QuenEventMonitor> makeMonitor(platform::EventMask mask = MOUSE_MOVE_MASK) {
    return std::make_shared<QuenEventMonitor>(system.eventSource(), mask,
                                              [this](EventType type) { received.push_back(type); });
  }
  void move() { system.inject(EventType::MouseMoved); }

  fake::FakeSystem system;
  std::vector<EventType> received;
};

TEST_F(QuenEventMonitorTest, StartedTwiceIsOneRegistrationAndStartReplacesIt) {
  auto monitor = makeMonitor();
  monitor->startIfNotRunning();
  monitor->startIfNotRunning();
  move();
  EXPECT_EQ(system.monitorInstalls(), 1u);
  monitor->start();
  move();
  EXPECT_EQ(system.monitorInstalls(), 2u);
  EXPECT_EQ(system.installedMonitorCount(), 1u);
  EXPECT_EQ(received.size(), 2u);
}

TEST_F(QuenEventMonitorTest, NeverStartedMonitorHearsNothingAndStopChangesNothing) {
  auto monitor = makeMonitor();
  move();
  monitor->stop();
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_EQ(system.installedMonitorCount(), 0u);
  EXPECT_EQ(system.monitorRemovals(), 0u);
  EXPECT_TRUE(received.empty());
  monitor->startIfNotRunning();
  EXPECT_TRUE(monitor->isRunning());
}

TEST_F(QuenEventMonitorTest, StartStopStartInstallsAFreshRegistrationRemovedOnce) {
  auto monitor = makeMonitor();
  monitor->startIfNotRunning();
  monitor->stop();
  monitor->stop();
  move();
  EXPECT_EQ(system.monitorRemovals(), 1u);
  monitor->startIfNotRunning();
  move();
  EXPECT_EQ(system.monitorInstalls(), 2u);
  EXPECT_EQ(system.installedMonitorCount(), 1u);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(QuenEventMonitorTest, DestructionOfTheLastHolderRemovesTheRegistration) {
  auto monitor = makeMonitor();
  monitor->startIfNotRunning();
  std::shared_ptr<QuenEventMonitor> otherHolder = monitor;
  monitor.reset();
  move();
  EXPECT_EQ(received.size(), 1u);
  otherHolder.reset();
  move();
  EXPECT_EQ(system.installedMonitorCount(), 0u);
  EXPECT_EQ(system.monitorRemovals(), 1u);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(QuenEventMonitorTest, RefusedInstallLeavesItStoppedAndALaterStartRetries) {
  auto monitor = makeMonitor();
  system.setRefuseMonitors(true);
  monitor->startIfNotRunning();
  EXPECT_FALSE(monitor->isRunning());
  monitor->stop();
  EXPECT_EQ(system.monitorRemovals(), 0u);
  system.setRefuseMonitors(false);
  monitor->startIfNotRunning();
  move();
  EXPECT_TRUE(monitor->isRunning());
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(QuenEventMonitorTest, MasksHearTheirTypesOnly) {
  const EventType all[] = {EventType::LeftMouseDown, EventType::MouseMoved,
                           EventType::RightMouseDown, EventType::KeyUp, EventType::OtherMouseDown};
  const struct {
    platform::EventMask mask;
    std::vector<EventType> heard;
  } rows[] = {{MOUSE_CLICK_MASK,
               {EventType::LeftMouseDown, EventType::RightMouseDown, EventType::OtherMouseDown}},
              {MOUSE_MOVE_MASK, {EventType::MouseMoved}},
              {KEY_RELEASE_MASK, {EventType::KeyUp}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "mask " << row.mask);
    received.clear();
    auto monitor = makeMonitor(row.mask);
    monitor->startIfNotRunning();
    for (EventType type : all) system.inject(type);
    EXPECT_EQ(received, row.heard);
  }
}

}  // namespace
}  // namespace quen::input
