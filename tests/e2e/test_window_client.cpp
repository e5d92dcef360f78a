#include "tests/e2e/test_window_client.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <thread>
#include <vector>


namespace quen::testing {

namespace {

constexpr int WAIT_MILLISECONDS = 5000;

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

int remainingMilliseconds(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

std::unique_ptr<TestWindowClient> TestWindowClient::connect(std::string& error) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    error = "cannot open display";
    return nullptr;
  }
  return std::unique_ptr<TestWindowClient>(new TestWindowClient(connection));
}

TestWindowClient::TestWindowClient(xcb_connection_t* connection)
    : connection_(connection),
      screen_(xcb_setup_roots_iterator(xcb_get_setup(connection)).data) {
  const uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection_, screen_->root, XCB_CW_EVENT_MASK, &rootEvents);
}

TestWindowClient::~TestWindowClient() { xcb_disconnect(connection_); }

xcb_atom_t TestWindowClient::atom(const std::string& name) {
  if (const auto found = atoms_.find(name); found != atoms_.end()) return found->second;
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection_,
      xcb_intern_atom(connection_, 0, static_cast<uint16_t>(name.size()), name.data()),
      nullptr));
  const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  atoms_.emplace(name, value);
  return value;
}

void TestWindowClient::setCardinal(xcb_window_t window, xcb_atom_t property,
                                   std::uint32_t value) {
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, property,
                      XCB_ATOM_CARDINAL, 32, 1, &value);
}

void TestWindowClient::setIdentity(xcb_window_t window, const WindowOptions& options) {
  std::string wmClass = options.instance;
  wmClass += '\0';
  wmClass += options.className;
  wmClass += '\0';
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                      XCB_ATOM_STRING, 8, static_cast<uint32_t>(wmClass.size()),
                      wmClass.data());
  if (!options.publishPid) return;
  // EWMH: _NET_WM_PID is meaningful together with WM_CLIENT_MACHINE.
  setCardinal(window, atom("_NET_WM_PID"), static_cast<std::uint32_t>(getpid()));
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window,
                      XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                      static_cast<uint32_t>(std::string_view(host).size()), host);
}

void TestWindowClient::setGeometryHints(xcb_window_t window, const WindowOptions& options) {
  // ICCCM 4.1.2.3 WM_NORMAL_HINTS: flags USPosition | USSize, then x, y, width, height;
  // the position is a request the window manager may still override.
  std::uint32_t hints[18] = {};
  hints[0] = 1 | 2;
  hints[1] = static_cast<std::uint32_t>(options.x);
  hints[2] = static_cast<std::uint32_t>(options.y);
  hints[3] = options.width;
  hints[4] = options.height;
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
  // ICCCM 4.1.2.4 WM_HINTS: InputHint set, input true, so the manager gives it focus.
  std::uint32_t wmHints[9] = {1, 1};
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS,
                      XCB_ATOM_WM_HINTS, 32, 9, wmHints);
}

xcb_window_t TestWindowClient::createWindow(const WindowOptions& options) {
  const xcb_window_t window = xcb_generate_id(connection_);
  const uint32_t values[] = {screen_->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, options.x,
                    options.y, options.width, options.height, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  setIdentity(window, options);
  setGeometryHints(window, options);
  if (!options.type.empty()) {
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_" + options.type);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window,
                        atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
  }
  setOpacity(window, options.opacity);
  return window;
}

std::optional<xcb_window_t> TestWindowClient::open(const WindowOptions& options,
                                                   std::string& error) {
  const xcb_window_t window = createWindow(options);
  if (options.title && !setTitle(window, options.titleProperty, *options.title, error)) {
    xcb_destroy_window(connection_, window);
    return std::nullopt;
  }
  if (!map(window, error)) return std::nullopt;
  return window;
}

bool TestWindowClient::setTitle(xcb_window_t window, TitleProperty property,
                                std::string_view text, std::string& error) {
  const bool net = property == TitleProperty::NetWmName;
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window,
                      net ? atom("_NET_WM_NAME") : xcb_atom_t{XCB_ATOM_WM_NAME},
                      net ? atom("UTF8_STRING") : xcb_atom_t{XCB_ATOM_STRING}, 8,
                      static_cast<uint32_t>(text.size()), text.data());
  if (!sync()) error = "connection lost";
  return error.empty();
}

void TestWindowClient::removeTitle(xcb_window_t window, TitleProperty property) {
  xcb_delete_property(connection_, window,
                      property == TitleProperty::NetWmName ? atom("_NET_WM_NAME")
                                                           : xcb_atom_t{XCB_ATOM_WM_NAME});
  sync();
}

void TestWindowClient::setOpacity(xcb_window_t window, std::optional<double> opacity) {
  const xcb_atom_t property = atom("_NET_WM_WINDOW_OPACITY");
  if (!opacity) {
    xcb_delete_property(connection_, window, property);
    return;
  }
  const double clamped = *opacity < 0 ? 0 : (*opacity > 1 ? 1 : *opacity);
  setCardinal(window, property, static_cast<std::uint32_t>(std::lround(clamped * 0xFFFFFFFF)));
}

std::optional<xcb_window_t> TestWindowClient::activeWindow() {
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection_,
      xcb_get_property(connection_, 0, screen_->root, atom("_NET_ACTIVE_WINDOW"),
                       XCB_ATOM_WINDOW, 0, 1),
      nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) != 4) return std::nullopt;
  return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

xcb_window_t TestWindowClient::inputFocus() {
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  return reply ? reply->focus : xcb_window_t{XCB_NONE};
}

bool TestWindowClient::activate(xcb_window_t window, std::string& error) {
  xcb_client_message_event_t message = {};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = atom("_NET_ACTIVE_WINDOW");
  message.data.data32[0] = 2;  // source indication: a pager, which managers always obey
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection_, 0, screen_->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  // _NET_ACTIVE_WINDOW alone may already name the window while the manager still has an
  // older focus change to announce (a window it focused when it mapped it): done only once
  // the server's input focus and the manager's property both name the window.
  const xcb_atom_t property = atom("_NET_ACTIVE_WINDOW");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MILLISECONDS);
  while (activeWindow() != window || inputFocus() != window) {
    if (remainingMilliseconds(deadline) == 0) {
      error = "window did not become active";
      return false;
    }
    waitForEvent(
        [&](const xcb_generic_event_t& event) {
          return (event.response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
                 reinterpret_cast<const xcb_property_notify_event_t&>(event).atom == property;
        },
        std::min(20, remainingMilliseconds(deadline)));
  }
  return true;
}

void TestWindowClient::raise(xcb_window_t window) {
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  sync();
}

bool TestWindowClient::map(xcb_window_t window, std::string& error) {
  xcb_map_window(connection_, window);
  xcb_flush(connection_);
  const bool mapped = waitForEvent(
      [&](const xcb_generic_event_t& event) {
        return (event.response_type & 0x7F) == XCB_MAP_NOTIFY &&
               reinterpret_cast<const xcb_map_notify_event_t&>(event).window == window;
      },
      WAIT_MILLISECONDS);
  if (!mapped) error = "window was not mapped";
  return mapped;
}

bool TestWindowClient::unmap(xcb_window_t window, std::string& error) {
  xcb_unmap_window(connection_, window);
  // ICCCM 4.1.4: a synthetic UnmapNotify on the root tells the manager to withdraw it.
  xcb_unmap_notify_event_t notice = {};
  notice.response_type = XCB_UNMAP_NOTIFY;
  notice.event = screen_->root;
  notice.window = window;
  xcb_send_event(connection_, 0, screen_->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&notice));
  xcb_flush(connection_);
  const bool unmapped = waitForEvent(
      [&](const xcb_generic_event_t& event) {
        return (event.response_type & 0x7F) == XCB_UNMAP_NOTIFY &&
               reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window == window;
      },
      WAIT_MILLISECONDS);
  if (!unmapped) error = "window was not unmapped";
  return unmapped && sync();
}

void TestWindowClient::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  sync();
}

bool TestWindowClient::churn(int count, double perSecond, std::string& error) {
  constexpr std::size_t ALIVE_AT_ONCE = 4;
  const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 / perSecond));
  auto next = std::chrono::steady_clock::now();
  std::deque<xcb_window_t> alive;
  for (int index = 0; index < count; ++index) {
    WindowOptions options;
    options.width = static_cast<std::uint16_t>(100 + index % 300);
    options.height = static_cast<std::uint16_t>(80 + index % 200);
    options.publishPid = index % 2 == 0;
    const xcb_window_t window = createWindow(options);
    const std::string title = "churn " + std::to_string(index);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                        atom("UTF8_STRING"), 8, static_cast<uint32_t>(title.size()),
                        title.data());
    xcb_map_window(connection_, window);
    alive.push_back(window);
    if (alive.size() > ALIVE_AT_ONCE) {
      xcb_destroy_window(connection_, alive.front());
      alive.pop_front();
    }
    xcb_flush(connection_);
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);
    next += period;
    std::this_thread::sleep_until(next);
  }
  for (const xcb_window_t window : alive) xcb_destroy_window(connection_, window);
  if (!sync()) error = "connection lost";
  return error.empty();
}

bool TestWindowClient::sync() {
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  return reply != nullptr;
}

bool TestWindowClient::waitForEvent(
    const std::function<bool(const xcb_generic_event_t&)>& matches, int timeoutMilliseconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const bool found = matches(*event);
      std::free(event);
      if (found) return true;
    }
    if (xcb_connection_has_error(connection_)) return false;
    const int left = remainingMilliseconds(deadline);
    if (left == 0) return false;
    pollfd descriptor = {xcb_get_file_descriptor(connection_), POLLIN, 0};
    poll(&descriptor, 1, left);
  }
}

}  // namespace quen::testing
