#include "platform/x11/x11_backend.h"

#include <cstdio>

#include "platform/atspi/sd_bus_accessibility.h"
#include "platform/permitted_services.h"
#include "platform/linux/poll_run_loop.h"
#include "platform/linux/stdio_output.h"
#include "platform/x11/active_window_workspace.h"
#include "platform/x11/event_pump.h"
#include "platform/x11/raw_input_source.h"
#include "platform/x11/wayland_session.h"
#include "platform/x11/window_list.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_run_loop.h"

namespace quen::x11 {

namespace {

// A Wayland session whose compositor tells no idle news to this client: activity unknown.
class CannotTell final : public platform::UnseenInputWatch {
 public:
  bool start(platform::Seconds, std::function<void(bool)>) override { return false; }
};

class X11Backend final : public platform::Backend {
 public:
  X11Backend(std::unique_ptr<Connection> connection, UnseenInputFactory unseenInputFactory)
      : connection_(std::move(connection)), events_(*connection_), loop_(*connection_, events_),
        unseenInputFactory_(unseenInputFactory) {
    connection_->onLost([this](const std::string& cause) { lose(cause); });
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
  platform::UnseenInputWatch* unseenInput() override {
    if (!unseenInputAsked_) {
      unseenInputAsked_ = true;
      if (unseenInputFactory_ != nullptr && inWaylandSession()) {
        unseenInput_ = unseenInputFactory_(loop_.pollLoop(),
                                           [this](const std::string& line) { lose(line); });
        if (!unseenInput_) unseenInput_ = std::make_unique<CannotTell>();
      }
    }
    return unseenInput_.get();
  }

 private:
  // The one diagnostic, whichever connection ends first (a compositor that goes takes its
  // XWayland along): the agent ends with status 1 and writes no more records.
  void lose(const std::string& line) {
    if (lost_) return;
    lost_ = true;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    output_.close();
    loop_.stop(1);
  }

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
  UnseenInputFactory unseenInputFactory_;
  bool unseenInputAsked_ = false;
  bool lost_ = false;
  std::unique_ptr<platform::UnseenInputWatch> unseenInput_;
};

}  // namespace

std::unique_ptr<platform::Backend> openX11Backend(const char* displayName, std::string& error,
                                                  UnseenInputFactory unseenInput) {
  std::unique_ptr<Connection> connection = Connection::open(displayName, error);
  if (!connection) return nullptr;
  return std::make_unique<X11Backend>(std::move(connection), unseenInput);
}

}  // namespace quen::x11
