#pragma once

// The process behind each sway window, which no Wayland protocol carries: sway's IPC
// (i3's framing, JSON payloads, over the socket $SWAYSOCK names). One GET_TREE when the
// connection is made, then the window and workspace events keep the table current, so a
// poll asks sway nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quen::wayland {

// One IPC message: the magic "i3-ipc", the payload's length and the message type (both
// 32-bit, in the host's byte order), then the payload. Events have the type's high bit set.
struct IpcMessage {
  std::uint32_t type = 0;
  std::string payload;
};
std::string encodeIpcMessage(std::uint32_t type, std::string_view payload);
// Takes one complete message off the front of `buffer`; none while it is incomplete.
// Sets `broken` when the buffer does not start with the magic (the stream cannot be
// resynchronised).
std::optional<IpcMessage> takeIpcMessage(std::string& buffer, bool& broken);

// What sway says of one window: its process, and the app id (for an XWayland window, its
// WM_CLASS class) and title under which the Wayland protocol shows it.
struct SwayWindow {
  std::int32_t pid = 0;
  std::string appId;
  std::string title;
};

class SwayWindows {
 public:
  // Connects to the socket at `socketPath`, subscribes to window and workspace events and
  // reads the tree. Null when sway does not answer.
  static std::unique_ptr<SwayWindows> connect(const std::string& socketPath);
  ~SwayWindows();
  SwayWindows(const SwayWindows&) = delete;
  SwayWindows& operator=(const SwayWindows&) = delete;

  int descriptor() const { return socket_; }
  // Reads what the socket holds and applies its events. Returns false once the connection
  // ended; the table is then as it last was.
  bool readEvents();

  // The process of the window shown as `appId` with `title`: the focused window when it
  // matches the app id, else the one window with that app id, else the one with that app
  // id and title. None when sway knows no such window or cannot tell which.
  std::optional<std::int32_t> pidOf(std::string_view appId, std::string_view title) const;

  // Applies one message; public so that recorded payloads can be replayed.
  void apply(const IpcMessage& message);

 private:
  explicit SwayWindows(int socket) : socket_(socket) {}
  bool request(std::uint32_t type, std::string_view payload, IpcMessage& reply);

  int socket_;
  std::string buffer_;
  std::unordered_map<std::int64_t, SwayWindow> windows_;
  std::optional<std::int64_t> focused_;
};

}  // namespace quen::wayland
