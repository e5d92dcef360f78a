#include "platform/wayland/foreign_toplevels.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace quen::wayland {

namespace {

// Version 3 adds only the parent event; nothing newer is known to this client.
constexpr std::uint32_t NEWEST_KNOWN_VERSION = 3;

ToplevelId idOf(zwlr_foreign_toplevel_handle_v1* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

ToplevelTracker& trackerOf(void* data) { return static_cast<ForeignToplevels*>(data)->tracker(); }

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title) {
  trackerOf(data).setTitle(idOf(handle), title);
}

void onAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId) {
  trackerOf(data).setAppId(idOf(handle), appId);
}

void onOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}

// The state array holds 32-bit state values; a toplevel is activated while it lists
// ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED.
void onState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
  bool activated = false;
  const std::size_t count = states->size / sizeof(std::uint32_t);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t state = 0;
    std::memcpy(&state, static_cast<const char*>(states->data) + i * sizeof state, sizeof state);
    activated = activated || state == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
  }
  trackerOf(data).setActivated(idOf(handle), activated);
}

void onDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
  trackerOf(data).done(idOf(handle));
}

void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

}  // namespace

const char* ForeignToplevels::interfaceName() {
  return zwlr_foreign_toplevel_manager_v1_interface.name;
}

ForeignToplevels::ForeignToplevels(wl_registry* registry, std::uint32_t name,
                                   std::uint32_t version, ToplevelTracker& tracker)
    : manager_(static_cast<zwlr_foreign_toplevel_manager_v1*>(
          wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                           std::min(version, NEWEST_KNOWN_VERSION)))),
      tracker_(tracker) {
  static const zwlr_foreign_toplevel_manager_v1_listener listener{&onToplevel, &onFinished};
  zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &listener, this);
}

ForeignToplevels::~ForeignToplevels() {
  for (zwlr_foreign_toplevel_handle_v1* handle : handles_)
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
  if (manager_) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
}

void ForeignToplevels::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                  zwlr_foreign_toplevel_handle_v1* handle) {
  auto& self = *static_cast<ForeignToplevels*>(data);
  // The handle's own events reach the tracker directly; only closed needs the glue, which
  // destroys the handle.
  static const zwlr_foreign_toplevel_handle_v1_listener listener{
      &onTitle, &onAppId, &onOutput, &onOutput, &onState, &onDone, &onClosed, &onParent};
  self.handles_.insert(handle);
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, &self);
}

void ForeignToplevels::onFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
  auto& self = *static_cast<ForeignToplevels*>(data);
  // The compositor destroyed the manager after this event; only the proxy is left to free.
  zwlr_foreign_toplevel_manager_v1_destroy(manager);
  self.manager_ = nullptr;
}

void ForeignToplevels::onClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
  auto& self = *static_cast<ForeignToplevels*>(data);
  self.tracker_.closed(idOf(handle));
  self.handles_.erase(handle);
  zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

}  // namespace quen::wayland
