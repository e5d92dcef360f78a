#pragma once

// The frontmost application is the process owning the foreground window (GetForegroundWindow);
// a Store app's frame (ApplicationFrameHost.exe) stands for the app in its child window. The
// application's path is its executable's full path (QueryFullProcessImageNameW, which also
// answers for elevated processes), its name the executable's FileDescription (first
// translation of the version resource), else the file's stem, and its identifier the
// AppUserModelID of a packaged app, else the executable's file name. No foreground window (the
// lock screen or the secure desktop is in front) means no frontmost application.
//
// Activations are pushed by WinEvent hooks (EVENT_SYSTEM_FOREGROUND, and EVENT_OBJECT_NAMECHANGE
// of the foreground window, whose title is part of the report), out of context, so that they
// run on the loop's thread; the agent's one-second poll remains the safety net.

#include <windows.h>

#include <functional>
#include <list>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace quen::windows {

class ForegroundWorkspace final : public platform::Workspace {
 public:
  ForegroundWorkspace() = default;
  ~ForegroundWorkspace() override;
  ForegroundWorkspace(const ForegroundWorkspace&) = delete;
  ForegroundWorkspace& operator=(const ForegroundWorkspace&) = delete;

  std::optional<platform::RunningApplication> frontmostApplication() override;
  void observeActivation(
      std::function<void(const std::optional<platform::RunningApplication>&)> callback) override;

 private:
  static void CALLBACK onWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                  LONG child, DWORD thread, DWORD time);
  void deliverActivation();

  // The identity read last, kept while the same window of the same process is in front.
  HWND knownWindow_ = nullptr;
  DWORD knownProcess_ = 0;
  std::optional<platform::RunningApplication> known_;
  std::list<std::function<void(const std::optional<platform::RunningApplication>&)>> observers_;
  HWINEVENTHOOK foregroundHook_ = nullptr;
  HWINEVENTHOOK nameHook_ = nullptr;
};

}  // namespace quen::windows
