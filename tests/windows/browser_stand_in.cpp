// A window whose executable names itself "Google Chrome" (its version resource), so that
// FocusTrail asks it for the URL: its address bar is an edit field holding a full URL, which
// Active Accessibility shows as a text element with that value.

#include <windows.h>

int main() {
  WNDCLASSW frame{};
  frame.lpfnWndProc = DefWindowProcW;
  frame.hInstance = GetModuleHandleW(nullptr);
  frame.lpszClassName = L"QuenBrowserStandIn";
  RegisterClassW(&frame);
  HWND window = CreateWindowExW(0, frame.lpszClassName, L"Stand-in tab", WS_OVERLAPPEDWINDOW, 120, 120,
                                500, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  CreateWindowExW(0, L"EDIT", L"https://example.org/grüße", WS_CHILD | WS_VISIBLE, 10, 10, 400,
                  24, window, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
