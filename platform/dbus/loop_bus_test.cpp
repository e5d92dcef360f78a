// The session bus on the poll loop, against a private bus daemon: an asynchronous call that
// no one answers ends by its timeout with no other traffic to wake the loop, and a bus that
// goes away is reported once.

#include "platform/dbus/loop_bus.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace quen::dbus {
namespace {

class LoopBusTest : public ::testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/loop-bus-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    const std::string address = "unix:path=" + directory_ + "/bus";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    daemon_ = fork();
    if (daemon_ == 0) {
      dup2(ready[1], STDOUT_FILENO);
      execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1",
             ("--address=" + address).c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    char line[256];
    // The daemon prints its address once it listens; the read ends at that line or its exit.
    ASSERT_GT(read(ready[0], line, sizeof line), 0);
    close(ready[0]);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    // A safety stop: a loop that never hears of its call's end fails instead of hanging.
    loop_.scheduleOnce(10.0, [this] { loop_.stop(99); });
    bus_ = LoopBus::openSession(loop_);
    ASSERT_NE(bus_, nullptr);
  }
  void TearDown() override {
    bus_.reset();
    stopDaemon();
    std::system(("rm -rf " + directory_).c_str());
  }
  void stopDaemon() {
    if (daemon_ <= 0) return;
    kill(daemon_, SIGTERM);
    waitpid(daemon_, nullptr, 0);
    daemon_ = 0;
  }

  std::string directory_;
  pid_t daemon_ = 0;
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
  sd_bus_message* call = nullptr;
  ASSERT_GE(sd.sd_bus_message_new_method_call(bus_->bus(), &call, bus_->uniqueName().c_str(),
                                              "/silent", "test.Silent", "Wait"),
            0);
  const Message owned(call, MessageUnref{&sd});
  ASSERT_GE(sd.sd_bus_call_async(
                bus_->bus(), nullptr, call,
                [](sd_bus_message* reply, void* data, sd_bus_error*) {
                  auto& test = *static_cast<LoopBusTest*>(data);
                  const bool timedOut = test.bus_->sd().sd_bus_message_get_errno(reply) == ETIMEDOUT;
                  test.loop_.stop(timedOut ? 0 : 2);
                  return 1;
                },
                this, 50'000),
            0);
  bus_->process();
  EXPECT_EQ(loop_.run([] {}), 0);
}

TEST_F(LoopBusTest, ABusThatGoesAwayIsReportedOnce) {
  int closings = 0;
  bus_->onClosed([&] {
    ++closings;
    loop_.stop(0);
  });
  loop_.scheduleOnce(0.0, [this] { stopDaemon(); });
  EXPECT_EQ(loop_.run([] {}), 0);
  EXPECT_EQ(closings, 1);
}

}  // namespace
}  // namespace quen::dbus
