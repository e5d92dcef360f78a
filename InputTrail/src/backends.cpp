// The input agent's backends, tried in this order once at start. On Linux: X11 only.
// Wayland lets no client see other clients' input; in a Wayland session the agent sees what
// reaches XWayland by kind, and learns of the rest only that the user was active: from the
// compositor's idle notifications (ext_idle_notify_v1, KDE's idle protocol; GNOME's on the
// session bus). On Windows:
// Win32 (platform/windows), over Raw Input.

#include "platform/backend_table.h"

#if defined(__APPLE__)
#include "platform/macos/macos_backend.h"
#elif defined(_WIN32)
#include "platform/windows/windows_backend.h"
#else
#include "platform/wayland/idle_watch_module.h"
#include "platform/wayland/mutter_idle_watch.h"
#include "platform/x11/x11_backend.h"
#endif

namespace quen::platform {

#if !defined(__APPLE__) && !defined(_WIN32)
namespace {

// The sources of a Wayland session's activity, tried in order: the compositor's idle
// protocol (sway, KWin and the other wlroots compositors), else Mutter's IdleMonitor on the
// session bus (GNOME).
std::unique_ptr<UnseenInputWatch> openUnseenInputWatch(
    linux_platform::PollRunLoop& loop, std::function<void(const std::string& line)> onLost) {
  if (auto watch = wayland::openIdleWatchModule(loop, std::move(onLost))) return watch;
  return wayland::openMutterIdleWatch(loop);
}

}  // namespace
#endif

std::unique_ptr<Backend> openSystemBackend(std::string& error) {
  static constexpr BackendEntry BACKENDS[] = {
#if defined(__APPLE__)
      {"macos", &macos::openMacOSBackend},
#elif defined(_WIN32)
      {"windows", [](std::string& cause) { return windows::openWindowsBackend(cause, nullptr); }},
#else
      {"x11",
       [](std::string& cause) {
         return x11::openX11Backend(nullptr, cause, &openUnseenInputWatch);
       }},
#endif
  };
  return openFirstBackend(BACKENDS, error);
}

}  // namespace quen::platform
