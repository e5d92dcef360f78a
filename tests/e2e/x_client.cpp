#include "tests/e2e/x_client.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace {

constexpr std::chrono::milliseconds WAIT_TIMEOUT{10000};

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Returns once the server has processed every request sent before.
void sync(xcb_connection_t* connection) {
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

std::uint8_t mapState(xcb_connection_t* connection, xcb_window_t window) {
  Reply<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
      connection, xcb_get_window_attributes(connection, window), nullptr));
  return reply ? reply->map_state : std::uint8_t{XCB_MAP_STATE_UNMAPPED};
}

// Polls `condition` (state the server or the window manager shows) until it holds; a test
// failure naming `what` at the deadline. A broken connection shows nothing.
template <typename Condition>
void expectSoon(xcb_connection_t* connection, Condition condition, const char* what) {
  if (!waitUntil([&] { return !xcb_connection_has_error(connection) && condition(); },
                 WAIT_TIMEOUT))
    ADD_FAILURE() << "not seen in time: " << what;
}

// A keycode for `keysymName`, one with that keysym first in its list where there is one, in
// the keymap as it is now (it may change during a test).
xcb_keycode_t keycodeOf(xcb_connection_t* connection, std::string_view keysymName) {
  static const std::map<std::string_view, xcb_keysym_t> KEYSYMS = {
      {"a", 0x61}, {"b", 0x62}, {"eacute", 0xe9}, {"Shift_L", 0xffe1}, {"Control_L", 0xffe3}};
  const auto keysym = KEYSYMS.find(keysymName);
  const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> keymap(
      xcb_key_symbols_alloc(connection), &xcb_key_symbols_free);
  const Reply<xcb_keycode_t> codes(keysym == KEYSYMS.end()
                                       ? nullptr
                                       : xcb_key_symbols_get_keycode(keymap.get(), keysym->second));
  if (codes && codes.get()[0] != XCB_NO_SYMBOL) return codes.get()[0];
  ADD_FAILURE() << "no key for " << keysymName;
  return 0;
}

}  // namespace

XClient::XClient(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
  if (xcb_connection_has_error(connection_) ||
      !xcb_ewmh_init_atoms_replies(&ewmh_, xcb_ewmh_init_atoms(connection_, &ewmh_), nullptr)) {
    ADD_FAILURE() << "cannot connect to " << display;
    return;
  }
  screen_ = ewmh_.screens[0];
}

XClient::~XClient() {
  if (screen_ != nullptr) xcb_ewmh_connection_wipe(&ewmh_);
  xcb_disconnect(connection_);
}

xcb_window_t XClient::open(const WindowSpec& spec, bool untilViewable) {
  if (screen_ == nullptr) return XCB_WINDOW_NONE;
  const xcb_window_t window = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, 0, 0, spec.width,
                    spec.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL, &screen_->white_pixel);
  const std::string windowClass = spec.instance + '\0' + spec.className + '\0';
  xcb_icccm_set_wm_class(connection_, window, static_cast<uint32_t>(windowClass.size()),
                         windowClass.data());
  if (spec.publishPid) {
    // EWMH: _NET_WM_PID is meaningful together with WM_CLIENT_MACHINE.
    xcb_ewmh_set_wm_pid(&ewmh_, window, static_cast<uint32_t>(getpid()));
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    xcb_icccm_set_wm_client_machine(connection_, window, XCB_ATOM_STRING, 8,
                                    static_cast<uint32_t>(std::strlen(host)), host);
  }
  // ICCCM 4.1.2.3 WM_NORMAL_HINTS: USSize, so that the manager keeps the size asked for.
  xcb_size_hints_t sizeHints = {};
  xcb_icccm_size_hints_set_size(&sizeHints, /*user_specified=*/1, spec.width, spec.height);
  xcb_icccm_set_wm_normal_hints(connection_, window, &sizeHints);
  if (spec.desktop)
    xcb_ewmh_set_wm_window_type(&ewmh_, window, 1, &ewmh_._NET_WM_WINDOW_TYPE_DESKTOP);
  if (spec.opacity) setOpacity(window, *spec.opacity);
  if (!spec.title.empty()) setTitle(window, spec.title);
  xcb_map_window(connection_, window);
  const auto viewable = [&] { return mapState(connection_, window) == XCB_MAP_STATE_VIEWABLE; };
  if (untilViewable) expectSoon(connection_, viewable, "window mapped");
  return window;
}

void XClient::setTitle(xcb_window_t window, std::string_view bytes, TitleProperty property) {
  const auto length = static_cast<uint32_t>(bytes.size());
  if (property == TitleProperty::NetWmName)
    xcb_ewmh_set_wm_name(&ewmh_, window, length, bytes.data());
  else
    xcb_icccm_set_wm_name(connection_, window, XCB_ATOM_STRING, 8, length, bytes.data());
  sync(connection_);
}

void XClient::setOpacity(xcb_window_t window, double opacity) {
  constexpr std::string_view NAME = "_NET_WM_WINDOW_OPACITY";
  const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, NAME.size(), NAME.data()), nullptr));
  const auto value = static_cast<uint32_t>(std::lround(opacity * 0xFFFFFFFF));
  if (atom)
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_CARDINAL,
                        32, 1, &value);
  sync(connection_);
}

void XClient::activate(xcb_window_t window) {
  // Source indication 2, a pager: managers always obey it.
  xcb_ewmh_request_change_active_window(&ewmh_, 0, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                        XCB_CURRENT_TIME, XCB_WINDOW_NONE);
  // _NET_ACTIVE_WINDOW alone may already name the window while the manager still has an
  // older focus change to announce: done only once the input focus names it too.
  const auto active = [&] {
    const auto activeCookie = xcb_ewmh_get_active_window(&ewmh_, 0);
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    xcb_window_t activeWindow = XCB_WINDOW_NONE;
    return xcb_ewmh_get_active_window_reply(&ewmh_, activeCookie, &activeWindow, nullptr) &&
           activeWindow == window && focus && focus->focus == window;
  };
  expectSoon(connection_, active, "window active");
}

void XClient::unmap(xcb_window_t window) {
  xcb_unmap_window(connection_, window);
  // ICCCM 4.1.4: a synthetic UnmapNotify on the root tells the manager to withdraw it.
  union {
    xcb_unmap_notify_event_t notice;
    char wire[32];  // SendEvent carries 32 bytes, an event's size on the wire
  } event = {};
  event.notice.response_type = XCB_UNMAP_NOTIFY;
  event.notice.event = screen_->root;
  event.notice.window = window;
  xcb_send_event(connection_, 0, screen_->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 event.wire);
  const auto unmapped = [&] { return mapState(connection_, window) == XCB_MAP_STATE_UNMAPPED; };
  expectSoon(connection_, unmapped, "window unmapped");
}

void XClient::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  sync(connection_);
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
    const uint8_t detail =
        key ? keycodeOf(connection_, value) : static_cast<uint8_t>(std::stoi(value));
    for (const uint8_t type : {press, static_cast<uint8_t>(press + 1)})
      if (!action.ends_with(type == press ? "up" : "down"))
        xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
  }
  sync(connection_);
}

void XClient::addSeatForInput() {
  struct {
    xcb_input_add_master_t head;
    char name[12];  // padded to whole words
  } change{{XCB_INPUT_HIERARCHY_CHANGE_TYPE_ADD_MASTER, sizeof change / 4, 9, 1, 1}, "quen seat"};
  xcb_input_xi_change_hierarchy(connection_, 1,
                                reinterpret_cast<xcb_input_hierarchy_change_t*>(&change));
  const Reply<xcb_input_xi_query_device_reply_t> devices(xcb_input_xi_query_device_reply(
      connection_, xcb_input_xi_query_device(connection_, XCB_INPUT_DEVICE_ALL_MASTER), nullptr));
  for (auto device = xcb_input_xi_query_device_infos_iterator(devices.get());
       devices && device.rem > 0; xcb_input_xi_device_info_next(&device))
    if (std::string_view(xcb_input_xi_device_info_name(device.data), device.data->name_len) ==
        "quen seat pointer") {
      xcb_input_xi_set_client_pointer(connection_, XCB_WINDOW_NONE, device.data->deviceid);
      sync(connection_);
      return;
    }
  ADD_FAILURE() << "no new seat";
}

}  // namespace quen::testing
