#include "platform/windows/raw_input_source.h"

namespace quen::windows {
namespace {

constexpr wchar_t WINDOW_CLASS[] = L"QuenRawInputSink";
constexpr USHORT GENERIC_DESKTOP_PAGE = 0x01, MOUSE_USAGE = 0x02, KEYBOARD_USAGE = 0x06;

bool held(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace

RawInputEventSource::~RawInputEventSource() {
  if (registered_) {
    RAWINPUTDEVICE devices[2] = {
        {GENERIC_DESKTOP_PAGE, MOUSE_USAGE, RIDEV_REMOVE, nullptr},
        {GENERIC_DESKTOP_PAGE, KEYBOARD_USAGE, RIDEV_REMOVE, nullptr},
    };
    RegisterRawInputDevices(devices, 2, sizeof devices[0]);
  }
  if (window_) DestroyWindow(window_);
}

std::optional<platform::MonitorToken> RawInputEventSource::addGlobalMonitor(
    platform::EventMask matching, platform::EventHandler handler) {
  if (!registered_ && !registerDevices()) return std::nullopt;
  return monitors_.add(matching, std::move(handler));
}

void RawInputEventSource::removeMonitor(platform::MonitorToken token) { monitors_.remove(token); }

bool RawInputEventSource::registerDevices() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = WINDOW_CLASS;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                            nullptr);
  if (window_ == nullptr) return false;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  RAWINPUTDEVICE devices[2] = {
      {GENERIC_DESKTOP_PAGE, MOUSE_USAGE, RIDEV_INPUTSINK, window_},
      {GENERIC_DESKTOP_PAGE, KEYBOARD_USAGE, RIDEV_INPUTSINK, window_},
  };
  if (!RegisterRawInputDevices(devices, 2, sizeof devices[0])) return false;
  registered_ = true;
  // A drag under way at start must not count as moves.
  mouse_.heldButtons = heldButtonsAtStart(held(VK_LBUTTON), held(VK_RBUTTON), held(VK_MBUTTON),
                                          held(VK_XBUTTON1), held(VK_XBUTTON2),
                                          GetSystemMetrics(SM_SWAPBUTTON) != 0);
  return true;
}

LRESULT CALLBACK RawInputEventSource::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
  if (message == WM_INPUT) {
    auto* source =
        reinterpret_cast<RawInputEventSource*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (source) source->handle(reinterpret_cast<HRAWINPUT>(lParam));
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RawInputEventSource::handle(HRAWINPUT input) {
  UINT size = sizeof report_;
  if (GetRawInputData(input, RID_INPUT, &report_, &size, sizeof(RAWINPUTHEADER)) == UINT(-1))
    return;  // a report larger than a mouse's or a keyboard's (another device): not ours
  if (report_.header.dwType == RIM_TYPEMOUSE) {
    const RAWMOUSE& mouse = report_.data.mouse;
    const MouseMeaning meaning =
        translateRawMouse(mouse.usFlags, mouse.usButtonFlags, mouse.lLastX, mouse.lLastY, mouse_);
    if (meaning.moved) deliver(platform::EventType::MouseMoved);
    if (meaning.click) deliver(*meaning.click);
  } else if (report_.header.dwType == RIM_TYPEKEYBOARD) {
    const RAWKEYBOARD& keyboard = report_.data.keyboard;
    if (isCountedKeyRelease(keyboard.VKey, keyboard.Flags)) deliver(platform::EventType::KeyUp);
  }
}

void RawInputEventSource::deliver(platform::EventType type) { monitors_.deliver(type); }

}  // namespace quen::windows
