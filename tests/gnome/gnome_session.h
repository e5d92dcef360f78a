#pragma once

// A headless GNOME Shell of a test suite's own, never the developer's desktop: a directory of
// its own (runtime directory, home), a private session bus, and a second, empty private bus
// as the system bus (GNOME 43 picks logind when /run/systemd/seats exists and dies without a
// system bus), XWayland, run as nobody. The project's GNOME Shell extension (the test copy,
// with its activation method) is installed and enabled in that home by
// scripts/install-gnome-extension.sh before the Shell starts, as a parent's installer would;
// one installed later would load only at the next Shell. Ready when org.gnome.Shell answers
// ShellVersion and XWayland runs. The Shell starts in the overview: the first activation
// leaves it.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/agent_harness.h"

namespace quen::testing {

inline constexpr const char* GNOME_EXTENSION_UUID = "focustrail@quen.dev";

class GnomeSession {
 public:
  // Null, with a test failure, when the Shell does not become ready.
  static std::unique_ptr<GnomeSession> start(bool withExtension = true);
  ~GnomeSession();
  GnomeSession(const GnomeSession&) = delete;
  GnomeSession& operator=(const GnomeSession&) = delete;

  // WAYLAND_DISPLAY, the runtime directory and session bus, a home of its own,
  // XDG_CURRENT_DESKTOP=GNOME, no desktop entries, no DISPLAY.
  Environment clientEnvironment() const;
  // The same with DISPLAY and XAUTHORITY of the Shell's XWayland instead of WAYLAND_DISPLAY.
  Environment x11ClientEnvironment() const;
  static std::unique_ptr<ChildProcess> spawnAsNobody(std::vector<std::string> arguments,
                                                     const Environment& environment);
  // Calls `method` (interface.member) on `objectPath` of org.gnome.Shell with dbus-send
  // arguments ("string:notes"); the literal reply, a test failure when the call fails.
  std::string shellCall(const std::string& objectPath, const std::string& method,
                        const std::vector<std::string>& arguments = {});
  // Brings the window titled `title` forward (the test copy's ActivateForTest); a test
  // failure when the Shell shows no such window within LINE_TIMEOUT.
  void activate(const std::string& title);
  // The extension's state as the Shell reports it (1 enabled, 2 disabled, ...; 0 unknown).
  int extensionState();
  // Switches the extension off or on at run time, as Extensions or gnome-extensions does.
  void setExtensionEnabled(bool enabled);
  const std::string& directory() const { return directory_; }
  pid_t shellPid() const { return shell_->pid(); }

 private:
  GnomeSession() = default;
  bool awaitReady();

  std::string directory_, runtimeDirectory_, xwaylandDisplay_, xauthority_;
  std::unique_ptr<ChildProcess> bus_, systemBus_, shell_;
};

}  // namespace quen::testing
