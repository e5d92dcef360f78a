#include "platform/x11/window_list.h"

#include "platform/x11/title_decoding.h"
#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// Titles are read up to 256 KiB.
constexpr std::uint32_t TITLE_LONGS = 64 * 1024;

platform::OsValue opacityValue(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->type == XCB_ATOM_NONE) return platform::OsValue::absent();
  const auto opacity = propertyFirstCardinal(reply);
  // EWMH: a CARDINAL from 0 (transparent) to 0xFFFFFFFF (opaque).
  if (!opacity || reply->type != XCB_ATOM_CARDINAL) return platform::OsValue::other();
  return platform::OsValue::ofReal(static_cast<double>(*opacity) / 0xFFFFFFFFu);
}

platform::OsValue boundsValue(const xcb_translate_coordinates_reply_t* position,
                              const xcb_get_geometry_reply_t* geometry) {
  if (position == nullptr || geometry == nullptr) return platform::OsValue::absent();
  return platform::OsValue::ofDictionary({
      {"X", platform::OsValue::ofReal(position->dst_x)},
      {"Y", platform::OsValue::ofReal(position->dst_y)},
      {"Width", platform::OsValue::ofReal(geometry->width)},
      {"Height", platform::OsValue::ofReal(geometry->height)},
  });
}

}  // namespace

// One entry of a walk; its details are asked of the walk when first read.
class ClientWindowList::Description final : public platform::WindowDescription {
 public:
  Description(const std::vector<StackedWindow>& windows, WindowDetailsWalk& walk,
              std::size_t index)
      : windows_(windows), walk_(walk), index_(index) {}

  platform::OsValue ownerPid() const override {
    const auto& pid = windows_[index_].ownerPid;
    return pid ? platform::OsValue::ofInteger(*pid) : platform::OsValue::absent();
  }
  platform::OsValue alpha() const override { return walk_.details(index_).alpha; }
  platform::OsValue bounds() const override { return walk_.details(index_).bounds; }
  platform::OsValue name() const override { return walk_.name(index_); }
  std::uint64_t identity() const override { return windows_[index_].client; }

 private:
  const std::vector<StackedWindow>& windows_;
  WindowDetailsWalk& walk_;
  std::size_t index_;
};

ClientWindowList::ClientWindowList(Connection& connection, EventPump& events)
    : connection_(connection), stack_(connection, events) {}

bool ClientWindowList::walkOnScreenWindows(
    const std::function<bool(const platform::WindowDescription&)>& visit) {
  const std::optional<std::vector<StackedWindow>> windows = stack_.onScreenWindows();
  if (!windows) return false;
  WindowDetailsWalk walk(*windows, *this);
  for (std::size_t index = 0; index < windows->size(); ++index)
    if (visit(Description(*windows, walk, index))) break;
  return true;
}

std::vector<WindowDetails> ClientWindowList::fetchDetails(const std::vector<xcb_window_t>& clients,
                                                          bool withNames) {
  xcb_connection_t* x = connection_.get();
  const Atoms& atoms = connection_.atoms();
  struct Cookies {
    xcb_get_property_cookie_t opacity, netWmName, wmName;
    xcb_translate_coordinates_cookie_t position;
    xcb_get_geometry_cookie_t geometry;
  };
  std::vector<Cookies> cookies;
  for (const xcb_window_t client : clients) {
    Cookies sent{};
    sent.opacity = xcb_get_property(x, 0, client, atoms.netWmWindowOpacity, XCB_ATOM_ANY, 0, 1);
    if (withNames) {
      sent.netWmName =
          xcb_get_property(x, 0, client, atoms.netWmName, XCB_ATOM_ANY, 0, TITLE_LONGS);
      sent.wmName = xcb_get_property(x, 0, client, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, TITLE_LONGS);
    }
    sent.position = xcb_translate_coordinates(x, client, connection_.root(), 0, 0);
    sent.geometry = xcb_get_geometry(x, client);
    cookies.push_back(sent);
  }
  std::vector<WindowDetails> details(clients.size());
  for (std::size_t index = 0; index < clients.size(); ++index) {
    auto opacity = own(xcb_get_property_reply(x, cookies[index].opacity, nullptr));
    auto position = own(xcb_translate_coordinates_reply(x, cookies[index].position, nullptr));
    auto geometry = own(xcb_get_geometry_reply(x, cookies[index].geometry, nullptr));
    details[index].alpha = opacityValue(opacity.get());
    details[index].bounds = boundsValue(position.get(), geometry.get());
    if (!withNames) continue;
    auto netWmName = own(xcb_get_property_reply(x, cookies[index].netWmName, nullptr));
    auto wmName = own(xcb_get_property_reply(x, cookies[index].wmName, nullptr));
    TextEncoding encoding = TextEncoding::Utf8;
    if (wmName && wmName->type == XCB_ATOM_STRING) encoding = TextEncoding::Latin1;
    else if (wmName && wmName->type == atoms.compoundText) encoding = TextEncoding::CompoundText;
    const auto title = chooseTitle(propertyBytes(netWmName.get()), propertyBytes(wmName.get()),
                                   encoding);
    details[index].name = title ? platform::OsValue::ofText(*title) : platform::OsValue::absent();
  }
  return details;
}

}  // namespace quen::x11
