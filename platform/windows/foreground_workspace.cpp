#include "platform/windows/foreground_workspace.h"

#include <vector>

#include "platform/windows/process_identity.h"
#include "platform/windows/win32_rules.h"

namespace quen::windows {
namespace {

// The one workspace that WinEvent hooks report to (a hook callback carries no context).
ForegroundWorkspace* hookTarget = nullptr;

DWORD processOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

BOOL CALLBACK collectChildOwner(HWND child, LPARAM owners) {
  reinterpret_cast<std::vector<std::uint32_t>*>(owners)->push_back(processOf(child));
  return TRUE;
}

}  // namespace

ForegroundWorkspace::~ForegroundWorkspace() {
  if (foregroundHook_) UnhookWinEvent(foregroundHook_);
  if (nameHook_) UnhookWinEvent(nameHook_);
  if (hookTarget == this) hookTarget = nullptr;
}

std::optional<platform::RunningApplication> ForegroundWorkspace::frontmostApplication() {
  HWND window = GetForegroundWindow();
  const DWORD process = window ? processOf(window) : 0;
  if (process == 0) {
    knownWindow_ = nullptr;
    known_.reset();
    return std::nullopt;
  }
  if (window == knownWindow_ && process == knownProcess_ && known_) return known_;
  ProcessIdentity identity = readProcessIdentity(process);
  if (isApplicationFrameHost(identity.fileName)) {
    std::vector<std::uint32_t> owners;
    EnumChildWindows(window, collectChildOwner, reinterpret_cast<LPARAM>(&owners));
    const std::uint32_t hosted = hostedProcess(process, owners);
    if (hosted != process) identity = readProcessIdentity(hosted);
  }
  knownWindow_ = window;
  knownProcess_ = process;
  known_ = identity.application;
  return known_;
}

void ForegroundWorkspace::observeActivation(
    std::function<void(const std::optional<platform::RunningApplication>&)> callback) {
  observers_.push_back(std::move(callback));
  if (foregroundHook_) return;
  hookTarget = this;
  constexpr DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
  foregroundHook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                    onWinEvent, 0, 0, flags);
  nameHook_ = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                              onWinEvent, 0, 0, flags);
}

void CALLBACK ForegroundWorkspace::onWinEvent(HWINEVENTHOOK /*hook*/, DWORD event, HWND window,
                                              LONG object, LONG child, DWORD /*thread*/,
                                              DWORD /*time*/) {
  if (hookTarget != nullptr &&
      isActivationEvent(event, object, child, window == GetForegroundWindow()))
    hookTarget->deliverActivation();
}

void ForegroundWorkspace::deliverActivation() {
  const std::optional<platform::RunningApplication> application = frontmostApplication();
  for (const auto& observer : observers_) observer(application);
}

}  // namespace quen::windows
