#pragma once

// A headless sway for the Wayland end-to-end tests, never the developer's own desktop: a
// runtime directory of its own, run as the unprivileged user nobody (sway refuses to run as
// root, and CI runs as root), with the headless backend and the pixman renderer. start()
// returns once sway answers on its IPC socket; the destructor ends it and removes the
// directory. Root's clients (the tests, the agent) may use its sockets.

#include <sys/types.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "tests/e2e/child_process.h"

namespace quen::testing {

class SwaySession {
 public:
  // Null, with the cause in `error`, when sway cannot be started or does not answer.
  static std::unique_ptr<SwaySession> start(std::string& error);
  ~SwaySession();
  SwaySession(const SwaySession&) = delete;
  SwaySession& operator=(const SwaySession&) = delete;

  // The environment of a client of this session (WAYLAND_DISPLAY, SWAYSOCK, its runtime
  // directory; no DISPLAY, no desktop session's variables).
  std::map<std::string, std::optional<std::string>> clientEnvironment() const;
  // Runs one sway command (swaymsg) and waits for it; a test failure when sway refuses.
  void command(const std::string& swayCommand);
  // The X display sway's XWayland serves (it starts lazily, on the first X client).
  const std::string& xwaylandDisplay() const { return xwaylandDisplay_; }
  pid_t compositorPid() const { return sway_->pid(); }

 private:
  SwaySession() = default;
  bool awaitReady(std::string& error);

  std::string directory_;
  std::string runtimeDirectory_;
  std::string ipcSocket_;
  std::string xwaylandDisplay_;
  std::unique_ptr<ChildProcess> sway_;
};

}  // namespace quen::testing
