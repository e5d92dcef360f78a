#pragma once

// The process behind each sway window, which no Wayland protocol carries: what sway's IPC
// says (i3's framing, JSON payloads), from the bytes SwayConnection reads off the socket
// $SWAYSOCK names. The reply to GET_TREE fills the table, then the window and workspace
// events keep it current, so a poll asks sway nothing.

#include <cstdint>
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
// What a new connection sends: SUBSCRIBE to window and workspace events, then GET_TREE. In
// that order, an event that comes before the tree's reply is older than the tree, which
// replaces what it said.
std::string subscribeAndGetTree();

// What sway says of one window: its process, and the app id (for an XWayland window, its
// WM_CLASS class) and title under which the Wayland protocol shows it.
struct SwayWindow {
  std::int32_t pid = 0;
  std::string appId;
  std::string title;
};

class SwayWindows {
 public:
  // Takes bytes as the socket gave them and applies every message they complete, in order,
  // so that events that came in one read with the tree's reply count too. False once the
  // bytes are not sway's framing.
  bool receive(std::string_view bytes);
  // Whether the tree's reply has come since the last clear().
  bool hasTree() const { return hasTree_; }
  // Forgets every window and any partial message, for a new connection.
  void clear();

  // The process of the window shown as `appId` with `title`: the focused window when it
  // shows that app id and title, else the one window with that app id, else the one with
  // that app id and title. None when sway knows no such window or cannot tell which. The
  // compositor may report the activation of a window before sway's focus event: focus
  // alone, or the app id alone, would name the window of the same app id left behind.
  std::optional<std::int32_t> pidOf(std::string_view appId, std::string_view title) const;

 private:
  void apply(const IpcMessage& message);
  void replaceTree(const std::string& payload);

  std::string buffer_;
  bool broken_ = false;
  bool hasTree_ = false;
  std::unordered_map<std::int64_t, SwayWindow> windows_;
  std::optional<std::int64_t> focused_;
};

}  // namespace quen::wayland
