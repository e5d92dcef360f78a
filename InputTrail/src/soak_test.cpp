// A simulated day of use in virtual time: millions of events in bursts, typing, idle
// stretches and trust changes. Every second, the line the parent reads (or its absence) is
// checked against an independent model of what the agent must report, computed from the
// second's input and the trust the agent can know of; and the agent's memory must not grow
// from the first half of the day to the second.

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/allocation_counter.h"
#include "tests/support/input_agent_harness.h"

namespace quen::input {
namespace {

using platform::EventType;
using testing::Json;

constexpr int SECONDS_PER_DAY = 86'400;

// A small deterministic generator (xorshift64*), the same sequence on every platform.
class Dice {
 public:
  int below(std::uint64_t bound) {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<int>((state_ * 0x2545F4914F6CDD1DULL) % bound);
  }
  bool chance(std::uint64_t oneIn) { return below(oneIn) == 0; }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

struct SecondOfUse {
  int clicks = 0, moves = 0, keys = 0;
};

class InputSoakTest : public testing::InputAgentTest {
 protected:
  // Stretches of idleness, pointer bursts, typing and mixed use, seconds to minutes long.
  SecondOfUse nextSecond() {
    if (stretchLeft_-- == 0) {
      stretch_ = dice_.below(4);
      stretchLeft_ = dice_.below(stretch_ == 0 ? 300 : 90);
    }
    switch (stretch_) {
      case 1: return {dice_.chance(4) ? 1 : 0, 40 + dice_.below(120), 0};
      case 2: return {dice_.chance(10) ? 1 : 0, 0, dice_.below(12)};
      case 3: return {dice_.below(3), dice_.below(60), dice_.below(6)};
      default: return {};
    }
  }

  // One second from a whole second: trust may change a quarter into it, the events come
  // half-way, the report tick ends it. Most trust changes are announced; some are left to
  // the minute re-check.
  void runSecond(int second, const SecondOfUse& use) {
    if (second > 0 && second % 60 == 0) agentTrusted_ = system.trusted;
    system.advance(0.25);
    if (recheckDue_) agentTrusted_ = system.trusted;  // one second after the notification
    recheckDue_ = false;
    if (dice_.chance(200)) {
      system.trusted = !system.trusted;
      if (!dice_.chance(4)) {
        system.postTrustChanged();
        recheckDue_ = FEAT_PERMISSIONS_USE_ACCESS;
      }
    }
    system.advance(0.25);
    ASSERT_EQ(system.hasMonitorFor(KEY_RELEASE_MASK), keysNeeded_ && agentTrusted_) << second;
    system.lines.clear();  // the parent keeps only what it has not read yet
    const EventType buttons[] = {EventType::LeftMouseDown, EventType::RightMouseDown,
                                 EventType::OtherMouseDown};
    for (int i = 0; i < use.clicks; ++i) system.inject(buttons[(second + i) % 3]);
    for (int i = 0; i < use.moves; ++i) system.inject(EventType::MouseMoved);
    for (int i = 0; i < use.keys; ++i) system.inject(EventType::KeyUp);
    ASSERT_TRUE(system.lines.empty()) << "written per event, second " << second;
    system.advance(0.5);
    const bool keysHeard = keysNeeded_ && agentTrusted_ && use.keys > 0;
    Json expected = testing::defaults();
    if (use.clicks > 0 || use.moves > 0 || keysHeard)
      expected = testing::report(use.clicks > 0, use.moves > 0, keysHeard,
                                 FEAT_PERMISSIONS_USE_ACCESS && !agentTrusted_);
    const bool written = expected != lastWritten_;
    ASSERT_EQ(system.lines.size(), written ? 1u : 0u) << "second " << second;
    if (!written) return;
    ASSERT_EQ(Json::parse(system.lines[0]), expected) << "second " << second;
    ASSERT_EQ(system.flushedLineCount, 1u) << "second " << second;
    lastWritten_ = expected;
  }

  // A day on an agent launched with the given flags, untrusted at first.
  void runDay(bool keysNeeded, bool forcePermissions) {
    keysNeeded_ = keysNeeded;
    system.trusted = false;
    launch(keysNeeded, forcePermissions);
    agentTrusted_ = !FEAT_PERMISSIONS_USE_ACCESS;
    // The launch line: every flag false, no error even while trust is missing, flushed.
    ASSERT_EQ(records(), std::vector<Json>{testing::defaults()});
    ASSERT_EQ(system.flushedLineCount, 1u);
    std::int64_t liveAtNoon = 0;
    for (int second = 0; second < SECONDS_PER_DAY && !HasFatalFailure(); ++second) {
      if (second == SECONDS_PER_DAY / 2) liveAtNoon = quen::testing::liveAllocationCount();
      runSecond(second, nextSecond());
    }
    EXPECT_LE(quen::testing::liveAllocationCount() - liveAtNoon, 16) << "live allocations grew";
  }

  Dice dice_;
  int stretch_ = 0, stretchLeft_ = 0;
  bool keysNeeded_ = false, agentTrusted_ = true, recheckDue_ = false;
  Json lastWritten_ = testing::defaults();
};

TEST_F(InputSoakTest, DayWithKeysWantedFollowsTrustAndKeepsItsMemory) { runDay(true, false); }

TEST_F(InputSoakTest, DayWithoutFlagsNeverReportsKeysOrErrors) {
  runDay(false, false);
  EXPECT_EQ(system.trustChecks, 0u);
}

}  // namespace
}  // namespace quen::input
