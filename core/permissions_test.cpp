#include "core/permissions.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace quen {
namespace {

// Answers both permissions as configured and counts what the probes ask.
struct PermissionStub final : platform::ScreenCapture, platform::Accessibility {
  bool macOS11 = true, allowed = true;
  int preflights = 0, requests = 0, streams = 0, checksWithoutPrompt = 0;
  bool isMacOS11OrLater() override { return macOS11; }
  bool preflightAccess() override { return ++preflights, allowed; }
  void requestAccess() override { ++requests; }
  bool canCreateDisplayStream() override { return ++streams, allowed; }
  bool isProcessTrusted(bool prompt) override { return checksWithoutPrompt += !prompt, allowed; }
  void observeTrustChanges(std::function<void()>) override {}
};

// Screen capture from macOS 11: the preflight decides, and every probe that fails requests
// access again; before 11, whether a display stream can be made. Accessibility trust is
// always asked with the prompt.
TEST(PermissionProbeTest, TwoProbesOfEachPermission) {
  const struct {
    bool macOS11, allowed;
    std::array<int, 3> preflightsRequestsStreams;
  } rows[] = {{true, false, {2, 2, 0}}, {true, true, {2, 0, 0}}, {false, false, {0, 0, 2}},
              {false, true, {0, 0, 2}}};
  for (const auto& [macOS11, allowed, preflightsRequestsStreams] : rows) {
    PermissionStub os;
    os.macOS11 = macOS11;
    os.allowed = allowed;
    for (int probe = 0; probe < 2; ++probe) {
      EXPECT_EQ(hasPermissionScreenRecordingShowPromt(os), allowed) << "macOS 11 " << macOS11;
      EXPECT_EQ(isAccessibilityTrusted(os), allowed);
    }
    EXPECT_EQ((std::array{os.preflights, os.requests, os.streams}), preflightsRequestsStreams)
        << "macOS 11 " << macOS11 << ", allowed " << allowed;
    EXPECT_EQ(os.checksWithoutPrompt, 0);
  }
}

}  // namespace
}  // namespace quen
