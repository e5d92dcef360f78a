#pragma once

// KWin's window list (org_kde_plasma_window_management, version 4 to 16), translated into
// the tracker's terms: each window's title, app id, process id and active state go to the
// ToplevelTracker under the window's own id. KWin sends a window's state once in full
// (ending with initial_state) and then each change as one event, with no event that
// commits several; so the window's first commit is its initial_state and each later event
// commits itself. The batch rule stays the tracker's: a switch (the old window inactive,
// the new one active) arrives in one dispatch.
//
// KWin offers the global only to a client whose executable a desktop entry names with
// X-KDE-Wayland-Interfaces=org_kde_plasma_window_management (see the README).

#include <cstdint>
#include <unordered_set>

#include "platform/wayland/toplevel_tracker.h"

struct wl_registry;
struct org_kde_plasma_window_management;
struct org_kde_plasma_window;

namespace quen::wayland {

class PlasmaWindows {
 public:
  // The interface name KWin announces in its registry.
  static const char* interfaceName();
  // Binds the window list the registry announced as `name` with `version`.
  PlasmaWindows(wl_registry* registry, std::uint32_t name, std::uint32_t version,
                ToplevelTracker& tracker);
  ~PlasmaWindows();
  PlasmaWindows(const PlasmaWindows&) = delete;
  PlasmaWindows& operator=(const PlasmaWindows&) = delete;

  ToplevelTracker& tracker() { return tracker_; }
  // A window KWin announced: asks for its proxy and starts listening.
  void track(org_kde_plasma_window* window);
  // The window was unmapped: gone for the tracker, its proxy freed.
  void forget(org_kde_plasma_window* window);
  // Commits the window's pending state once its initial state is in.
  void commit(org_kde_plasma_window* window);
  void initialStateIn(org_kde_plasma_window* window);
  bool byUuid() const { return byUuid_; }
  org_kde_plasma_window_management* manager() { return manager_; }

 private:
  org_kde_plasma_window_management* manager_;
  ToplevelTracker& tracker_;
  bool byUuid_;  // version 13 on: windows are announced by uuid, the numeric id deprecated
  std::unordered_set<org_kde_plasma_window*> windows_;
  std::unordered_set<org_kde_plasma_window*> complete_;  // initial_state received
};

}  // namespace quen::wayland
