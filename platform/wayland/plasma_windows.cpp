#include "platform/wayland/plasma_windows.h"

#include <wayland-client.h>

#include <algorithm>

#include "plasma-window-management-client-protocol.h"

namespace quen::wayland {

namespace {

// Version 16 adds resource_name, the newest known to this client; before 4, windows have
// no initial_state to tell that their state is complete.
constexpr std::uint32_t NEWEST_KNOWN_VERSION = 16;
constexpr std::uint32_t FIRST_UUID_VERSION = 13;

ToplevelId idOf(org_kde_plasma_window* window) { return reinterpret_cast<std::uintptr_t>(window); }

PlasmaWindows& self(void* data) { return *static_cast<PlasmaWindows*>(data); }

void onTitle(void* data, org_kde_plasma_window* window, const char* title) {
  self(data).tracker().setTitle(idOf(window), title);
  self(data).commit(window);
}

void onAppId(void* data, org_kde_plasma_window* window, const char* appId) {
  self(data).tracker().setAppId(idOf(window), appId);
  self(data).commit(window);
}

void onState(void* data, org_kde_plasma_window* window, std::uint32_t flags) {
  self(data).tracker().setActivated(
      idOf(window), (flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE) != 0);
  self(data).commit(window);
}

void onPid(void* data, org_kde_plasma_window* window, std::uint32_t pid) {
  self(data).tracker().setPid(idOf(window), static_cast<std::int32_t>(pid));
  self(data).commit(window);
}

void onUnmapped(void* data, org_kde_plasma_window* window) { self(data).forget(window); }
void onInitialState(void* data, org_kde_plasma_window* window) {
  self(data).initialStateIn(window);
}

// What the agent does not use.
void ignoreInt(void*, org_kde_plasma_window*, std::int32_t) {}
void ignoreText(void*, org_kde_plasma_window*, const char*) {}
void ignoreTexts(void*, org_kde_plasma_window*, const char*, const char*) {}
void ignoreParent(void*, org_kde_plasma_window*, org_kde_plasma_window*) {}
void ignoreGeometry(void*, org_kde_plasma_window*, std::int32_t, std::int32_t, std::uint32_t,
                    std::uint32_t) {}
void ignoreNothing(void*, org_kde_plasma_window*) {}

void onWindow(void* data, org_kde_plasma_window_management* manager, std::uint32_t id) {
  if (!self(data).byUuid()) self(data).track(org_kde_plasma_window_management_get_window(manager, id));
}

void onWindowWithUuid(void* data, org_kde_plasma_window_management* manager, std::uint32_t,
                      const char* uuid) {
  self(data).track(org_kde_plasma_window_management_get_window_by_uuid(manager, uuid));
}

void ignoreShowDesktop(void*, org_kde_plasma_window_management*, std::uint32_t) {}
void ignoreOrder(void*, org_kde_plasma_window_management*, wl_array*) {}
void ignoreUuidOrder(void*, org_kde_plasma_window_management*, const char*) {}

}  // namespace

const char* PlasmaWindows::interfaceName() {
  return org_kde_plasma_window_management_interface.name;
}

PlasmaWindows::PlasmaWindows(wl_registry* registry, std::uint32_t name, std::uint32_t version,
                             ToplevelTracker& tracker)
    : manager_(static_cast<org_kde_plasma_window_management*>(
          wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface,
                           std::min(version, NEWEST_KNOWN_VERSION)))),
      tracker_(tracker),
      byUuid_(std::min(version, NEWEST_KNOWN_VERSION) >= FIRST_UUID_VERSION) {
  static const org_kde_plasma_window_management_listener listener{
      &ignoreShowDesktop, &onWindow, &ignoreOrder, &ignoreUuidOrder, &onWindowWithUuid};
  org_kde_plasma_window_management_add_listener(manager_, &listener, this);
}

PlasmaWindows::~PlasmaWindows() {
  for (org_kde_plasma_window* window : windows_) org_kde_plasma_window_destroy(window);
  org_kde_plasma_window_management_destroy(manager_);
}

void PlasmaWindows::track(org_kde_plasma_window* window) {
  static const org_kde_plasma_window_listener listener{
      &onTitle,     &onAppId,       &onState,       &ignoreInt,      &ignoreText,
      &onUnmapped,  &onInitialState, &ignoreParent, &ignoreGeometry, &ignoreNothing,
      &onPid,       &ignoreText,    &ignoreText,    &ignoreTexts,    &ignoreText,
      &ignoreText,  &ignoreText};
  windows_.insert(window);
  org_kde_plasma_window_add_listener(window, &listener, this);
}

void PlasmaWindows::forget(org_kde_plasma_window* window) {
  tracker_.closed(idOf(window));
  windows_.erase(window);
  complete_.erase(window);
  org_kde_plasma_window_destroy(window);
}

void PlasmaWindows::commit(org_kde_plasma_window* window) {
  if (complete_.count(window) != 0) tracker_.done(idOf(window));
}

void PlasmaWindows::initialStateIn(org_kde_plasma_window* window) {
  complete_.insert(window);
  tracker_.done(idOf(window));
}

}  // namespace quen::wayland
