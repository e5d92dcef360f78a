#pragma once

// Which toplevel is in front, from the events a Wayland compositor sends of each toplevel
// (wlr-foreign-toplevel-management: title, app_id, state, then done to commit them, and
// closed; KWin's window list is translated into the same terms, with the process id). Knows no Wayland type, so that the rules are tested on recorded sequences.
//
// The decision waits for the whole batch of events that one dispatch delivered: one focus
// switch is four events (state and done for the old toplevel and for the new one) in an
// order that varies by client (native ones deactivate the old toplevel first, XWayland ones
// activate the new one first), so deciding at each done would briefly report "none", or
// two toplevels at once.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace quen::wayland {

using ToplevelId = std::uint64_t;

// A toplevel as its last done committed it.
struct Toplevel {
  std::string appId;
  std::string title;  // the bytes as sent: not necessarily valid UTF-8
  bool activated = false;
  std::optional<std::int32_t> pid;  // none unless the protocol tells (KWin's does)
};

class ToplevelTracker {
 public:
  // Events of one toplevel; each value takes effect at that toplevel's next done.
  void setTitle(ToplevelId id, std::string title);
  void setAppId(ToplevelId id, std::string appId);
  void setActivated(ToplevelId id, bool activated);
  void setPid(ToplevelId id, std::int32_t pid);
  void done(ToplevelId id);
  // The toplevel is gone, with whatever it had not committed.
  void closed(ToplevelId id);

  // Called once the batch is dispatched. Returns whether the front changed since the last
  // call: another toplevel (or none) is activated, or the activated one changed its app_id.
  // A title change is no activation; the poll reads titles.
  bool finishBatch();

  // The activated toplevel, none when nothing is (an empty workspace). Should a compositor
  // report several at once, the one activated last counts.
  std::optional<ToplevelId> front() const { return front_; }
  // The committed state of `id`; null for an unknown or uncommitted toplevel.
  const Toplevel* find(ToplevelId id) const;

 private:
  struct Entry {
    Toplevel committed;
    Toplevel pending;
    bool everCommitted = false;
    std::uint64_t activatedAt = 0;  // the commit that activated it
  };

  std::optional<ToplevelId> chooseFront() const;

  std::unordered_map<ToplevelId, Entry> toplevels_;
  std::uint64_t commits_ = 0;
  std::optional<ToplevelId> front_;
  std::string frontAppId_;
};

}  // namespace quen::wayland
