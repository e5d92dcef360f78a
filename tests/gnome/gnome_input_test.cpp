// The real InputTrail in a headless GNOME Shell's session (mutter offers no Wayland idle
// protocol): XWayland's input by kind (xdotool's XTEST, which Mutter never hears of), native
// input only as E_INPUT_NOT_VISIBLE (pointer motion and a key through Mutter's RemoteDesktop,
// which reset its IdleMonitor), quiet seconds the defaults.

#include <sys/stat.h>

#include <fstream>

#include "tests/e2e/wayland_input_records.h"
#include "tests/gnome/gnome_session.h"

namespace quen::testing {
namespace {

TEST(GnomeInputTest, NativeInputCarriesTheCodeXWaylandInputItsKinds) {
  auto session = GnomeSession::start(/*withExtension=*/false);
  ASSERT_TRUE(session);
  Environment environment = session->x11ClientEnvironment();
  environment["WAYLAND_DISPLAY"] = session->clientEnvironment()["WAYLAND_DISPLAY"];
  auto agent = ChildProcess::spawnAsNobody(
      {QUEN_INPUTTRAIL_PATH, "--argKeysNeeded", "true", "--argForceReqPerm", "false"}, environment);
  ASSERT_TRUE(agent);
  // Mutter's user-active watch hears the native input, made through a remote-desktop session
  // started once the XWayland part is done.
  const std::string commands = session->directory() + "/remote-desktop";
  mkfifo(commands.c_str(), 0644);
  std::fstream input(commands, std::ios::in | std::ios::out);  // waits for no reader
  std::unique_ptr<ChildProcess> remote;
  const auto remoteInput = [&](const char* kind) {
    return [&, kind] {
      if (!remote) {
        remote = ChildProcess::spawnAsNobody(
            {"/usr/bin/python3", QUEN_REMOTE_DESKTOP_INPUT, commands}, session->clientEnvironment());
        ASSERT_EQ(remote->readLine(LINE_TIMEOUT), "ready") << remote->standardError();
      }
      input << kind << '\n' << std::flush;
      ASSERT_EQ(remote->readLine(LINE_TIMEOUT), "done") << kind << remote->standardError();
    };
  };
  expectXWaylandKindsThenNativeInputs(
      *agent,
      [&] {
        auto xdotool = ChildProcess::spawnAsNobody({"/usr/bin/xdotool", "click", "1", "key", "a"},
                                                   session->x11ClientEnvironment());
        ASSERT_TRUE(xdotool && xdotool->waitForExit(LINE_TIMEOUT));
      },
      {remoteInput("move"), remoteInput("key")});
}

}  // namespace
}  // namespace quen::testing
