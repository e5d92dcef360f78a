#include "platform/wayland/sway_windows.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "core/utf8.h"

namespace quen::wayland {

namespace {

using nlohmann::json;

constexpr std::string_view MAGIC = "i3-ipc";
constexpr std::size_t HEADER_SIZE = MAGIC.size() + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t SUBSCRIBE = 2;
constexpr std::uint32_t GET_TREE = 4;
constexpr std::uint32_t WORKSPACE_EVENT = 0x80000000u;
constexpr std::uint32_t WINDOW_EVENT = 0x80000003u;
// A reply larger than this is no sway reply; the connection is given up.
constexpr std::uint32_t LARGEST_MESSAGE = 64u << 20;
// How long the replies at connect time may take.
constexpr timeval REPLY_TIMEOUT{1, 0};

std::string textOf(const json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// A container that is a window: it has a pid, and an app id or X11 window properties.
std::optional<SwayWindow> windowOf(const json& container) {
  const auto pid = container.find("pid");
  if (pid == container.end() || !pid->is_number_integer()) return std::nullopt;
  SwayWindow window;
  window.pid = pid->get<std::int32_t>();
  window.appId = textOf(container, "app_id");
  if (const auto properties = container.find("window_properties");
      properties != container.end() && properties->is_object())
    window.appId = textOf(*properties, "class");
  window.title = textOf(container, "name");
  return window;
}

std::int64_t idOf(const json& container) {
  const auto found = container.find("id");
  return found != container.end() && found->is_number_integer() ? found->get<std::int64_t>() : 0;
}

bool isFocused(const json& container) {
  const auto found = container.find("focused");
  return found != container.end() && found->is_boolean() && found->get<bool>();
}

// sway copies a title's bytes into its JSON as they are, valid UTF-8 or not (an XWayland
// window's Latin-1 WM_NAME), and a JSON parser rejects the whole payload for one bad byte.
json parsePayload(const std::string& payload) {
  if (isValidUtf8(payload)) return json::parse(payload, nullptr, false);
  return json::parse(repairUtf8(payload), nullptr, false);
}

}  // namespace

std::string encodeIpcMessage(std::uint32_t type, std::string_view payload) {
  std::string message(MAGIC);
  const auto length = static_cast<std::uint32_t>(payload.size());
  message.append(reinterpret_cast<const char*>(&length), sizeof length);
  message.append(reinterpret_cast<const char*>(&type), sizeof type);
  message.append(payload);
  return message;
}

std::optional<IpcMessage> takeIpcMessage(std::string& buffer, bool& broken) {
  const std::size_t compared = std::min(buffer.size(), MAGIC.size());
  if (buffer.compare(0, compared, MAGIC.substr(0, compared)) != 0) broken = true;
  if (broken || buffer.size() < HEADER_SIZE) return std::nullopt;
  std::uint32_t length = 0;
  IpcMessage message;
  std::memcpy(&length, buffer.data() + MAGIC.size(), sizeof length);
  std::memcpy(&message.type, buffer.data() + MAGIC.size() + sizeof length, sizeof message.type);
  if (length > LARGEST_MESSAGE) broken = true;
  if (broken || buffer.size() < HEADER_SIZE + length) return std::nullopt;
  message.payload = buffer.substr(HEADER_SIZE, length);
  buffer.erase(0, HEADER_SIZE + length);
  return message;
}

std::unique_ptr<SwayWindows> SwayWindows::connect(const std::string& socketPath) {
  sockaddr_un address{};
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return nullptr;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return nullptr;
  std::unique_ptr<SwayWindows> windows(new SwayWindows(socket));
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return nullptr;
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &REPLY_TIMEOUT, sizeof REPLY_TIMEOUT);
  // Subscribed first, then the tree: an event that comes before the tree's reply is older
  // than the tree, which replaces what it said.
  IpcMessage reply;
  if (!windows->request(SUBSCRIBE, R"(["window","workspace"])", reply)) return nullptr;
  if (!windows->request(GET_TREE, "", reply)) return nullptr;
  windows->windows_.clear();
  windows->focused_.reset();
  const json tree = parsePayload(reply.payload);
  std::vector<const json*> pending{&tree};
  while (!pending.empty()) {
    const json& node = *pending.back();
    pending.pop_back();
    if (!node.is_object()) continue;
    if (const std::optional<SwayWindow> window = windowOf(node)) {
      windows->windows_[idOf(node)] = *window;
      if (isFocused(node)) windows->focused_ = idOf(node);
    }
    for (const char* children : {"nodes", "floating_nodes"})
      if (const auto found = node.find(children); found != node.end() && found->is_array())
        for (const json& child : *found) pending.push_back(&child);
  }
  return windows;
}

SwayWindows::~SwayWindows() { close(socket_); }

bool SwayWindows::request(std::uint32_t type, std::string_view payload, IpcMessage& reply) {
  const std::string message = encodeIpcMessage(type, payload);
  if (send(socket_, message.data(), message.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(message.size()))
    return false;
  bool broken = false;
  for (;;) {
    while (std::optional<IpcMessage> taken = takeIpcMessage(buffer_, broken)) {
      if (taken->type == type) {
        reply = std::move(*taken);
        return true;
      }
      apply(*taken);
    }
    char chunk[16384];
    const ssize_t got = recv(socket_, chunk, sizeof chunk, 0);
    if (broken || got <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool SwayWindows::readEvents() {
  char chunk[16384];
  for (;;) {
    const ssize_t got = recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    const int error = got < 0 ? errno : 0;
    if (error == EINTR) continue;
    bool broken = false;
    while (std::optional<IpcMessage> message = takeIpcMessage(buffer_, broken)) apply(*message);
    return !broken && (error == EAGAIN || error == EWOULDBLOCK);
  }
}

void SwayWindows::apply(const IpcMessage& message) {
  if (message.type != WINDOW_EVENT && message.type != WORKSPACE_EVENT) return;
  const json event = parsePayload(message.payload);
  if (!event.is_object()) return;
  const std::string change = textOf(event, "change");
  if (message.type == WORKSPACE_EVENT) {
    // Another workspace took focus: its window's focus event follows, if it has one.
    if (change == "focus") focused_.reset();
    return;
  }
  const auto container = event.find("container");
  if (container == event.end() || !container->is_object()) return;
  const std::int64_t id = idOf(*container);
  if (change == "close") {
    windows_.erase(id);
    if (focused_ == id) focused_.reset();
    return;
  }
  if (const std::optional<SwayWindow> window = windowOf(*container)) windows_[id] = *window;
  if (change == "focus") focused_ = id;
}

std::optional<std::int32_t> SwayWindows::pidOf(std::string_view appId,
                                               std::string_view title) const {
  if (focused_)
    if (const auto found = windows_.find(*focused_);
        found != windows_.end() && found->second.appId == appId)
      return found->second.pid;
  // Titles compare as sway shows them, with U+FFFD for each bad sequence.
  const std::string shownTitle = repairUtf8(title);
  std::optional<std::int32_t> byAppId, byTitle;
  int appIdMatches = 0, titleMatches = 0;
  for (const auto& [id, window] : windows_) {
    if (window.appId != appId) continue;
    ++appIdMatches;
    byAppId = window.pid;
    if (window.title == shownTitle) {
      ++titleMatches;
      byTitle = window.pid;
    }
  }
  if (appIdMatches == 1) return byAppId;
  if (titleMatches == 1) return byTitle;
  return std::nullopt;
}

}  // namespace quen::wayland
