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
  std::shared_ptr<QuenEventMonitor> makeMonitor(platform::EventMask mask) {
    return std::make_shared<QuenEventMonitor>(system.eventSource(), mask,
                                              [this](EventType type) { received.push_back(type); });
  }

  fake::FakeSystem system;
  std::vector<EventType> received;
};

TEST_F(QuenEventMonitorTest, NewMonitorInstallsNothingAndReceivesNothing) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  system.inject(EventType::MouseMoved);
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_EQ(system.installedMonitorCount(), 0u);
  EXPECT_TRUE(received.empty());
}

TEST_F(QuenEventMonitorTest, StartedTwiceIsOneRegistration) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->startIfNotRunning();
  monitor->startIfNotRunning();
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(system.installedMonitorCount(), 1u);
  EXPECT_EQ(system.monitorInstalls(), 1u);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(QuenEventMonitorTest, StopOnANeverStartedMonitorChangesNothing) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->stop();
  monitor->stop();
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_EQ(system.monitorRemovals(), 0u);
  monitor->startIfNotRunning();
  EXPECT_TRUE(monitor->isRunning());
}

TEST_F(QuenEventMonitorTest, StopTwiceRemovesTheRegistrationOnce) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->startIfNotRunning();
  monitor->stop();
  monitor->stop();
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(system.monitorRemovals(), 1u);
  EXPECT_EQ(system.installedMonitorCount(), 0u);
  EXPECT_TRUE(received.empty());
}

TEST_F(QuenEventMonitorTest, StartStopStartInstallsAFreshRegistration) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->startIfNotRunning();
  monitor->stop();
  system.inject(EventType::MouseMoved);
  monitor->startIfNotRunning();
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(system.monitorInstalls(), 2u);
  EXPECT_EQ(system.installedMonitorCount(), 1u);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(QuenEventMonitorTest, DestructionRemovesTheRegistration) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->startIfNotRunning();
  monitor.reset();
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(system.installedMonitorCount(), 0u);
  EXPECT_EQ(system.monitorRemovals(), 1u);
  EXPECT_TRUE(received.empty());
}

TEST_F(QuenEventMonitorTest, RegistrationLivesAsLongAsAnyHolderOfTheMonitor) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->startIfNotRunning();
  std::shared_ptr<QuenEventMonitor> otherHolder = monitor;
  monitor.reset();
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(received.size(), 1u);
  otherHolder.reset();
  EXPECT_EQ(system.installedMonitorCount(), 0u);
}

TEST_F(QuenEventMonitorTest, RefusedInstallLeavesItStoppedAndALaterStartRetries) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  system.setRefuseMonitors(true);
  monitor->startIfNotRunning();
  EXPECT_FALSE(monitor->isRunning());
  monitor->stop();  // nothing to remove
  EXPECT_EQ(system.monitorRemovals(), 0u);

  system.setRefuseMonitors(false);
  monitor->startIfNotRunning();
  system.inject(EventType::MouseMoved);
  EXPECT_TRUE(monitor->isRunning());
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(QuenEventMonitorTest, StartWhileRunningReplacesTheRegistration) {
  auto monitor = makeMonitor(MOUSE_MOVE_MASK);
  monitor->start();
  monitor->start();
  system.inject(EventType::MouseMoved);
  EXPECT_EQ(system.installedMonitorCount(), 1u);
  EXPECT_EQ(received.size(), 1u);
  monitor.reset();
  EXPECT_EQ(system.installedMonitorCount(), 0u);
}

TEST_F(QuenEventMonitorTest, ClickMaskHearsPressesOfEveryButtonAndNothingElse) {
  auto monitor = makeMonitor(MOUSE_CLICK_MASK);
  monitor->startIfNotRunning();
  for (EventType type : {EventType::LeftMouseDown, EventType::MouseMoved, EventType::RightMouseDown,
                         EventType::KeyUp, EventType::OtherMouseDown})
    system.inject(type);
  EXPECT_EQ(received, (std::vector<EventType>{EventType::LeftMouseDown, EventType::RightMouseDown,
                                              EventType::OtherMouseDown}));
}

TEST_F(QuenEventMonitorTest, KeyMaskHearsKeyReleasesOnly) {
  auto monitor = makeMonitor(KEY_RELEASE_MASK);
  monitor->startIfNotRunning();
  for (EventType type : {EventType::LeftMouseDown, EventType::MouseMoved, EventType::KeyUp})
    system.inject(type);
  EXPECT_EQ(received, (std::vector<EventType>{EventType::KeyUp}));
}

}  // namespace
}  // namespace quen::input
