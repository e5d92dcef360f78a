#include "platform/x11/window_stack.h"

#include <unordered_set>

#include "platform/x11/client_pids.h"
#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// How far below a top-level window a client is looked for (frame, then the client, with
// room for managers that nest one more level).
constexpr int CLIENT_SEARCH_DEPTH = 3;
// Polls after a mapping at which a window without a client is searched again.
constexpr int SEARCHES_AFTER_MAPPING = 3;
// _NET_WM_WINDOW_TYPE lists a few atoms in order of preference.
constexpr std::uint32_t WINDOW_TYPE_LONGS = 32;
// The top bit of response_type marks an event sent with SendEvent.
constexpr std::uint8_t RESPONSE_TYPE_MASK = 0x7F;

}  // namespace

WindowStack::WindowStack(Connection& connection, EventPump& events) : connection_(connection) {
  selection_ = connection.selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
  events.onStructureEvent([this](const xcb_generic_event_t& event) { handleStructureEvent(event); });
}

void WindowStack::handleStructureEvent(const xcb_generic_event_t& event) {
  const xcb_window_t root = connection_.root();
  switch (event.response_type & RESPONSE_TYPE_MASK) {
    case XCB_CREATE_NOTIFY: {
      const auto& created = reinterpret_cast<const xcb_create_notify_event_t&>(event);
      if (created.parent != root) break;
      TopLevel& topLevel = topLevels_[created.window] = TopLevel{};
      topLevel.mapped = false;
      topLevel.overrideRedirect = created.override_redirect != 0;
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto& destroyed = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
      if (destroyed.event == root) topLevels_.erase(destroyed.window);
      break;
    }
    case XCB_MAP_NOTIFY: {
      const auto& mapped = reinterpret_cast<const xcb_map_notify_event_t&>(event);
      const auto found = topLevels_.find(mapped.window);
      if (mapped.event != root || found == topLevels_.end()) break;
      found->second.mapped = true;
      if (found->second.provisional) {
        found->second.searched = false;
        found->second.searchesLeft = SEARCHES_AFTER_MAPPING;
      }
      break;
    }
    case XCB_UNMAP_NOTIFY: {
      const auto& unmapped = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
      const auto found = topLevels_.find(unmapped.window);
      if (unmapped.event == root && found != topLevels_.end()) found->second.mapped = false;
      break;
    }
    case XCB_REPARENT_NOTIFY: {
      // A window that leaves the root is no longer a top-level one; one that comes back is
      // learnt afresh.
      const auto& reparented = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
      if (reparented.event != root) break;
      if (reparented.parent == root) topLevels_[reparented.window] = TopLevel{};
      else topLevels_.erase(reparented.window);
      break;
    }
    default:
      break;
  }
}

std::optional<std::vector<StackedWindow>> WindowStack::onScreenWindows() {
  xcb_connection_t* x = connection_.get();
  auto tree = own(xcb_query_tree_reply(x, xcb_query_tree(x, connection_.root()), nullptr));
  if (selection_) {
    // Answered by now (QueryTree's reply came after it): no extra round trip.
    const Reply<xcb_generic_error_t> error(xcb_request_check(x, *selection_));
    eventsSelected_ = error == nullptr;
    selection_.reset();
  }
  if (!tree) return std::nullopt;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const auto childCount = static_cast<std::size_t>(xcb_query_tree_children_length(tree.get()));

  const std::unordered_set<xcb_window_t> inTree(children, children + childCount);
  std::erase_if(topLevels_, [&inTree](const auto& entry) { return !inTree.count(entry.first); });
  std::vector<xcb_window_t> needAttributes, needSearch;
  for (std::size_t index = 0; index < childCount; ++index) {
    TopLevel& topLevel = topLevels_[children[index]];
    // Without structure events, whether a window is mapped is read at every poll.
    if (!topLevel.attributesRead || !eventsSelected_) needAttributes.push_back(children[index]);
    if (!topLevel.searched) needSearch.push_back(children[index]);
  }
  if (!needAttributes.empty() || !needSearch.empty()) learnTopLevels(needAttributes, needSearch);

  std::vector<StackedWindow> onScreen;
  for (std::size_t index = childCount; index-- > 0;) {
    const TopLevel& topLevel = topLevels_[children[index]];
    if (topLevel.mapped.value_or(false) && !topLevel.inputOnly && topLevel.clientExists &&
        !topLevel.desktop)
      onScreen.push_back({topLevel.client, topLevel.ownerPid});
  }
  return onScreen;
}

// Reads the attributes of the first windows and finds the clients of the second; the
// attributes go out with the search's first level.
void WindowStack::learnTopLevels(const std::vector<xcb_window_t>& needAttributes,
                                 const std::vector<xcb_window_t>& needSearch) {
  xcb_connection_t* x = connection_.get();
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (const xcb_window_t window : needAttributes)
    cookies.push_back(xcb_get_window_attributes(x, window));
  const std::vector<std::optional<xcb_window_t>> clients = searchForClients(needSearch);
  for (std::size_t index = 0; index < needAttributes.size(); ++index) {
    auto attributes = own(xcb_get_window_attributes_reply(x, cookies[index], nullptr));
    if (!attributes) continue;  // gone: its DestroyNotify follows
    TopLevel& topLevel = topLevels_[needAttributes[index]];
    topLevel.attributesRead = true;
    topLevel.mapped = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    topLevel.inputOnly = attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
    topLevel.overrideRedirect = attributes->override_redirect != 0;
  }
  for (std::size_t index = 0; index < needSearch.size(); ++index) {
    TopLevel& topLevel = topLevels_[needSearch[index]];
    topLevel.client = clients[index].value_or(needSearch[index]);
    topLevel.provisional = !clients[index] && !topLevel.overrideRedirect;
    topLevel.searched = !topLevel.provisional || topLevel.searchesLeft == 0;
    if (!topLevel.searched) --topLevel.searchesLeft;
  }
  if (!needSearch.empty()) describeClients(needSearch);
}

// Reads each client's owner pid and window type: one round trip. The XRes request goes
// first: a client that still exists at its attributes request existed at the XRes request
// before it, so the pid is that client's.
void WindowStack::describeClients(const std::vector<xcb_window_t>& topLevels) {
  xcb_connection_t* x = connection_.get();
  const Atoms& atoms = connection_.atoms();
  std::vector<xcb_window_t> clients;
  for (const xcb_window_t window : topLevels) clients.push_back(topLevels_[window].client);
  ClientPidQuery pids;
  pids.send(connection_, clients);
  struct Cookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t type, pid;
  };
  std::vector<Cookies> cookies;
  for (const xcb_window_t client : clients)
    cookies.push_back(
        {xcb_get_window_attributes(x, client),
         xcb_get_property(x, 0, client, atoms.netWmWindowType, XCB_ATOM_ATOM, 0, WINDOW_TYPE_LONGS),
         xcb_get_property(x, 0, client, atoms.netWmPid, XCB_ATOM_CARDINAL, 0, 1)});
  pids.collect();
  for (std::size_t index = 0; index < clients.size(); ++index) {
    auto attributes = own(xcb_get_window_attributes_reply(x, cookies[index].attributes, nullptr));
    auto type = own(xcb_get_property_reply(x, cookies[index].type, nullptr));
    auto publishedPid = own(xcb_get_property_reply(x, cookies[index].pid, nullptr));
    TopLevel& topLevel = topLevels_[topLevels[index]];
    topLevel.clientExists = attributes != nullptr;
    // A client that vanished is searched for again at the next poll, if its frame remains.
    if (!topLevel.clientExists) topLevel.searched = false;
    topLevel.desktop = propertyHoldsItem(type.get(), atoms.netWmWindowTypeDesktop);
    topLevel.ownerPid = topLevel.clientExists
                            ? std::optional(pids.ownerOf(clients[index], publishedPid.get()))
                            : std::nullopt;
  }
}

// For each top-level window, the window at or below it that carries WM_STATE (the topmost
// such at the shallowest level); one round trip per level, for all of them together.
std::vector<std::optional<xcb_window_t>> WindowStack::searchForClients(
    const std::vector<xcb_window_t>& topLevels) {
  xcb_connection_t* x = connection_.get();
  std::vector<std::optional<xcb_window_t>> clients(topLevels.size());
  std::vector<std::vector<xcb_window_t>> candidates(topLevels.size());
  for (std::size_t index = 0; index < topLevels.size(); ++index)
    candidates[index] = {topLevels[index]};
  for (int depth = 0; depth < CLIENT_SEARCH_DEPTH; ++depth) {
    struct Probe {
      xcb_get_property_cookie_t state;
      xcb_query_tree_cookie_t tree;
    };
    std::vector<std::vector<Probe>> probes(topLevels.size());
    bool anyOpen = false;
    for (std::size_t index = 0; index < topLevels.size(); ++index) {
      for (const xcb_window_t candidate : candidates[index]) {
        probes[index].push_back(
            {xcb_get_property(x, 0, candidate, connection_.atoms().wmState, XCB_ATOM_ANY, 0, 0),
             xcb_query_tree(x, candidate)});
        anyOpen = true;
      }
    }
    if (!anyOpen) break;
    for (std::size_t index = 0; index < topLevels.size(); ++index) {
      std::vector<xcb_window_t> next;
      for (std::size_t probe = 0; probe < probes[index].size(); ++probe) {
        auto state = own(xcb_get_property_reply(x, probes[index][probe].state, nullptr));
        auto tree = own(xcb_query_tree_reply(x, probes[index][probe].tree, nullptr));
        if (state && state->type != XCB_ATOM_NONE) clients[index] = candidates[index][probe];
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        next.insert(next.end(), children, children + xcb_query_tree_children_length(tree.get()));
      }
      // Siblings are listed bottom to top; the topmost client of a level wins.
      candidates[index] = clients[index] ? std::vector<xcb_window_t>{} : std::move(next);
    }
  }
  return clients;
}

}  // namespace quen::x11
