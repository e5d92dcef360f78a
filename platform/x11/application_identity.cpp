#include "platform/x11/application_identity.h"

#include "platform/x11/client_pids.h"
#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// WM_CLASS is two short names; a longer property is read only this far.
constexpr std::uint32_t WINDOW_CLASS_LONGS = 256;

}  // namespace

linux_platform::WindowClass parseWindowClass(std::string_view bytes) {
  linux_platform::WindowClass parsed;
  const std::size_t separator = bytes.find('\0');
  parsed.instance = std::string(bytes.substr(0, separator));
  if (separator != std::string_view::npos) {
    const std::string_view rest = bytes.substr(separator + 1);
    parsed.className = std::string(rest.substr(0, rest.find('\0')));
  }
  return parsed;
}

ApplicationIdentity::ApplicationIdentity(Connection& connection) : connection_(connection) {}

std::optional<OwnerFacts> ApplicationIdentity::readOwner(xcb_window_t client) {
  xcb_connection_t* x = connection_.get();
  // The server answers in request order: a window that still exists at the WM_CLASS request
  // (an error means it does not) existed at the XRes request before it, so the pid is that
  // window's client's.
  ClientPidQuery clientPids;
  clientPids.send(connection_, std::span<const xcb_window_t>(&client, 1));
  const auto pidCookie =
      xcb_get_property(x, 0, client, connection_.atoms().netWmPid, XCB_ATOM_CARDINAL, 0, 1);
  const auto classCookie =
      xcb_get_property(x, 0, client, XCB_ATOM_WM_CLASS, XCB_ATOM_ANY, 0, WINDOW_CLASS_LONGS);

  clientPids.collect();
  auto publishedPid = own(xcb_get_property_reply(x, pidCookie, nullptr));
  auto classReply = own(xcb_get_property_reply(x, classCookie, nullptr));
  if (!classReply || !connection_.alive()) return std::nullopt;

  OwnerFacts owner;
  owner.pid = clientPids.ownerOf(client, publishedPid.get());
  if (const auto classBytes = propertyBytes(classReply.get()))
    owner.windowClass = parseWindowClass(*classBytes);
  owner.process = naming_.processFacts(owner.pid);
  return owner;
}

platform::RunningApplication ApplicationIdentity::nameApplication(const OwnerFacts& owner) {
  return naming_.name(owner.windowClass, owner.pid, owner.process);
}

}  // namespace quen::x11
