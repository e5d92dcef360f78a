#include "platform/fake/fake_system.h"
#include "tests/support/allocation_counter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace quen::fake {
namespace {

using platform::EventType;
using platform::maskFor;
using Log = std::vector<std::string>;

class FakeClockTest : public ::testing::Test {
 protected:
  // A call that logs `label` with the time it ran at.
  std::function<void()> logger(std::string label) {
    return [this, label] { log.push_back(label + "@" + std::to_string(fake.now())); };
  }

  FakeSystem fake;
  platform::RunLoop& loop = fake.runLoop();
  Log log;
};

TEST_F(FakeClockTest, CallsFireInDueOrderAndThoseDueTogetherInSchedulingOrder) {
  loop.scheduleOnce(1.0, logger("first"));
  loop.scheduleRepeating(1.0, logger("repeating"));
  loop.scheduleOnce(2.5, logger("later"));
  loop.scheduleOnce(2.0, logger("tied"));
  loop.scheduleOnce(1.0, logger("third"));
  fake.advance(3.0);
  EXPECT_EQ(log, (Log{"first@1.000000", "repeating@1.000000", "third@1.000000",
                      "repeating@2.000000", "tied@2.000000", "later@2.500000",
                      "repeating@3.000000"}));
  fake.advance(-1.0);
  EXPECT_EQ(fake.now(), 3.0);
}

TEST_F(FakeClockTest, RepeatingTimerScheduledInACallbackIsFirstDueOneIntervalLater) {
  loop.scheduleOnce(0.25, [this] { loop.scheduleRepeating(1.0, logger("tick")); });
  fake.advance(1.249);
  EXPECT_TRUE(log.empty());
  fake.advance(1.001);
  EXPECT_EQ(log, (Log{"tick@1.250000", "tick@2.250000"}));
  EXPECT_EQ(fake.repeatingIntervals(), (std::vector<Seconds>{1.0}));
}

// A tenth of a second has no exact binary form: due times summed in floating point land
// just before or after the step they should meet.
TEST_F(FakeClockTest, RepeatingTimerDoesNotDriftOverManyPeriods) {
  int ticks = 0;
  Seconds firedAt = -1;
  loop.scheduleRepeating(0.1, [&] {
    ++ticks;
    firedAt = fake.now();
  });
  for (int step = 0; step < 10'000; ++step) {
    fake.advance(0.1);
    ASSERT_EQ(ticks, step + 1) << "at step " << step;
    ASSERT_EQ(firedAt, fake.now()) << "at step " << step;
  }
  fake.advance(86'400.0);
  EXPECT_EQ(ticks, 10'000 + 864'000);
  EXPECT_EQ(fake.now(), 87'400.0);
}

// A callback that takes time delays the others, and a repeating timer skips the periods
// it missed, as the real run loops do.
TEST_F(FakeClockTest, SlowCallbackDelaysTheOthersAndItsTimerSkipsThePeriodsItMissed) {
  loop.scheduleRepeating(1.0, [this] {
    log.push_back("tick@" + std::to_string(fake.now()));
    if (log.size() == 1) fake.advance(2.5);
  });
  loop.scheduleOnce(2.0, logger("once"));
  fake.advance(5.0);
  EXPECT_EQ(log, (Log{"tick@1.000000", "once@3.500000", "tick@4.000000", "tick@5.000000"}));
}

TEST_F(FakeClockTest, DelayedCallScheduledFromACallbackFiresWithinTheSameAdvance) {
  loop.scheduleOnce(1.0, [this] {
    log.push_back("outer@" + std::to_string(fake.now()));
    loop.scheduleOnce(0.5, logger("inner"));
    loop.scheduleOnce(0.0, logger("immediate"));
    loop.scheduleOnce(5.0, logger("beyond"));
  });
  fake.advance(2.0);
  EXPECT_EQ(log, (Log{"outer@1.000000", "immediate@1.000000", "inner@1.500000"}));
  EXPECT_EQ(fake.pendingDelayedCalls(), 1u);
  fake.advance(4.0);
  EXPECT_EQ(log.back(), "beyond@6.000000");
  EXPECT_EQ(fake.pendingDelayedCalls(), 0u);
}

TEST_F(FakeClockTest, RunCallsTheLaunchOnceAndNonPositiveIntervalsRepeatEveryTenthMillisecond) {
  int launches = 0, ticks = 0;
  EXPECT_EQ(loop.run([&] {
    ++launches;
    loop.scheduleRepeating(0.0, [&ticks] { ++ticks; });
  }), 0);
  EXPECT_EQ(launches, 1);
  fake.advance(0.001);
  EXPECT_EQ(ticks, 10);
}

class FakeMonitorTest : public ::testing::Test {
 protected:
  MonitorToken install(EventMask mask, platform::EventHandler handler) {
    std::optional<MonitorToken> token = events.addGlobalMonitor(mask, std::move(handler));
    EXPECT_TRUE(token.has_value());
    return token.value_or(0);
  }
  MonitorToken install(EventMask mask, std::vector<EventType>& heard) {
    return install(mask, [&heard](EventType type) { heard.push_back(type); });
  }

  FakeSystem fake;
  platform::EventSource& events = fake.eventSource();
  std::vector<EventType> clicks, keys;
};

TEST_F(FakeMonitorTest, EventsReachOnlyMonitorsWhoseMaskHoldsTheirType) {
  install(platform::MOUSE_BUTTON_DOWN_MASK, clicks);
  install(maskFor(EventType::KeyUp), keys);
  for (EventType type : {EventType::KeyUp, EventType::RightMouseDown, EventType::MouseMoved})
    fake.inject(type);
  EXPECT_EQ(clicks, (std::vector<EventType>{EventType::RightMouseDown}));
  EXPECT_EQ(keys, (std::vector<EventType>{EventType::KeyUp}));
  EXPECT_TRUE(fake.hasMonitorFor(platform::MOUSE_BUTTON_DOWN_MASK));
  EXPECT_FALSE(fake.hasMonitorFor(maskFor(EventType::MouseMoved)));
}

TEST_F(FakeMonitorTest, RefusedOrRemovedMonitorsHearNothingAndTokensAreNotReused) {
  fake.setRefuseMonitors(true);
  EXPECT_FALSE(events.addGlobalMonitor(platform::MOUSE_BUTTON_DOWN_MASK, [](EventType) {}).has_value());
  EXPECT_EQ(fake.monitorInstalls(), 0u);
  fake.setRefuseMonitors(false);
  const MonitorToken first = install(platform::MOUSE_BUTTON_DOWN_MASK, clicks);
  events.removeMonitor(first);
  events.removeMonitor(first);
  fake.inject(EventType::LeftMouseDown);
  EXPECT_TRUE(clicks.empty());
  EXPECT_NE(install(platform::MOUSE_BUTTON_DOWN_MASK, clicks), first);
  EXPECT_EQ(fake.installedMonitorCount(), 1u);
  EXPECT_EQ(fake.monitorInstalls(), 2u);
  EXPECT_EQ(fake.monitorRemovals(), 1u);
}

TEST_F(FakeMonitorTest, HandlerMayRemoveItselfAndALaterMonitor) {
  MonitorToken self = 0, later = 0;
  self = install(platform::MOUSE_BUTTON_DOWN_MASK, [&](EventType type) {
    clicks.push_back(type);
    events.removeMonitor(self);
    events.removeMonitor(self);
    events.removeMonitor(later);
  });
  later = install(platform::MOUSE_BUTTON_DOWN_MASK, keys);
  fake.inject(EventType::LeftMouseDown);
  fake.inject(EventType::LeftMouseDown);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_TRUE(keys.empty()) << "a monitor removed during delivery was still called";
  EXPECT_EQ(fake.installedMonitorCount(), 0u);
  EXPECT_EQ(fake.monitorRemovals(), 2u);
}

TEST_F(FakeMonitorTest, MonitorsInstalledByAHandlerHearTheNextEvent) {
  int added = 0;
  install(platform::MOUSE_BUTTON_DOWN_MASK, [&](EventType) {
    // Enough installs to move every monitor record while this handler runs.
    for (int i = 0; i < 64; ++i) install(platform::MOUSE_BUTTON_DOWN_MASK, [&added](EventType) { ++added; });
  });
  fake.inject(EventType::LeftMouseDown);
  EXPECT_EQ(added, 0);
  fake.inject(EventType::LeftMouseDown);
  EXPECT_EQ(added, 64);
}

TEST_F(FakeMonitorTest, DeliveryAllocatesNothing) {
  std::array<char, 64> largeCapture{};  // a handler a copy would have to allocate for
  int moves = 0;
  install(maskFor(EventType::MouseMoved),
          [largeCapture, &moves](EventType) { moves += largeCapture[0] + 1; });
  install(platform::MOUSE_BUTTON_DOWN_MASK, [](EventType) {});
  const std::uint64_t before = quen::testing::allocationCount();
  for (int i = 0; i < 1000; ++i) fake.inject(EventType::MouseMoved);
  EXPECT_EQ(quen::testing::allocationCount(), before);
  EXPECT_EQ(moves, 1000);
}

class FakeServicesTest : public ::testing::Test {
 protected:
  FakeSystem fake;
};

TEST_F(FakeServicesTest, ActivationNotifiesEveryObserverIncludingOneAddedByAnObserver) {
  std::vector<std::optional<std::int32_t>> heard;
  const auto observer = [&heard](const std::optional<RunningApplication>& app) {
    heard.push_back(app ? std::optional(app->processIdentifier) : std::nullopt);
  };
  fake.workspace().observeActivation(observer);
  fake.workspace().observeActivation([&](const std::optional<RunningApplication>&) {
    if (fake.activationObserverCount() == 2) fake.workspace().observeActivation(observer);
  });
  fake.activate(RunningApplication{42, "Editor", "org.example.editor", "/opt/editor"});
  EXPECT_EQ(fake.workspace().frontmostApplication()->localizedName, "Editor");
  fake.postActivation(std::nullopt);
  EXPECT_EQ(fake.workspace().frontmostApplication()->processIdentifier, 42);
  EXPECT_EQ(heard, (std::vector<std::optional<std::int32_t>>{42, std::nullopt, std::nullopt}));
}

TEST_F(FakeServicesTest, WindowWalkGoesFrontToBackUntilTheVisitorStopsOrNotAtAll) {
  fake.setWindows({windowOf(1, 10, 10, "front"), windowOf(2, 80, 60, "second"),
                   windowOf(3, 10, 10, "back")});
  std::vector<std::string> names;
  EXPECT_TRUE(fake.windowList().walkOnScreenWindows([&](const platform::WindowDescription& w) {
    names.push_back(w.name().text);
    fake.setWindows({windowOf(7, 100, 100, "a")});  // must not disturb the walk under way
    return w.ownerPid().integer == 2;
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"front", "second"}));
  fake.setWindowListAvailable(false);
  EXPECT_FALSE(fake.windowList().walkOnScreenWindows([&](const auto&) {
    names.push_back("visited");
    return false;
  }));
  EXPECT_EQ(names.size(), 2u);
  EXPECT_EQ(fake.windowListReads(), 2u);
}

TEST_F(FakeServicesTest, ActivityTokenAndPermissionAnswersAreTracked) {
  std::shared_ptr<void> token = fake.activity().beginActivity(0xFF, "tracking");
  EXPECT_TRUE(fake.activityTokenHeld());
  token.reset();
  EXPECT_FALSE(fake.activityTokenHeld());
  fake.setTrusted(false);
  EXPECT_FALSE(fake.accessibility().isProcessTrusted(true));
  EXPECT_FALSE(fake.accessibility().isProcessTrusted(false));
  EXPECT_EQ(fake.trustChecks(), 2u);
  EXPECT_EQ(fake.trustChecksWithoutPrompt(), 1u);
  int announcements = 0;
  fake.accessibility().observeTrustChanges([&announcements] { ++announcements; });
  fake.postTrustChanged();
  EXPECT_EQ(announcements, 1);
}

}  // namespace
}  // namespace quen::fake
