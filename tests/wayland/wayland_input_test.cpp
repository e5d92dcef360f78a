// The real InputTrail in a headless sway's session: XWayland's input by kind (XTEST through
// XWayland, which the compositor never hears of), native input only as E_INPUT_NOT_VISIBLE
// (sway's own pointer, moved by its seat command: sway 1.7 resets its idle timers for
// `cursor move`, not for `cursor press`), and quiet seconds as the defaults.

#include <gtest/gtest.h>

#include "tests/e2e/agent_harness.h"
#include "tests/e2e/x_client.h"
#include "tests/wayland/sway_session.h"

namespace quen::testing {
namespace {

Json activity(const Json& error, bool click, bool key) {
  return Json{
      {"error", error}, {"evMouseClick", click}, {"evMouseMove", false}, {"evKeyPress", key}};
}

TEST(WaylandInputTest, NativeInputCarriesTheCodeXWaylandInputItsKinds) {
  auto session = SwaySession::start();
  ASSERT_TRUE(session);
  Environment environment = session->clientEnvironment();
  environment["DISPLAY"] = session->xwaylandDisplay();
  auto agent = ChildProcess::spawn(
      {QUEN_INPUTTRAIL_PATH, "--argKeysNeeded", "true", "--argForceReqPerm", "false"}, environment);
  ASSERT_TRUE(agent);
  const Json quiet = activity(false, false, false);
  EXPECT_EQ(agent->nextRecord().value_or(Json()), quiet) << "launch line";
  XClient(session->xwaylandDisplay()).input("click 1 key a");
  EXPECT_EQ(agent->nextRecord().value_or(Json()), activity(false, true, true));
  EXPECT_EQ(agent->nextRecord().value_or(Json()), quiet);
  // Two ticks on, sway has long said "idle" (a second after the watch began): a move now is
  // a resume.
  session->command("seat - cursor move 10 10");
  EXPECT_EQ(agent->nextRecord().value_or(Json()),
            activity(Json::array({"E_INPUT_NOT_VISIBLE"}), false, false));
  EXPECT_EQ(agent->nextRecord().value_or(Json()), quiet);
}

}  // namespace
}  // namespace quen::testing
