#pragma once

// The wlr foreign toplevel protocol (zwlr_foreign_toplevel_manager_v1, version 1 to 3),
// translated into the tracker's terms: each handle's events go to the ToplevelTracker under
// the handle's own id. Makes no decision; the tracker does.

#include <cstdint>
#include <unordered_set>

#include "platform/wayland/toplevel_tracker.h"

struct wl_registry;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace quen::wayland {

class ForeignToplevels {
 public:
  // The interface name a compositor announces in its registry.
  static const char* interfaceName();
  // Binds the manager the registry announced as `name` with `version` and starts listening.
  ForeignToplevels(wl_registry* registry, std::uint32_t name, std::uint32_t version,
                   ToplevelTracker& tracker);
  ~ForeignToplevels();
  ForeignToplevels(const ForeignToplevels&) = delete;
  ForeignToplevels& operator=(const ForeignToplevels&) = delete;

  // Whether the compositor ended the manager (it announces no toplevel any more).
  bool finished() const { return manager_ == nullptr; }
  ToplevelTracker& tracker() { return tracker_; }

 private:
  static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1* manager,
                         zwlr_foreign_toplevel_handle_v1* handle);
  static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager);
  static void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle);

  zwlr_foreign_toplevel_manager_v1* manager_;
  ToplevelTracker& tracker_;
  std::unordered_set<zwlr_foreign_toplevel_handle_v1*> handles_;
};

}  // namespace quen::wayland
