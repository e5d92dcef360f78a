// The real InputTrail in a headless GNOME Shell's session (mutter offers no Wayland idle
// protocol): XWayland's input by kind (xdotool's XTEST, which Mutter never hears of), native
// input only as E_INPUT_NOT_VISIBLE (pointer motion and a key through Mutter's RemoteDesktop,
// which reset its IdleMonitor), quiet seconds the defaults.

#include <sys/stat.h>

#include <fstream>

#include "tests/e2e/agent_harness.h"
#include "tests/gnome/gnome_session.h"

namespace quen::testing {
namespace {

Json activity(const Json& error, bool click, bool key) {
  return Json{
      {"error", error}, {"evMouseClick", click}, {"evMouseMove", false}, {"evKeyPress", key}};
}

TEST(GnomeInputTest, NativeInputCarriesTheCodeXWaylandInputItsKinds) {
  auto session = GnomeSession::start(/*withExtension=*/false);
  ASSERT_TRUE(session);
  Environment environment = session->x11ClientEnvironment();
  environment["WAYLAND_DISPLAY"] = session->clientEnvironment()["WAYLAND_DISPLAY"];
  auto agent = GnomeSession::spawnAsNobody(
      {QUEN_INPUTTRAIL_PATH, "--argKeysNeeded", "true", "--argForceReqPerm", "false"}, environment);
  ASSERT_TRUE(agent);
  const Json quiet = activity(false, false, false);
  EXPECT_EQ(agent->nextRecord().value_or(Json()), quiet) << "launch line";
  auto xdotool = GnomeSession::spawnAsNobody({"/usr/bin/xdotool", "click", "1", "key", "a"},
                                             session->x11ClientEnvironment());
  ASSERT_TRUE(xdotool && xdotool->waitForExit(LINE_TIMEOUT));
  EXPECT_EQ(agent->nextRecord().value_or(Json()), activity(false, true, true));
  EXPECT_EQ(agent->nextRecord().value_or(Json()), quiet);
  // Two ticks on, Mutter's idle watch has fired: the user-active watch hears the input.
  const std::string commands = session->directory() + "/remote-desktop";
  mkfifo(commands.c_str(), 0644);
  std::fstream input(commands, std::ios::in | std::ios::out);  // waits for no reader
  auto remote = GnomeSession::spawnAsNobody(
      {"/usr/bin/python3", QUEN_REMOTE_DESKTOP_INPUT, commands}, session->clientEnvironment());
  ASSERT_EQ(remote->readLine(LINE_TIMEOUT), "ready") << remote->standardError();
  for (const char* kind : {"move", "key"}) {
    SCOPED_TRACE(kind);
    input << kind << '\n' << std::flush;
    ASSERT_EQ(remote->readLine(LINE_TIMEOUT), "done") << remote->standardError();
    EXPECT_EQ(agent->nextRecord().value_or(Json()),
              activity(Json::array({"E_INPUT_NOT_VISIBLE"}), false, false));
    EXPECT_EQ(agent->nextRecord().value_or(Json()), quiet);
  }
}

}  // namespace
}  // namespace quen::testing
