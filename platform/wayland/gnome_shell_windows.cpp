#include "platform/wayland/gnome_shell_windows.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

namespace quen::wayland {

namespace {

constexpr const char* SHELL = "org.gnome.Shell";
constexpr const char* SHELL_PATH = "/org/gnome/Shell";
constexpr const char* EXTENSIONS_INTERFACE = "org.gnome.Shell.Extensions";
constexpr const char* FOCUS_PATH = "/org/quen/FocusTrail";
constexpr const char* FOCUS_INTERFACE = "org.quen.FocusTrail1";
constexpr const char* FOCUS_SIGNATURE = "tsssssi";
// The Shell's extension states (misc/extensionUtils.js in GNOME 43): 1 is running (ENABLED),
// 99 is uninstalled; every other one is installed but not running (disabled, error, out of
// date, initialized).
constexpr int EXTENSION_RUNNING = 1;
constexpr int EXTENSION_UNINSTALLED = 99;

// The sd-bus callback that hands each message to `member` of the source its data names.
template <void (GnomeShellWindows::*member)(sd_bus_message*)>
int forwardTo(sd_bus_message* message, void* data, sd_bus_error*) {
  (static_cast<GnomeShellWindows*>(data)->*member)(message);
  return 0;
}
int ignoreReply(sd_bus_message*, void*, sd_bus_error*) { return 0; }

bool gnomeDesktop() {
  const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");  // "ubuntu:GNOME", say
  return desktops != nullptr && std::string_view(desktops).find("GNOME") != std::string_view::npos;
}

// The identity the desktop entries are searched by: the entry the Shell found for the window
// ("foot.desktop" names the entry foot), else the sandbox's app id, else GTK's application
// id, else the WM class (a native client's app id, an X11 window's class).
std::string applicationIdOf(const char* wmClass, const char* desktopAppId,
                            const char* gtkApplicationId, const char* sandboxedAppId) {
  std::string_view desktop(desktopAppId);
  if (desktop.ends_with(".desktop")) desktop.remove_suffix(std::strlen(".desktop"));
  for (std::string_view id : {desktop, std::string_view(sandboxedAppId),
                              std::string_view(gtkApplicationId)})
    if (!id.empty()) return std::string(id);
  return wmClass;
}

}  // namespace

std::unique_ptr<BusWindowSource> GnomeShellWindows::open(const BusSourceContext& context) {
  const dbus::SdBusFunctions& sd = context.bus.sd();
  sd_bus_message* reply = nullptr;
  const char* owner = nullptr;
  std::string shellName;
  if (sd.sd_bus_call_method(context.bus.bus(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "GetNameOwner", nullptr, &reply, "s",
                            SHELL) >= 0 &&
      sd.sd_bus_message_read(reply, "s", &owner) > 0)
    shellName = owner;
  if (reply != nullptr) sd.sd_bus_message_unref(reply);
  if (shellName.empty() && !gnomeDesktop()) return nullptr;
  std::unique_ptr<GnomeShellWindows> source(new GnomeShellWindows(context, std::move(shellName)));
  source->askExtensionState(/*wait=*/true);
  context.bus.process();  // sends the subscription now: its answer comes once the loop runs
  return source;
}

GnomeShellWindows::GnomeShellWindows(const BusSourceContext& context, std::string shellName)
    : sd_(context.bus.sd()),
      bus_(context.bus),
      tracker_(context.tracker),
      onBatch_(context.onBatch),
      shellName_(std::move(shellName)) {
  sd_bus* bus = bus_.bus();
  sd_bus_slot* slot = nullptr;
  sd_.sd_bus_add_match(bus, &slot,
                       "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                       "arg0='org.gnome.Shell'",
                       &forwardTo<&GnomeShellWindows::shellOwnerChanged>, this);
  ownerMatch_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
  // Signals are taken from the Shell's unique name alone (checked on arrival: a match on a
  // well-known sender is not resolved by sd-bus itself); FocusChanged comes addressed to
  // this connection, so no client but the Shell can feed the agent a window.
  sd_.sd_bus_match_signal(bus, &slot, nullptr, SHELL_PATH, EXTENSIONS_INTERFACE,
                          "ExtensionStateChanged",
                          &forwardTo<&GnomeShellWindows::extensionStateChanged>, this);
  stateMatch_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
  sd_.sd_bus_match_signal(bus, &slot, nullptr, FOCUS_PATH, FOCUS_INTERFACE, "FocusChanged",
                          &forwardTo<&GnomeShellWindows::focusArrived>, this);
  focusMatch_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
  bus_.onClosed([this] { forgetFocus(platform::HiddenFront::ShellExtensionMissing); });
}

GnomeShellWindows::~GnomeShellWindows() { bus_.onClosed(nullptr); }

bool GnomeShellWindows::fromShell(sd_bus_message* message) const {
  const char* sender = sd_.sd_bus_message_get_sender(message);
  return sender != nullptr && !shellName_.empty() && shellName_ == sender;
}

void GnomeShellWindows::askExtensionState(bool wait) {
  if (!wait) {
    sd_bus_slot* slot = nullptr;
    sd_.sd_bus_call_method_async(bus_.bus(), &slot, SHELL, SHELL_PATH, EXTENSIONS_INTERFACE,
                                 "GetExtensionInfo",
                                 &forwardTo<&GnomeShellWindows::extensionInfoArrived>, this, "s",
                                 GNOME_EXTENSION_UUID);
    stateCall_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
    return;
  }
  sd_bus_message* reply = nullptr;
  if (sd_.sd_bus_call_method(bus_.bus(), SHELL, SHELL_PATH, EXTENSIONS_INTERFACE,
                             "GetExtensionInfo", nullptr, &reply, "s", GNOME_EXTENSION_UUID) >= 0)
    takeExtensionState(reply);
  if (reply != nullptr) sd_.sd_bus_message_unref(reply);
}

void GnomeShellWindows::extensionInfoArrived(sd_bus_message* reply) {
  stateCall_.reset();
  if (sd_.sd_bus_message_is_method_error(reply, nullptr) > 0)
    return forgetFocus(platform::HiddenFront::ShellExtensionMissing);
  takeExtensionState(reply);
}

void GnomeShellWindows::extensionStateChanged(sd_bus_message* signal) {
  const char* uuid = nullptr;
  if (!fromShell(signal) || sd_.sd_bus_message_read(signal, "s", &uuid) <= 0 ||
      std::strcmp(uuid, GNOME_EXTENSION_UUID) != 0)
    return;
  takeExtensionState(signal);
}

// a{sv}: the extension's properties, of which "state" (a number: a double from GNOME's
// JavaScript) decides; an empty dictionary is an extension the Shell does not know.
void GnomeShellWindows::takeExtensionState(sd_bus_message* message) {
  int state = EXTENSION_UNINSTALLED;
  if (sd_.sd_bus_message_enter_container(message, 'a', "{sv}") > 0) {
    while (sd_.sd_bus_message_enter_container(message, 'e', "sv") > 0) {
      const char* key = nullptr;
      char type = 0;
      const char* contents = nullptr;
      if (sd_.sd_bus_message_read_basic(message, 's', &key) > 0 && std::strcmp(key, "state") == 0 &&
          sd_.sd_bus_message_peek_type(message, &type, &contents) > 0 && contents != nullptr &&
          sd_.sd_bus_message_enter_container(message, 'v', contents) > 0) {
        double real = 0;
        std::int32_t integer = 0;
        if (contents[0] == 'd' && sd_.sd_bus_message_read_basic(message, 'd', &real) > 0)
          state = static_cast<int>(real);
        else if ((contents[0] == 'i' || contents[0] == 'u') &&
                 sd_.sd_bus_message_read_basic(message, contents[0], &integer) > 0)
          state = integer;
        sd_.sd_bus_message_exit_container(message);
      } else {
        sd_.sd_bus_message_skip(message, "v");
      }
      sd_.sd_bus_message_exit_container(message);
    }
  }
  if (state == EXTENSION_RUNNING) {
    if (hidden_ != platform::HiddenFront::None) subscribe();
    return;
  }
  forgetFocus(state == EXTENSION_UNINSTALLED ? platform::HiddenFront::ShellExtensionMissing
                                             : platform::HiddenFront::ShellExtensionDisabled);
}

void GnomeShellWindows::subscribe() {
  hidden_ = platform::HiddenFront::None;
  // In this order on the one connection: no change between the two is lost, and the state
  // Get answers is no older than any change sent before it.
  sd_bus_slot* slot = nullptr;
  sd_.sd_bus_call_method_async(bus_.bus(), &slot, SHELL, FOCUS_PATH, FOCUS_INTERFACE,
                               "Subscribe", &ignoreReply, this, "");
  subscribeCall_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
  sd_.sd_bus_call_method_async(bus_.bus(), &slot, SHELL, FOCUS_PATH, FOCUS_INTERFACE, "Get",
                               &forwardTo<&GnomeShellWindows::focusArrived>, this, "");
  focusCall_ = dbus::Slot(slot, dbus::SlotUnref{&sd_});
}

// A FocusChanged signal or Get's reply: the focused window (id 0 for none).
void GnomeShellWindows::focusArrived(sd_bus_message* message) {
  const bool reply = sd_.sd_bus_message_is_signal(message, nullptr, nullptr) <= 0;
  if (reply) focusCall_.reset();
  if (hidden_ != platform::HiddenFront::None || (!reply && !fromShell(message))) return;
  std::uint64_t id = 0;
  const char *title = nullptr, *wmClass = nullptr, *desktopAppId = nullptr,
             *gtkApplicationId = nullptr, *sandboxedAppId = nullptr;
  std::int32_t pid = 0;
  if (sd_.sd_bus_message_read(message, FOCUS_SIGNATURE, &id, &title, &wmClass, &desktopAppId,
                              &gtkApplicationId, &sandboxedAppId, &pid) <= 0)
    return;
  if (focused_ && *focused_ != id) tracker_.closed(*focused_);
  focused_.reset();
  if (id != 0) {
    tracker_.setTitle(id, title);
    tracker_.setAppId(id, applicationIdOf(wmClass, desktopAppId, gtkApplicationId, sandboxedAppId));
    if (pid > 0) tracker_.setPid(id, pid);
    tracker_.setActivated(id, true);
    tracker_.done(id);
    focused_ = id;
  }
  onBatch_();
}

void GnomeShellWindows::shellOwnerChanged(sd_bus_message* signal) {
  const char *name = nullptr, *oldOwner = nullptr, *newOwner = nullptr;
  if (sd_.sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) <= 0 ||
      std::strcmp(name, SHELL) != 0)
    return;
  // A Shell gone is the compositor gone, whose end ends the agent: nothing to report here.
  shellName_ = newOwner;
  if (shellName_.empty()) return;
  forgetFocus(platform::HiddenFront::ShellExtensionMissing);
  askExtensionState(/*wait=*/false);
}

void GnomeShellWindows::forgetFocus(platform::HiddenFront reason) {
  hidden_ = reason;
  subscribeCall_.reset();
  focusCall_.reset();
  if (focused_) tracker_.closed(*focused_);
  focused_.reset();
  onBatch_();
}

}  // namespace quen::wayland
