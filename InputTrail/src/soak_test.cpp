// A simulated day of use in virtual time: millions of events in bursts, typing, idle
// stretches and trust changes. Every second, the line the parent reads (or its absence) is
// checked against an independent model of what the agent must report, computed from the
// second's input and the trust the agent can know of; and the agent's memory must not grow
// from the first half of the day to the second.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/input_agent_harness.h"
#include "tests/support/allocation_counter.h"

namespace quen::input {
namespace {

using platform::EventType;
using testing::Json;

constexpr int SECONDS_PER_DAY = 86'400;

// Standard output as the parent reads it, keeping only the last line (the fake's own
// output keeps every line, which would grow all day).
class ParentReader final : public platform::StandardOutput {
 public:
  void writeLine(std::string_view line) override {
    ++lineCount;
    last = Json::parse(line, nullptr, false);
    if (line == previousLine) ++repeatedLines;
    previousLine.assign(line);
  }
  void flush() override { ++flushCount; }

  std::size_t lineCount = 0, flushCount = 0, repeatedLines = 0;
  Json last;

 private:
  std::string previousLine;
};

// The fake OS with the parent's reader in place of its captured output.
class ReadByParent final : public platform::Backend {
 public:
  ReadByParent(fake::FakeSystem& system, ParentReader& reader) : system_(system), reader_(reader) {}
  platform::RunLoop& runLoop() override { return system_.runLoop(); }
  platform::Activity& activity() override { return system_.activity(); }
  platform::Workspace& workspace() override { return system_.workspace(); }
  platform::WindowList& windowList() override { return system_.windowList(); }
  platform::ScriptService& scripts() override { return system_.scripts(); }
  platform::ScreenCapture& screenCapture() override { return system_.screenCapture(); }
  platform::Accessibility& accessibility() override { return system_.accessibility(); }
  platform::EventSource& eventSource() override { return system_.eventSource(); }
  platform::StandardOutput& standardOutput() override { return reader_; }

 private:
  fake::FakeSystem& system_;
  ParentReader& reader_;
};

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

struct Activity {
  int clicks = 0, moves = 0, keys = 0;
};

// Stretches of idleness, pointer bursts, typing and mixed use, each a few seconds to a
// few minutes long.
class UserModel {
 public:
  explicit UserModel(Dice& dice) : dice_(dice) {}

  Activity nextSecond() {
    if (secondsLeft_-- == 0) {
      stretch_ = dice_.below(4);
      secondsLeft_ = dice_.below(stretch_ == IDLE ? 300 : 90);
    }
    switch (stretch_) {
      case POINTER_BURST: return {dice_.chance(4) ? 1 : 0, 40 + dice_.below(120), 0};
      case TYPING: return {dice_.chance(10) ? 1 : 0, 0, dice_.below(12)};
      case MIXED: return {dice_.below(3), dice_.below(60), dice_.below(6)};
      default: return {};
    }
  }

 private:
  enum { IDLE, POINTER_BURST, TYPING, MIXED };
  Dice& dice_;
  int stretch_ = IDLE;
  int secondsLeft_ = 0;
};

class InputSoakTest : public ::testing::Test {
 protected:
  // Runs one second from a whole second: trust may change a quarter into it, the events
  // come half-way, the report tick ends it.
  void runSecond(int second, const Activity& activity) {
    if (second > 0 && second % 60 == 0) agentTrusted_ = systemTrusted_;  // the minute re-check
    system_.advance(0.25);
    if (recheckDue_) agentTrusted_ = systemTrusted_;  // one second after the last notification
    recheckDue_ = false;
    if (dice_.chance(200)) changeTrust();
    system_.advance(0.25);

    ASSERT_EQ(system_.hasMonitorFor(KEY_RELEASE_MASK), keysNeeded_ && agentTrusted_)
        << "second " << second;
    for (int i = 0; i < activity.clicks; ++i) system_.inject(EventType::LeftMouseDown);
    for (int i = 0; i < activity.moves; ++i) system_.inject(EventType::MouseMoved);
    for (int i = 0; i < activity.keys; ++i) system_.inject(EventType::KeyUp);

    const std::size_t linesBefore = reader_.lineCount;
    system_.advance(0.5);
    const bool keysHeard = keysNeeded_ && agentTrusted_ && activity.keys > 0;
    Json expected = testing::defaults();
    if (activity.clicks > 0 || activity.moves > 0 || keysHeard)
      expected = testing::report(activity.clicks > 0, activity.moves > 0, keysHeard,
                                 FEAT_PERMISSIONS_USE_ACCESS && !agentTrusted_);
    const bool written = expected != lastWritten_;
    ASSERT_EQ(reader_.lineCount, linesBefore + (written ? 1 : 0)) << "second " << second;
    if (!written) return;
    ASSERT_EQ(reader_.last, expected) << "second " << second;
    lastWritten_ = expected;
  }

  // Most changes are announced; some are left to the minute re-check.
  void changeTrust() {
    systemTrusted_ = !systemTrusted_;
    system_.setTrusted(systemTrusted_);
    if (dice_.chance(4)) return;
    system_.postTrustChanged();
    recheckDue_ = FEAT_PERMISSIONS_USE_ACCESS;
  }

  // A day on an agent launched with the given flags, untrusted at first.
  void runDay(bool keysNeeded, bool forcePermissions) {
    keysNeeded_ = keysNeeded;
    testing::setFeatureFlags(keysNeeded, forcePermissions);
    system_.setTrusted(false);
    agentTrusted_ = !FEAT_PERMISSIONS_USE_ACCESS;
    QuenAppDelegate delegate(backend_);
    system_.runLoop().run([&] { delegate.applicationDidFinishLaunching(); });
    ASSERT_EQ(reader_.lineCount, 1u);
    ASSERT_EQ(reader_.last, testing::defaults());

    UserModel user(dice_);
    std::int64_t liveAtNoon = 0;
    for (int second = 0; second < SECONDS_PER_DAY && !HasFatalFailure(); ++second) {
      if (second == SECONDS_PER_DAY / 2) liveAtNoon = quen::testing::liveAllocationCount();
      runSecond(second, user.nextSecond());
    }
    EXPECT_EQ(reader_.repeatedLines, 0u);
    EXPECT_EQ(reader_.flushCount, reader_.lineCount);
    EXPECT_LE(quen::testing::liveAllocationCount() - liveAtNoon, 16) << "live allocations grew";
  }

  fake::FakeSystem system_;
  ParentReader reader_;
  ReadByParent backend_{system_, reader_};
  Dice dice_;
  bool keysNeeded_ = false, systemTrusted_ = false, agentTrusted_ = true, recheckDue_ = false;
  Json lastWritten_ = testing::defaults();
};

TEST_F(InputSoakTest, DayWithKeysWantedFollowsTrustAndKeepsItsMemory) {
  runDay(true, false);
}

TEST_F(InputSoakTest, DayWithoutFlagsNeverReportsKeysOrErrors) {
  runDay(false, false);
  EXPECT_EQ(system_.trustChecks(), 0u);
}

}  // namespace
}  // namespace quen::input
