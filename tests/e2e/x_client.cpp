#include "tests/e2e/x_client.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

namespace quen::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto WAIT_TIMEOUT = std::chrono::seconds(10);

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

}  // namespace

XClient::XClient(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
  if (xcb_connection_has_error(connection_)) {
    ADD_FAILURE() << "cannot connect to " << display;
    return;
  }
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
}

XClient::~XClient() { xcb_disconnect(connection_); }

xcb_atom_t XClient::atom(std::string_view name) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(name.size()), name.data()),
      nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void XClient::setProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                          std::uint8_t format, std::size_t length, const void* data) {
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, property, type, format,
                      static_cast<uint32_t>(length), data);
}

xcb_window_t XClient::open(const WindowSpec& spec, bool untilViewable) {
  if (screen_ == nullptr) return XCB_WINDOW_NONE;
  const xcb_window_t window = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, 0, 0, spec.width,
                    spec.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL, &screen_->white_pixel);
  const std::string windowClass = spec.instance + '\0' + spec.className + '\0';
  setProperty(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, windowClass.size(),
              windowClass.data());
  if (spec.publishPid) {
    // EWMH: _NET_WM_PID is meaningful together with WM_CLIENT_MACHINE.
    const uint32_t pid = static_cast<uint32_t>(getpid());
    setProperty(window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    setProperty(window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8, std::strlen(host), host);
  }
  // ICCCM 4.1.2.3 WM_NORMAL_HINTS: USSize, so that the manager keeps the size asked for.
  const uint32_t sizeHints[18] = {2, 0, 0, spec.width, spec.height};
  setProperty(window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, sizeHints);
  if (spec.desktop) {
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    setProperty(window, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
  }
  if (spec.opacity) setOpacity(window, *spec.opacity);
  if (!spec.title.empty()) setTitle(window, spec.title);
  xcb_map_window(connection_, window);
  if (untilViewable)
    waitUntil([&] { return mapState(window) == XCB_MAP_STATE_VIEWABLE; }, "window mapped");
  return window;
}

void XClient::setTitle(xcb_window_t window, std::string_view bytes, TitleProperty property) {
  if (property == TitleProperty::NetWmName)
    setProperty(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, bytes.size(), bytes.data());
  else
    setProperty(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, bytes.size(), bytes.data());
  sync();
}

void XClient::setOpacity(xcb_window_t window, double opacity) {
  const auto value = static_cast<uint32_t>(std::lround(opacity * 0xFFFFFFFF));
  setProperty(window, atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 32, 1, &value);
  sync();
}

void XClient::activate(xcb_window_t window) {
  xcb_client_message_event_t message = {};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = atom("_NET_ACTIVE_WINDOW");
  message.data.data32[0] = 2;  // source indication: a pager, which managers always obey
  xcb_send_event(connection_, 0, screen_->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  // _NET_ACTIVE_WINDOW alone may already name the window while the manager still has an
  // older focus change to announce: done only once the input focus names it too.
  waitUntil(
      [&] {
        Reply<xcb_get_property_reply_t> active(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, screen_->root, message.type, XCB_ATOM_WINDOW, 0, 1),
            nullptr));
        Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        return active && xcb_get_property_value_length(active.get()) == 4 &&
               *static_cast<xcb_window_t*>(xcb_get_property_value(active.get())) == window &&
               focus && focus->focus == window;
      },
      "window active");
}

void XClient::unmap(xcb_window_t window) {
  xcb_unmap_window(connection_, window);
  // ICCCM 4.1.4: a synthetic UnmapNotify on the root tells the manager to withdraw it.
  xcb_unmap_notify_event_t notice = {};
  notice.response_type = XCB_UNMAP_NOTIFY;
  notice.event = screen_->root;
  notice.window = window;
  xcb_send_event(connection_, 0, screen_->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&notice));
  waitUntil([&] { return mapState(window) == XCB_MAP_STATE_UNMAPPED; }, "window unmapped");
}

void XClient::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  sync();
}

xcb_keycode_t XClient::keycodeOf(std::string_view keysymName) {
  static const std::map<std::string_view, xcb_keysym_t> KEYSYMS = {
      {"a", 0x61}, {"b", 0x62}, {"eacute", 0xe9}, {"Shift_L", 0xffe1}, {"Control_L", 0xffe3}};
  const auto keysym = KEYSYMS.find(keysymName);
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  // Read afresh each time: the keymap may change during a test.
  Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
      connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, count), nullptr));
  if (keysym != KEYSYMS.end() && mapping) {
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    for (int code = 0; code < count; ++code)
      if (keysyms[code * mapping->keysyms_per_keycode] == keysym->second)
        return static_cast<xcb_keycode_t>(setup->min_keycode + code);
  }
  ADD_FAILURE() << "no key for " << keysymName;
  return 0;
}

void XClient::input(std::string_view actions) {
  std::istringstream words{std::string(actions)};
  for (std::string action, value; words >> action >> value;) {
    int dy = 0;
    if (action == "move" && words >> dy) {
      xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, /*relative=*/1, XCB_CURRENT_TIME,
                          XCB_WINDOW_NONE, static_cast<int16_t>(std::stoi(value)),
                          static_cast<int16_t>(dy), 0);
      continue;
    }
    const bool key = action.rfind("key", 0) == 0;
    const uint8_t press = key ? XCB_KEY_PRESS : XCB_BUTTON_PRESS;  // the release is press + 1
    const uint8_t detail = key ? keycodeOf(value) : static_cast<uint8_t>(std::stoi(value));
    for (const uint8_t type : {press, static_cast<uint8_t>(press + 1)})
      if ((type == press && action != "up" && action != "keyup") ||
          (type != press && action != "down" && action != "keydown"))
        xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
  }
  sync();
}

void XClient::sync() {
  Reply<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

std::uint8_t XClient::mapState(xcb_window_t window) {
  Reply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
      connection_, xcb_get_window_attributes(connection_, window), nullptr));
  return reply ? reply->map_state : std::uint8_t{XCB_MAP_STATE_UNMAPPED};
}

void XClient::waitUntil(const std::function<bool()>& condition, const char* what) {
  const auto deadline = Clock::now() + WAIT_TIMEOUT;
  while (!condition()) {
    if (Clock::now() > deadline || xcb_connection_has_error(connection_)) {
      ADD_FAILURE() << "not seen in time: " << what;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace quen::testing
