#pragma once

// A headless sway for the Wayland end-to-end tests, never the developer's own desktop: a
// runtime directory of its own, run as the unprivileged user nobody (sway refuses to run as
// root, and CI runs as root), with the headless backend and the pixman renderer, and
// XWayland open to root's clients. start() returns once sway answers on its IPC socket and
// XWayland runs; the destructor ends sway and removes the directory.

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/e2e/agent_harness.h"

namespace quen::testing {

class SwaySession {
 public:
  // Null, with a test failure, when sway cannot be started or does not answer.
  static std::unique_ptr<SwaySession> start();
  ~SwaySession();
  SwaySession(const SwaySession&) = delete;
  SwaySession& operator=(const SwaySession&) = delete;

  // The environment of a client of this session: WAYLAND_DISPLAY, SWAYSOCK, its runtime
  // directory, a home of its own (no one's configuration or caches), empty desktop-entry
  // directories; no DISPLAY, no desktop session's variables.
  Environment clientEnvironment() const;
  // A directory of this session's own for its clients' files, removed with it.
  const std::string& directory() const { return directory_; }
  // Runs one sway command (swaymsg) and waits for it; a test failure when sway refuses.
  void command(const std::string& swayCommand);
  // Waits until sway shows a window that `criteria` match; false, with a test failure,
  // when none does within LINE_TIMEOUT.
  bool awaitWindow(const std::string& criteria) const;
  // The X display of sway's XWayland.
  const std::string& xwaylandDisplay() const { return xwaylandDisplay_; }
  pid_t compositorPid() const { return sway_->pid(); }

 private:
  SwaySession() = default;
  bool awaitReady();

  std::string directory_;
  std::string runtimeDirectory_;
  std::string ipcSocket_;
  std::string xwaylandDisplay_;
  std::unique_ptr<ChildProcess> sway_;
};

}  // namespace quen::testing
