// The event handler path runs for every mouse move; in steady state it must not touch the
// heap. Nor must a report tick that writes nothing.

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/input_agent_harness.h"
#include "tests/support/allocation_counter.h"

namespace quen::input {
namespace {

using platform::EventType;

class HotPathAllocationTest : public testing::InputAgentTest {
 protected:
  template <typename Work>
  static std::uint64_t allocationsDuring(Work work) {
    const std::uint64_t before = quen::testing::allocationCount();
    work();
    return quen::testing::allocationCount() - before;
  }

  void checkTicksThatWriteNothing() {
    second([&] { injectEveryKind(3); });
    EXPECT_EQ(allocationsDuring([&] {
                for (int i = 0; i < 100; ++i) second([&] { injectEveryKind(50); });
              }),
              0u);
    second();  // the defaults line, once
    EXPECT_EQ(allocationsDuring([&] {
                for (int i = 0; i < 100; ++i) second();
              }),
              0u);
    EXPECT_EQ(system.lines.size(), 3u);
  }
  void injectEveryKind(int times) {
    for (int i = 0; i < times; ++i)
      for (EventType type : {EventType::MouseMoved, EventType::LeftMouseDown, EventType::KeyUp})
        system.inject(type);
  }
};

TEST_F(HotPathAllocationTest, EventsAllocateNothingWithOrWithoutAMissingPermission) {
  system.trusted = false;
  launch(true, true);
  system.advance(0.5);
  injectEveryKind(1);  // the first event after a permission change copies the attachment in
  EXPECT_EQ(allocationsDuring([&] { injectEveryKind(10'000); }), 0u);
  system.trusted = true;
  delegate->permissionsAccessUpdate();
  injectEveryKind(1);
  EXPECT_EQ(allocationsDuring([&] { injectEveryKind(10'000); }), 0u);
  EXPECT_GT(allocationsDuring([&] { system.advance(0.5); }), 0u) << "the written line counts";
}

TEST_F(HotPathAllocationTest, ReportTicksThatWriteNothingAllocateNothing) {
  launch(true, false);
  checkTicksThatWriteNothing();
}

// Every second carries E_INPUT_NOT_VISIBLE: the marked record is kept, not rebuilt.
TEST_F(HotPathAllocationTest, MarkedTicksThatWriteNothingAllocateNothing) {
  system.compositor = fake::FakeSystem::Compositor::Silent;
  launch(true, false);
  checkTicksThatWriteNothing();
}

}  // namespace
}  // namespace quen::input
