#pragma once

// The X side of quen_test_window: one connection that opens windows with exactly the
// properties a test asks for and changes them on command.

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quen::testing {

// Where a title is written: _NET_WM_NAME (EWMH, UTF8_STRING, bytes as given, valid or
// not), or WM_NAME (ICCCM) as STRING (ISO 8859-1) or as COMPOUND_TEXT.
// Where a title goes: _NET_WM_NAME as UTF8_STRING, or WM_NAME as STRING; bytes as given.
enum class TitleProperty { NetWmName, WmNameString };

struct WindowOptions {
  std::uint16_t width = 400;
  std::uint16_t height = 300;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::optional<double> opacity;  // _NET_WM_WINDOW_OPACITY, 0.0 to 1.0; absent when none
  std::string type;               // _NET_WM_WINDOW_TYPE_<TYPE> in upper case; none when empty
  std::string instance = "quen_test_window";  // WM_CLASS
  std::string className = "QuenTestWindow";
  bool publishPid = true;  // _NET_WM_PID and WM_CLIENT_MACHINE
  TitleProperty titleProperty = TitleProperty::NetWmName;
  std::optional<std::string> title;
};

class TestWindowClient {
 public:
  // Connects to $DISPLAY. Null, with the cause in `error`, when that fails.
  static std::unique_ptr<TestWindowClient> connect(std::string& error);
  ~TestWindowClient();
  TestWindowClient(const TestWindowClient&) = delete;
  TestWindowClient& operator=(const TestWindowClient&) = delete;

  // Creates and maps a window; returns once it is mapped (by the window manager, if any).
  std::optional<xcb_window_t> open(const WindowOptions& options, std::string& error);
  bool setTitle(xcb_window_t window, TitleProperty property, std::string_view text,
                std::string& error);
  void removeTitle(xcb_window_t window, TitleProperty property);
  void setOpacity(xcb_window_t window, std::optional<double> opacity);
  // Asks the window manager to activate `window` (EWMH _NET_ACTIVE_WINDOW, source: pager)
  // and returns once the root's _NET_ACTIVE_WINDOW names it.
  bool activate(xcb_window_t window, std::string& error);
  void raise(xcb_window_t window);
  bool map(xcb_window_t window, std::string& error);
  // Withdraws the window (ICCCM 4.1.4) and returns once it is unmapped.
  bool unmap(xcb_window_t window, std::string& error);
  void destroy(xcb_window_t window);
  // Creates, maps and destroys `count` windows at `perSecond`, at most a few alive at once.
  bool churn(int count, double perSecond, std::string& error);
  // One round trip: every request sent before it has been processed by the server.
  bool sync();

 private:
  explicit TestWindowClient(xcb_connection_t* connection);
  xcb_atom_t atom(const std::string& name);
  void setCardinal(xcb_window_t window, xcb_atom_t property, std::uint32_t value);
  void setIdentity(xcb_window_t window, const WindowOptions& options);
  void setGeometryHints(xcb_window_t window, const WindowOptions& options);
  xcb_window_t createWindow(const WindowOptions& options);
  std::optional<xcb_window_t> activeWindow();
  xcb_window_t inputFocus();
  // Handles events until `matches` accepts one or `timeoutMilliseconds` pass.
  bool waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& matches,
                    int timeoutMilliseconds);

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  std::unordered_map<std::string, xcb_atom_t> atoms_;
};

}  // namespace quen::testing
