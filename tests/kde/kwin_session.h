#pragma once

// A headless KWin for the KDE end-to-end tests, never the developer's own desktop: a
// directory of its own (runtime directory, home, a private session bus), its virtual
// output, QPainter compositing and XWayland, all run as the unprivileged user nobody. The
// agent and the windows run as nobody too: KWin grants its window list only to a client
// whose executable a desktop entry names, and checks that by reading the client's
// /proc/<pid>/exe, which it may do for its own user's processes only.
//
// KWin is run from a copy: /usr/bin/kwin_wayland carries a file capability
// (cap_sys_resource) that a bounding set without it refuses, for root too; the copy has
// none. FocusTrail is copied there too, so that the grant's Exec names a path nobody can
// read (KWin compares the file's checksum with the executable's).

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/agent_harness.h"

namespace quen::testing {

class KwinSession {
 public:
  // Null, with a test failure, when KWin cannot be started or does not become ready. With
  // `grantWindowList` false no desktop entry grants FocusTrail the window list.
  static std::unique_ptr<KwinSession> start(bool grantWindowList = true);
  ~KwinSession();
  KwinSession(const KwinSession&) = delete;
  KwinSession& operator=(const KwinSession&) = delete;

  // The environment of a client of this session: WAYLAND_DISPLAY, its runtime directory, a
  // home of its own, empty system desktop-entry directories; no DISPLAY, no session type.
  Environment clientEnvironment() const;
  // Starts `arguments` as nobody in `environment`.
  static std::unique_ptr<ChildProcess> spawnAsNobody(std::vector<std::string> arguments,
                                                     const Environment& environment);
  // The copy of FocusTrail the desktop entry names.
  std::string focusTrailPath() const { return directory_ + "/bin/FocusTrail"; }
  const std::string& directory() const { return directory_; }
  // Brings the window titled `caption` to the front, as a user would: a one-shot KWin script
  // loaded and run over the session bus. A test failure when KWin refuses it.
  void activate(const std::string& caption);
  // The X display of KWin's XWayland, open to every local user.
  const std::string& xwaylandDisplay() const { return xwaylandDisplay_; }
  pid_t compositorPid() const { return kwin_->pid(); }

 private:
  KwinSession() = default;
  bool awaitReady();
  bool busCall(const std::vector<std::string>& arguments, std::string& reply);

  std::string directory_;
  std::string runtimeDirectory_;
  std::string xwaylandDisplay_;
  int scripts_ = 0;
  std::unique_ptr<ChildProcess> bus_;
  std::unique_ptr<ChildProcess> kwin_;
};

}  // namespace quen::testing
