#include "platform/atspi/sd_bus_accessibility.h"

#include <cerrno>
#include <string>

#include "platform/dbus/sd_bus_library.h"

namespace quen::atspi {

namespace {

using dbus::BusHandle;
using dbus::BusUnref;
using dbus::loadSdBus;
using dbus::Message;
using dbus::MessageUnref;
using dbus::SdBusFunctions;
using platform::AccessibleObject;
using platform::BusCall;

constexpr const char* ACCESSIBLE = "org.a11y.atspi.Accessible";
// AT-SPI2 constants (atspi-constants.h).
constexpr unsigned STATE_ACTIVE = 1;
constexpr unsigned RELATION_EMBEDS = 13;

// A reply that cannot be read as the interface says is a failed call.
BusCall readResult(int result) { return result < 0 ? BusCall::Failed : BusCall::Done; }

// The address of the accessibility bus, when the user has switched accessibility on.
bool accessibilityBusAddress(const SdBusFunctions* sd, std::string& address) {
  sd_bus* session = nullptr;
  if (sd->sd_bus_open_user(&session) < 0) return false;
  const BusHandle owned(session, BusUnref{sd});
  sd->sd_bus_set_method_call_timeout(session, CALL_TIMEOUT_MICROSECONDS);
  int enabled = 0;
  if (sd->sd_bus_get_property_trivial(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                                  "IsEnabled", nullptr, 'b', &enabled) < 0 ||
      !enabled)
    return false;
  sd_bus_message* reply = nullptr;
  if (sd->sd_bus_call_method(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                         nullptr, &reply, "") < 0)
    return false;
  const Message ownedReply(reply, MessageUnref{sd});
  const char* text = nullptr;
  if (sd->sd_bus_message_read(reply, "s", &text) < 0 || text == nullptr) return false;
  address = text;
  return true;
}

class SdBusAccessibility final : public platform::AccessibilityBus {
 public:
  BusCall connect() override {
    bus_.reset();
    if ((sd_ = loadSdBus()) == nullptr) return BusCall::Unreachable;
    std::string address;
    if (!accessibilityBusAddress(sd_, address)) return BusCall::Unreachable;
    sd_bus* bus = nullptr;
    if (sd_->sd_bus_new(&bus) < 0) return BusCall::Unreachable;
    BusHandle owned(bus, BusUnref{sd_});
    if (sd_->sd_bus_set_address(bus, address.c_str()) < 0 || sd_->sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_->sd_bus_set_method_call_timeout(bus, CALL_TIMEOUT_MICROSECONDS) < 0 ||
        sd_->sd_bus_start(bus) < 0)
      return BusCall::Unreachable;
    bus_ = std::move(owned);
    return BusCall::Done;
  }

  BusCall applications(std::vector<AccessibleObject>& roots) override {
    return children({"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"}, roots);
  }

  BusCall processId(const std::string& busName, std::int32_t& pid) override {
    Message reply(nullptr, MessageUnref{sd_});
    const BusCall result = call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "GetConnectionUnixProcessID", reply, "s",
                                busName.c_str());
    if (result != BusCall::Done) return result;
    std::uint32_t value = 0;
    const int read = sd_->sd_bus_message_read(reply.get(), "u", &value);
    pid = static_cast<std::int32_t>(value);
    return readResult(read);
  }

  BusCall children(const AccessibleObject& object,
                   std::vector<AccessibleObject>& found) override {
    Message reply(nullptr, MessageUnref{sd_});
    const BusCall result = call(object, ACCESSIBLE, "GetChildren", reply);
    if (result != BusCall::Done) return result;
    found.clear();
    return readResult(readObjectArray(reply.get(), found));
  }

  BusCall isActive(const AccessibleObject& object, bool& active) override {
    Message reply(nullptr, MessageUnref{sd_});
    const BusCall result = call(object, ACCESSIBLE, "GetState", reply);
    if (result != BusCall::Done) return result;
    const void* words = nullptr;
    std::size_t size = 0;
    const int read = sd_->sd_bus_message_read_array(reply.get(), 'u', &words, &size);
    active = read >= 0 && size >= sizeof(std::uint32_t) &&
             (static_cast<const std::uint32_t*>(words)[0] & (1u << STATE_ACTIVE)) != 0;
    return readResult(read);
  }

  BusCall name(const AccessibleObject& object, std::string& text) override {
    if (!bus_) return BusCall::Unreachable;
    char* value = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int result = sd_->sd_bus_get_property_string(bus_.get(), object.busName.c_str(),
                                                  object.path.c_str(), ACCESSIBLE, "Name",
                                                  &error, &value);
    sd_->sd_bus_error_free(&error);
    if (result < 0) return finish(result);
    text = value != nullptr ? value : "";
    free(value);  // NOLINT: sd-bus hands out malloc'ed text
    return finish(0);
  }

  BusCall embeds(const AccessibleObject& object,
                 std::optional<AccessibleObject>& target) override {
    Message reply(nullptr, MessageUnref{sd_});
    const BusCall result = call(object, ACCESSIBLE, "GetRelationSet", reply);
    if (result != BusCall::Done) return result;
    target.reset();
    return readResult(readEmbedsTarget(reply.get(), target));
  }

  BusCall documentAttributes(
      const AccessibleObject& document,
      std::vector<std::pair<std::string, std::string>>& attributes) override {
    Message reply(nullptr, MessageUnref{sd_});
    const BusCall result = call(document, "org.a11y.atspi.Document", "GetAttributes", reply);
    if (result != BusCall::Done) return result;
    attributes.clear();
    sd_bus_message* message = reply.get();
    int read = sd_->sd_bus_message_enter_container(message, 'a', "{ss}");
    const char* key = nullptr;
    const char* value = nullptr;
    while (read >= 0 && (read = sd_->sd_bus_message_read(message, "{ss}", &key, &value)) > 0)
      attributes.emplace_back(key, value);
    return readResult(read);
  }

 private:
  template <typename... Arguments>
  BusCall call(const char* destination, const char* path, const char* interface,
               const char* member, Message& reply, const char* types = "",
               Arguments... arguments) {
    if (!bus_) return BusCall::Unreachable;
    sd_bus_message* message = nullptr;
    const int result = sd_->sd_bus_call_method(bus_.get(), destination, path, interface, member,
                                          nullptr, &message, types, arguments...);
    reply.reset(message);
    return finish(result);
  }
  BusCall call(const AccessibleObject& object, const char* interface, const char* member,
               Message& reply) {
    return call(object.busName.c_str(), object.path.c_str(), interface, member, reply);
  }

  // Drops replies that came after their call timed out, then names the outcome; a lost
  // connection ends the bus until the next connect().
  BusCall finish(int result) {
    while (bus_ && sd_->sd_bus_process(bus_.get(), nullptr) > 0) {
    }
    if (result >= 0) return BusCall::Done;
    if (result == -ETIMEDOUT) return BusCall::TimedOut;
    if (result == -ENOTCONN || result == -ECONNRESET || result == -EPIPE ||
        (bus_ && sd_->sd_bus_is_open(bus_.get()) <= 0)) {
      bus_.reset();
      return BusCall::Unreachable;
    }
    return BusCall::Failed;
  }

  int readObjectArray(sd_bus_message* message, std::vector<AccessibleObject>& found) {
    int read = sd_->sd_bus_message_enter_container(message, 'a', "(so)");
    const char* busName = nullptr;
    const char* path = nullptr;
    while (read >= 0 && (read = sd_->sd_bus_message_read(message, "(so)", &busName, &path)) > 0)
      found.push_back({busName, path});
    return read < 0 ? read : sd_->sd_bus_message_exit_container(message);
  }

  // Reads a(ua(so)): each relation's type and targets; keeps the first embedded object.
  int readEmbedsTarget(sd_bus_message* message, std::optional<AccessibleObject>& target) {
    int read = sd_->sd_bus_message_enter_container(message, 'a', "(ua(so))");
    while (read >= 0 && (read = sd_->sd_bus_message_enter_container(message, 'r', "ua(so)")) > 0) {
      std::uint32_t type = 0;
      std::vector<AccessibleObject> targets;
      if ((read = sd_->sd_bus_message_read(message, "u", &type)) < 0) break;
      if ((read = readObjectArray(message, targets)) < 0) break;
      if (type == RELATION_EMBEDS && !targets.empty() && !target) target = targets.front();
      if ((read = sd_->sd_bus_message_exit_container(message)) < 0) break;
    }
    return read;
  }

  // Set by connect() before any other use; every use below is on a reached bus.
  const SdBusFunctions* sd_ = nullptr;
  BusHandle bus_{nullptr, BusUnref{nullptr}};
};

}  // namespace

std::unique_ptr<platform::AccessibilityBus> openSdBusAccessibility() {
  return std::make_unique<SdBusAccessibility>();
}

}  // namespace quen::atspi
