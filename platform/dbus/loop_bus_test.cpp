// The session bus on the poll loop, against a private bus daemon: an asynchronous call that
// no one answers ends by its timeout with no other traffic to wake the loop, and a bus that
// goes away is reported once.

#include "platform/dbus/loop_bus.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quen::dbus {
namespace {

class LoopBusTest : public ::testing::Test {
 public:
  void SetUp() override {
    // The daemon forks once it listens, after printing its address and its pid.
    FILE* daemon = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    ASSERT_NE(daemon, nullptr);
    char address[512] = "";
    ASSERT_EQ(std::fscanf(daemon, "%511s %d", address, &daemonPid_), 2);
    pclose(daemon);
    setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
    // A safety stop: a loop that never hears of its call's end fails instead of hanging.
    loop_.scheduleOnce(10.0, [this] { loop_.stop(99); });
    ASSERT_NE(bus_ = LoopBus::openSession(loop_), nullptr);
  }
  void TearDown() override {
    bus_.reset();
    if (daemonPid_ > 0) kill(daemonPid_, SIGTERM);
  }

  int daemonPid_ = 0;
  linux_platform::PollRunLoop loop_;
  std::unique_ptr<LoopBus> bus_;
};

// The call goes to this very connection, whose object takes it and never replies.
TEST_F(LoopBusTest, AnUnansweredCallEndsByItsTimeout) {
  const SdBusFunctions& sd = bus_->sd();
  sd_bus_slot* object = nullptr;
  ASSERT_GE(sd.sd_bus_add_object(bus_->bus(), &object, "/silent",
                                 [](sd_bus_message*, void*, sd_bus_error*) { return 1; }, nullptr),
            0);
  const Slot objectSlot(object, SlotUnref{&sd});
  const auto onReply = [](sd_bus_message* reply, void* data, sd_bus_error*) {
    auto& test = *static_cast<LoopBusTest*>(data);
    test.loop_.stop(test.bus_->sd().sd_bus_message_get_errno(reply) == ETIMEDOUT ? 0 : 2);
    return 1;
  };
  ASSERT_GE(sd.sd_bus_call_method_async(bus_->bus(), nullptr, bus_->uniqueName().c_str(),
                                        "/silent", "test.Silent", "Wait", onReply, this, ""),
            0);
  EXPECT_EQ(loop_.run([] {}), 0);
}

TEST_F(LoopBusTest, ABusThatGoesAwayIsReportedOnce) {
  int closings = 0;
  bus_->onClosed([&] {
    ++closings;
    loop_.stop(0);
  });
  loop_.scheduleOnce(0.0, [this] { kill(daemonPid_, SIGTERM); });
  EXPECT_EQ(loop_.run([] {}), 0);
  EXPECT_EQ(closings, 1);
}

}  // namespace
}  // namespace quen::dbus
