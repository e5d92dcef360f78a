#include <dispatch/dispatch.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/macos/macos_backend.h"
#include "platform/macos/macos_services.h"
#include "platform/platform.h"

namespace quen::macos {

namespace {

// Each service is made on first use, so an agent sets up only what it asks for (the
// input agent never touches NSWorkspace, the focus agent never installs an event monitor).
template <typename Service>
Service& madeOnFirstUse(std::unique_ptr<Service>& service,
                        std::unique_ptr<Service> (*make)()) {
  if (!service) service = make();
  return *service;
}

class MacBackend final : public platform::Backend {
 public:
  platform::RunLoop& runLoop() override { return madeOnFirstUse(runLoop_, makeRunLoop); }
  platform::Activity& activity() override { return madeOnFirstUse(activity_, makeActivity); }
  platform::Workspace& workspace() override { return madeOnFirstUse(workspace_, makeWorkspace); }
  platform::WindowList& windowList() override {
    return madeOnFirstUse(windowList_, makeWindowList);
  }
  platform::ScriptService& scripts() override {
    return madeOnFirstUse(scripts_, makeScriptService);
  }
  platform::ScreenCapture& screenCapture() override {
    return madeOnFirstUse(screenCapture_, makeScreenCapture);
  }
  platform::Accessibility& accessibility() override {
    return madeOnFirstUse(accessibility_, makeAccessibility);
  }
  platform::EventSource& eventSource() override {
    return madeOnFirstUse(eventSource_, makeEventSource);
  }
  platform::StandardOutput& standardOutput() override {
    return madeOnFirstUse(standardOutput_, makeStandardOutput);
  }
  // Each call, from any thread, queues one run of `onWake` on the main queue, which the
  // run loop serves after the callback in progress.
  std::function<void()> mainLoopWaker(std::function<void()> onWake) override {
    using Wake = std::shared_ptr<std::function<void()>>;
    return [wake = std::make_shared<std::function<void()>>(std::move(onWake))] {
      dispatch_async_f(dispatch_get_main_queue(), new Wake(wake), [](void* context) {
        const std::unique_ptr<Wake> owned(static_cast<Wake*>(context));
        (**owned)();
      });
    };
  }

 private:
  std::unique_ptr<platform::RunLoop> runLoop_;
  std::unique_ptr<platform::Activity> activity_;
  std::unique_ptr<platform::Workspace> workspace_;
  std::unique_ptr<platform::WindowList> windowList_;
  std::unique_ptr<platform::ScriptService> scripts_;
  std::unique_ptr<platform::ScreenCapture> screenCapture_;
  std::unique_ptr<platform::Accessibility> accessibility_;
  std::unique_ptr<platform::EventSource> eventSource_;
  std::unique_ptr<platform::StandardOutput> standardOutput_;
};

}  // namespace

}  // namespace quen::macos

namespace quen::macos {

// Opening asks nothing of the OS yet (each service is made on first use), so on macOS it
// cannot fail.
std::unique_ptr<platform::Backend> openMacOSBackend(std::string& error) {
  error.clear();
  return std::make_unique<MacBackend>();
}

}  // namespace quen::macos
