#pragma once

// One connection to the X server for the life of the process: the screen's root window, the
// atoms the backend names, and which extensions the server offers.

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quen::x11 {

// The atoms the backend asks the server about, interned once (EWMH and ICCCM names).
struct Atoms {
  xcb_atom_t netActiveWindow = XCB_ATOM_NONE;      // _NET_ACTIVE_WINDOW
  xcb_atom_t netWmPid = XCB_ATOM_NONE;             // _NET_WM_PID
  xcb_atom_t netWmName = XCB_ATOM_NONE;            // _NET_WM_NAME
  xcb_atom_t netWmWindowType = XCB_ATOM_NONE;      // _NET_WM_WINDOW_TYPE
  xcb_atom_t netWmWindowTypeDesktop = XCB_ATOM_NONE;
  xcb_atom_t netWmWindowOpacity = XCB_ATOM_NONE;   // _NET_WM_WINDOW_OPACITY
  xcb_atom_t wmState = XCB_ATOM_NONE;              // WM_STATE
  xcb_atom_t utf8String = XCB_ATOM_NONE;           // UTF8_STRING
  xcb_atom_t compoundText = XCB_ATOM_NONE;         // COMPOUND_TEXT
};

class Connection {
 public:
  // Connects to `displayName` (the DISPLAY variable when null). Returns null, with
  // "X11: cannot open display <name>" in `error`, when no server can be reached.
  static std::unique_ptr<Connection> open(const char* displayName, std::string& error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  xcb_connection_t* get() const { return connection_; }
  xcb_window_t root() const { return root_; }
  const Atoms& atoms() const { return atoms_; }
  const std::string& displayName() const { return displayName_; }
  // The bits of a resource id that a client chooses; the rest names the client (XRes keys
  // its answers by the client's base id).
  std::uint32_t resourceIdMask() const { return resourceIdMask_; }
  // Whether the server offers XRes 1.2 (client ids with process ids).
  bool hasClientPids() const { return hasClientPids_; }

  // Adds `mask` to the events this client selects on the root window (several services
  // select there; the selection is one mask per client). The request is checked.
  xcb_void_cookie_t selectRootEvents(std::uint32_t mask);

  // Whether the connection still works. The first time it is found broken, the handler
  // given to onLost is called (once) with a one-line cause naming the display.
  bool alive();
  // The display cannot serve this process (it lacks an extension the process needs): the
  // handler given to onLost is called with `line`, unless it was called before. Once
  // reported, the process ends as on a lost connection.
  void reportUnusable(const std::string& line);
  void onLost(std::function<void(const std::string& cause)> handler);

 private:
  Connection(xcb_connection_t* connection, int screenNumber, std::string displayName);
  void internAtomsAndProbeExtensions();

  xcb_connection_t* connection_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  std::uint32_t resourceIdMask_ = 0;
  std::string displayName_;
  Atoms atoms_;
  bool hasClientPids_ = false;
  std::uint32_t rootEventMask_ = 0;
  bool lostReported_ = false;
  std::function<void(const std::string&)> lostHandler_;
};

}  // namespace quen::x11
