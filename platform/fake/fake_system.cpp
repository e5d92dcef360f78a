#include "platform/fake/fake_system.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace quen::fake {
namespace {

constexpr double kMicrosecondsPerSecond = 1'000'000.0;
// About 3,000 years: far beyond any test, and far from overflow when added to the clock.
constexpr std::int64_t kLongestSpanMicroseconds = std::int64_t{1} << 56;
// NSTimer: "If seconds is less than or equal to 0.0, this method chooses the nonnegative
// value of 0.1 milliseconds instead."
constexpr std::int64_t kShortestIntervalMicroseconds = 100;
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// A span of time in whole microseconds; negative or NaN spans are none.
std::int64_t toMicroseconds(Seconds seconds) {
  if (!(seconds > 0)) return 0;
  const double microseconds = std::round(seconds * kMicrosecondsPerSecond);
  if (microseconds >= static_cast<double>(kLongestSpanMicroseconds))
    return kLongestSpanMicroseconds;
  return static_cast<std::int64_t>(microseconds);
}

class FakeWindowDescription final : public platform::WindowDescription {
 public:
  explicit FakeWindowDescription(const FakeWindow& window) : window_(window) {}
  OsValue ownerPid() const override { return window_.ownerPid; }
  OsValue alpha() const override { return window_.alpha; }
  OsValue bounds() const override { return window_.bounds; }
  OsValue name() const override { return window_.name; }

 private:
  const FakeWindow& window_;
};

}  // namespace

// A repeating timer keeps its place in timers_ for the life of the fake; a delayed call
// leaves it when it fires. `sequence` orders calls that fall due at the same instant.
struct FakeSystem::Timer {
  std::int64_t dueMicroseconds;
  std::int64_t intervalMicroseconds;
  Seconds requestedInterval;
  bool repeats;
  std::uint64_t sequence;
  std::function<void()> callback;
};

FakeWindow windowOf(std::int32_t pid, double width, double height, std::string name) {
  return FakeWindow{OsValue::ofInteger(pid), OsValue::ofReal(1.0),
                    boundsDictionary(0, 0, width, height), OsValue::ofText(std::move(name))};
}

OsValue boundsDictionary(double x, double y, double width, double height) {
  return OsValue::ofDictionary({{"X", OsValue::ofReal(x)},
                                {"Y", OsValue::ofReal(y)},
                                {"Width", OsValue::ofReal(width)},
                                {"Height", OsValue::ofReal(height)}});
}

FakeSystem::FakeSystem() : windows_(std::make_shared<const std::vector<FakeWindow>>()) {}

FakeSystem::~FakeSystem() = default;

// --- Virtual clock.

Seconds FakeSystem::now() const {
  return static_cast<double>(nowMicroseconds_) / kMicrosecondsPerSecond;
}

void FakeSystem::scheduleRepeating(Seconds interval, std::function<void()> callback) {
  scheduleTimer(interval, interval, true, std::move(callback));
}

void FakeSystem::scheduleOnce(Seconds delay, std::function<void()> callback) {
  scheduleTimer(0, delay, false, std::move(callback));
}

void FakeSystem::scheduleTimer(Seconds interval, Seconds delay, bool repeats,
                               std::function<void()> callback) {
  std::int64_t intervalMicroseconds = 0;
  std::int64_t delayMicroseconds = toMicroseconds(delay);
  if (repeats) {
    intervalMicroseconds = std::max(toMicroseconds(interval), kShortestIntervalMicroseconds);
    delayMicroseconds = intervalMicroseconds;
  }
  timers_.push_back(std::make_unique<Timer>(Timer{nowMicroseconds_ + delayMicroseconds,
                                                  intervalMicroseconds, interval, repeats,
                                                  nextTimerSequence_++, std::move(callback)}));
}

int FakeSystem::run(std::function<void()> didFinishLaunching) {
  if (didFinishLaunching) didFinishLaunching();
  return 0;
}

void FakeSystem::advance(Seconds seconds) {
  const std::int64_t end = nowMicroseconds_ + toMicroseconds(seconds);
  if (advancing_) {  // a callback that takes time: nothing else runs meanwhile
    nowMicroseconds_ = end;
    return;
  }
  advancing_ = true;
  for (std::size_t index = earliestTimerDueBy(end); index != kNone;
       index = earliestTimerDueBy(end))
    fireTimer(index);
  advancing_ = false;
  // A callback that advanced the clock itself may have taken it past `end`.
  nowMicroseconds_ = std::max(nowMicroseconds_, end);
}

std::size_t FakeSystem::earliestTimerDueBy(std::int64_t endMicroseconds) const {
  std::size_t earliest = kNone;
  for (std::size_t index = 0; index < timers_.size(); ++index) {
    const Timer& timer = *timers_[index];
    if (timer.dueMicroseconds > endMicroseconds) continue;
    if (earliest == kNone) {
      earliest = index;
      continue;
    }
    const Timer& best = *timers_[earliest];
    if (std::pair(timer.dueMicroseconds, timer.sequence) <
        std::pair(best.dueMicroseconds, best.sequence))
      earliest = index;
  }
  return earliest;
}

void FakeSystem::fireTimer(std::size_t index) {
  Timer& timer = *timers_[index];
  nowMicroseconds_ = std::max(nowMicroseconds_, timer.dueMicroseconds);
  if (timer.repeats) {
    // Due times stay on the grid start + k * interval, whenever the callback ran; the
    // times passed by the time it returns are skipped.
    const std::int64_t interval = timer.intervalMicroseconds;
    timer.dueMicroseconds += interval;
    timer.callback();
    if (const std::int64_t behind = nowMicroseconds_ - timer.dueMicroseconds; behind >= 0)
      timer.dueMicroseconds += (behind / interval + 1) * interval;
    return;
  }
  std::unique_ptr<Timer> delayedCall = std::move(timers_[index]);
  timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(index));
  delayedCall->callback();
}

std::vector<Seconds> FakeSystem::repeatingIntervals() const {
  std::vector<Seconds> intervals;
  for (const auto& timer : timers_)
    if (timer->repeats) intervals.push_back(timer->requestedInterval);
  return intervals;
}

std::size_t FakeSystem::pendingDelayedCalls() const {
  return static_cast<std::size_t>(std::count_if(
      timers_.begin(), timers_.end(), [](const auto& timer) { return !timer->repeats; }));
}

// --- Keep-awake activity.

std::shared_ptr<void> FakeSystem::beginActivity(std::uint64_t options, std::string_view reason) {
  activityCalls_.push_back(ActivityCall{options, std::string(reason)});
  std::shared_ptr<void> token = std::make_shared<std::uint64_t>(activityCalls_.size());
  activityTokens_.push_back(token);
  return token;
}

bool FakeSystem::activityTokenHeld() const {
  return std::any_of(activityTokens_.begin(), activityTokens_.end(),
                     [](const std::weak_ptr<void>& token) { return !token.expired(); });
}

// --- Workspace.

void FakeSystem::setFrontmostApplication(std::optional<RunningApplication> application) {
  frontmost_ = std::move(application);
}

void FakeSystem::activate(const RunningApplication& application) {
  frontmost_ = application;
  postActivation(application);
}

void FakeSystem::postActivation(const std::optional<RunningApplication>& application) {
  // An observer added by an observer hears the next announcement, not this one; each is
  // called through a copy because adding one may move the others.
  const std::size_t observers = activationObservers_.size();
  for (std::size_t index = 0; index < observers; ++index) {
    auto observer = activationObservers_[index];
    observer(application);
  }
}

void FakeSystem::observeActivation(
    std::function<void(const std::optional<RunningApplication>&)> callback) {
  activationObservers_.push_back(std::move(callback));
}

// --- Window list.

void FakeSystem::setWindows(std::vector<FakeWindow> windows) {
  windows_ = std::make_shared<const std::vector<FakeWindow>>(std::move(windows));
}

bool FakeSystem::walkOnScreenWindows(
    const std::function<bool(const platform::WindowDescription&)>& visit) {
  ++windowListReads_;
  if (!windowListAvailable_) return false;
  const std::shared_ptr<const std::vector<FakeWindow>> windows = windows_;
  for (const FakeWindow& window : *windows)
    if (visit(FakeWindowDescription(window))) break;
  return true;
}

// --- Scripts.

void FakeSystem::setScriptOutcome(ScriptRun outcome) {
  scriptHandler_ = [outcome = std::move(outcome)](const std::string&) { return outcome; };
}

void FakeSystem::setScriptHandler(std::function<ScriptRun(const std::string& source)> handler) {
  scriptHandler_ = std::move(handler);
}

ScriptRun FakeSystem::run(const std::string& source) {
  scriptSources_.push_back(source);
  if (!scriptHandler_) return ScriptRun{};
  return scriptHandler_(source);
}

bool FakeSystem::isApplicationRunning(std::int32_t processIdentifier) {
  return std::find(quitApplications_.begin(), quitApplications_.end(), processIdentifier) ==
         quitApplications_.end();
}

// --- Screen capture.

bool FakeSystem::preflightAccess() {
  ++preflightCalls_;
  return screenCaptureAllowed_;
}

bool FakeSystem::canCreateDisplayStream() {
  ++displayStreamAttempts_;
  return screenCaptureAllowed_;
}

// --- Accessibility.

bool FakeSystem::isProcessTrusted(bool prompt) {
  ++trustChecks_;
  if (!prompt) ++trustChecksWithoutPrompt_;
  return trusted_;
}

void FakeSystem::observeTrustChanges(std::function<void()> callback) {
  trustObservers_.push_back(std::move(callback));
}

void FakeSystem::postTrustChanged() {
  const std::size_t observers = trustObservers_.size();
  for (std::size_t index = 0; index < observers; ++index) {
    auto observer = trustObservers_[index];
    observer();
  }
}

// --- Global input monitors.

std::optional<MonitorToken> FakeSystem::addGlobalMonitor(EventMask matching,
                                                         platform::EventHandler handler) {
  if (refuseMonitors_) return std::nullopt;
  const MonitorToken token = nextMonitorToken_++;
  monitors_.push_back(std::make_unique<Monitor>(Monitor{token, matching, std::move(handler)}));
  ++monitorInstalls_;
  return token;
}

void FakeSystem::removeMonitor(MonitorToken token) {
  for (const auto& monitor : monitors_) {
    if (monitor->token != token || monitor->removed) continue;
    monitor->removed = true;
    ++monitorRemovals_;
    break;
  }
  // A handler being delivered must outlive its own call, so erasing waits for delivery.
  if (deliveryDepth_ == 0) eraseRemovedMonitors();
}

void FakeSystem::eraseRemovedMonitors() {
  std::erase_if(monitors_, [](const auto& monitor) { return monitor->removed; });
}

void FakeSystem::inject(EventType type) {
  const EventMask bit = platform::maskFor(type);
  const std::size_t monitors = monitors_.size();
  ++deliveryDepth_;
  for (std::size_t index = 0; index < monitors; ++index) {
    Monitor& monitor = *monitors_[index];
    if (!monitor.removed && (monitor.mask & bit) != 0) monitor.handler(type);
  }
  if (--deliveryDepth_ == 0) eraseRemovedMonitors();
}

std::size_t FakeSystem::installedMonitorCount() const {
  return static_cast<std::size_t>(std::count_if(
      monitors_.begin(), monitors_.end(), [](const auto& monitor) { return !monitor->removed; }));
}

bool FakeSystem::hasMonitorFor(EventMask mask) const {
  return std::any_of(monitors_.begin(), monitors_.end(), [mask](const auto& monitor) {
    return !monitor->removed && monitor->mask == mask;
  });
}

// --- Standard output.

void FakeSystem::writeLine(std::string_view line) { lines_.emplace_back(line); }

void FakeSystem::flush() {
  ++flushCount_;
  flushedLineCount_ = lines_.size();
}

}  // namespace quen::fake
