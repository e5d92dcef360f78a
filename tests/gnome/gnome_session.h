#pragma once

// A headless GNOME Shell of a test suite's own (scripts/gnome-session.sh: nobody, private
// buses, XWayland), the extension's test copy enabled before it starts, or none.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/agent_harness.h"

namespace quen::testing {

class GnomeSession {
 public:
  // Null, with a test failure, when the Shell does not become ready.
  static std::unique_ptr<GnomeSession> start(bool withExtension = true);
  ~GnomeSession();
  // WAYLAND_DISPLAY, the runtime directory and session bus, a home of its own,
  // XDG_CURRENT_DESKTOP=GNOME, no desktop entries; or, for X11 clients, XWayland's DISPLAY
  // (and XAUTHORITY) instead of WAYLAND_DISPLAY.
  Environment clientEnvironment() const;
  Environment x11ClientEnvironment() const;
  // gdbus's reply of org.gnome.Shell's `objectPath` to `method` (interface.member) with
  // `arguments` (GVariant text); a test failure when the call fails.
  std::string shellCall(const std::string& objectPath, const std::string& method,
                        const std::vector<std::string>& arguments = {});
  // Brings the window titled `title` forward once mapped (the test copy's ActivateForTest).
  void activate(const std::string& title);
  const std::string& directory() const { return directory_; }  // the clients' files too
  pid_t shellPid() const { return shellPid_; }

 private:
  std::string directory_, xwaylandDisplay_, xauthority_;
  pid_t shellPid_ = -1;
  std::unique_ptr<ChildProcess> script_;
};

}  // namespace quen::testing
