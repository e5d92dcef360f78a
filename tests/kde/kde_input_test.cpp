// The real InputTrail in a headless KWin's session: XWayland's input by kind (XTEST, which
// KWin never hears of), native input only as E_INPUT_NOT_VISIBLE (KWin's pointer moved
// through its fake-input protocol by a helper a desktop entry grants it), quiet seconds the
// defaults.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/wayland_input_records.h"
#include "tests/e2e/x_client.h"
#include "tests/kde/kwin_session.h"

namespace quen::testing {
namespace {

TEST(KdeInputTest, NativeInputCarriesTheCodeXWaylandInputItsKinds) {
  auto session = KwinSession::start();
  ASSERT_TRUE(session);
  // Both run as nobody from the session's own directory (InputTrail with its module), where
  // KWin may read them.
  const std::string bin = session->directory() + "/bin/", fakeInput = bin + "quen_fake_input";
  const std::filesystem::path built(QUEN_INPUTTRAIL_PATH);
  for (const auto& file : {built, built.parent_path() / "InputTrail-wayland.so"})
    std::filesystem::copy_file(file, bin + file.filename().string());
  std::filesystem::copy_file(QUEN_FAKE_INPUT_PATH, fakeInput);
  std::ofstream(session->directory() + "/home/.local/share/applications/quen-fake-input.desktop")
      << "[Desktop Entry]\nType=Application\nName=fake input\nNoDisplay=true\nExec=" << fakeInput
      << "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
  Environment environment = session->clientEnvironment();
  environment["DISPLAY"] = session->xwaylandDisplay();
  auto agent = ChildProcess::spawnAsNobody(
      {bin + "InputTrail", "--argKeysNeeded", "true", "--argForceReqPerm", "false"}, environment);
  ASSERT_TRUE(agent);
  expectXWaylandKindsThenNativeInputs(
      *agent, [&] { XClient(session->xwaylandDisplay()).input("click 1 key a"); },
      {[&] {
        auto mover = ChildProcess::spawnAsNobody({fakeInput}, session->clientEnvironment());
        const auto moved = mover ? mover->waitForExit(LINE_TIMEOUT) : std::nullopt;
        ASSERT_TRUE(moved && moved->exitCode == 0) << "fake input not granted";
      }});
}

}  // namespace
}  // namespace quen::testing
