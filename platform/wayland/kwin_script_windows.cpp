#include "platform/wayland/kwin_script_windows.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/dbus/loop_bus.h"
#include "platform/wayland/kwin_activations.h"
#include "platform/wayland/kwin_window_script.h"

namespace quen::wayland {

namespace {

constexpr const char* KWIN_NAME = "org.kde.KWin";
// What loading the script may cost the agent at start, every call to KWin and the bus
// included; a KWin that does not answer within it is no KWin to use.
constexpr std::uint64_t LOAD_BUDGET_MICROSECONDS = 1'000'000;
constexpr std::uint64_t UNLOAD_TIMEOUT_MICROSECONDS = 250'000;
// A KWin that has just taken its name may not offer its scripting yet.
constexpr int RELOAD_ATTEMPTS = 5;
constexpr platform::Seconds RELOAD_INTERVAL = 1.0;

// KWin 6 runs a loaded script at /Scripting/Script<id>, KWin 5 at /<id>; the session's major
// version picks the one tried first, the other is tried when KWin knows no such object.
bool sessionIsPlasma6OrLater() {
  const char* version = std::getenv("KDE_SESSION_VERSION");
  return version != nullptr && std::atoi(version) >= 6;
}

// The text in a new private file of the runtime directory (mode 0600, never an existing
// file); its path, empty when it cannot be written.
std::string writePrivateFile(const std::string& text) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime != '/') return {};
  std::string path = std::string(runtime) + "/focustrail-kwin-XXXXXX.js";
  const int fd = mkostemps(path.data(), 3, O_CLOEXEC);
  if (fd < 0) return {};
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = write(fd, text.data() + written, text.size() - written);
    if (count <= 0) break;
    written += static_cast<std::size_t>(count);
  }
  if (close(fd) != 0 || written != text.size()) {
    unlink(path.c_str());
    return {};
  }
  return path;
}

class KwinScriptWindows final : public BusWindowSource {
 public:
  explicit KwinScriptWindows(const BusSourceContext& context)
      : context_(context), activations_(context.tracker) {}
  ~KwinScriptWindows() override {
    *self_ = nullptr;
    context_.bus.onClosed(nullptr);
    if (loaded_ && !kwinOwner_.empty())
      call("/Scripting", "org.kde.kwin.Scripting", "unloadScript", UNLOAD_TIMEOUT_MICROSECONDS,
           scriptName_);
  }

  bool start() {
    scriptName_ = kwinScriptName(context_.bus.uniqueName());
    sd_bus_slot* slot = nullptr;
    if (sd().sd_bus_add_object(bus(), &slot, KWIN_SCRIPT_PATH, &onCall, this) < 0) return false;
    objectSlot_.reset(slot);
    // Asked for before the owner, so that no change of owner falls between the two.
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',") +
                             "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
                             KWIN_NAME + "'";
    if (sd().sd_bus_add_match_async(bus(), &slot, rule.c_str(), &onOwnerChanged, nullptr, this) < 0)
      return false;
    ownerSlot_.reset(slot);
    context_.bus.onClosed([this] {
      kwinOwner_.clear();
      applied(activations_.forgetAll());
    });
    // XDG_CURRENT_DESKTOP naming KDE does not make KWin answer: the owner of KWin's name is
    // what the route needs, on any session.
    const std::uint64_t deadline = dbus::monotonicMicroseconds() + LOAD_BUDGET_MICROSECONDS;
    kwinOwner_ = nameOwner(deadline);
    if (kwinOwner_.empty() || !load(deadline)) return false;
    // The script's first call (the window active now) may have come in while the agent
    // waited for KWin's reply, where it makes the socket no more readable. It is dispatched
    // once the loop runs, so that the activation it makes reaches the agent's observers.
    context_.loop.scheduleOnce(0, [self = self_] {
      if (*self != nullptr) (*self)->context_.bus.process();
    });
    return true;
  }

 private:
  const dbus::SdBusFunctions& sd() const { return context_.bus.sd(); }
  sd_bus* bus() const { return context_.bus.bus(); }
  void applied(bool changed) {
    if (changed) context_.onBatch();
  }
  static std::uint64_t remaining(std::uint64_t deadline) {
    const std::uint64_t now = dbus::monotonicMicroseconds();
    return deadline > now ? deadline - now : 0;
  }

  // A blocking call with string arguments to KWin; null when it failed or took longer than
  // `timeout`.
  template <typename... Texts>
  dbus::Message call(const char* path, const char* interface, const char* member,
                     std::uint64_t timeout, const Texts&... arguments) {
    return callTo(KWIN_NAME, path, interface, member, timeout, nullptr, arguments...);
  }
  // The same to any destination, with the error's name in `errorName` when it failed.
  template <typename... Texts>
  dbus::Message callTo(const char* destination, const char* path, const char* interface,
                       const char* member, std::uint64_t timeout, std::string* errorName,
                       const Texts&... arguments) {
    if (timeout == 0) return dbus::Message(nullptr, dbus::MessageUnref{&sd()});
    sd_bus_message* request = nullptr;
    if (sd().sd_bus_message_new_method_call(bus(), &request, destination, path, interface,
                                            member) < 0)
      return dbus::Message(nullptr, dbus::MessageUnref{&sd()});
    dbus::Message owned(request, dbus::MessageUnref{&sd()});
    if (!(... && (sd().sd_bus_message_append(request, "s", arguments.c_str()) >= 0)))
      return dbus::Message(nullptr, dbus::MessageUnref{&sd()});
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (sd().sd_bus_call(bus(), request, timeout, &error, &reply) < 0) reply = nullptr;
    if (errorName != nullptr && error.name != nullptr) *errorName = error.name;
    sd().sd_bus_error_free(&error);
    return dbus::Message(reply, dbus::MessageUnref{&sd()});
  }

  std::string nameOwner(std::uint64_t deadline) {
    const std::string name = KWIN_NAME;
    dbus::Message reply = callTo("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "GetNameOwner", remaining(deadline),
                                 nullptr, name);
    const char* owner = nullptr;
    if (!reply || sd().sd_bus_message_read(reply.get(), "s", &owner) < 0 || owner == nullptr)
      return {};
    return owner;
  }

  // Writes the script, has KWin load and run it, and removes the file again (KWin reads it
  // when the script runs).
  bool load(std::uint64_t deadline) {
    const std::string text = kwinScriptText(context_.bus.uniqueName());
    const std::string path = text.empty() ? std::string() : writePrivateFile(text);
    if (path.empty()) return false;
    dbus::Message reply = call("/Scripting", "org.kde.kwin.Scripting", "loadScript",
                               remaining(deadline), path, scriptName_);
    std::int32_t id = -1;
    if (reply && sd().sd_bus_message_read(reply.get(), "i", &id) < 0) id = -1;
    const std::string number = std::to_string(id);
    std::string objects[] = {std::string("/").append(number),
                             std::string("/Scripting/Script").append(number)};
    if (sessionIsPlasma6OrLater()) std::swap(objects[0], objects[1]);
    loaded_ = false;
    for (const std::string& object : objects) {
      if (id < 0) break;  // KWin could not load it
      std::string errorName;
      loaded_ = bool(callTo(KWIN_NAME, object.c_str(), "org.kde.kwin.Script", "run",
                            remaining(deadline), &errorName));
      if (loaded_ || errorName != "org.freedesktop.DBus.Error.UnknownObject") break;
    }
    unlink(path.c_str());
    if (id >= 0 && !loaded_)
      call("/Scripting", "org.kde.kwin.Scripting", "unloadScript", remaining(deadline),
           scriptName_);
    return loaded_;
  }

  void reload(int attempt) {
    if (kwinOwner_.empty() || loaded_) return;
    if (load(dbus::monotonicMicroseconds() + LOAD_BUDGET_MICROSECONDS))
      return context_.bus.process();
    if (attempt + 1 >= RELOAD_ATTEMPTS) return;
    context_.loop.scheduleOnce(RELOAD_INTERVAL, [self = self_, attempt] {
      if (*self != nullptr) (*self)->reload(attempt + 1);
    });
  }

  static int onOwnerChanged(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& self = *static_cast<KwinScriptWindows*>(data);
    const char *name = nullptr, *oldOwner = nullptr, *newOwner = nullptr;
    if (self.sd().sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) < 0 ||
        name == nullptr || newOwner == nullptr || self.kwinOwner_ == newOwner)
      return 0;
    // What the old KWin said is void; a new one has no script of the agent's yet.
    self.kwinOwner_ = newOwner;
    self.loaded_ = false;
    self.applied(self.activations_.forgetAll());
    if (!self.kwinOwner_.empty())
      self.context_.loop.scheduleOnce(0, [alive = self.self_] {
        if (*alive != nullptr) (*alive)->reload(0);
      });
    return 0;
  }

  static int onCall(sd_bus_message* message, void* data, sd_bus_error* error) {
    auto& self = *static_cast<KwinScriptWindows*>(data);
    const dbus::SdBusFunctions& sd = self.sd();
    const char* sender = sd.sd_bus_message_get_sender(message);
    // Any process of the user may call the agent's name; only KWin's word counts.
    if (sender == nullptr || self.kwinOwner_.empty() || self.kwinOwner_ != sender)
      return sd.sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "only KWin may call");
    const auto called = [&](const char* member) {
      return sd.sd_bus_message_is_method_call(message, KWIN_SCRIPT_INTERFACE, member) > 0;
    };
    if (called("WindowActivated")) {
      const char *id = nullptr, *caption = nullptr, *desktopFile = nullptr, *resource = nullptr;
      std::int32_t pid = 0;
      if (sd.sd_bus_message_read(message, "ssssi", &id, &caption, &desktopFile, &resource,
                                 &pid) < 0)
        return sd.sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "expected ssssi");
      sd.sd_bus_reply_method_return(message, nullptr);
      self.applied(self.activations_.windowActivated({id, caption, desktopFile, resource, pid}));
    } else if (called("CaptionChanged")) {
      const char *id = nullptr, *caption = nullptr;
      if (sd.sd_bus_message_read(message, "ss", &id, &caption) < 0)
        return sd.sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "expected ss");
      sd.sd_bus_reply_method_return(message, nullptr);
      self.applied(self.activations_.captionChanged(id, caption));
    } else if (called("NothingActivated")) {
      sd.sd_bus_reply_method_return(message, nullptr);
      const std::uint64_t token = self.activations_.nothingActivated();
      const double bound = std::chrono::duration<double>(EMPTY_ACTIVATION_BOUND).count();
      self.context_.loop.scheduleOnce(bound, [alive = self.self_, token] {
        if (*alive != nullptr) (*alive)->applied((*alive)->activations_.settleNothing(token));
      });
    } else {
      return 0;  // sd-bus answers that there is no such method
    }
    return 1;
  }

  BusSourceContext context_;
  KwinActivations activations_;
  std::string scriptName_;
  std::string kwinOwner_;  // the unique name of org.kde.KWin's owner; empty when none
  bool loaded_ = false;
  dbus::Slot objectSlot_{nullptr, dbus::SlotUnref{&context_.bus.sd()}};
  dbus::Slot ownerSlot_{nullptr, dbus::SlotUnref{&context_.bus.sd()}};
  // Held by the loop's timers, which may outlive the source.
  std::shared_ptr<KwinScriptWindows*> self_ = std::make_shared<KwinScriptWindows*>(this);
};

}  // namespace

std::unique_ptr<BusWindowSource> openKwinScriptWindows(const BusSourceContext& context) {
  auto source = std::make_unique<KwinScriptWindows>(context);
  if (!source->start()) return nullptr;
  return source;
}

}  // namespace quen::wayland
