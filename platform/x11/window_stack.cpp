#include "platform/x11/window_stack.h"

#include <algorithm>
#include <unordered_set>

#include "platform/x11/client_pids.h"
#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// How far below a top-level window a client is looked for (frame, then the client, with
// room for managers that nest one more level).
constexpr int CLIENT_SEARCH_DEPTH = 3;
// _NET_WM_WINDOW_TYPE lists a few atoms in order of preference.
constexpr std::uint32_t WINDOW_TYPE_LONGS = 32;

}  // namespace

// Attributes, window type and _NET_WM_PID of client windows and the attributes of unmapped
// top-level windows, with one XRes request for the clients' pids: one round trip.
class WindowStack::ClientBatch {
 public:
  ClientBatch(Connection& connection, const std::vector<xcb_window_t>& clients,
              const std::vector<xcb_window_t>& unmapped)
      : connection_(connection) {
    xcb_connection_t* x = connection.get();
    pids_.send(connection, clients);  // before the attributes: see ClientPidQuery
    for (const xcb_window_t client : clients) {
      clientCookies_.push_back(
          {xcb_get_window_attributes(x, client),
           xcb_get_property(x, 0, client, connection.atoms().netWmWindowType, XCB_ATOM_ATOM, 0,
                            WINDOW_TYPE_LONGS),
           xcb_get_property(x, 0, client, connection.atoms().netWmPid, XCB_ATOM_CARDINAL, 0, 1)});
    }
    for (const xcb_window_t window : unmapped)
      unmappedCookies_.push_back(xcb_get_window_attributes(x, window));
    clients_ = clients;
  }

  std::vector<ClientState> clientStates() {
    xcb_connection_t* x = connection_.get();
    pids_.collect();
    std::vector<ClientState> states(clients_.size());
    for (std::size_t index = 0; index < clients_.size(); ++index) {
      auto attributes = own(xcb_get_window_attributes_reply(x, clientCookies_[index].attributes,
                                                            nullptr));
      auto type = own(xcb_get_property_reply(x, clientCookies_[index].type, nullptr));
      auto publishedPid = own(xcb_get_property_reply(x, clientCookies_[index].pid, nullptr));
      ClientState& state = states[index];
      state.exists = attributes != nullptr;
      if (!state.exists) continue;
      state.onScreen = attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                       attributes->_class != XCB_WINDOW_CLASS_INPUT_ONLY &&
                       !propertyHoldsItem(type.get(), connection_.atoms().netWmWindowTypeDesktop);
      state.ownerPid = pids_.pidOf(clients_[index]);
      const auto published = propertyFirstCardinal(publishedPid.get());
      if (!state.ownerPid && published && *published > 0 && *published <= 0x7FFFFFFF)
        state.ownerPid = static_cast<std::int32_t>(*published);
    }
    return states;
  }

  // Per unmapped top-level window: whether it is viewable now (none when it is gone).
  std::vector<std::optional<bool>> unmappedViewable() {
    std::vector<std::optional<bool>> viewable;
    for (const auto cookie : unmappedCookies_) {
      auto attributes = own(xcb_get_window_attributes_reply(connection_.get(), cookie, nullptr));
      if (attributes) viewable.push_back(attributes->map_state == XCB_MAP_STATE_VIEWABLE);
      else viewable.push_back(std::nullopt);
    }
    return viewable;
  }

 private:
  struct ClientCookies {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t type;
    xcb_get_property_cookie_t pid;
  };
  Connection& connection_;
  ClientPidQuery pids_;
  std::vector<xcb_window_t> clients_;
  std::vector<ClientCookies> clientCookies_;
  std::vector<xcb_get_window_attributes_cookie_t> unmappedCookies_;
};

WindowStack::WindowStack(Connection& connection) : connection_(connection) {}

std::optional<std::vector<StackedWindow>> WindowStack::onScreenWindows() {
  xcb_connection_t* x = connection_.get();
  const auto treeCookie = xcb_query_tree(x, connection_.root());
  std::vector<xcb_window_t> knownTopLevels, knownClients, unmappedTopLevels;
  for (const auto& [window, topLevel] : topLevels_) {
    if (topLevel.provisional) continue;
    if (topLevel.kind == TopLevel::Kind::Client) {
      knownTopLevels.push_back(window);
      knownClients.push_back(topLevel.client);
    } else {
      unmappedTopLevels.push_back(window);
    }
  }
  ClientBatch known(connection_, knownClients, unmappedTopLevels);
  auto tree = own(xcb_query_tree_reply(x, treeCookie, nullptr));
  std::vector<ClientState> knownStates = known.clientStates();
  std::vector<std::optional<bool>> unmappedNow = known.unmappedViewable();
  if (!tree) return std::nullopt;

  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const auto childCount = static_cast<std::size_t>(xcb_query_tree_children_length(tree.get()));
  const std::unordered_set<xcb_window_t> inTree(children, children + childCount);
  std::erase_if(topLevels_, [&inTree](const auto& entry) { return !inTree.count(entry.first); });

  std::unordered_map<xcb_window_t, ClientState> stateOfClient;
  for (std::size_t index = 0; index < knownClients.size(); ++index) {
    if (knownStates[index].exists) stateOfClient[knownClients[index]] = knownStates[index];
    else topLevels_.erase(knownTopLevels[index]);  // the client left its frame: find again
  }
  for (std::size_t index = 0; index < unmappedTopLevels.size(); ++index)
    if (unmappedNow[index].value_or(false)) topLevels_.erase(unmappedTopLevels[index]);

  std::vector<xcb_window_t> unknown;
  for (std::size_t index = 0; index < childCount; ++index) {
    const auto found = topLevels_.find(children[index]);
    if (found == topLevels_.end() || found->second.provisional) unknown.push_back(children[index]);
  }
  if (!unknown.empty()) {
    findClients(unknown);
    std::vector<xcb_window_t> newClients;
    for (const xcb_window_t window : unknown) {
      const auto found = topLevels_.find(window);
      if (found != topLevels_.end() && found->second.kind == TopLevel::Kind::Client)
        newClients.push_back(found->second.client);
    }
    ClientBatch fresh(connection_, newClients, {});
    std::vector<ClientState> freshStates = fresh.clientStates();
    for (std::size_t index = 0; index < newClients.size(); ++index)
      stateOfClient[newClients[index]] = freshStates[index];
  }

  std::vector<StackedWindow> onScreen;
  for (std::size_t index = childCount; index-- > 0;) {
    const auto found = topLevels_.find(children[index]);
    if (found == topLevels_.end() || found->second.kind != TopLevel::Kind::Client) continue;
    const auto state = stateOfClient.find(found->second.client);
    if (state == stateOfClient.end() || !state->second.onScreen) continue;
    onScreen.push_back({found->second.client, state->second.ownerPid});
  }
  return onScreen;
}

void WindowStack::findClients(const std::vector<xcb_window_t>& topLevels) {
  xcb_connection_t* x = connection_.get();
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (const xcb_window_t window : topLevels)
    cookies.push_back(xcb_get_window_attributes(x, window));
  // The search's first level goes out in the same round trip as the attributes.
  const std::vector<std::optional<xcb_window_t>> clients = searchForClients(topLevels);
  for (std::size_t index = 0; index < topLevels.size(); ++index) {
    auto attributes = own(xcb_get_window_attributes_reply(x, cookies[index], nullptr));
    if (!attributes) {
      topLevels_.erase(topLevels[index]);
    } else if (attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
      topLevels_[topLevels[index]] = TopLevel{};
    } else if (clients[index]) {
      topLevels_[topLevels[index]] = {TopLevel::Kind::Client, *clients[index], false};
    } else {
      topLevels_[topLevels[index]] = {TopLevel::Kind::Client, topLevels[index],
                                      attributes->override_redirect == 0};
    }
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
