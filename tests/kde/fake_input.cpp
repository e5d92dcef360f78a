// Moves KWin's pointer as a user's device would: KWin's fake-input protocol, which KWin offers
// only to a client a desktop entry grants it (X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input).
// Exits 0 once KWin has handled the motion, 1 when the protocol is not offered.

#include <wayland-client.h>

#include <cstdint>
#include <cstring>

#include "fake-input-client-protocol.h"

namespace {

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
    *static_cast<org_kde_kwin_fake_input**>(data) = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 1));
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return 1;
  org_kde_kwin_fake_input* fakeInput = nullptr;
  static const wl_registry_listener listener{&onGlobal, &onGlobalRemove};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, &fakeInput);
  if (wl_display_roundtrip(display) < 0 || fakeInput == nullptr) return 1;
  org_kde_kwin_fake_input_authenticate(fakeInput, "quen tests", "moves the pointer");
  org_kde_kwin_fake_input_pointer_motion(fakeInput, wl_fixed_from_int(10), wl_fixed_from_int(10));
  return wl_display_roundtrip(display) < 0 ? 1 : 0;
}
