#include "platform/x11/x11_test_client.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace quen::x11::testing {

namespace {

template <typename T>
struct Freed {
  T* reply;
  ~Freed() { std::free(reply); }
};

}  // namespace

TestClient::TestClient(const std::string& display)
    : connection_(xcb_connect(display.c_str(), nullptr)) {
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

TestClient::~TestClient() { xcb_disconnect(connection_); }

xcb_atom_t TestClient::atom(const std::string& name) {
  Freed<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
      connection_,
      xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
      nullptr)};
  return reply.reply != nullptr ? reply.reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void TestClient::setProperty(xcb_window_t window, const std::string& property,
                             const std::string& type, std::uint8_t format, const void* data,
                             std::uint32_t items) {
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(property), atom(type),
                      format, items, data);
}

xcb_window_t TestClient::open(const WindowSpec& spec) {
  const xcb_window_t window = xcb_generate_id(connection_);
  const std::uint32_t values[] = {spec.overrideRedirect ? 1u : 0u};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 100, 100, spec.width,
                    spec.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_OVERRIDE_REDIRECT, values);
  const auto length = static_cast<std::uint32_t>(spec.title.size());
  setProperty(window, "_NET_WM_NAME", "UTF8_STRING", 8, spec.title.data(), length);
  setProperty(window, "WM_NAME", "STRING", 8, spec.title.data(), length);
  const char windowClass[] = "quen-test\0QuenTest";
  setProperty(window, "WM_CLASS", "STRING", 8, windowClass, sizeof windowClass);
  if (spec.opacity)
    setProperty(window, "_NET_WM_WINDOW_OPACITY", "CARDINAL", 32, &*spec.opacity, 1);
  if (spec.desktopType) {
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    setProperty(window, "_NET_WM_WINDOW_TYPE", "ATOM", 32, &type, 1);
  }
  xcb_map_window(connection_, window);
  sync();
  return window;
}

namespace {

// A client message to the window manager about `window` (EWMH and ICCCM send them to the root).
void sendToManager(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                   xcb_atom_t type, std::uint32_t first, std::uint32_t second) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = type;
  message.data.data32[0] = first;
  message.data.data32[1] = second;
  xcb_send_event(connection, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
}

}  // namespace

void TestClient::activate(xcb_window_t window) {
  // Source indication 2: a pager, which managers obey.
  sendToManager(connection_, root_, window, atom("_NET_ACTIVE_WINDOW"), 2, XCB_CURRENT_TIME);
  sync();
}

void TestClient::iconify(xcb_window_t window) {
  constexpr std::uint32_t ICONIC_STATE = 3;
  sendToManager(connection_, root_, window, atom("WM_CHANGE_STATE"), ICONIC_STATE, 0);
  sync();
}

void TestClient::unmap(xcb_window_t window) {
  xcb_unmap_window(connection_, window);
  sync();
}

void TestClient::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  sync();
}

void TestClient::sync() {
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

xcb_window_t TestClient::parentOf(xcb_window_t window) {
  Freed<xcb_query_tree_reply_t> tree{
      xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)};
  return tree.reply != nullptr ? tree.reply->parent : xcb_window_t{XCB_WINDOW_NONE};
}

std::pair<int, int> TestClient::originThroughFrame(xcb_window_t window) {
  const xcb_window_t frame = parentOf(window);
  Freed<xcb_get_geometry_reply_t> frameGeometry{
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, frame), nullptr)};
  Freed<xcb_get_geometry_reply_t> clientGeometry{
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr)};
  if (frameGeometry.reply == nullptr || clientGeometry.reply == nullptr) return {-1, -1};
  // X11: a child's position is relative to the inside of its parent's border.
  return {frameGeometry.reply->x + frameGeometry.reply->border_width + clientGeometry.reply->x +
              clientGeometry.reply->border_width,
          frameGeometry.reply->y + frameGeometry.reply->border_width + clientGeometry.reply->y +
              clientGeometry.reply->border_width};
}

void TestClient::moveTo(int x, int y) {
  xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
  sync();
}

void TestClient::button(std::uint8_t number, bool press) {
  xcb_test_fake_input(connection_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, number,
                      XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
  sync();
}

void TestClient::key(std::uint8_t keycode, bool press) {
  xcb_test_fake_input(connection_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode,
                      XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
  sync();
}

}  // namespace quen::x11::testing
