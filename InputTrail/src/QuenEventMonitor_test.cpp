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

// The delegate starts and stops the keyboard monitor on every trust probe: repeated calls
// must neither stack registrations nor remove one twice, and a refused install is retried.
TEST_F(QuenEventMonitorTest, OneRegistrationWhateverTheRepeatsAndRefusalIsRetried) {
  auto monitor = makeMonitor();
  system.refuseMonitors = true;
  monitor->startIfNotRunning();
  EXPECT_FALSE(monitor->isRunning());
  monitor->stop();
  EXPECT_EQ(system.monitorRemovals, 0u);
  system.refuseMonitors = false;
  monitor->startIfNotRunning();
  monitor->startIfNotRunning();
  move();
  EXPECT_EQ(system.monitorInstalls, 1u);
  EXPECT_EQ(received.size(), 1u);
  monitor->stop();
  monitor->stop();
  move();
  EXPECT_EQ(system.monitorRemovals, 1u);
  EXPECT_EQ(received.size(), 1u);
  monitor->startIfNotRunning();
  monitor.reset();
  EXPECT_EQ(system.installedMonitorCount(), 0u) << "the last holder's end removes it";
}

}  // namespace
}  // namespace quen::input
