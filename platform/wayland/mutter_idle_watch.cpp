#include "platform/wayland/mutter_idle_watch.h"

#include <cstdint>
#include <string>
#include <utility>

#include "platform/dbus/loop_bus.h"

namespace quen::wayland {

namespace {

constexpr const char* MONITOR = "org.gnome.Mutter.IdleMonitor";
constexpr const char* MONITOR_PATH = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* MONITOR_INTERFACE = "org.gnome.Mutter.IdleMonitor";

class MutterIdleWatch final : public platform::UnseenInputWatch {
 public:
  MutterIdleWatch(std::unique_ptr<dbus::LoopBus> bus, std::string monitorOwner)
      : bus_(std::move(bus)), sd_(bus_->sd()), monitorOwner_(std::move(monitorOwner)) {}

  bool start(platform::Seconds idleAfter, std::function<void(bool idle)> onIdleChange) override {
    onIdleChange_ = std::move(onIdleChange);
    // From the monitor's owner alone: no other client can fake the user's activity.
    sd_bus_slot* slot = nullptr;
    if (sd_.sd_bus_match_signal(bus_->bus(), &slot, monitorOwner_.c_str(), MONITOR_PATH,
                                MONITOR_INTERFACE, "WatchFired", &onWatchFired, this) < 0)
      return false;
    firedMatch_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
    const auto milliseconds = static_cast<std::uint64_t>(idleAfter * 1000 + 0.5);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int called = sd_.sd_bus_call_method(bus_->bus(), MONITOR, MONITOR_PATH,
                                              MONITOR_INTERFACE, "AddIdleWatch", &error, &reply,
                                              "t", milliseconds);
    sd_.sd_bus_error_free(&error);
    if (called < 0) return false;
    const dbus::Message owned(reply, dbus::MessageUnref{&sd_});
    if (sd_.sd_bus_message_read(reply, "u", &idleWatch_) < 0) return false;
    // A bus that goes away tells nothing more: from then on every second counts as active
    // (activity unknown), and the session is ending anyway.
    bus_->onClosed([this] {
      idleWatch_ = activeWatch_ = 0;
      onIdleChange_(false);
    });
    return true;
  }

 private:
  static int onWatchFired(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& self = *static_cast<MutterIdleWatch*>(data);
    std::uint32_t watch = 0;
    if (self.sd_.sd_bus_message_read(message, "u", &watch) < 0 || watch == 0) return 0;
    if (watch == self.idleWatch_) {
      self.onIdleChange_(true);
      self.addUserActiveWatch();
    } else if (watch == self.activeWatch_) {  // fired once, and removed by Mutter
      self.activeWatch_ = 0;
      self.onIdleChange_(false);
    }
    return 0;
  }

  // Mutter answers before it can fire the watch, so its number is known when it fires. Input
  // between the "idle" and Mutter's receipt of this call (a bus round trip) goes unheard.
  void addUserActiveWatch() {
    if (activeWatch_ != 0 || activeWatchCall_) return;
    sd_bus_slot* slot = nullptr;
    if (sd_.sd_bus_call_method_async(bus_->bus(), &slot, MONITOR, MONITOR_PATH, MONITOR_INTERFACE,
                                     "AddUserActiveWatch", &onActiveWatchAdded, this, "") < 0)
      return;
    activeWatchCall_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
  }
  static int onActiveWatchAdded(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto& self = *static_cast<MutterIdleWatch*>(data);
    std::uint32_t watch = 0;
    if (!self.sd_.sd_bus_message_is_method_error(reply, nullptr) &&
        self.sd_.sd_bus_message_read(reply, "u", &watch) >= 0)
      self.activeWatch_ = watch;
    self.activeWatchCall_.reset();
    return 0;
  }

  std::unique_ptr<dbus::LoopBus> bus_;
  const dbus::SdBusFunctions& sd_;
  std::string monitorOwner_;
  std::function<void(bool)> onIdleChange_;
  std::uint32_t idleWatch_ = 0, activeWatch_ = 0;  // Mutter's numbers; 0 for none
  dbus::Slot firedMatch_, activeWatchCall_;
};

}  // namespace

std::unique_ptr<platform::UnseenInputWatch> openMutterIdleWatch(linux_platform::PollRunLoop& loop) {
  std::unique_ptr<dbus::LoopBus> bus = dbus::LoopBus::openSession(loop);
  if (!bus) return nullptr;
  const dbus::SdBusFunctions& sd = bus->sd();
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  const int called = sd.sd_bus_call_method(bus->bus(), "org.freedesktop.DBus",
                                           "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                           "GetNameOwner", &error, &reply, "s", MONITOR);
  sd.sd_bus_error_free(&error);
  if (called < 0) return nullptr;
  const dbus::Message owned(reply, dbus::MessageUnref{&sd});
  const char* owner = nullptr;
  if (sd.sd_bus_message_read(reply, "s", &owner) < 0 || owner == nullptr) return nullptr;
  return std::make_unique<MutterIdleWatch>(std::move(bus), owner);
}

}  // namespace quen::wayland
