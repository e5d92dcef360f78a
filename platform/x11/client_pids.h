#pragma once

// The process ids behind windows, from the X Resource extension (XRes 1.2 QueryClientIds
// with the LocalClientPID mask): one request for any number of windows. The server answers
// for the client that owns each id's slot and knows the pid of local clients only; a
// window that died may name the client that took its slot since, so a caller trusts an
// answer only for a window whose other requests of the same batch succeeded.
//
// A window whose pid neither XRes nor the window's EWMH _NET_WM_PID names (a remote client,
// a server without XRes) is owned by a stand-in: a negative number, so never a process id
// and never the 0 that a window without an owner reads as, derived from the X client that
// made the window (each client makes its resources under its own base id; X11 protocol,
// connection setup). Only the windows of that same client share it, so such a window
// matches its own application and no other pid-less client's.

#include <xcb/res.h>

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>

#include "platform/x11/x11_connection.h"

namespace quen::x11 {

class ClientPidQuery {
 public:
  // Sends the request (nothing when the server lacks XRes 1.2 or `windows` is empty).
  void send(Connection& connection, std::span<const xcb_window_t> windows);
  // Waits for the answer; afterwards pidOf answers.
  void collect();
  std::optional<std::int32_t> pidOf(xcb_window_t window) const;
  // XRes's pid for `window`, else its _NET_WM_PID (`publishedPid`, the property's reply),
  // else the stand-in of its client.
  std::int32_t ownerOf(xcb_window_t window, const xcb_get_property_reply_t* publishedPid) const;

 private:
  Connection* connection_ = nullptr;
  std::optional<xcb_res_query_client_ids_cookie_t> cookie_;
  std::unordered_map<std::uint32_t, std::int32_t> pidByClientBase_;
};

}  // namespace quen::x11
