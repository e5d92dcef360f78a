#include "platform/linux/poll_run_loop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/allocation_counter.h"

namespace quen::linux_platform {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, as the loop uses
using std::chrono::microseconds, std::chrono::milliseconds;
using Log = std::vector<std::string>;

// Real time with intervals of milliseconds: the tests assert order, counts and lower bounds
// on time only. A safety stop ends a loop that would otherwise hang, with a status that no
// test expects.
class PollRunLoopTest : public ::testing::Test {
 protected:
  PollRunLoopTest() {
    EXPECT_EQ(pipe2(pipe_, O_CLOEXEC | O_NONBLOCK), 0);
    loop.scheduleOnce(20.0, [this] { loop.stop(99); });
  }
  ~PollRunLoopTest() override {
    for (int fd : pipe_) if (fd >= 0) close(fd);
  }
  void writeByte() { ASSERT_EQ(write(pipe_[1], "x", 1), 1); }
  // The number of bytes read from the pipe, 0 at end of file.
  ssize_t drain() {
    char buffer[64];
    return read(pipe_[0], buffer, sizeof buffer);
  }
  std::function<void()> logger(std::string entry) {
    return [this, entry] { log.push_back(entry); };
  }

  PollRunLoop loop;
  Log log;
  int pipe_[2] = {-1, -1};
};

// The launch callback runs first, then each call once in due order, the hook (".") after
// every callback; stop() ends run() once the current callback returns, before the hook or a
// timer due at the same time.
TEST_F(PollRunLoopTest, CallbacksInDueOrderEachFollowedByTheHookUntilStop) {
  loop.setBeforeSleep(logger("."));
  loop.scheduleOnce(0.0, logger("scheduled before run"));
  const int status = loop.run([this] {
    log.push_back("launch");
    loop.scheduleOnce(0.03, logger("c"));
    loop.scheduleOnce(0.01, logger("a"));
    loop.scheduleOnce(0.02, logger("b"));
    loop.scheduleOnce(0.04, [this] {
      loop.stop(7);
      log.push_back("rest of the callback");
    });
    loop.scheduleRepeating(0.04, logger("timer due at the same time"));
  });
  EXPECT_EQ(status, 7);
  EXPECT_EQ(log, (Log{"launch", ".", "scheduled before run", ".", "a", ".", "b", ".", "c", ".",
                      "rest of the callback"}));
  log.clear();
  loop.scheduleOnce(0.0, logger("timer"));
  EXPECT_EQ(loop.run([this] { loop.stop(6); }), 6);
  EXPECT_EQ(log, Log{}) << "stopped in the launch callback";
}

// A repeating timer keeps the times start + k * interval: one that fell behind (here its
// first tick lasts until 230 ms, the middle of a period, so that the loop's own start a few
// microseconds after ours cannot put the end on either side of a due time) fires once at
// once, then waits for the next of those times ahead instead of following in a burst. poll() counts whole milliseconds and signals
// interrupt it (EINTR): no timer fires early, and the loop goes on.
TEST_F(PollRunLoopTest, TimersNeverFireEarlyAndSkipThePeriodsTheyMissed) {
  struct sigaction action {}, previous {};
  action.sa_handler = [](int) {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);  // no SA_RESTART: poll() sees EINTR
  itimerval every2ms{{0, 2000}, {0, 2000}}, off{};
  ASSERT_EQ(setitimer(ITIMER_REAL, &every2ms, nullptr), 0);
  const Clock::time_point start = Clock::now();
  std::vector<Clock::duration> ticks, once;
  loop.scheduleOnce(0.0019, [&] { once.push_back(Clock::now() - start); });
  loop.scheduleRepeating(0.02, [&] {
    ticks.push_back(Clock::now() - start);
    while (ticks.size() == 1 && Clock::now() - start < milliseconds(230)) continue;
    if (ticks.size() == 3) loop.stop(0);
  });
  const int status = loop.run(nullptr);
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(once.size(), 1u);
  EXPECT_GE(once[0], microseconds(1900));
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_GE(ticks[0], milliseconds(20));
  EXPECT_GE(ticks[1], milliseconds(230));
  EXPECT_GE(ticks[2], milliseconds(240));
}

// The hook runs before the first sleep too, and so finds work where poll() cannot see it
// (xcb's event queue): here the byte that only the hook writes. A hang-up wakes the watcher.
TEST_F(PollRunLoopTest, ReadableAndHungUpPipeRunItsWatcher) {
  loop.setBeforeSleep([this] {
    if (log.empty()) writeByte();
  });
  loop.watchFileDescriptor(pipe_[0], [this] {
    const ssize_t bytes = drain();
    log.push_back("read " + std::to_string(bytes));
    if (bytes == 0) loop.stop(3);
  });
  loop.scheduleOnce(0.03, [this] { close(pipe_[1]), pipe_[1] = -1; });
  EXPECT_EQ(loop.run(nullptr), 3);
  EXPECT_EQ(log, (Log{"read 1", "read 0"}));
}

// A descriptor watched and unwatched again and again (a connection that comes back) leaves
// no entry behind, also when a watcher unwatches itself and another ready one while the
// loop dispatches: the other one's watcher is then not called, and a new one is.
TEST_F(PollRunLoopTest, UnwatchedDescriptorsLeaveNoEntryBehind) {
  for (int round = 0; round < 100; ++round) {
    loop.watchFileDescriptor(pipe_[0], logger("unwatched before it was ready"));
    loop.unwatchFileDescriptor(pipe_[0]);
  }
  int other[2];
  ASSERT_EQ(pipe2(other, O_CLOEXEC | O_NONBLOCK), 0);
  writeByte();
  ASSERT_EQ(write(other[1], "x", 1), 1);
  loop.watchFileDescriptor(pipe_[0], [&] {
    log.push_back("first");
    loop.unwatchFileDescriptor(pipe_[0]);
    loop.unwatchFileDescriptor(other[0]);
    loop.watchFileDescriptor(pipe_[0], [this] { log.push_back("watched again"), loop.stop(5); });
  });
  loop.watchFileDescriptor(other[0], logger("unwatched while ready"));
  EXPECT_EQ(loop.run(nullptr), 5);
  EXPECT_EQ(log, (Log{"first", "watched again"}));
  EXPECT_EQ(loop.watcherCount(), 1u);
  for (int fd : other) close(fd);
}

TEST_F(PollRunLoopTest, IdleWakeUpsAllocateNothing) {
  std::uint64_t allocationsAtTick5 = 0;
  int ticks = 0;
  loop.watchFileDescriptor(pipe_[0], [this] { drain(); });
  loop.scheduleRepeating(0.001, [&] {
    writeByte();  // every tick also wakes the loop through the pipe
    if (++ticks == 5) allocationsAtTick5 = quen::testing::allocationCount();
    if (ticks < 50) return;
    EXPECT_EQ(quen::testing::allocationCount(), allocationsAtTick5);
    loop.stop(0);
  });
  ASSERT_EQ(loop.run(nullptr), 0);
}

}  // namespace
}  // namespace quen::linux_platform
