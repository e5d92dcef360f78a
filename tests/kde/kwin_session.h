#pragma once

// A headless KWin of a test's own, never the developer's desktop: its own directory (runtime
// directory, home, private session bus), virtual output, QPainter compositing and XWayland,
// run as nobody. Its clients run as nobody too: KWin grants the window list only after
// reading the client's /proc/<pid>/exe, which it may do for its own user's processes only.
// KWin runs from a copy: /usr/bin/kwin_wayland carries a file capability that a bounding set
// without cap_sys_resource refuses, root included. FocusTrail is copied beside it, and the
// repository's desktop entry template installed for that copy, as the parent would (unless
// the test leaves it out: then KWin lists its windows to no client of the session).

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/agent_harness.h"

namespace quen::testing {

class KwinSession {
 public:
  // Null, with a test failure, when KWin does not become ready.
  static std::unique_ptr<KwinSession> start(bool grantWindowList = true);
  ~KwinSession();

  // WAYLAND_DISPLAY, the runtime directory and bus, a home of its own, no system entries.
  Environment clientEnvironment() const;
  std::string focusTrailPath() const { return directory_ + "/bin/FocusTrail"; }
  const std::string& directory() const { return directory_; }
  // Brings the window titled `caption` forward, as a user would: a one-shot KWin script.
  void activate(const std::string& caption);
  const std::string& xwaylandDisplay() const { return xwaylandDisplay_; }  // open to all
  pid_t compositorPid() const { return kwin_->pid(); }

 private:
  std::string busCall(const std::vector<std::string>& arguments);

  std::string directory_, runtimeDirectory_, xwaylandDisplay_;
  int scripts_ = 0;
  std::unique_ptr<ChildProcess> bus_, kwin_;
};

}  // namespace quen::testing
