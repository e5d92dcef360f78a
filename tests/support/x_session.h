#pragma once

// A headless X session for tests: Xvfb on a display number it chooses itself (-displayfd,
// so that servers other processes run on fixed numbers never collide with it), and
// optionally openbox, a window manager that keeps EWMH's properties right. start() returns
// once the session is ready to manage windows; the destructor stops both programs and
// removes what the server leaves behind when it dies by a signal (its socket and lock file).

#include <sys/types.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quen::testing {

// Whether openbox runs, and whether it focuses a window when it maps it. Tests that check
// which window is in front ask for FocusOnRequest: focus then moves only when a test
// activates a window, never late, when the manager gets round to a window it mapped.
enum class WindowManager { None, FocusOnRequest, FocusNewWindows };

// Changes to the test's own environment: a value sets the variable, none removes it.
using Environment = std::map<std::string, std::optional<std::string>>;

// Starts `arguments` (a program, by path or by name, then its arguments) as a child process:
// standard input on /dev/null, standard output and error on `output` and `errors` (/dev/null
// for -1), the environment with `changes` made, SIGPIPE at its default action (the agents
// rely on it; a test runner may ignore it). A program that cannot run says so on standard
// error and exits with 127. Returns the pid, or -1 when it cannot fork.
pid_t spawnProcess(const std::vector<std::string>& arguments, const Environment& changes,
                   int output = -1, int errors = -1);

class XSession {
 public:
  // `serverArguments` are added to Xvfb's command line ("-extension X-Resource", say).
  static std::unique_ptr<XSession> start(WindowManager windowManager, std::string& error,
                                         const std::vector<std::string>& serverArguments = {});
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  const std::string& display() const { return display_; }  // ":N"
  pid_t serverPid() const { return serverPid_; }           // to kill the server in tests

 private:
  XSession() = default;
  std::string startServer(const std::vector<std::string>& serverArguments);
  std::string startWindowManager(bool focusNewWindows);
  void removeServerLeftovers() const;

  std::string display_;
  int displayNumber_ = -1;
  pid_t serverPid_ = -1;
  pid_t windowManagerPid_ = -1;
  std::string configDirectory_;
};

}  // namespace quen::testing
