#pragma once

// Another X client for the backend's tests: it opens windows with chosen properties on its
// own connection (so the backend sees them as another client's), activates, restacks,
// unmaps and destroys them, and injects input through XTest.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quen::x11::testing {

struct WindowSpec {
  WindowSpec(std::string windowTitle = "") : title(std::move(windowTitle)) {}  // NOLINT: {"A"}

  std::string title;              // _NET_WM_NAME (UTF8_STRING); WM_NAME as STRING
  std::uint16_t width = 200, height = 150;
  std::optional<std::uint32_t> opacity;  // _NET_WM_WINDOW_OPACITY
  bool desktopType = false;       // _NET_WM_WINDOW_TYPE_DESKTOP
  bool overrideRedirect = false;
};

class TestClient {
 public:
  explicit TestClient(const std::string& display);
  ~TestClient();
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  xcb_connection_t* connection() const { return connection_; }
  xcb_window_t root() const { return root_; }

  // Creates and maps a window; returns once the server has handled the requests.
  xcb_window_t open(const WindowSpec& spec);
  // Asks the window manager to activate (focus and raise) the window (EWMH, source: pager).
  void activate(xcb_window_t window);
  // Asks the window manager to iconify the window (ICCCM WM_CHANGE_STATE, IconicState).
  void iconify(xcb_window_t window);
  void unmap(xcb_window_t window);
  void destroy(xcb_window_t window);
  void setProperty(xcb_window_t window, const std::string& property, const std::string& type,
                   std::uint8_t format, const void* data, std::uint32_t items);
  // A round trip: every request before it has been handled.
  void sync();
  // The window manager's frame of a client (its parent), and the root-relative origin of the
  // client computed from the frame's geometry and the client's offset in it.
  xcb_window_t parentOf(xcb_window_t window);
  std::pair<int, int> originThroughFrame(xcb_window_t window);

  // XTest input.
  void moveTo(int x, int y);
  void button(std::uint8_t button, bool press);
  void key(std::uint8_t keycode, bool press);

  xcb_atom_t atom(const std::string& name);

 private:
  xcb_connection_t* connection_;
  xcb_window_t root_;
};

}  // namespace quen::x11::testing
