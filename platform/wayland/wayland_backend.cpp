#include "platform/wayland/wayland_backend.h"

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/atspi/sd_bus_accessibility.h"
#include "platform/permitted_services.h"
#include "platform/linux/poll_run_loop.h"
#include "platform/linux/stdio_output.h"
#include "platform/wayland/bounded_roundtrip.h"
#include "platform/wayland/bus_window_source.h"
#include "platform/wayland/foreign_toplevels.h"
#include "platform/wayland/gnome_shell_windows.h"
#include "platform/wayland/kwin_script_windows.h"
#include "platform/wayland/plasma_windows.h"
#include "platform/wayland/sway_connection.h"
#include "platform/wayland/sway_windows.h"
#include "platform/wayland/toplevel_tracker.h"
#include "platform/wayland/toplevel_workspace.h"

namespace quen::wayland {

namespace {

// How long the compositor may take to answer at start; one that does not answer is no
// compositor to use, and the agent goes on with X11.
constexpr std::chrono::milliseconds START_ANSWER_LIMIT{1000};

// The desktops whose shell pushes the front window over the session bus, tried in this order
// when the compositor offers neither toplevel list.
constexpr OpenBusWindowSource BUS_WINDOW_SOURCES[] = {
    &GnomeShellWindows::open,  // GNOME Shell: the project's extension
    &openKwinScriptWindows,    // KDE Plasma: a KWin script
};

// Wayland has no way for a client to see other clients' input.
class NoEventSource final : public platform::EventSource {
 public:
  std::optional<platform::MonitorToken> addGlobalMonitor(platform::EventMask,
                                                         platform::EventHandler) override {
    return std::nullopt;
  }
  void removeMonitor(platform::MonitorToken) override {}
};

std::string environmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string causeOfLoss(int error) {
  if (error == EPROTO) return "a protocol error";
  if (error == ENOMEM) return "out of memory";
  return "the compositor closed it or cannot be reached";
}

class WaylandBackend final : public platform::Backend, private platform::RunLoop {
 public:
  WaylandBackend(wl_display* display, std::string displayName)
      : display_(display),
        displayName_(std::move(displayName)),
        workspace_(tracker_, swayWindows_),
        sway_(loop_, swayWindows_, environmentText("SWAYSOCK"),
              [this] { workspace_.deliverActivation(false); }) {}
  ~WaylandBackend() override {
    toplevels_.reset();
    plasmaWindows_.reset();
    if (registry_) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
  }

  // Reads the registry (one round trip) and binds a toplevel list: wlroots' manager, else
  // KWin's window list, else a shell's source on the session bus; false when there is none.
  bool bindToplevelManager() {
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener{&onGlobal, &onGlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
    if (!roundtripWithin(display_, START_ANSWER_LIMIT)) return false;
    if (!toplevels_ && plasmaGlobal_)
      plasmaWindows_ = std::make_unique<PlasmaWindows>(registry_, plasmaGlobal_->first,
                                                       plasmaGlobal_->second, tracker_);
    if (!toplevels_ && !plasmaWindows_) return openBusWindowSource();
    // The toplevels that exist now, so that the first poll already knows the front one.
    if (!roundtripWithin(display_, START_ANSWER_LIMIT)) return false;
    tracker_.finishBatch();
    sway_.open();
    sway_.awaitTree();
    return true;
  }

  bool openBusWindowSource() {
    bus_ = dbus::LoopBus::openSession(loop_);
    if (!bus_) return false;
    const BusSourceContext context{*bus_, loop_, tracker_, [this] {
                                     workspace_.deliverActivation(tracker_.finishBatch());
                                   }};
    for (OpenBusWindowSource open : BUS_WINDOW_SOURCES)
      if (open != nullptr && (busSource_ = open(context))) {
        workspace_.setBusSource(busSource_.get());
        return true;
      }
    bus_.reset();
    return false;
  }

  platform::RunLoop& runLoop() override { return *this; }
  platform::Activity& activity() override { return activity_; }
  platform::Workspace& workspace() override { return workspace_; }
  platform::WindowList& windowList() override { return workspace_; }
  platform::ScriptService& scripts() override { return scripts_; }
  platform::ScreenCapture& screenCapture() override { return screenCapture_; }
  platform::Accessibility& accessibility() override { return accessibility_; }
  platform::EventSource& eventSource() override { return eventSource_; }
  platform::StandardOutput& standardOutput() override { return output_; }
  // The browser URL route is the X11 one: the accessibility bus, keyed by the process.
  std::unique_ptr<platform::AccessibilityBus> openAccessibilityBus() override {
    return atspi::openSdBusAccessibility();
  }
  std::function<void()> mainLoopWaker(std::function<void()> onWake) override {
    return loop_.wakerFor(std::move(onWake));
  }

 private:
  static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                       const char* interface, std::uint32_t version) {
    auto& self = *static_cast<WaylandBackend*>(data);
    if (!self.toplevels_ && std::strcmp(interface, ForeignToplevels::interfaceName()) == 0)
      self.toplevels_ = std::make_unique<ForeignToplevels>(registry, name, version, self.tracker_);
    // Chosen once the whole registry is read, so that wlroots' manager wins wherever both are.
    // Before version 4 a window has no initial_state to say that its state is complete.
    if (std::strcmp(interface, PlasmaWindows::interfaceName()) == 0 && version >= 4)
      self.plasmaGlobal_.emplace(name, version);
  }
  static void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

  void scheduleRepeating(platform::Seconds interval, std::function<void()> callback) override {
    loop_.scheduleRepeating(interval, std::move(callback));
  }
  void scheduleOnce(platform::Seconds delay, std::function<void()> callback) override {
    loop_.scheduleOnce(delay, std::move(callback));
  }
  int run(std::function<void()> didFinishLaunching) override {
    loop_.watchFileDescriptor(wl_display_get_fd(display_), [this] {
      if (wl_display_dispatch(display_) < 0) return lose();
      workspace_.deliverActivation(tracker_.finishBatch());
    });
    // Events read while waiting for a round trip are queued without making the socket
    // readable; requests made by a callback wait in libwayland's buffer.
    loop_.setBeforeSleep([this] {
      if (lost_) return;
      if (wl_display_dispatch_pending(display_) < 0) return lose();
      if (wl_display_flush(display_) < 0 && errno != EAGAIN) return lose();
    });
    if (const int output = linux_platform::StandardOutputHangupWatch::descriptorToWatch(); output >= 0)
      loop_.watchFileDescriptor(output,
                                [output] { linux_platform::StandardOutputHangupWatch::onReady(output); });
    return loop_.run(std::move(didFinishLaunching));
  }

  // The one diagnostic: the agent ends with status 1 and writes no more records.
  void lose() {
    if (lost_) return;
    lost_ = true;
    std::fprintf(stderr, "Wayland: connection to compositor %s lost: %s\n", displayName_.c_str(),
                 causeOfLoss(wl_display_get_error(display_)).c_str());
    std::fflush(stderr);
    output_.close();
    loop_.stop(1);
  }

  wl_display* display_;
  std::string displayName_;
  wl_registry* registry_ = nullptr;
  ToplevelTracker tracker_;
  std::unique_ptr<ForeignToplevels> toplevels_;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> plasmaGlobal_;  // name, version
  std::unique_ptr<PlasmaWindows> plasmaWindows_;
  linux_platform::PollRunLoop loop_;
  std::unique_ptr<dbus::LoopBus> bus_;
  std::unique_ptr<BusWindowSource> busSource_;
  SwayWindows swayWindows_;
  ToplevelWorkspace workspace_;
  SwayConnection sway_;
  bool lost_ = false;
  linux_platform::StdioOutput output_;
  platform::IdleActivity activity_;
  platform::NoScriptService scripts_;
  platform::AlwaysPermittedScreenCapture screenCapture_;
  platform::AlwaysTrustedAccessibility accessibility_;
  NoEventSource eventSource_;
};

// libwayland-client writes diagnostics of its own to standard error (an unusable
// XDG_RUNTIME_DIR, a protocol error). The parent reads exactly one line there when the agent
// ends, the agent's own reason, so the library's messages are dropped.
void dropLibraryMessage(const char* /*format*/, va_list /*arguments*/) {}

}  // namespace

std::unique_ptr<platform::Backend> openWaylandBackend(std::string& /*error*/) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  wl_log_set_handler_client(&dropLibraryMessage);
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return nullptr;
  auto backend = std::make_unique<WaylandBackend>(display, name);
  if (!backend->bindToplevelManager()) return nullptr;
  return backend;
}

}  // namespace quen::wayland
