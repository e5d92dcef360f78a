#pragma once

// An in-memory operating system for tests: every seam interface, kept as state that tests
// set and read, with a virtual clock that fires timers and delayed calls in time order when
// a test advances it. It simulates rather than stubs: the front application, the window
// list, trust and the installed monitors are state, and failures happen on demand.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quen::fake {

using platform::EventMask;
using platform::EventType;
using platform::MonitorToken;
using platform::OsValue;
using platform::RunningApplication;
using platform::ScriptRun;
using platform::Seconds;

// One window of the fake's window list, each value as the OS would hand it over.
struct FakeWindow {
  OsValue ownerPid;
  OsValue alpha;
  OsValue bounds;
  OsValue name;
};

// A window of `pid` with alpha 1.0, the given size at (0, 0) and a text name.
FakeWindow windowOf(std::int32_t pid, double width, double height, std::string name);
// The bounds dictionary that describes a rectangle ("X", "Y", "Width", "Height").
OsValue boundsDictionary(double x, double y, double width, double height);

class FakeSystem final : public platform::Backend,
                         private platform::RunLoop,
                         private platform::Activity,
                         private platform::Workspace,
                         private platform::WindowList,
                         private platform::ScriptService,
                         private platform::ScreenCapture,
                         private platform::Accessibility,
                         private platform::EventSource,
                         private platform::UnseenInputWatch,
                         private platform::StandardOutput {
 public:
  FakeSystem();
  ~FakeSystem() override;

  platform::RunLoop& runLoop() override { return *this; }
  platform::Activity& activity() override { return *this; }
  platform::Workspace& workspace() override { return *this; }
  platform::WindowList& windowList() override { return *this; }
  platform::ScriptService& scripts() override { return *this; }
  platform::ScreenCapture& screenCapture() override { return *this; }
  platform::Accessibility& accessibility() override { return *this; }
  platform::EventSource& eventSource() override { return *this; }
  platform::StandardOutput& standardOutput() override { return *this; }
  platform::UnseenInputWatch* unseenInput() override {
    return compositor == Compositor::None ? nullptr : this;
  }

  // --- Virtual clock, counted in whole microseconds so that due times stay exact however
  // many periods pass. run() calls the launch callback at once and returns 0.
  Seconds now() const;
  // Fires, in due-time order (calls due at one instant in the order they were scheduled),
  // every timer and delayed call due within the next `seconds`, those scheduled meanwhile
  // included, with now() at each one's due time. Called from a callback, it only moves the
  // clock: the callback took that long, and what fell due fires once it returns, late; a
  // repeating timer fires once for the periods it missed and keeps to its grid, as NSTimer
  // and the Linux loop do. An interval of 0 or less repeats every 0.1 ms, as NSTimer does.
  void advance(Seconds seconds);
  // The intervals of the repeating timers, in the order they were scheduled.
  std::vector<Seconds> repeatingIntervals() const;

  // --- The OS's state, which tests set and read, and counts of the calls the agents made.
  struct ActivityCall {
    std::uint64_t options;
    std::string reason;
  };
  std::vector<ActivityCall> activityCalls;
  std::optional<RunningApplication> frontmost;
  platform::HiddenFront frontHidden = platform::HiddenFront::None;  // frontApplicationHidden's answer
  std::vector<FakeWindow> windows;
  std::size_t windowListReads = 0;
  // Answers each script; when empty, no script object can be created.
  std::function<ScriptRun(const std::string& source)> scriptHandler;
  std::vector<std::string> scriptSources;    // of every script run, in order
  std::vector<std::int32_t> quitApplications;  // pids no longer running
  // Automation consent: the answer without the prompt, and the user's answer to the prompt.
  platform::AutomationConsent consent = platform::AutomationConsent::Permitted;
  platform::AutomationConsent consentAfterPrompt = platform::AutomationConsent::Permitted;
  std::size_t consentPrompts = 0;
  bool macOS11OrLater = true;
  bool screenCaptureAllowed = true;
  std::size_t preflightCalls = 0, accessRequests = 0, displayStreamAttempts = 0;
  bool trusted = true;
  std::size_t trustChecks = 0, trustChecksWithoutPrompt = 0;
  bool refuseMonitors = false;  // addGlobalMonitor returns none while set
  std::size_t monitorInstalls = 0, monitorRemovals = 0;  // removals of installed ones
  // The session's compositor, as the unseen-input watch knows it: none (the monitors see all
  // input), one that tells idle and active, one that cannot tell.
  enum class Compositor { None, TellsIdle, Silent };
  Compositor compositor = Compositor::None;
  Seconds idleTimeout = 0;  // what the watch was started with
  std::vector<std::string> lines;   // every line written, flushed or not
  std::size_t flushedLineCount = 0;  // lines flushed by the last flush
  std::size_t flushCount = 0;

  // Whether some token that beginActivity returned is still held by its caller.
  bool activityTokenHeld() const;
  // Makes `application` frontmost and announces its activation to every observer.
  void activate(const RunningApplication& application);
  // Announces an activation without changing the front application.
  void postActivation(const std::optional<RunningApplication>& application);
  void setScriptOutcome(ScriptRun outcome);
  // Announces that trust may have changed, to every observer.
  void postTrustChanged();
  // Delivers one event of `type` to every installed monitor whose mask holds its bit,
  // allocating nothing. Handlers install and remove no monitors (the agents' never do).
  void inject(EventType type);
  // The compositor's news to a started watch: the user idle for its timeout, or active again.
  void postIdleChange(bool idle);
  std::size_t installedMonitorCount() const { return monitors_.size(); }
  bool hasMonitorFor(EventMask mask) const;  // an installed monitor with exactly `mask`

 private:
  struct Timer;
  struct Monitor {
    MonitorToken token;
    EventMask mask;
    platform::EventHandler handler;
  };

  void scheduleRepeating(Seconds interval, std::function<void()> callback) override;
  void scheduleOnce(Seconds delay, std::function<void()> callback) override;
  int run(std::function<void()> didFinishLaunching) override;
  std::shared_ptr<void> beginActivity(std::uint64_t options, std::string_view reason) override;
  std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
  platform::HiddenFront frontApplicationHidden() override { return frontHidden; }
  void observeActivation(
      std::function<void(const std::optional<RunningApplication>&)> callback) override;
  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override;
  ScriptRun run(const std::string& source) override;
  bool isApplicationRunning(std::int32_t processIdentifier) override;
  platform::AutomationConsent automationConsent(std::int32_t processIdentifier,
                                                bool askUser) override;
  // A wake runs its callback at the clock's next advance, as a loop runs it after the
  // callback in progress.
  std::function<void()> mainLoopWaker(std::function<void()> onWake) override;
  bool isMacOS11OrLater() override { return macOS11OrLater; }
  bool preflightAccess() override;
  void requestAccess() override { ++accessRequests; }
  bool canCreateDisplayStream() override;
  bool isProcessTrusted(bool prompt) override;
  void observeTrustChanges(std::function<void()> callback) override;
  std::optional<MonitorToken> addGlobalMonitor(EventMask matching,
                                               platform::EventHandler handler) override;
  void removeMonitor(MonitorToken token) override;
  bool start(Seconds idleAfter, std::function<void(bool idle)> onIdleChange) override;
  void writeLine(std::string_view line) override { lines.emplace_back(line); }
  void flush() override;

  void scheduleTimer(Seconds interval, std::int64_t delayMicroseconds, bool repeats,
                     std::function<void()> callback);
  Timer* earliestTimerDueBy(std::int64_t endMicroseconds) const;
  void fireTimer(Timer& timer);

  std::int64_t nowMicroseconds_ = 0;
  bool advancing_ = false;
  std::uint64_t nextTimerSequence_ = 0;
  // Heap-allocated so that a callback may schedule more while it runs.
  std::vector<std::unique_ptr<Timer>> timers_;
  std::vector<std::weak_ptr<void>> activityTokens_;
  std::vector<std::function<void(const std::optional<RunningApplication>&)>> activationObservers_;
  std::vector<std::function<void()>> trustObservers_;
  MonitorToken nextMonitorToken_ = 1;
  std::vector<Monitor> monitors_;
  std::function<void(bool idle)> idleObserver_;
};

}  // namespace quen::fake
