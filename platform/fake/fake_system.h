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
                         private platform::StandardOutput {
 public:
  FakeSystem();
  ~FakeSystem() override;

  // platform::Backend
  platform::RunLoop& runLoop() override { return *this; }
  platform::Activity& activity() override { return *this; }
  platform::Workspace& workspace() override { return *this; }
  platform::WindowList& windowList() override { return *this; }
  platform::ScriptService& scripts() override { return *this; }
  platform::ScreenCapture& screenCapture() override { return *this; }
  platform::Accessibility& accessibility() override { return *this; }
  platform::EventSource& eventSource() override { return *this; }
  platform::StandardOutput& standardOutput() override { return *this; }

  // --- Virtual clock. run() calls the launch callback at once and returns 0; the test
  // then drives time. The clock counts whole microseconds, so that due times are exact
  // however many periods pass; a timer's interval or delay is taken to the nearest one.
  Seconds now() const;
  // Fires, in due-time order, every timer and delayed call due within the next `seconds`,
  // with now() at each one's due time; calls due at the same instant fire in the order
  // they were scheduled. A call scheduled by a callback fires in the same advance when it
  // falls due within it. Called from a callback, it only moves the clock: the callback took
  // that long, and what fell due meanwhile fires once it returns, late; a repeating timer
  // fires once for the periods it missed and then keeps to its grid, as NSTimer and the
  // Linux loop do. Ends with now() advanced by `seconds` (a negative or NaN
  // advance is none). A repeating timer of interval 0 or less repeats every 0.1 ms, as
  // NSTimer does; a negative delay is none.
  void advance(Seconds seconds);
  // The intervals of the repeating timers, in the order they were scheduled.
  std::vector<Seconds> repeatingIntervals() const;
  // Delayed calls scheduled and not yet fired.
  std::size_t pendingDelayedCalls() const;

  // --- Keep-awake activity.
  struct ActivityCall {
    std::uint64_t options;
    std::string reason;
  };
  const std::vector<ActivityCall>& activityCalls() const { return activityCalls_; }
  // Whether some token that beginActivity returned is still held by its caller.
  bool activityTokenHeld() const;

  // --- Workspace.
  void setFrontmostApplication(std::optional<RunningApplication> application);
  // Makes `application` frontmost and announces its activation to every observer.
  void activate(const RunningApplication& application);
  // Announces an activation without changing the front application.
  void postActivation(const std::optional<RunningApplication>& application);
  std::size_t activationObserverCount() const { return activationObservers_.size(); }

  // --- Window list.
  void setWindows(std::vector<FakeWindow> windows);
  // When unavailable, walkOnScreenWindows reports that no list could be produced.
  void setWindowListAvailable(bool available) { windowListAvailable_ = available; }
  std::size_t windowListReads() const { return windowListReads_; }

  // --- Scripts. By default a script object cannot be created.
  void setScriptOutcome(ScriptRun outcome);
  void setScriptHandler(std::function<ScriptRun(const std::string& source)> handler);
  // From now on the process `pid` is reported as no longer running.
  void quitApplication(std::int32_t pid) { quitApplications_.push_back(pid); }
  // The source of every script run, in order.
  const std::vector<std::string>& scriptSources() const { return scriptSources_; }

  // --- Screen capture. By default macOS 11 or later with access granted.
  void setMacOS11OrLater(bool value) { macOS11OrLater_ = value; }
  void setScreenCaptureAllowed(bool allowed) { screenCaptureAllowed_ = allowed; }
  std::size_t preflightCalls() const { return preflightCalls_; }
  std::size_t accessRequests() const { return accessRequests_; }
  std::size_t displayStreamAttempts() const { return displayStreamAttempts_; }

  // --- Accessibility. By default trusted.
  void setTrusted(bool trusted) { trusted_ = trusted; }
  // Announces that trust may have changed, to every observer.
  void postTrustChanged();
  std::size_t trustChecks() const { return trustChecks_; }
  std::size_t trustChecksWithoutPrompt() const { return trustChecksWithoutPrompt_; }
  std::size_t trustObserverCount() const { return trustObservers_.size(); }

  // --- Global input monitors.
  // While refused, addGlobalMonitor returns none.
  void setRefuseMonitors(bool refuse) { refuseMonitors_ = refuse; }
  // Delivers one event of `type` to every installed monitor whose mask holds its bit.
  // A handler may install and remove monitors (its own included) while it runs: one
  // removed is not called again, not even for the event being delivered, and one
  // installed is first called for the next event. Delivery allocates nothing.
  void inject(EventType type);
  std::size_t installedMonitorCount() const;
  // Whether an installed monitor has exactly `mask`.
  bool hasMonitorFor(EventMask mask) const;
  std::size_t monitorInstalls() const { return monitorInstalls_; }
  // Removals of installed monitors; removing an unknown or removed token is not counted.
  std::size_t monitorRemovals() const { return monitorRemovals_; }

  // --- Standard output.
  // Every line written, flushed or not, without its line feed.
  const std::vector<std::string>& lines() const { return lines_; }
  // How many of lines() had been flushed at the last flush.
  std::size_t flushedLineCount() const { return flushedLineCount_; }
  std::size_t flushCount() const { return flushCount_; }

 private:
  struct Timer;
  struct Monitor {
    MonitorToken token;
    EventMask mask;
    platform::EventHandler handler;
    bool removed = false;  // kept until no delivery is under way, then erased
  };

  // platform::RunLoop
  void scheduleRepeating(Seconds interval, std::function<void()> callback) override;
  void scheduleOnce(Seconds delay, std::function<void()> callback) override;
  int run(std::function<void()> didFinishLaunching) override;
  // platform::Activity
  std::shared_ptr<void> beginActivity(std::uint64_t options, std::string_view reason) override;
  // platform::Workspace
  std::optional<RunningApplication> frontmostApplication() override { return frontmost_; }
  void observeActivation(
      std::function<void(const std::optional<RunningApplication>&)> callback) override;
  // platform::WindowList
  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override;
  // platform::ScriptService
  ScriptRun run(const std::string& source) override;
  bool isApplicationRunning(std::int32_t processIdentifier) override;
  // platform::ScreenCapture
  bool isMacOS11OrLater() override { return macOS11OrLater_; }
  bool preflightAccess() override;
  void requestAccess() override { ++accessRequests_; }
  bool canCreateDisplayStream() override;
  // platform::Accessibility
  bool isProcessTrusted(bool prompt) override;
  void observeTrustChanges(std::function<void()> callback) override;
  // platform::EventSource
  std::optional<MonitorToken> addGlobalMonitor(EventMask matching,
                                               platform::EventHandler handler) override;
  void removeMonitor(MonitorToken token) override;
  // platform::StandardOutput
  void writeLine(std::string_view line) override;
  void flush() override;

  void scheduleTimer(Seconds interval, Seconds delay, bool repeats,
                     std::function<void()> callback);
  std::size_t earliestTimerDueBy(std::int64_t endMicroseconds) const;
  void fireTimer(std::size_t index);
  void eraseRemovedMonitors();

  std::int64_t nowMicroseconds_ = 0;
  bool advancing_ = false;
  std::uint64_t nextTimerSequence_ = 0;
  // Heap-allocated so that a callback may schedule more while it runs.
  std::vector<std::unique_ptr<Timer>> timers_;

  std::vector<ActivityCall> activityCalls_;
  std::vector<std::weak_ptr<void>> activityTokens_;

  std::optional<RunningApplication> frontmost_;
  std::vector<std::function<void(const std::optional<RunningApplication>&)>> activationObservers_;

  // Shared with a walk under way, so that replacing the list from inside `visit` is safe.
  std::shared_ptr<const std::vector<FakeWindow>> windows_;
  bool windowListAvailable_ = true;
  std::size_t windowListReads_ = 0;

  std::function<ScriptRun(const std::string&)> scriptHandler_;
  std::vector<std::string> scriptSources_;
  std::vector<std::int32_t> quitApplications_;

  bool macOS11OrLater_ = true;
  bool screenCaptureAllowed_ = true;
  std::size_t preflightCalls_ = 0;
  std::size_t accessRequests_ = 0;
  std::size_t displayStreamAttempts_ = 0;

  bool trusted_ = true;
  std::size_t trustChecks_ = 0;
  std::size_t trustChecksWithoutPrompt_ = 0;
  std::vector<std::function<void()>> trustObservers_;

  bool refuseMonitors_ = false;
  MonitorToken nextMonitorToken_ = 1;
  // Heap-allocated so that a handler may install monitors while it runs.
  std::vector<std::unique_ptr<Monitor>> monitors_;
  int deliveryDepth_ = 0;
  std::size_t monitorInstalls_ = 0;
  std::size_t monitorRemovals_ = 0;

  std::vector<std::string> lines_;
  std::size_t flushedLineCount_ = 0;
  std::size_t flushCount_ = 0;
};

}  // namespace quen::fake
