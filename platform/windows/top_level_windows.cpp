#include "platform/windows/top_level_windows.h"

#include <dwmapi.h>

#include <string>

#include "platform/windows/process_identity.h"
#include "platform/windows/win32_rules.h"

namespace quen::windows {
namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

bool isOnScreen(HWND window) {
  if (!IsWindowVisible(window) || IsIconic(window)) return false;
  if ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) return false;
  DWORD cloaked = 0;
  const bool queried =
      SUCCEEDED(DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked));
  return !isCloaked(queried, cloaked);
}

class Description final : public platform::WindowDescription {
 public:
  explicit Description(HWND window) : window_(window) {}

  platform::OsValue ownerPid() const override {
    DWORD process = 0;
    GetWindowThreadProcessId(window_, &process);
    return platform::OsValue::ofInteger(process);
  }
  platform::OsValue alpha() const override {
    BYTE alpha = 255;
    DWORD flags = 0;
    const bool layered = (GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    const bool queried =
        layered && GetLayeredWindowAttributes(window_, nullptr, &alpha, &flags) != 0;
    return platform::OsValue::ofReal(windowAlpha(layered, queried, flags, alpha));
  }
  platform::OsValue bounds() const override {
    RECT rect{};
    if (FAILED(DwmGetWindowAttribute(window_, DWMWA_EXTENDED_FRAME_BOUNDS, &rect, sizeof rect)) &&
        !GetWindowRect(window_, &rect))
      return platform::OsValue::absent();
    return platform::OsValue::ofDictionary({
        {"X", platform::OsValue::ofReal(rect.left)},
        {"Y", platform::OsValue::ofReal(rect.top)},
        {"Width", platform::OsValue::ofReal(rect.right - rect.left)},
        {"Height", platform::OsValue::ofReal(rect.bottom - rect.top)},
    });
  }
  platform::OsValue name() const override {
    const int length = GetWindowTextLengthW(window_);
    std::wstring title(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window_, title.data(), static_cast<int>(title.size()));
    title.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return platform::OsValue::ofText(fromWide(title));
  }
  std::uint64_t identity() const override { return reinterpret_cast<std::uintptr_t>(window_); }

 private:
  HWND window_;
};

}  // namespace

bool TopLevelWindowList::walkOnScreenWindows(
    const std::function<bool(const platform::WindowDescription&)>& visit) {
  windows_.clear();
  if (!EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows_))) return false;
  for (HWND window : windows_) {
    if (!isOnScreen(window)) continue;
    if (visit(Description(window))) break;
  }
  return true;
}

}  // namespace quen::windows
