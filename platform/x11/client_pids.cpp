#include "platform/x11/client_pids.h"

#include <bit>
#include <vector>

#include "platform/x11/x11_reply.h"

namespace quen::x11 {

void ClientPidQuery::send(Connection& connection, std::span<const xcb_window_t> windows) {
  connection_ = &connection;
  cookie_.reset();
  pidByClientBase_.clear();
  if (!connection.hasClientPids() || windows.empty()) return;
  std::vector<xcb_res_client_id_spec_t> specs;
  specs.reserve(windows.size());
  for (const xcb_window_t window : windows)
    specs.push_back({window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID});
  cookie_ = xcb_res_query_client_ids(connection.get(), static_cast<std::uint32_t>(specs.size()),
                                     specs.data());
}

void ClientPidQuery::collect() {
  if (!cookie_) return;
  auto reply = own(xcb_res_query_client_ids_reply(connection_->get(), *cookie_, nullptr));
  cookie_.reset();
  if (!reply) return;
  for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem > 0;
       xcb_res_client_id_value_next(&ids)) {
    if ((ids.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0 ||
        xcb_res_client_id_value_value_length(ids.data) < 1)
      continue;
    const std::uint32_t pid = *xcb_res_client_id_value_value(ids.data);
    if (pid > 0 && pid <= 0x7FFFFFFF)
      pidByClientBase_[ids.data->spec.client] = static_cast<std::int32_t>(pid);
  }
}

std::optional<std::int32_t> ClientPidQuery::pidOf(xcb_window_t window) const {
  if (connection_ == nullptr) return std::nullopt;
  const auto found = pidByClientBase_.find(window & ~connection_->resourceIdMask());
  if (found == pidByClientBase_.end()) return std::nullopt;
  return found->second;
}

std::int32_t ClientPidQuery::ownerOf(xcb_window_t window,
                                     const xcb_get_property_reply_t* publishedPid) const {
  if (const auto pid = pidOf(window)) return *pid;
  const auto published = propertyFirstCardinal(publishedPid);
  if (published && *published > 0 && *published <= 0x7FFFFFFF)
    return static_cast<std::int32_t>(*published);
  const std::uint32_t mask = connection_ != nullptr ? connection_->resourceIdMask() : 0;
  const int shift = std::countr_one(mask);
  const std::uint32_t client = shift < 32 ? (window & ~mask) >> shift : 0;
  return -1 - static_cast<std::int32_t>(client & 0x7FFFFFFF);
}

}  // namespace quen::x11
