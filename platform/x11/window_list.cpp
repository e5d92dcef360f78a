#include "platform/x11/window_list.h"

#include <set>

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

// One entry of a walk; its details are asked of the list when first read.
class ClientWindowList::Description final : public platform::WindowDescription {
 public:
  struct Walk {
    ClientWindowList& list;
    const std::vector<StackedWindow>& windows;
    std::vector<std::optional<WindowDetails>> details;
    std::set<std::optional<std::int32_t>> ownersAsked;
  };

  Description(Walk& walk, std::size_t index) : walk_(walk), index_(index) {}

  platform::OsValue ownerPid() const override {
    const auto& pid = walk_.windows[index_].ownerPid;
    return pid ? platform::OsValue::ofInteger(*pid) : platform::OsValue::absent();
  }
  platform::OsValue alpha() const override { return details().alpha; }
  platform::OsValue bounds() const override { return details().bounds; }
  platform::OsValue name() const override { return details().name; }
  std::uint64_t identity() const override { return walk_.windows[index_].client; }

 private:
  // Fetches this window's details: alone for the first window of its owner that is asked
  // about, together with all later windows of the owner after that.
  const WindowDetails& details() const {
    if (!walk_.details[index_]) {
      std::vector<std::size_t> batch{index_};
      if (walk_.ownersAsked.count(walk_.windows[index_].ownerPid) != 0) {
        for (std::size_t index = index_ + 1; index < walk_.windows.size(); ++index)
          if (!walk_.details[index] && walk_.windows[index].ownerPid == walk_.windows[index_].ownerPid)
            batch.push_back(index);
      }
      walk_.ownersAsked.insert(walk_.windows[index_].ownerPid);
      std::vector<xcb_window_t> clients;
      for (const std::size_t index : batch) clients.push_back(walk_.windows[index].client);
      std::vector<WindowDetails> fetched = walk_.list.fetchDetails(clients);
      for (std::size_t position = 0; position < batch.size(); ++position)
        walk_.details[batch[position]] = std::move(fetched[position]);
    }
    return *walk_.details[index_];
  }

  Walk& walk_;
  std::size_t index_;
};

ClientWindowList::ClientWindowList(Connection& connection, EventPump& events)
    : connection_(connection), stack_(connection, events) {}

bool ClientWindowList::walkOnScreenWindows(
    const std::function<bool(const platform::WindowDescription&)>& visit) {
  const std::optional<std::vector<StackedWindow>> windows = stack_.onScreenWindows();
  if (!windows) return false;
  Description::Walk walk{*this, *windows,
                        std::vector<std::optional<WindowDetails>>(windows->size()), {}};
  for (std::size_t index = 0; index < windows->size(); ++index)
    if (visit(Description(walk, index))) break;
  return true;
}

std::vector<WindowDetails> ClientWindowList::fetchDetails(const std::vector<xcb_window_t>& clients) {
  xcb_connection_t* x = connection_.get();
  const Atoms& atoms = connection_.atoms();
  struct Cookies {
    xcb_get_property_cookie_t opacity, netWmName, wmName;
    xcb_translate_coordinates_cookie_t position;
    xcb_get_geometry_cookie_t geometry;
  };
  std::vector<Cookies> cookies;
  for (const xcb_window_t client : clients) {
    cookies.push_back({
        xcb_get_property(x, 0, client, atoms.netWmWindowOpacity, XCB_ATOM_ANY, 0, 1),
        xcb_get_property(x, 0, client, atoms.netWmName, XCB_ATOM_ANY, 0, TITLE_LONGS),
        xcb_get_property(x, 0, client, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, TITLE_LONGS),
        xcb_translate_coordinates(x, client, connection_.root(), 0, 0),
        xcb_get_geometry(x, client),
    });
  }
  std::vector<WindowDetails> details(clients.size());
  for (std::size_t index = 0; index < clients.size(); ++index) {
    auto opacity = own(xcb_get_property_reply(x, cookies[index].opacity, nullptr));
    auto netWmName = own(xcb_get_property_reply(x, cookies[index].netWmName, nullptr));
    auto wmName = own(xcb_get_property_reply(x, cookies[index].wmName, nullptr));
    auto position = own(xcb_translate_coordinates_reply(x, cookies[index].position, nullptr));
    auto geometry = own(xcb_get_geometry_reply(x, cookies[index].geometry, nullptr));
    details[index].alpha = opacityValue(opacity.get());
    details[index].bounds = boundsValue(position.get(), geometry.get());
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
