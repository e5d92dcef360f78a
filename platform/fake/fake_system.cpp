#include "platform/fake/fake_system.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quen::fake {
namespace {

constexpr double kMicrosecondsPerSecond = 1'000'000.0;
// NSTimer: "If seconds is less than or equal to 0.0, this method chooses the nonnegative
// value of 0.1 milliseconds instead."
constexpr std::int64_t kShortestIntervalMicroseconds = 100;

// A span of time in whole microseconds; negative or NaN spans are none.
std::int64_t toMicroseconds(Seconds seconds) {
  return seconds > 0 ? static_cast<std::int64_t>(std::round(seconds * kMicrosecondsPerSecond))
                     : 0;
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

template <typename Observers, typename... Arguments>
void announce(const Observers& observers, const Arguments&... arguments) {
  // An observer added by an observer hears the next announcement, not this one; each is
  // called through a copy because adding one may move the others.
  const std::size_t count = observers.size();
  for (std::size_t index = 0; index < count; ++index) {
    auto observer = observers[index];
    observer(arguments...);
  }
}

}  // namespace

// A repeating timer keeps its place for the life of the fake; a delayed call leaves when it
// fires. `sequence` orders calls that fall due at the same instant.
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

FakeSystem::FakeSystem() = default;
FakeSystem::~FakeSystem() = default;

// --- Virtual clock.

Seconds FakeSystem::now() const {
  return static_cast<double>(nowMicroseconds_) / kMicrosecondsPerSecond;
}

void FakeSystem::scheduleRepeating(Seconds interval, std::function<void()> callback) {
  scheduleTimer(interval, std::max(toMicroseconds(interval), kShortestIntervalMicroseconds), true,
                std::move(callback));
}

void FakeSystem::scheduleOnce(Seconds delay, std::function<void()> callback) {
  scheduleTimer(0, toMicroseconds(delay), false, std::move(callback));
}

void FakeSystem::scheduleTimer(Seconds interval, std::int64_t delayMicroseconds, bool repeats,
                               std::function<void()> callback) {
  timers_.push_back(std::make_unique<Timer>(
      Timer{nowMicroseconds_ + delayMicroseconds, repeats ? delayMicroseconds : 0, interval,
            repeats, nextTimerSequence_++, std::move(callback)}));
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
  while (Timer* timer = earliestTimerDueBy(end)) fireTimer(*timer);
  advancing_ = false;
  // A callback that advanced the clock itself may have taken it past `end`.
  nowMicroseconds_ = std::max(nowMicroseconds_, end);
}

FakeSystem::Timer* FakeSystem::earliestTimerDueBy(std::int64_t endMicroseconds) const {
  Timer* earliest = nullptr;
  for (const auto& timer : timers_)
    if (timer->dueMicroseconds <= endMicroseconds &&
        (!earliest || std::pair(timer->dueMicroseconds, timer->sequence) <
                          std::pair(earliest->dueMicroseconds, earliest->sequence)))
      earliest = timer.get();
  return earliest;
}

void FakeSystem::fireTimer(Timer& timer) {
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
  const auto place = std::find_if(timers_.begin(), timers_.end(),
                                  [&timer](const auto& entry) { return entry.get() == &timer; });
  const std::unique_ptr<Timer> delayedCall = std::move(*place);
  timers_.erase(place);
  delayedCall->callback();
}

std::vector<Seconds> FakeSystem::repeatingIntervals() const {
  std::vector<Seconds> intervals;
  for (const auto& timer : timers_)
    if (timer->repeats) intervals.push_back(timer->requestedInterval);
  return intervals;
}

// --- Activity, workspace, window list, scripts, screen capture, accessibility.

std::shared_ptr<void> FakeSystem::beginActivity(std::uint64_t options, std::string_view reason) {
  activityCalls.push_back(ActivityCall{options, std::string(reason)});
  std::shared_ptr<void> token = std::make_shared<std::uint64_t>(activityCalls.size());
  activityTokens_.push_back(token);
  return token;
}

bool FakeSystem::activityTokenHeld() const {
  return std::any_of(activityTokens_.begin(), activityTokens_.end(),
                     [](const std::weak_ptr<void>& token) { return !token.expired(); });
}

void FakeSystem::activate(const RunningApplication& application) {
  frontmost = application;
  postActivation(application);
}

void FakeSystem::postActivation(const std::optional<RunningApplication>& application) {
  announce(activationObservers_, application);
}

void FakeSystem::observeActivation(
    std::function<void(const std::optional<RunningApplication>&)> callback) {
  activationObservers_.push_back(std::move(callback));
}

bool FakeSystem::walkOnScreenWindows(
    const std::function<bool(const platform::WindowDescription&)>& visit) {
  ++windowListReads;
  for (const FakeWindow& window : windows)
    if (visit(FakeWindowDescription(window))) break;
  return true;
}

void FakeSystem::setScriptOutcome(ScriptRun outcome) {
  scriptHandler = [outcome = std::move(outcome)](const std::string&) { return outcome; };
}

ScriptRun FakeSystem::run(const std::string& source) {
  scriptSources.push_back(source);
  return scriptHandler ? scriptHandler(source) : ScriptRun{};
}

platform::AutomationConsent FakeSystem::automationConsent(std::int32_t, bool askUser) {
  if (!askUser) return consent;
  ++consentPrompts;
  return consent = consentAfterPrompt;
}

std::function<void()> FakeSystem::mainLoopWaker(std::function<void()> onWake) {
  return [this, onWake = std::move(onWake)] { scheduleOnce(0, onWake); };
}

bool FakeSystem::isApplicationRunning(std::int32_t processIdentifier) {
  return std::find(quitApplications.begin(), quitApplications.end(), processIdentifier) ==
         quitApplications.end();
}

bool FakeSystem::preflightAccess() {
  ++preflightCalls;
  return screenCaptureAllowed;
}

bool FakeSystem::canCreateDisplayStream() {
  ++displayStreamAttempts;
  return screenCaptureAllowed;
}

bool FakeSystem::isProcessTrusted(bool prompt) {
  ++trustChecks;
  if (!prompt) ++trustChecksWithoutPrompt;
  return trusted;
}

void FakeSystem::observeTrustChanges(std::function<void()> callback) {
  trustObservers_.push_back(std::move(callback));
}

void FakeSystem::postTrustChanged() { announce(trustObservers_); }

// --- Global input monitors.

std::optional<MonitorToken> FakeSystem::addGlobalMonitor(EventMask matching,
                                                         platform::EventHandler handler) {
  if (refuseMonitors) return std::nullopt;
  ++monitorInstalls;
  monitors_.push_back(Monitor{nextMonitorToken_, matching, std::move(handler)});
  return nextMonitorToken_++;
}

void FakeSystem::removeMonitor(MonitorToken token) {
  monitorRemovals += std::erase_if(monitors_, [token](const Monitor& m) { return m.token == token; });
}

void FakeSystem::inject(EventType type) {
  for (const Monitor& monitor : monitors_)
    if ((monitor.mask & platform::maskFor(type)) != 0) monitor.handler(type);
}

// --- The compositor's idle watch.

bool FakeSystem::start(Seconds idleAfter, std::function<void(bool idle)> onIdleChange) {
  if (compositor != Compositor::TellsIdle) return false;
  idleTimeout = idleAfter;
  idleObserver_ = std::move(onIdleChange);
  return true;
}

void FakeSystem::postIdleChange(bool idle) {
  if (idleObserver_) idleObserver_(idle);
}

bool FakeSystem::hasMonitorFor(EventMask mask) const {
  return std::any_of(monitors_.begin(), monitors_.end(),
                     [mask](const Monitor& monitor) { return monitor.mask == mask; });
}

// --- Standard output.

void FakeSystem::flush() {
  ++flushCount;
  flushedLineCount = lines.size();
}

}  // namespace quen::fake
