#include "platform/wayland/toplevel_tracker.h"

#include <utility>

namespace quen::wayland {

void ToplevelTracker::setTitle(ToplevelId id, std::string title) {
  toplevels_[id].pending.title = std::move(title);
}

void ToplevelTracker::setAppId(ToplevelId id, std::string appId) {
  toplevels_[id].pending.appId = std::move(appId);
}

void ToplevelTracker::setActivated(ToplevelId id, bool activated) {
  toplevels_[id].pending.activated = activated;
}

void ToplevelTracker::setPid(ToplevelId id, std::int32_t pid) { toplevels_[id].pending.pid = pid; }

void ToplevelTracker::done(ToplevelId id) {
  Entry& entry = toplevels_[id];
  if (entry.pending.activated && !entry.committed.activated) entry.activatedAt = ++commits_;
  entry.committed = entry.pending;
  entry.everCommitted = true;
}

void ToplevelTracker::closed(ToplevelId id) { toplevels_.erase(id); }

const Toplevel* ToplevelTracker::find(ToplevelId id) const {
  const auto found = toplevels_.find(id);
  if (found == toplevels_.end() || !found->second.everCommitted) return nullptr;
  return &found->second.committed;
}

std::optional<ToplevelId> ToplevelTracker::chooseFront() const {
  std::optional<ToplevelId> chosen;
  std::uint64_t latest = 0;
  for (const auto& [id, entry] : toplevels_) {
    if (!entry.everCommitted || !entry.committed.activated) continue;
    if (!chosen || entry.activatedAt > latest) {
      chosen = id;
      latest = entry.activatedAt;
    }
  }
  return chosen;
}

bool ToplevelTracker::finishBatch() {
  const std::optional<ToplevelId> chosen = chooseFront();
  const Toplevel* toplevel = chosen ? find(*chosen) : nullptr;
  const std::string appId = toplevel ? toplevel->appId : std::string();
  const bool changed = chosen != front_ || appId != frontAppId_;
  front_ = chosen;
  frontAppId_ = appId;
  return changed;
}

}  // namespace quen::wayland
