#include "platform/x11/window_details_walk.h"

namespace quen::x11 {

WindowDetailsWalk::WindowDetailsWalk(const std::vector<StackedWindow>& windows,
                                     WindowDetailsSource& source)
    : windows_(windows), source_(source), details_(windows.size()) {}

const WindowDetails& WindowDetailsWalk::details(std::size_t index) {
  if (details_[index]) return *details_[index];
  const std::optional<std::int32_t>& owner = windows_[index].ownerPid;
  std::vector<std::size_t> batch{index};
  // The first window asked of an owner comes alone and with its title; the rule usually
  // takes it.
  const bool first = ownersAsked_.insert(owner).second;
  if (!first) {
    for (std::size_t later = index + 1; later < windows_.size(); ++later)
      if (!details_[later] && windows_[later].ownerPid == owner) batch.push_back(later);
  }
  std::vector<xcb_window_t> clients;
  for (const std::size_t position : batch) clients.push_back(windows_[position].client);
  std::vector<WindowDetails> fetched = source_.fetchDetails(clients, first);
  for (std::size_t position = 0; position < batch.size(); ++position)
    details_[batch[position]] = std::move(fetched[position]);
  return *details_[index];
}

const platform::OsValue& WindowDetailsWalk::name(std::size_t index) {
  details(index);
  std::optional<platform::OsValue>& name = details_[index]->name;
  if (!name)
    name = source_.fetchDetails({windows_[index].client}, true)
               .at(0)
               .name.value_or(platform::OsValue::absent());
  return *name;
}

}  // namespace quen::x11
