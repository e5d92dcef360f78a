#pragma once

// The seam between the agents and the operating system: small interfaces for exactly what
// the agents ask of the OS. Each is abstract so that the portable logic above it runs, and
// is tested, on every platform: the macOS backend answers through AppKit, CoreGraphics,
// ApplicationServices and NSAppleScript, the X11 backend through xcb, and the fake backend
// (platform/fake) from a scripted in-memory OS with a virtual clock.
//
// Every callback a backend delivers runs on the one main-loop thread, one at a time.
// Backends translate; they make none of the decisions the portable code makes.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/os_value.h"

namespace quen::platform {

using Seconds = double;

// The main loop: one thread that runs the launch callback once and then every timer,
// delayed call, notification and event callback, one at a time.
class RunLoop {
 public:
  virtual ~RunLoop() = default;
  // Calls `callback` every `interval` seconds, the first time one interval from now,
  // until the process ends.
  virtual void scheduleRepeating(Seconds interval, std::function<void()> callback) = 0;
  // Calls `callback` once, `delay` seconds from now. Each call schedules its own callback.
  virtual void scheduleOnce(Seconds delay, std::function<void()> callback) = 0;
  // Runs `didFinishLaunching` once, then serves callbacks until the process ends.
  // Returns the process's exit status if the loop ever stops (a backend whose OS
  // connection was lost writes its one diagnostic line and returns non-zero).
  virtual int run(std::function<void()> didFinishLaunching) = 0;
};

// Keeps the agent from being throttled while it runs in the background (App Nap).
class Activity {
 public:
  virtual ~Activity() = default;
  // Begins an activity; the exemption lasts while the returned token is held.
  virtual std::shared_ptr<void> beginActivity(std::uint64_t options, std::string_view reason) = 0;
};

// What the OS says of one running application, read when it is asked for.
struct RunningApplication {
  std::int32_t processIdentifier = 0;
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> bundlePath;  // the standardized file-system path of its bundle
};

// Why an application is in front that the backend cannot name.
enum class HiddenFront {
  None,  // no application is hidden: none is in front, or the one in front is named
  // X11 in a Wayland session: XWayland names no active window, so a native Wayland window,
  // which X11 cannot see, is in front.
  NotVisible,
  // GNOME Shell, whose compositor lists no windows to clients, has not loaded the project's
  // extension that tells the agent (not installed, or installed since the Shell started).
  ShellExtensionMissing,
  // The extension is installed but switched off, or the Shell failed to run it.
  ShellExtensionDisabled,
};

// The frontmost application and the news that another one became active.
class Workspace {
 public:
  virtual ~Workspace() = default;
  // None when no application is in front.
  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  // Calls `callback` each time an application becomes active, with that application
  // (none when the OS names no application with the notification).
  virtual void observeActivation(
      std::function<void(const std::optional<RunningApplication>&)> callback) = 0;
  // While no application is in front: whether one is in front that this backend cannot
  // see, and why.
  virtual HiddenFront frontApplicationHidden() { return HiddenFront::None; }
};

// One entry of the on-screen window list, as the OS describes it. Each value is asked for
// only when the window-choice rule looks at it, so a backend may fetch it late (and in
// one batch for several windows).
class WindowDescription {
 public:
  virtual ~WindowDescription() = default;
  virtual OsValue ownerPid() const = 0;  // macOS kCGWindowOwnerPID
  virtual OsValue alpha() const = 0;     // macOS kCGWindowAlpha
  // macOS kCGWindowBounds: a dictionary with the entries "X", "Y", "Width", "Height".
  virtual OsValue bounds() const = 0;
  virtual OsValue name() const = 0;  // macOS kCGWindowName
  // The OS's identity of the window, stable while it exists (macOS kCGWindowNumber, the X11
  // client window, a Wayland toplevel); 0 when the backend gives none.
  virtual std::uint64_t identity() const { return 0; }
};

// The windows on screen, front to back, desktop elements left out.
class WindowList {
 public:
  virtual ~WindowList() = default;
  // Hands each on-screen window to `visit`, front to back, until `visit` returns true.
  // Returns false when the OS cannot produce the list at all.
  virtual bool walkOnScreenWindows(
      const std::function<bool(const WindowDescription&)>& visit) = 0;
};

// What became of one script: the object could not be made, it did not compile, or it ran
// and gave a result text and/or error information.
struct ScriptRun {
  enum class Stage { NotCreated, NotCompiled, Executed };
  Stage stage = Stage::NotCreated;
  std::optional<std::string> resultText;  // the result descriptor's text, if any
  bool hasErrorInformation = false;
  OsValue errorNumber;  // the error information's "NSAppleScriptErrorNumber" entry
};

// Whether this process may send Apple Events to an application (macOS Automation consent):
// granted, refused, not decided yet (asking would show the consent prompt), or not known
// (the OS could not say, or is too old to ask).
enum class AutomationConsent { Permitted, NotPermitted, WouldPrompt, Unknown };

// Runs script texts (AppleScript on macOS; none on Linux, where no object can be made).
// Every call may come from one thread other than the main loop's (the URL worker), and may
// take as long as the target application does; a service keeps the objects it makes on the
// thread that calls it.
class ScriptService {
 public:
  virtual ~ScriptService() = default;
  // Makes, compiles and runs one script object for `source`, then releases it.
  virtual ScriptRun run(const std::string& source) = 0;
  // Whether the application with process id `processIdentifier` is still running. A
  // script addressed to an application by name launches it when it is not; a backend that
  // runs no scripts has nothing to launch and answers yes.
  virtual bool isApplicationRunning(std::int32_t processIdentifier) {
    (void)processIdentifier;
    return true;
  }
  // Whether scripts may address the application with process id `processIdentifier`. With
  // `askUser`, the OS may show the consent prompt and wait, for as long as the user takes,
  // for the answer; without, it answers at once. A backend without consent answers Permitted.
  virtual AutomationConsent automationConsent(std::int32_t processIdentifier, bool askUser) {
    (void)processIdentifier;
    (void)askUser;
    return AutomationConsent::Permitted;
  }
};

// The OS's answers about screen-capture access.
class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;
  virtual bool isMacOS11OrLater() = 0;
  // Whether the process already has access; never prompts.
  virtual bool preflightAccess() = 0;
  // Asks the OS to prompt the user; the answer is not reported.
  virtual void requestAccess() = 0;
  // Whether a 1 x 1 display stream of the main display could be created (released at once).
  virtual bool canCreateDisplayStream() = 0;
};

// Accessibility trust, and the news that it may have changed.
class Accessibility {
 public:
  virtual ~Accessibility() = default;
  // Whether the process is trusted; with `prompt`, the OS may ask the user to grant it.
  virtual bool isProcessTrusted(bool prompt) = 0;
  // Calls `callback` each time the OS announces that trust may have changed.
  virtual void observeTrustChanges(std::function<void()> callback) = 0;
};

// Event type numbers and mask bits, in the macOS NSEvent terms every backend maps to its OS.
using EventMask = std::uint64_t;
enum class EventType : int {
  LeftMouseDown = 1,
  RightMouseDown = 3,
  MouseMoved = 5,
  KeyUp = 11,
  OtherMouseDown = 25,
};
constexpr EventMask maskFor(EventType type) {
  return EventMask{1} << static_cast<int>(type);
}
// Any mouse button going down: left, right or another one (0x200000A).
inline constexpr EventMask MOUSE_BUTTON_DOWN_MASK = maskFor(EventType::LeftMouseDown) |
                                                    maskFor(EventType::RightMouseDown) |
                                                    maskFor(EventType::OtherMouseDown);

using MonitorToken = std::uint64_t;
using EventHandler = std::function<void(EventType)>;

// Global input monitors: told of input events that the system delivers to any application.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Installs a monitor for the events in `matching`; `handler` is called once for each.
  // Returns none when the OS refuses.
  virtual std::optional<MonitorToken> addGlobalMonitor(EventMask matching,
                                                       EventHandler handler) = 0;
  // After this returns, the handler of that registration is not called again.
  virtual void removeMonitor(MonitorToken token) = 0;
};

// Input the global monitors are not told of: in a Wayland session, the input that reaches
// native Wayland windows (the monitors see XWayland's only). Wayland compositors tell an
// ordinary client no more than that the user has been idle for a while, or is active again;
// never which kind of input it was (ext_idle_notify_v1, KDE's idle protocol, GNOME's Mutter
// IdleMonitor).
class UnseenInputWatch {
 public:
  virtual ~UnseenInputWatch() = default;
  // Starts watching: `onIdleChange(true)` once the user has been idle for `idleAfter`,
  // `onIdleChange(false)` when input comes again after that. The user counts as active
  // until the first call. False when nothing in this session can tell: activity is unknown.
  virtual bool start(Seconds idleAfter, std::function<void(bool idle)> onIdleChange) = 0;
};

// The process's standard output: record lines and nothing else.
class StandardOutput {
 public:
  virtual ~StandardOutput() = default;
  // Writes `line` and one line feed into the stream's buffer.
  virtual void writeLine(std::string_view line) = 0;
  virtual void flush() = 0;
};

// One object on the desktop accessibility bus (AT-SPI2): the bus name of the application
// that owns it and its object path.
struct AccessibleObject {
  std::string busName;
  std::string path;
  friend bool operator==(const AccessibleObject&, const AccessibleObject&) = default;
};

// How one accessibility-bus call ended. Unreachable: accessibility is off, or no bus can
// be reached (then no call is made until connect() succeeds again).
enum class BusCall { Done, Unreachable, TimedOut, Failed };

// The few calls of the accessibility bus through which browsers publish their documents.
// Not thread-safe: one thread of its own makes every call. Each call gives up after its
// backend's per-call timeout.
class AccessibilityBus {
 public:
  virtual ~AccessibilityBus() = default;
  // Reaches the bus when the user has switched accessibility on; never switches it on.
  virtual BusCall connect() = 0;
  // The applications registered on the bus (each one's root object).
  virtual BusCall applications(std::vector<AccessibleObject>& roots) = 0;
  virtual BusCall processId(const std::string& busName, std::int32_t& pid) = 0;
  virtual BusCall children(const AccessibleObject& object,
                           std::vector<AccessibleObject>& children) = 0;
  // Whether the object's state set holds STATE_ACTIVE.
  virtual BusCall isActive(const AccessibleObject& object, bool& active) = 0;
  virtual BusCall name(const AccessibleObject& object, std::string& name) = 0;
  // The target of the object's RELATION_EMBEDS relation, none when it has none.
  virtual BusCall embeds(const AccessibleObject& object,
                         std::optional<AccessibleObject>& target) = 0;
  virtual BusCall documentAttributes(
      const AccessibleObject& document,
      std::vector<std::pair<std::string, std::string>>& attributes) = 0;
};

// The accessible elements inside one top-level window, as Windows' Active Accessibility
// (MSAA) shows them to other processes: a browser's document and its address bar among
// them. An element is a number valid until the next open(). Not thread-safe: one thread of
// its own makes every call; a call waits for as long as the window's process takes.
class WindowAccessibility {
 public:
  virtual ~WindowAccessibility() = default;
  // Forgets the elements of the last walk and gives the client element of `window` (the
  // OS's identity of a top-level window, as WindowDescription::identity gives it).
  virtual BusCall open(std::uint64_t window, std::uint32_t& root) = 0;
  virtual BusCall children(std::uint32_t element, std::vector<std::uint32_t>& children) = 0;
  // The MSAA role number (ROLE_SYSTEM_DOCUMENT 15, ROLE_SYSTEM_TEXT 42, ...).
  virtual BusCall role(std::uint32_t element, std::int32_t& role) = 0;
  virtual BusCall value(std::uint32_t element, std::string& value) = 0;
};

// One backend: every service the agents use, owned by the backend for the life of the
// process. A service is set up on first use, so an agent pays only for what it asks.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual RunLoop& runLoop() = 0;
  virtual Activity& activity() = 0;
  virtual Workspace& workspace() = 0;
  virtual WindowList& windowList() = 0;
  virtual ScriptService& scripts() = 0;
  virtual ScreenCapture& screenCapture() = 0;
  virtual Accessibility& accessibility() = 0;
  virtual EventSource& eventSource() = 0;
  virtual StandardOutput& standardOutput() = 0;
  // The accessibility bus, made on first use; null where the agents read no browser through
  // it (macOS asks browsers through scripts instead). The bus is handed to one thread of its
  // own. The function mainLoopWaker() returns may be called from any thread: soon after,
  // `onWake` runs on the main loop. Empty where the loop cannot be woken.
  virtual std::unique_ptr<AccessibilityBus> openAccessibilityBus() { return nullptr; }
  // The windows' accessible elements (Windows), handed to one thread of its own like the
  // bus; null where the agents read browsers otherwise.
  virtual std::unique_ptr<WindowAccessibility> openWindowAccessibility() { return nullptr; }
  // The watch of input the monitors are not told of, made on first use; null where they are
  // told of all input (an X11 session, macOS, Windows).
  virtual UnseenInputWatch* unseenInput() { return nullptr; }
  virtual std::function<void()> mainLoopWaker(std::function<void()> onWake) {
    (void)onWake;
    return {};
  }
};

}  // namespace quen::platform
