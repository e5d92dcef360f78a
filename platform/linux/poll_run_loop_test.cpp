#include "platform/linux/poll_run_loop.h"
#include "tests/support/allocation_counter.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace quen::linux_platform {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, as the loop uses

// Tests run against real time with intervals of milliseconds. They assert order, counts
// and lower bounds on time only; a safety stop after many seconds ends a loop that would
// otherwise hang, with a status that no test expects.
class PollRunLoopTest : public ::testing::Test {
 protected:
  static constexpr int kHung = 99;

  PollRunLoopTest() {
    EXPECT_EQ(pipe2(pipe_, O_CLOEXEC | O_NONBLOCK), 0);
    loop.scheduleOnce(20.0, [this] { loop.stop(kHung); });
  }
  ~PollRunLoopTest() override {
    for (int fd : pipe_)
      if (fd >= 0) close(fd);
  }

  int readEnd() const { return pipe_[0]; }
  void writeByte() { ASSERT_EQ(write(pipe_[1], "x", 1), 1); }
  void closeWriteEnd() {
    close(pipe_[1]);
    pipe_[1] = -1;
  }
  // Reads what is in the pipe; the number of bytes, 0 at end of file.
  ssize_t drain() {
    char buffer[64];
    return read(pipe_[0], buffer, sizeof buffer);
  }
  std::function<void()> logger(std::string entry) {
    return [this, entry] { log.push_back(entry); };
  }

  PollRunLoop loop;
  std::vector<std::string> log;

 private:
  int pipe_[2] = {-1, -1};
};

TEST_F(PollRunLoopTest, LaunchCallbackRunsFirstThenCallsInDueOrderOnce) {
  loop.scheduleOnce(0.0, logger("scheduled before run"));
  const int status = loop.run([this] {
    log.push_back("launch");
    loop.scheduleOnce(0.03, logger("c"));
    loop.scheduleOnce(0.01, logger("a"));
    loop.scheduleOnce(0.02, logger("b"));
    loop.scheduleOnce(0.08, [this] { loop.stop(7); });
  });
  EXPECT_EQ(status, 7);
  EXPECT_EQ(log, (std::vector<std::string>{"launch", "scheduled before run", "a", "b", "c"}));
}

// poll() counts whole milliseconds: a delay of 1.9 ms must not be served by a 1 ms wait.
TEST_F(PollRunLoopTest, TimersNeverFireEarly) {
  const Clock::time_point start = Clock::now();
  std::vector<Clock::duration> ticks, waits;
  loop.scheduleRepeating(0.0075, [&] { ticks.push_back(Clock::now() - start); });
  std::function<void()> scheduleNext = [&] {
    const Clock::time_point scheduled = Clock::now();
    loop.scheduleOnce(0.0019, [&, scheduled] {
      waits.push_back(Clock::now() - scheduled);
      if (waits.size() == 20) loop.stop(0);
      else scheduleNext();
    });
  };
  ASSERT_EQ(loop.run(scheduleNext), 0);
  ASSERT_GE(ticks.size(), 3u);
  for (std::size_t k = 0; k < ticks.size(); ++k)
    EXPECT_GE(ticks[k], std::chrono::microseconds(7500 * (k + 1))) << "tick " << k;
  for (std::size_t k = 0; k < waits.size(); ++k)
    EXPECT_GE(waits[k], std::chrono::microseconds(1900)) << "call " << k;
}

TEST_F(PollRunLoopTest, RepeatingTimerThatFellBehindFiresOnceThenKeepsItsTimes) {
  const Clock::time_point start = Clock::now();
  std::vector<Clock::duration> ticks;
  loop.scheduleRepeating(0.02, [&] {
    ticks.push_back(Clock::now() - start);
    if (ticks.size() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (ticks.size() == 3) loop.stop(0);
  });
  ASSERT_EQ(loop.run(nullptr), 0);
  ASSERT_EQ(ticks.size(), 3u);
  // The first tick ended after 220 ms; the late second one fires at once, and the third
  // waits for the next multiple of 20 ms ahead instead of following in a burst.
  EXPECT_GE(ticks[1], std::chrono::milliseconds(220));
  EXPECT_GE(ticks[2], std::chrono::milliseconds(240));
}

TEST_F(PollRunLoopTest, ReadableAndHungUpPipeRunItsCallback) {
  loop.watchFileDescriptor(readEnd(), [this] {
    const ssize_t bytes = drain();
    log.push_back("read " + std::to_string(bytes));
    if (bytes == 0) loop.stop(3);
  });
  const int status = loop.run([this] {
    loop.scheduleOnce(0.01, [this] { writeByte(); });
    loop.scheduleOnce(0.03, [this] { closeWriteEnd(); });
  });
  EXPECT_EQ(status, 3);
  EXPECT_EQ(log, (std::vector<std::string>{"read 1", "read 0"}));
}

TEST_F(PollRunLoopTest, BeforeSleepRunsAfterEveryCallbackAndBeforeSleeping) {
  loop.setBeforeSleep([this] { log.push_back("before sleep"); });
  loop.scheduleRepeating(0.005, [this] {
    log.push_back("tick");
    if (log.size() >= 5) loop.stop(0);
  });
  ASSERT_EQ(loop.run(logger("launch")), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"launch", "before sleep", "tick", "before sleep",
                                           "tick"}));
}

// Work that is waiting where poll() cannot see it (xcb's event queue) is found before the
// loop sleeps: here it is a byte written by the hook, which nothing else would write.
TEST_F(PollRunLoopTest, BeforeSleepCanWakeTheLoop) {
  bool written = false;
  loop.setBeforeSleep([&] {
    if (!written) writeByte();
    written = true;
  });
  loop.watchFileDescriptor(readEnd(), [this] { loop.stop(5); });
  EXPECT_EQ(loop.run(nullptr), 5);
}

TEST_F(PollRunLoopTest, StopInTheLaunchCallbackEndsRunAtOnce) {
  loop.scheduleOnce(0.0, logger("timer"));
  EXPECT_EQ(loop.run([this] { loop.stop(6); }), 6);
  EXPECT_TRUE(log.empty());
}

TEST_F(PollRunLoopTest, StopEndsRunOnceTheCurrentCallbackReturns) {
  int beforeSleepCalls = 0;
  loop.setBeforeSleep([&] { ++beforeSleepCalls; });
  const int status = loop.run([this] {
    loop.scheduleOnce(0.01, [this] {
      loop.stop(2);
      log.push_back("rest of the callback");
    });
    loop.scheduleRepeating(0.01, logger("timer due at the same time"));
  });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"rest of the callback"}));
  EXPECT_EQ(beforeSleepCalls, 1) << "the hook ran after the stopping callback";
}

TEST_F(PollRunLoopTest, SignalsDoNotEndTheLoop) {
  struct sigaction action {};
  action.sa_handler = [](int) {};
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);  // no SA_RESTART: poll() sees EINTR
  itimerval every5ms{{0, 5000}, {0, 5000}};
  ASSERT_EQ(setitimer(ITIMER_REAL, &every5ms, nullptr), 0);
  const Clock::time_point start = Clock::now();
  const int status = loop.run([this] { loop.scheduleOnce(0.1, [this] { loop.stop(8); }); });
  const Clock::duration elapsed = Clock::now() - start;
  itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_EQ(status, 8);
  EXPECT_GE(elapsed, std::chrono::milliseconds(100));
}

TEST_F(PollRunLoopTest, IdleWakeUpsAllocateNothing) {
  std::uint64_t allocationsAtTick5 = 0, allocationsAtTick50 = 0;
  int ticks = 0;
  loop.watchFileDescriptor(readEnd(), [this] { drain(); });
  loop.scheduleRepeating(0.001, [&] {
    writeByte();  // every tick also wakes the loop through the pipe
    if (++ticks == 5) allocationsAtTick5 = quen::testing::allocationCount();
    if (ticks == 50) {
      allocationsAtTick50 = quen::testing::allocationCount();
      loop.stop(0);
    }
  });
  ASSERT_EQ(loop.run(nullptr), 0);
  EXPECT_EQ(allocationsAtTick50, allocationsAtTick5);
}

}  // namespace
}  // namespace quen::linux_platform
