#pragma once

// sd-bus, the D-Bus client of libsystemd, as a table of functions loaded at first use: an
// agent that never speaks D-Bus never maps libsystemd (about 0.9 MB of resident memory), and
// a system without it simply has no bus. Every user of D-Bus in the Linux backends goes
// through this one table.

#include <systemd/sd-bus.h>

#include <memory>

namespace quen::dbus {

#define QUEN_SD_BUS_FUNCTIONS(X)                                                              \
  X(sd_bus_open_user) X(sd_bus_new) X(sd_bus_set_address) X(sd_bus_set_bus_client)           \
  X(sd_bus_start) X(sd_bus_set_method_call_timeout) X(sd_bus_flush_close_unref)              \
  X(sd_bus_is_open) X(sd_bus_process) X(sd_bus_flush) X(sd_bus_get_fd) X(sd_bus_get_timeout) \
  X(sd_bus_get_unique_name) X(sd_bus_call) X(sd_bus_call_async) X(sd_bus_call_method)        \
  X(sd_bus_call_method_async) X(sd_bus_send) X(sd_bus_emit_signal)                           \
  X(sd_bus_get_property) X(sd_bus_get_property_trivial) X(sd_bus_get_property_string)       \
  X(sd_bus_add_match) X(sd_bus_add_match_async) X(sd_bus_match_signal) X(sd_bus_add_filter) X(sd_bus_add_object)      \
  X(sd_bus_add_object_vtable) X(sd_bus_slot_unref) X(sd_bus_error_free)                      \
  X(sd_bus_error_set) X(sd_bus_message_unref) X(sd_bus_message_ref)                         \
  X(sd_bus_message_new_method_call) X(sd_bus_message_new_signal)                            \
  X(sd_bus_message_set_destination) X(sd_bus_message_append) X(sd_bus_message_read)         \
  X(sd_bus_message_read_basic) X(sd_bus_message_read_array) X(sd_bus_message_skip)          \
  X(sd_bus_message_peek_type) X(sd_bus_message_enter_container)                             \
  X(sd_bus_message_exit_container) X(sd_bus_message_get_sender)                             \
  X(sd_bus_message_get_member) X(sd_bus_message_get_interface) X(sd_bus_message_get_path)   \
  X(sd_bus_message_get_error) X(sd_bus_message_get_errno) X(sd_bus_message_is_method_error)                             \
  X(sd_bus_message_is_signal) X(sd_bus_message_is_method_call) X(sd_bus_reply_method_return) \
  X(sd_bus_reply_method_error)

struct SdBusFunctions {
#define QUEN_DECLARE(name) decltype(&::name) name = nullptr;
  QUEN_SD_BUS_FUNCTIONS(QUEN_DECLARE)
#undef QUEN_DECLARE
};

// The table, loaded once; null when libsystemd.so.0 cannot be loaded or lacks a function.
const SdBusFunctions* loadSdBus();

// Each handle keeps the table it is released with.
struct BusUnref {
  const SdBusFunctions* sd;
  void operator()(sd_bus* bus) const { sd->sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
  const SdBusFunctions* sd;
  void operator()(sd_bus_message* message) const { sd->sd_bus_message_unref(message); }
};
struct SlotUnref {
  const SdBusFunctions* sd;
  void operator()(sd_bus_slot* slot) const { sd->sd_bus_slot_unref(slot); }
};
using BusHandle = std::unique_ptr<sd_bus, BusUnref>;
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

}  // namespace quen::dbus
