#pragma once

// Ownership of xcb's replies and the reading of property values. xcb hands every reply
// over as memory from malloc that the caller frees; a reply that is null means the request
// failed (the window vanished, say) or the connection is gone, and reads as "no value".

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace quen::x11 {

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};

template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Takes ownership of a reply, as in `auto reply = own(xcb_get_property_reply(c, cookie, nullptr))`
// (with a null error pointer, the error of a failed request is freed by xcb).
template <typename T>
Reply<T> own(T* reply) {
  return Reply<T>(reply);
}

// The bytes of a property of format 8; none when the property is absent or of another format.
inline std::optional<std::string_view> propertyBytes(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->type == XCB_ATOM_NONE || reply->format != 8) return std::nullopt;
  const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply));
  return std::string_view(static_cast<const char*>(xcb_get_property_value(reply)), length);
}

// The first 32-bit item of a property of format 32; none when absent, empty or another format.
inline std::optional<std::uint32_t> propertyFirstCardinal(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->type == XCB_ATOM_NONE || reply->format != 32 ||
      reply->value_len < 1)
    return std::nullopt;
  return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
}

// Whether a property of format 32 holds `item` among its items.
inline bool propertyHoldsItem(const xcb_get_property_reply_t* reply, std::uint32_t item) {
  if (reply == nullptr || reply->type == XCB_ATOM_NONE || reply->format != 32) return false;
  const auto* items = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
  for (std::uint32_t index = 0; index < reply->value_len; ++index)
    if (items[index] == item) return true;
  return false;
}

}  // namespace quen::x11
