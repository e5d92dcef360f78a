#pragma once

// The services a Linux session (X11, Wayland) and Windows have no counterpart for. Neither
// asks permission to read other processes' windows or to receive raw input (any X11 client
// may; Windows has no such grant), so both permissions are always granted and trust never
// changes; nothing throttles a background process as App Nap does, so an activity has
// nothing to do; and there is no script service that could ask a browser for its URL, so
// no script object can be made (the URL comes from accessibility instead).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quen::platform {

class AlwaysPermittedScreenCapture final : public ScreenCapture {
 public:
  bool isMacOS11OrLater() override { return false; }
  bool preflightAccess() override { return true; }
  void requestAccess() override {}
  bool canCreateDisplayStream() override { return true; }
};

class AlwaysTrustedAccessibility final : public Accessibility {
 public:
  bool isProcessTrusted(bool /*prompt*/) override { return true; }
  // Trust never changes, so the notification never comes.
  void observeTrustChanges(std::function<void()> /*callback*/) override {}
};

class IdleActivity final : public Activity {
 public:
  // A token, so that the caller can hold it like any other; holding it changes nothing.
  std::shared_ptr<void> beginActivity(std::uint64_t /*options*/,
                                      std::string_view /*reason*/) override {
    return std::make_shared<int>(0);
  }
};

class NoScriptService final : public ScriptService {
 public:
  ScriptRun run(const std::string& /*source*/) override {
    return ScriptRun{};  // Stage::NotCreated
  }
};

}  // namespace quen::platform
