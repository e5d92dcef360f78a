#pragma once

// The test's own X client: one connection (one client, as the X server and the agents see
// it) that opens windows with exactly the properties a test asks for, changes them, asks
// the window manager to activate them, and injects input through XTEST. Every call returns
// once the server (and, where one is involved, the window manager) shows its effect; a
// failure fails the test.

#include <xcb/xcb_ewmh.h>

#include <optional>
#include <string>
#include <string_view>

namespace quen::testing {

// Where a title goes: _NET_WM_NAME as UTF8_STRING, or WM_NAME as STRING; bytes as given.
enum class TitleProperty { NetWmName, WmName };

struct WindowSpec {
  std::string title{};
  std::string instance = "quen_window";  // WM_CLASS
  std::string className = "QuenWindow";
  std::uint16_t width = 400;
  std::uint16_t height = 300;
  std::optional<double> opacity{};  // _NET_WM_WINDOW_OPACITY, 0.0 to 1.0
  bool desktop = false;             // _NET_WM_WINDOW_TYPE_DESKTOP
  bool publishPid = true;           // _NET_WM_PID and WM_CLIENT_MACHINE
};

class XClient {
 public:
  explicit XClient(const std::string& display);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  // Creates and maps a window; returns once it is viewable (framed by the manager, if any),
  // or at once when not `untilViewable`.
  xcb_window_t open(const WindowSpec& spec, bool untilViewable = true);
  void setTitle(xcb_window_t window, std::string_view bytes,
                TitleProperty property = TitleProperty::NetWmName);
  void setOpacity(xcb_window_t window, double opacity);
  // Asks the window manager to activate `window` (EWMH _NET_ACTIVE_WINDOW, source: pager)
  // and returns once the root's _NET_ACTIVE_WINDOW and the input focus both name it.
  void activate(xcb_window_t window);
  // Withdraws the window (ICCCM 4.1.4) and returns once it is unmapped.
  void unmap(xcb_window_t window);
  void destroy(xcb_window_t window);

  // XTEST input, one word list per call, processed by the server when it returns:
  // "move dx dy" (relative), "click N", "down N", "up N" (buttons), "key K", "keydown K",
  // "keyup K" (K a keysym name this client knows: a, b, eacute, Shift_L, Control_L).
  void input(std::string_view actions);
  // Adds a master pointer and keyboard (a new seat) and makes its pointer this client's, so
  // that XTEST's pointer input goes through the new seat from then on.
  void addSeatForInput();

 private:
  xcb_connection_t* connection_;
  xcb_ewmh_connection_t ewmh_{};
  xcb_screen_t* screen_ = nullptr;  // null when the connection or the EWMH atoms failed
};

}  // namespace quen::testing
