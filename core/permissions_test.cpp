#include "core/permissions.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/fake/fake_system.h"

namespace quen {
namespace {

// Screen capture from macOS 11: the preflight decides, and every probe that fails requests
// access again; before 11, whether a display stream can be made. Accessibility trust is
// asked with the prompt unless the caller says otherwise.
TEST(PermissionProbeTest, TwoProbesOfEachPermission) {
  const struct {
    bool macOS11, allowed;
    std::array<std::size_t, 3> preflightsRequestsStreams;
  } rows[] = {{true, false, {2, 2, 0}}, {true, true, {2, 0, 0}}, {false, false, {0, 0, 2}},
              {false, true, {0, 0, 2}}};
  for (const auto& [macOS11, allowed, preflightsRequestsStreams] : rows) {
    fake::FakeSystem os;
    os.macOS11OrLater = macOS11;
    os.screenCaptureAllowed = os.trusted = allowed;
    for (int probe = 0; probe < 2; ++probe) {
      EXPECT_EQ(hasPermissionScreenRecordingShowPromt(os.screenCapture()), allowed) << macOS11;
      EXPECT_EQ(isAccessibilityTrusted(os.accessibility()), allowed);
    }
    EXPECT_EQ((std::array{os.preflightCalls, os.accessRequests, os.displayStreamAttempts}),
              preflightsRequestsStreams)
        << "macOS 11 " << macOS11 << ", allowed " << allowed;
    EXPECT_EQ(os.trustChecksWithoutPrompt, 0u);
  }
}

}  // namespace
}  // namespace quen
