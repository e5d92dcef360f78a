#pragma once

// The services an X11 session has no counterpart for. X11 asks no permission to read other
// clients' windows or to receive raw input (any client of the display may), so both
// permissions are always granted and trust never changes; nothing throttles a background
// process, so an activity has nothing to do; and there is no script service that could ask
// a browser for its URL, so no script object can be made.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quen::linux_platform {

class AlwaysPermittedScreenCapture final : public platform::ScreenCapture {
 public:
  bool isMacOS11OrLater() override { return false; }
  bool preflightAccess() override { return true; }
  void requestAccess() override {}
  bool canCreateDisplayStream() override { return true; }
};

class AlwaysTrustedAccessibility final : public platform::Accessibility {
 public:
  bool isProcessTrusted(bool /*prompt*/) override { return true; }
  // Trust never changes, so the notification never comes.
  void observeTrustChanges(std::function<void()> /*callback*/) override {}
};

class IdleActivity final : public platform::Activity {
 public:
  // A token, so that the caller can hold it like any other; holding it changes nothing.
  std::shared_ptr<void> beginActivity(std::uint64_t /*options*/,
                                      std::string_view /*reason*/) override {
    return std::make_shared<int>(0);
  }
};

class NoScriptService final : public platform::ScriptService {
 public:
  platform::ScriptRun run(const std::string& /*source*/) override {
    return platform::ScriptRun{};  // Stage::NotCreated
  }
};

}  // namespace quen::linux_platform
