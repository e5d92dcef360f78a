#pragma once

// Global input monitors over Raw Input: the mouse and the keyboard are registered with
// RIDEV_INPUTSINK on a message-only window of the loop's thread, so the system reports every
// device event to it whichever window has the focus, without a hook in the input's path
// (a low-level hook delays every event and is removed when it answers late). What a report
// means is decided by win32_rules.h (translateRawMouse, isCountedKeyRelease); the buttons held
// at start are read with GetAsyncKeyState. Reading a report allocates nothing.

#include <windows.h>

#include <optional>

#include "platform/monitor_list.h"
#include "platform/platform.h"
#include "platform/windows/win32_rules.h"

namespace quen::windows {

class RawInputEventSource final : public platform::EventSource {
 public:
  RawInputEventSource() = default;
  ~RawInputEventSource() override;
  RawInputEventSource(const RawInputEventSource&) = delete;
  RawInputEventSource& operator=(const RawInputEventSource&) = delete;

  // None when the window cannot be made or the devices cannot be registered.
  std::optional<platform::MonitorToken> addGlobalMonitor(platform::EventMask matching,
                                                         platform::EventHandler handler) override;
  void removeMonitor(platform::MonitorToken token) override;

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool registerDevices();
  void handle(HRAWINPUT input);
  void deliver(platform::EventType type);

  HWND window_ = nullptr;
  bool registered_ = false;
  MouseState mouse_;
  RAWINPUT report_{};  // one report at a time: mouse and keyboard reports fit
  platform::MonitorList monitors_;
};

}  // namespace quen::windows
