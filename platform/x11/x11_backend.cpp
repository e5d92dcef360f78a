#include "platform/x11/x11_backend.h"

#include <cstdio>

#include "platform/atspi/sd_bus_accessibility.h"
#include "platform/permitted_services.h"
#include "platform/linux/stdio_output.h"
#include "platform/x11/active_window_workspace.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/raw_input_source.h"
#include "platform/x11/window_list.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_run_loop.h"

namespace quen::x11 {

namespace {

class X11Backend final : public platform::Backend {
 public:
  explicit X11Backend(std::unique_ptr<Connection> connection)
      : connection_(std::move(connection)), events_(*connection_), loop_(*connection_, events_) {
    // The one diagnostic: the agent ends with status 1 and writes no more records.
    connection_->onLost([this](const std::string& cause) {
      std::fprintf(stderr, "%s\n", cause.c_str());
      std::fflush(stderr);
      output_.close();
      loop_.stop(1);
    });
  }

  platform::RunLoop& runLoop() override { return loop_; }
  platform::Activity& activity() override { return activity_; }
  platform::Workspace& workspace() override {
    if (!workspace_) workspace_ = std::make_unique<ActiveWindowWorkspace>(*connection_, events_);
    return *workspace_;
  }
  platform::WindowList& windowList() override {
    if (!windowList_) windowList_ = std::make_unique<ClientWindowList>(*connection_, events_);
    return *windowList_;
  }
  platform::ScriptService& scripts() override { return scripts_; }
  platform::ScreenCapture& screenCapture() override { return screenCapture_; }
  platform::Accessibility& accessibility() override { return accessibility_; }
  platform::EventSource& eventSource() override {
    if (!eventSource_) {
      eventSource_ = std::make_unique<RawInputEventSource>(
          *connection_, events_, [this] { return loop_.hasRepeatingTimer(); });
      loop_.afterRepeatingTimer([this] {
        eventSource_->resumePausedKinds();
        eventSource_->recheckHeldButtons();
      });
    }
    return *eventSource_;
  }
  platform::StandardOutput& standardOutput() override { return output_; }
  std::unique_ptr<platform::AccessibilityBus> openAccessibilityBus() override {
    return atspi::openSdBusAccessibility();
  }
  std::function<void()> mainLoopWaker(std::function<void()> onWake) override {
    return loop_.wakerFor(std::move(onWake));
  }

 private:
  // Declared first: destroyed last, after every service that holds a reference to it.
  std::unique_ptr<Connection> connection_;
  EventPump events_;
  X11RunLoop loop_;
  linux_platform::StdioOutput output_;
  platform::IdleActivity activity_;
  platform::NoScriptService scripts_;
  platform::AlwaysPermittedScreenCapture screenCapture_;
  platform::AlwaysTrustedAccessibility accessibility_;
  std::unique_ptr<ActiveWindowWorkspace> workspace_;
  std::unique_ptr<ClientWindowList> windowList_;
  std::unique_ptr<RawInputEventSource> eventSource_;
};

}  // namespace

std::unique_ptr<platform::Backend> openX11Backend(const char* displayName, std::string& error) {
  std::unique_ptr<Connection> connection = Connection::open(displayName, error);
  if (!connection) return nullptr;
  return std::make_unique<X11Backend>(std::move(connection));
}

}  // namespace quen::x11
