#include "platform/wayland/sway_windows.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>
#include <vector>

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

std::string subscribeAndGetTree() {
  return encodeIpcMessage(SUBSCRIBE, R"(["window","workspace"])") + encodeIpcMessage(GET_TREE, "");
}

bool SwayWindows::receive(std::string_view bytes) {
  buffer_.append(bytes);
  while (std::optional<IpcMessage> message = takeIpcMessage(buffer_, broken_)) apply(*message);
  return !broken_;
}

void SwayWindows::clear() {
  buffer_.clear();
  broken_ = hasTree_ = false;
  windows_.clear();
  focused_.reset();
}

void SwayWindows::replaceTree(const std::string& payload) {
  hasTree_ = true;
  windows_.clear();
  focused_.reset();
  const json tree = parsePayload(payload);
  std::vector<const json*> pending{&tree};
  while (!pending.empty()) {
    const json& node = *pending.back();
    pending.pop_back();
    if (!node.is_object()) continue;
    if (const std::optional<SwayWindow> window = windowOf(node)) {
      windows_[idOf(node)] = *window;
      if (isFocused(node)) focused_ = idOf(node);
    }
    for (const char* children : {"nodes", "floating_nodes"})
      if (const auto found = node.find(children); found != node.end() && found->is_array())
        for (const json& child : *found) pending.push_back(&child);
  }
}

void SwayWindows::apply(const IpcMessage& message) {
  if (message.type == GET_TREE) return replaceTree(message.payload);
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
  // Titles compare as sway shows them, with U+FFFD for each bad sequence.
  const std::string shownTitle = repairUtf8(title);
  if (focused_)
    if (const auto found = windows_.find(*focused_); found != windows_.end() &&
                                                     found->second.appId == appId &&
                                                     found->second.title == shownTitle)
      return found->second.pid;
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
