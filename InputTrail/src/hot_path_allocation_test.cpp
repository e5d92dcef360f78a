// The event handler path runs for every mouse move; in steady state it must not touch the
// heap. Nor must a report tick that writes nothing.

#include <gtest/gtest.h>

#include <cstdint>

#include "InputTrail/src/test_support/agent_harness.h"
#include "InputTrail/src/test_support/allocation_counter.h"

namespace quen::input {
namespace {

using platform::EventType;

class HotPathAllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!quen::testing::allocationsAreCounted())
      GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
    testing::resetProcessWideState();
  }

  void launch(bool keysNeeded, bool forcePermissions) {
    testing::setFeatureFlags(keysNeeded, forcePermissions);
    agent.launch();
  }

  // Allocations made by `work`.
  template <typename Work>
  static std::uint64_t allocationsDuring(Work work) {
    const std::uint64_t before = quen::testing::allocationCount();
    work();
    return quen::testing::allocationCount() - before;
  }

  void injectEveryKind(int times) {
    for (int i = 0; i < times; ++i) {
      agent.system.inject(EventType::MouseMoved);
      agent.system.inject(EventType::LeftMouseDown);
      agent.system.inject(EventType::KeyUp);
    }
  }

  testing::Agent agent;
};

TEST_F(HotPathAllocationTest, EventsWhileAPermissionIsMissingAllocateNothing) {
  agent.system.setTrusted(false);
  launch(false, true);
  agent.system.advance(0.5);
  injectEveryKind(1);  // the first event of the second copies the attachment in
  EXPECT_EQ(allocationsDuring([&] { injectEveryKind(10'000); }), 0u);
}

TEST_F(HotPathAllocationTest, EventsWhileTrustedAllocateNothing) {
  launch(true, false);
  agent.system.advance(0.5);
  EXPECT_EQ(allocationsDuring([&] { injectEveryKind(10'000); }), 0u);
}

TEST_F(HotPathAllocationTest, QuietTicksAllocateNothing) {
  launch(true, true);
  agent.second([&] { injectEveryKind(3); });
  agent.second();  // the defaults line, once
  EXPECT_EQ(allocationsDuring([&] {
              for (int i = 0; i < 100; ++i) agent.second();
            }),
            0u);
  EXPECT_EQ(agent.system.lines().size(), 3u);
}

TEST_F(HotPathAllocationTest, ActiveSecondsThatRepeatTheLastLineAllocateNothing) {
  launch(true, false);
  agent.second([&] { injectEveryKind(3); });
  EXPECT_EQ(allocationsDuring([&] {
              for (int i = 0; i < 100; ++i) agent.second([&] { injectEveryKind(50); });
            }),
            0u);
  EXPECT_EQ(agent.system.lines().size(), 2u);
}

}  // namespace
}  // namespace quen::input
