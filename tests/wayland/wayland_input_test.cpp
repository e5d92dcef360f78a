// The real InputTrail in a headless sway's session: XWayland's input by kind (XTEST through
// XWayland, which the compositor never hears of), native input only as E_INPUT_NOT_VISIBLE
// (sway's own pointer, moved by its seat command: sway 1.7 resets its idle timers for
// `cursor move`, not for `cursor press`), and quiet seconds as the defaults.

#include <gtest/gtest.h>

#include "tests/e2e/wayland_input_records.h"
#include "tests/e2e/x_client.h"
#include "tests/wayland/sway_session.h"

namespace quen::testing {
namespace {

TEST(WaylandInputTest, NativeInputCarriesTheCodeXWaylandInputItsKinds) {
  auto session = SwaySession::start();
  ASSERT_TRUE(session);
  Environment environment = session->clientEnvironment();
  environment["DISPLAY"] = session->xwaylandDisplay();
  auto agent = ChildProcess::spawn(
      {QUEN_INPUTTRAIL_PATH, "--argKeysNeeded", "true", "--argForceReqPerm", "false"}, environment);
  ASSERT_TRUE(agent);
  expectXWaylandKindsThenNativeInputs(
      *agent, [&] { XClient(session->xwaylandDisplay()).input("click 1 key a"); },
      {[&] { session->command("seat - cursor move 10 10"); }});
}

}  // namespace
}  // namespace quen::testing
