#pragma once

// The applications of the comparison's desktop: child processes that each own up to three
// ordinary windows (400 x 300, titled, with WM_CLASS and _NET_WM_PID), mapped under the
// session's window manager, the last one opened made active. They end with the object.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quen::bench {

class WindowOwners {
 public:
  WindowOwners() = default;
  ~WindowOwners();
  WindowOwners(const WindowOwners&) = delete;
  WindowOwners& operator=(const WindowOwners&) = delete;

  // Opens `windows` windows on $DISPLAY and returns once the window manager manages all of
  // them and the last one is active; false, with the cause in `error`, otherwise.
  bool open(int windows, std::string& error);

 private:
  std::vector<pid_t> owners_;
};

}  // namespace quen::bench
