// FocusTrail: reports on standard output, one JSON line per change, which application is in
// front, its front window's title and, for known browsers, the frontmost tab's URL.

#include <cstdio>
#include <memory>
#include <string>

#include "FocusTrail/src/QuenAppDelegate.h"
#include "FocusTrail/src/config.h"
#include "platform/backend_table.h"

namespace {

// The OS services and the one delegate, for the life of the process. The delegate is
// declared last so that it goes first: its members may call into the backend.
std::unique_ptr<quen::platform::Backend> quenApp;
std::unique_ptr<quen::focus::QuenAppDelegate> quenDelegate;

}  // namespace

int main(int argc, char** argv) {
  quen::focus::scanLaunchArguments(argc, argv);
  std::string error;
  quenApp = quen::platform::openSystemBackend(error);
  if (!quenApp) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  quenDelegate = std::make_unique<quen::focus::QuenAppDelegate>(*quenApp);
  const int status = quenApp->runLoop().run([] { quenDelegate->applicationDidFinishLaunching(); });
  quenDelegate.reset();
  quenApp.reset();
  return status;
}
