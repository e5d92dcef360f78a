#include "platform/windows/windows_backend.h"

#include "platform/permitted_services.h"
#include "platform/windows/foreground_workspace.h"
#include "platform/windows/message_loop.h"
#include "platform/windows/raw_input_source.h"
#include "platform/windows/standard_output.h"
#include "platform/windows/top_level_windows.h"

namespace quen::windows {
namespace {

class WindowsBackend final : public platform::Backend {
 public:
  WindowsBackend(HANDLE output, WindowAccessibilityFactory makeElements)
      : output_(output), makeElements_(makeElements) {
    watchParentProcess(loop_);
  }

  platform::RunLoop& runLoop() override { return loop_; }
  platform::Activity& activity() override { return activity_; }
  platform::Workspace& workspace() override {
    if (!workspace_) workspace_ = std::make_unique<ForegroundWorkspace>();
    return *workspace_;
  }
  platform::WindowList& windowList() override {
    if (!windowList_) windowList_ = std::make_unique<TopLevelWindowList>();
    return *windowList_;
  }
  platform::ScriptService& scripts() override { return scripts_; }
  platform::ScreenCapture& screenCapture() override { return screenCapture_; }
  platform::Accessibility& accessibility() override { return trust_; }
  platform::EventSource& eventSource() override {
    if (!eventSource_) eventSource_ = std::make_unique<RawInputEventSource>();
    return *eventSource_;
  }
  platform::StandardOutput& standardOutput() override { return output_; }
  std::unique_ptr<platform::WindowAccessibility> openWindowAccessibility() override {
    return makeElements_ ? makeElements_() : nullptr;
  }
  std::function<void()> mainLoopWaker(std::function<void()> onWake) override {
    return loop_.wakerFor(std::move(onWake));
  }

 private:
  MessageLoop loop_;
  StandardOutput output_;
  WindowAccessibilityFactory makeElements_;
  platform::IdleActivity activity_;
  platform::NoScriptService scripts_;
  platform::AlwaysPermittedScreenCapture screenCapture_;
  platform::AlwaysTrustedAccessibility trust_;
  std::unique_ptr<ForegroundWorkspace> workspace_;
  std::unique_ptr<TopLevelWindowList> windowList_;
  std::unique_ptr<RawInputEventSource> eventSource_;
};

}  // namespace

std::unique_ptr<platform::Backend> openWindowsBackend(std::string& error,
                                                      WindowAccessibilityFactory accessibility) {
  HANDLE output = standardOutputHandle();
  if (output == nullptr) {
    error = "Windows: no standard output";
    return nullptr;
  }
  return std::make_unique<WindowsBackend>(output, accessibility);
}

}  // namespace quen::windows
