#include "platform/x11/x11_connection.h"

#include <xcb/res.h>
#include <xcb/xinput.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

std::string nameOfDisplay(const char* displayName) {
  if (displayName == nullptr) displayName = std::getenv("DISPLAY");
  if (displayName == nullptr) return "(unset)";
  return displayName;
}

// What xcb_connection_has_error's code says of a connection that broke after it worked.
const char* causeOfBreak(int code) {
  switch (code) {
    case XCB_CONN_ERROR:
      return "the server closed it or cannot be reached";
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
      return "out of memory";
    case XCB_CONN_CLOSED_REQ_LEN_EXCEED:
      return "a request exceeded the server's maximum length";
    case XCB_CONN_CLOSED_PARSE_ERR:
      return "the display name could not be parsed";
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
      return "an extension is not supported";
    default:
      return "a protocol error";
  }
}

}  // namespace

std::unique_ptr<Connection> Connection::open(const char* displayName, std::string& error) {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(displayName, &screenNumber);
  // xcb_connect never returns null; a failed connection is an object in the error state.
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    error = "X11: cannot open display " + nameOfDisplay(displayName);
    return nullptr;
  }
  std::unique_ptr<Connection> opened(
      new Connection(connection, screenNumber, nameOfDisplay(displayName)));
  if (opened->root_ == XCB_WINDOW_NONE) {
    error = "X11: display " + opened->displayName_ + " has no screen " +
            std::to_string(screenNumber);
    return nullptr;
  }
  opened->internAtomsAndProbeExtensions();
  if (!opened->alive()) {
    error = "X11: cannot open display " + opened->displayName_;
    return nullptr;
  }
  return opened;
}

Connection::Connection(xcb_connection_t* connection, int screenNumber, std::string displayName)
    : connection_(connection), displayName_(std::move(displayName)) {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  resourceIdMask_ = setup->resource_id_mask;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  for (int index = 0; screens.rem > 0; ++index, xcb_screen_next(&screens)) {
    if (index == screenNumber) {
      root_ = screens.data->root;
      break;
    }
  }
}

Connection::~Connection() { xcb_disconnect(connection_); }

void Connection::internAtomsAndProbeExtensions() {
  // Every request goes out before the first reply is awaited: two round trips in all.
  xcb_prefetch_extension_data(connection_, &xcb_res_id);
  xcb_prefetch_extension_data(connection_, &xcb_input_id);
  const std::array<std::pair<const char*, xcb_atom_t*>, 9> names{{
      {"_NET_ACTIVE_WINDOW", &atoms_.netActiveWindow},
      {"_NET_WM_PID", &atoms_.netWmPid},
      {"_NET_WM_NAME", &atoms_.netWmName},
      {"_NET_WM_WINDOW_TYPE", &atoms_.netWmWindowType},
      {"_NET_WM_WINDOW_TYPE_DESKTOP", &atoms_.netWmWindowTypeDesktop},
      {"_NET_WM_WINDOW_OPACITY", &atoms_.netWmWindowOpacity},
      {"WM_STATE", &atoms_.wmState},
      {"UTF8_STRING", &atoms_.utf8String},
      {"COMPOUND_TEXT", &atoms_.compoundText},
  }};
  std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
  for (std::size_t index = 0; index < names.size(); ++index)
    cookies[index] = xcb_intern_atom(connection_, 0,
                                     static_cast<std::uint16_t>(std::strlen(names[index].first)),
                                     names[index].first);
  const xcb_query_extension_reply_t* res = xcb_get_extension_data(connection_, &xcb_res_id);
  std::optional<xcb_res_query_version_cookie_t> versionCookie;
  if (res != nullptr && res->present) versionCookie = xcb_res_query_version(connection_, 1, 2);
  for (std::size_t index = 0; index < names.size(); ++index) {
    auto reply = own(xcb_intern_atom_reply(connection_, cookies[index], nullptr));
    if (reply) *names[index].second = reply->atom;
  }
  if (versionCookie) {
    auto version = own(xcb_res_query_version_reply(connection_, *versionCookie, nullptr));
    hasClientPids_ = version && (version->server_major > 1 ||
                                 (version->server_major == 1 && version->server_minor >= 2));
  }
}

xcb_void_cookie_t Connection::selectRootEvents(std::uint32_t mask) {
  rootEventMask_ |= mask;
  return xcb_change_window_attributes_checked(connection_, root_, XCB_CW_EVENT_MASK,
                                              &rootEventMask_);
}

bool Connection::alive() {
  const int code = xcb_connection_has_error(connection_);
  if (code == 0) return true;
  reportUnusable("X11: connection to display " + displayName_ + " lost: " + causeOfBreak(code));
  return false;
}

void Connection::reportUnusable(const std::string& line) {
  if (lostReported_ || !lostHandler_) return;
  lostReported_ = true;
  lostHandler_(line);
}

void Connection::onLost(std::function<void(const std::string& cause)> handler) {
  lostHandler_ = std::move(handler);
}

}  // namespace quen::x11
