// InputTrail: reports on standard output, once a second and only on change, whether mouse
// clicks, mouse moves and key releases happened, and whether accessibility is missing.

#include <cstdio>
#include <memory>
#include <string>

#include "InputTrail/src/QuenAppDelegate.h"
#include "InputTrail/src/config.h"
#include "platform/backend_table.h"

namespace {

// The OS services and the one delegate, for the life of the process. The delegate is
// declared last so that it goes first: its monitors remove their registrations as it goes.
std::unique_ptr<quen::platform::Backend> quenApp;
std::unique_ptr<quen::input::QuenAppDelegate> quenDelegate;

}  // namespace

int main(int argc, char** argv) {
  quen::input::scanLaunchArguments(argc, argv);
  std::string error;
  quenApp = quen::platform::openSystemBackend(error);
  if (!quenApp) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  quenDelegate = std::make_unique<quen::input::QuenAppDelegate>(*quenApp);
  const int status = quenApp->runLoop().run([] { quenDelegate->applicationDidFinishLaunching(); });
  quenDelegate.reset();
  quenApp.reset();
  return status;
}
