#include <cstdio>
#include <memory>
#include <string>

#include "InputTrail/src/QuenAppDelegate.h"
#include "InputTrail/src/config.h"
#include "platform/platform.h"

namespace {

// The agent's one delegate, alive from before the run loop starts until it returns.
std::unique_ptr<quen::input::QuenAppDelegate> quenDelegate;

}  // namespace

int main(int argc, char** argv) {
  quen::input::scanLaunchArguments(argc, argv);
  std::string error;
  std::unique_ptr<quen::platform::Backend> backend = quen::platform::openSystemBackend(error);
  if (!backend) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  quenDelegate = std::make_unique<quen::input::QuenAppDelegate>(*backend);
  const int status = backend->runLoop().run([] { quenDelegate->applicationDidFinishLaunching(); });
  // The delegate's monitors remove their registrations as it goes, so it must go before
  // the backend that holds them.
  quenDelegate.reset();
  return status;
}
