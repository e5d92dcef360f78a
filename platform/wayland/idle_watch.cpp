#include "platform/wayland/idle_watch.h"

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"
#include "platform/wayland/bounded_roundtrip.h"

namespace quen::wayland {

namespace {

constexpr std::chrono::milliseconds START_ANSWER_LIMIT{1000};

void dropLibraryMessage(const char* /*format*/, va_list /*arguments*/) {}

class IdleWatch final : public platform::UnseenInputWatch {
 public:
  IdleWatch(wl_display* display, std::string displayName, linux_platform::PollRunLoop& loop,
            std::function<void(const std::string&)> onLost)
      : display_(display), displayName_(std::move(displayName)), loop_(loop),
        onLost_(std::move(onLost)) {}
  ~IdleWatch() override {
    if (watching_) loop_.unwatchFileDescriptor(wl_display_get_fd(display_));
    if (notification_) ext_idle_notification_v1_destroy(notification_);
    if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
    if (timeout_) org_kde_kwin_idle_timeout_release(timeout_);
    if (kdeIdle_) org_kde_kwin_idle_destroy(kdeIdle_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
  }

  // Reads the registry (one round trip); false when no seat or neither protocol is offered.
  bool bindGlobals() {
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener{&onGlobal, &onGlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
    return roundtripWithin(display_, START_ANSWER_LIMIT) && seat_ && (notifier_ || kdeIdle_);
  }

  bool start(platform::Seconds idleAfter, std::function<void(bool idle)> onIdleChange) override {
    onIdleChange_ = std::move(onIdleChange);
    const auto milliseconds = static_cast<std::uint32_t>(idleAfter * 1000 + 0.5);
    if (notifier_) {
      static const ext_idle_notification_v1_listener listener{&onIdled, &onResumed};
      notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, milliseconds, seat_);
      ext_idle_notification_v1_add_listener(notification_, &listener, this);
    } else {
      static const org_kde_kwin_idle_timeout_listener listener{&onKdeIdle, &onResumedKde};
      timeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, milliseconds);
      org_kde_kwin_idle_timeout_add_listener(timeout_, &listener, this);
    }
    // The request leaves now; from here on the compositor only sends.
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) return false;
    watching_ = true;
    loop_.watchFileDescriptor(wl_display_get_fd(display_), [this] {
      if (wl_display_dispatch(display_) < 0) lose();
    });
    return true;
  }

 private:
  static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                       const char* interface, std::uint32_t /*version*/) {
    auto& self = *static_cast<IdleWatch*>(data);
    if (!self.seat_ && std::strcmp(interface, wl_seat_interface.name) == 0)
      self.seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!self.notifier_ && std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
      self.notifier_ = static_cast<ext_idle_notifier_v1*>(
          wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
    else if (!self.kdeIdle_ && std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0)
      self.kdeIdle_ = static_cast<org_kde_kwin_idle*>(
          wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
  }
  static void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
  static void onIdled(void* data, ext_idle_notification_v1*) { notify(data, true); }
  static void onResumed(void* data, ext_idle_notification_v1*) { notify(data, false); }
  static void onKdeIdle(void* data, org_kde_kwin_idle_timeout*) { notify(data, true); }
  static void onResumedKde(void* data, org_kde_kwin_idle_timeout*) { notify(data, false); }
  static void notify(void* data, bool idle) { static_cast<IdleWatch*>(data)->onIdleChange_(idle); }

  void lose() {
    if (lost_) return;
    lost_ = true;
    const int error = wl_display_get_error(display_);
    const char* cause = error == EPROTO   ? "a protocol error"
                        : error == ENOMEM ? "out of memory"
                                          : "the compositor closed it or cannot be reached";
    onLost_("Wayland: connection to compositor " + displayName_ + " lost: " + cause);
  }

  wl_display* display_;
  std::string displayName_;
  linux_platform::PollRunLoop& loop_;
  std::function<void(const std::string&)> onLost_;
  std::function<void(bool)> onIdleChange_;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  ext_idle_notifier_v1* notifier_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
  org_kde_kwin_idle* kdeIdle_ = nullptr;
  org_kde_kwin_idle_timeout* timeout_ = nullptr;
  bool watching_ = false;
  bool lost_ = false;
};

}  // namespace

std::unique_ptr<platform::UnseenInputWatch> openIdleWatch(
    linux_platform::PollRunLoop& loop, std::function<void(const std::string& line)> onLost) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  // The parent reads one line on standard error when the agent ends, its own reason.
  wl_log_set_handler_client(&dropLibraryMessage);
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return nullptr;
  auto watch = std::make_unique<IdleWatch>(display, name, loop, std::move(onLost));
  if (!watch->bindGlobals()) return nullptr;
  return watch;
}

}  // namespace quen::wayland
