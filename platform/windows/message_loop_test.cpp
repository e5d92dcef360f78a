#include "platform/windows/message_loop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quen::windows {
namespace {

// Each case ends the loop itself; a loop that never would is stopped by the 5 s guard,
// which returns a status of its own.
constexpr int GUARD_STATUS = 99;

TEST(MessageLoop, AWakeFromAnotherThreadRunsOnTheLoop) {
  MessageLoop loop;
  const DWORD loopThread = GetCurrentThreadId();
  DWORD wokenOn = 0;
  auto wake = loop.wakerFor([&] {
    wokenOn = GetCurrentThreadId();
    loop.stop(0);
  });
  ASSERT_TRUE(wake);
  loop.scheduleOnce(5.0, [&] { loop.stop(GUARD_STATUS); });
  std::thread waker;
  EXPECT_EQ(loop.run([&] { waker = std::thread(wake); }), 0);
  waker.join();
  EXPECT_EQ(wokenOn, loopThread);
}

TEST(MessageLoop, TimersFireInTheirOrderAndRepeat) {
  MessageLoop loop;
  std::vector<int> fired;
  loop.scheduleOnce(0.03, [&] { fired.push_back(3); });
  loop.scheduleOnce(0.01, [&] { fired.push_back(1); });
  loop.scheduleRepeating(0.02, [&] {
    fired.push_back(2);
    if (std::count(fired.begin(), fired.end(), 2) == 3) loop.stop(0);
  });
  loop.scheduleOnce(5.0, [&] { loop.stop(GUARD_STATUS); });
  EXPECT_EQ(loop.run({}), 0);
  EXPECT_EQ(fired, (std::vector<int>{1, 2, 3, 2, 2}));
}

}  // namespace
}  // namespace quen::windows
