#include "platform/fake/fake_system.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

// Counts every allocation of the test program, so that a test can show a path allocates
// nothing.
namespace {
std::size_t allocationCount = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocationCount;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quen::fake {
namespace {

using platform::EventType;
using platform::maskFor;

class FakeClockTest : public ::testing::Test {
 protected:
  // Schedules a call that logs `label` with the time it ran at.
  std::function<void()> logger(std::string label) {
    return [this, label] { log.push_back(label + "@" + std::to_string(fake.now())); };
  }

  FakeSystem fake;
  platform::RunLoop& loop = fake.runLoop();
  std::vector<std::string> log;
};

TEST_F(FakeClockTest, CallsDueAtTheSameInstantFireInSchedulingOrder) {
  loop.scheduleOnce(1.0, logger("first"));
  loop.scheduleRepeating(1.0, logger("repeating"));
  loop.scheduleOnce(1.0, logger("third"));
  fake.advance(1.0);
  EXPECT_EQ(log, (std::vector<std::string>{"first@1.000000", "repeating@1.000000",
                                           "third@1.000000"}));
}

TEST_F(FakeClockTest, CallsFireInDueTimeOrderWhateverTheSchedulingOrder) {
  loop.scheduleOnce(3.0, logger("late"));
  loop.scheduleOnce(1.0, logger("early"));
  loop.scheduleOnce(2.0, logger("middle"));
  fake.advance(5.0);
  EXPECT_EQ(log, (std::vector<std::string>{"early@1.000000", "middle@2.000000",
                                           "late@3.000000"}));
  EXPECT_EQ(fake.now(), 5.0);
}

TEST_F(FakeClockTest, RepeatingTimerIsFirstDueOneIntervalAfterScheduling) {
  fake.advance(0.5);
  loop.scheduleRepeating(1.0, logger("tick"));
  fake.advance(0.999);
  EXPECT_TRUE(log.empty());
  fake.advance(0.001);
  EXPECT_EQ(log, (std::vector<std::string>{"tick@1.500000"}));
}

TEST_F(FakeClockTest, OneSecondTimerCountsEveryTickOfADay) {
  int ticks = 0;
  loop.scheduleRepeating(1.0, [&ticks] { ++ticks; });
  for (int second = 0; second < 86'400; ++second) fake.advance(1.0);
  EXPECT_EQ(ticks, 86'400);
  EXPECT_EQ(fake.now(), 86'400.0);
  fake.advance(86'400.0);
  EXPECT_EQ(ticks, 2 * 86'400);
}

// A tenth of a second has no exact binary form: due times summed in floating point land
// just before or after the step they should meet.
TEST_F(FakeClockTest, TenthOfASecondTimerDoesNotDrift) {
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
  EXPECT_EQ(fake.now(), 1000.0);
}

TEST_F(FakeClockTest, DelayedCallScheduledFromACallbackFiresWithinTheSameAdvance) {
  loop.scheduleOnce(1.0, [this] {
    log.push_back("outer@" + std::to_string(fake.now()));
    loop.scheduleOnce(0.5, logger("inner"));
    loop.scheduleOnce(0.0, logger("immediate"));
    loop.scheduleOnce(5.0, logger("beyond"));
  });
  fake.advance(2.0);
  EXPECT_EQ(log, (std::vector<std::string>{"outer@1.000000", "immediate@1.000000",
                                           "inner@1.500000"}));
  EXPECT_EQ(fake.pendingDelayedCalls(), 1u);
  fake.advance(4.0);
  EXPECT_EQ(log.back(), "beyond@6.000000");
  EXPECT_EQ(fake.pendingDelayedCalls(), 0u);
}

TEST_F(FakeClockTest, RepeatingAndOnceTimersInterleave) {
  loop.scheduleRepeating(1.0, logger("repeating"));
  loop.scheduleOnce(2.5, logger("once-later"));
  loop.scheduleOnce(2.0, logger("once-tied"));
  fake.advance(3.0);
  EXPECT_EQ(log, (std::vector<std::string>{"repeating@1.000000", "repeating@2.000000",
                                           "once-tied@2.000000", "once-later@2.500000",
                                           "repeating@3.000000"}));
}

TEST_F(FakeClockTest, RepeatingTimerScheduledInACallbackStartsFromThatCallback) {
  loop.scheduleOnce(0.25, [this] { loop.scheduleRepeating(1.0, logger("tick")); });
  fake.advance(2.5);
  EXPECT_EQ(log, (std::vector<std::string>{"tick@1.250000", "tick@2.250000"}));
  EXPECT_EQ(fake.repeatingIntervals(), (std::vector<Seconds>{1.0}));
}

TEST_F(FakeClockTest, NonPositiveIntervalRepeatsEveryTenthOfAMillisecond) {
  int ticks = 0;
  loop.scheduleRepeating(0.0, [&ticks] { ++ticks; });
  fake.advance(0.001);
  EXPECT_EQ(ticks, 10);
}

TEST_F(FakeClockTest, NegativeAdvanceLeavesTheClockAlone) {
  fake.advance(2.0);
  fake.advance(-1.0);
  EXPECT_EQ(fake.now(), 2.0);
}

TEST_F(FakeClockTest, RunCallsTheLaunchCallbackOnceAndReturnsZero) {
  int launches = 0;
  EXPECT_EQ(loop.run([&] {
    ++launches;
    loop.scheduleRepeating(60.0, [] {});
    loop.scheduleOnce(1.0, [] {});
  }), 0);
  EXPECT_EQ(launches, 1);
  EXPECT_EQ(fake.repeatingIntervals(), (std::vector<Seconds>{60.0}));
  EXPECT_EQ(fake.pendingDelayedCalls(), 1u);
}

class FakeMonitorTest : public ::testing::Test {
 protected:
  MonitorToken install(EventMask mask, platform::EventHandler handler) {
    std::optional<MonitorToken> token = events.addGlobalMonitor(mask, std::move(handler));
    EXPECT_TRUE(token.has_value());
    return token.value_or(0);
  }

  static constexpr EventMask kClicks = maskFor(EventType::LeftMouseDown) |
                                       maskFor(EventType::RightMouseDown) |
                                       maskFor(EventType::OtherMouseDown);
  FakeSystem fake;
  platform::EventSource& events = fake.eventSource();
  std::vector<EventType> clicks, keys;
};

TEST_F(FakeMonitorTest, EventsReachOnlyMonitorsWhoseMaskHoldsTheirType) {
  install(kClicks, [this](EventType type) { clicks.push_back(type); });
  install(maskFor(EventType::KeyUp), [this](EventType type) { keys.push_back(type); });
  fake.inject(EventType::KeyUp);
  fake.inject(EventType::RightMouseDown);
  fake.inject(EventType::MouseMoved);
  EXPECT_EQ(clicks, (std::vector<EventType>{EventType::RightMouseDown}));
  EXPECT_EQ(keys, (std::vector<EventType>{EventType::KeyUp}));
  EXPECT_TRUE(fake.hasMonitorFor(kClicks));
  EXPECT_FALSE(fake.hasMonitorFor(maskFor(EventType::MouseMoved)));
}

TEST_F(FakeMonitorTest, RefusedInstallReturnsNoneAndInstallsNothing) {
  fake.setRefuseMonitors(true);
  EXPECT_FALSE(events.addGlobalMonitor(kClicks, [](EventType) {}).has_value());
  EXPECT_EQ(fake.installedMonitorCount(), 0u);
  EXPECT_EQ(fake.monitorInstalls(), 0u);
  fake.setRefuseMonitors(false);
  install(kClicks, [](EventType) {});
  EXPECT_EQ(fake.installedMonitorCount(), 1u);
}

TEST_F(FakeMonitorTest, RemovedMonitorIsNotCalledAndItsTokenIsNotReused) {
  const MonitorToken first = install(kClicks, [this](EventType type) { clicks.push_back(type); });
  events.removeMonitor(first);
  events.removeMonitor(first);
  fake.inject(EventType::LeftMouseDown);
  const MonitorToken second = install(kClicks, [](EventType) {});
  EXPECT_TRUE(clicks.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(fake.installedMonitorCount(), 1u);
  EXPECT_EQ(fake.monitorInstalls(), 2u);
  EXPECT_EQ(fake.monitorRemovals(), 1u);
}

TEST_F(FakeMonitorTest, HandlerMayRemoveItselfAndALaterMonitor) {
  MonitorToken self = 0, later = 0;
  self = install(kClicks, [&](EventType type) {
    clicks.push_back(type);
    events.removeMonitor(self);
    events.removeMonitor(self);
    events.removeMonitor(later);
  });
  later = install(kClicks, [this](EventType type) { keys.push_back(type); });
  fake.inject(EventType::LeftMouseDown);
  fake.inject(EventType::LeftMouseDown);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_TRUE(keys.empty()) << "a monitor removed during delivery was still called";
  EXPECT_EQ(fake.installedMonitorCount(), 0u);
  EXPECT_EQ(fake.monitorRemovals(), 2u);
}

TEST_F(FakeMonitorTest, MonitorsInstalledByAHandlerHearTheNextEvent) {
  int added = 0;
  install(kClicks, [&](EventType) {
    // Enough installs to move every monitor record while this handler runs.
    for (int i = 0; i < 64; ++i) install(kClicks, [&added](EventType) { ++added; });
  });
  fake.inject(EventType::LeftMouseDown);
  EXPECT_EQ(added, 0);
  EXPECT_EQ(fake.installedMonitorCount(), 65u);
  fake.inject(EventType::LeftMouseDown);
  EXPECT_EQ(added, 64);
}

TEST_F(FakeMonitorTest, DeliveryAllocatesNothing) {
  std::array<char, 64> largeCapture{};  // a handler a copy would have to allocate for
  int moves = 0;
  install(maskFor(EventType::MouseMoved), [largeCapture, &moves](EventType) {
    moves += largeCapture[0] + 1;
  });
  install(kClicks, [](EventType) {});
  const std::size_t before = allocationCount;
  for (int i = 0; i < 1000; ++i) fake.inject(EventType::MouseMoved);
  EXPECT_EQ(allocationCount, before);
  EXPECT_EQ(moves, 1000);
}

class FakeServicesTest : public ::testing::Test {
 protected:
  FakeSystem fake;
};

TEST_F(FakeServicesTest, ActivationNotifiesEveryObserverAndChangesTheFront) {
  std::vector<std::optional<std::int32_t>> heard;
  platform::Workspace& workspace = fake.workspace();
  for (int observer = 0; observer < 2; ++observer)
    workspace.observeActivation([&heard](const std::optional<RunningApplication>& app) {
      heard.push_back(app ? std::optional(app->processIdentifier) : std::nullopt);
    });
  fake.activate(RunningApplication{42, "Editor", "org.example.editor", "/opt/editor"});
  ASSERT_TRUE(workspace.frontmostApplication().has_value());
  EXPECT_EQ(workspace.frontmostApplication()->localizedName, "Editor");
  fake.postActivation(std::nullopt);
  EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, 42);
  EXPECT_EQ(heard, (std::vector<std::optional<std::int32_t>>{42, 42, std::nullopt,
                                                             std::nullopt}));
}

TEST_F(FakeServicesTest, ObserverAddedByAnObserverHearsTheNextActivation) {
  int late = 0;
  fake.workspace().observeActivation([&](const std::optional<RunningApplication>&) {
    if (fake.activationObserverCount() == 1)
      fake.workspace().observeActivation([&late](const auto&) { ++late; });
  });
  fake.postActivation(std::nullopt);
  EXPECT_EQ(late, 0);
  fake.postActivation(std::nullopt);
  EXPECT_EQ(late, 1);
}

TEST_F(FakeServicesTest, UnavailableWindowListVisitsNothingAndSaysSo) {
  fake.setWindows({windowOf(7, 100, 100, "a")});
  fake.setWindowListAvailable(false);
  int visits = 0;
  EXPECT_FALSE(fake.windowList().walkOnScreenWindows([&](const auto&) { return ++visits, false; }));
  EXPECT_EQ(visits, 0);
  EXPECT_EQ(fake.windowListReads(), 1u);
}

TEST_F(FakeServicesTest, WindowWalkGoesFrontToBackUntilTheVisitorStops) {
  fake.setWindows({windowOf(1, 10, 10, "front"), windowOf(2, 80, 60, "second"),
                   windowOf(3, 10, 10, "back")});
  std::vector<std::string> names;
  EXPECT_TRUE(fake.windowList().walkOnScreenWindows([&](const platform::WindowDescription& w) {
    names.push_back(w.name().text);
    fake.setWindows({});  // replacing the list must not disturb the walk under way
    return w.ownerPid().integer == 2;
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"front", "second"}));
}

TEST_F(FakeServicesTest, WindowOfDescribesARectangleAtTheOrigin) {
  const FakeWindow window = windowOf(9, 300, 200, "title");
  ASSERT_NE(window.bounds.entry("Width"), nullptr);
  EXPECT_EQ(window.bounds.entry("Width")->real, 300);
  EXPECT_EQ(window.bounds.entry("Height")->real, 200);
  EXPECT_EQ(window.bounds.entry("X")->real, 0);
  EXPECT_EQ(window.alpha.real, 1.0);
}

TEST_F(FakeServicesTest, ScriptsAreNotCreatedByDefaultAndEverySourceIsRecorded) {
  EXPECT_EQ(fake.scripts().run("first").stage, ScriptRun::Stage::NotCreated);
  fake.setScriptHandler([](const std::string& source) {
    ScriptRun outcome;
    outcome.stage = ScriptRun::Stage::Executed;
    outcome.resultText = "ran " + source;
    return outcome;
  });
  EXPECT_EQ(fake.scripts().run("second").resultText, "ran second");
  EXPECT_EQ(fake.scriptSources(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(FakeServicesTest, OutputKeepsEveryLineAndCountsWhatWasFlushed) {
  platform::StandardOutput& output = fake.standardOutput();
  output.writeLine("{\"a\":1}");
  output.flush();
  output.writeLine("{\"a\":2}");
  EXPECT_EQ(fake.lines(), (std::vector<std::string>{"{\"a\":1}", "{\"a\":2}"}));
  EXPECT_EQ(fake.flushedLineCount(), 1u);
  EXPECT_EQ(fake.flushCount(), 1u);
  output.flush();
  EXPECT_EQ(fake.flushedLineCount(), 2u);
}

TEST_F(FakeServicesTest, ActivityIsHeldWhileItsTokenIs) {
  std::shared_ptr<void> token = fake.activity().beginActivity(0xFF, "tracking");
  EXPECT_TRUE(fake.activityTokenHeld());
  ASSERT_EQ(fake.activityCalls().size(), 1u);
  EXPECT_EQ(fake.activityCalls()[0].reason, "tracking");
  token.reset();
  EXPECT_FALSE(fake.activityTokenHeld());
}

TEST_F(FakeServicesTest, PermissionAnswersFollowTheStateAndAreCounted) {
  fake.setTrusted(false);
  fake.setScreenCaptureAllowed(false);
  EXPECT_FALSE(fake.accessibility().isProcessTrusted(true));
  EXPECT_FALSE(fake.accessibility().isProcessTrusted(false));
  EXPECT_FALSE(fake.screenCapture().preflightAccess());
  EXPECT_FALSE(fake.screenCapture().canCreateDisplayStream());
  EXPECT_EQ(fake.trustChecks(), 2u);
  EXPECT_EQ(fake.trustChecksWithoutPrompt(), 1u);
  EXPECT_EQ(fake.preflightCalls(), 1u);
  EXPECT_EQ(fake.displayStreamAttempts(), 1u);
  int announcements = 0;
  fake.accessibility().observeTrustChanges([&announcements] { ++announcements; });
  fake.postTrustChanged();
  EXPECT_EQ(announcements, 1);
}

}  // namespace
}  // namespace quen::fake
