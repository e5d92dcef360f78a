// A call that writes nothing must allocate nothing: the change test runs every second all day.

#include <gtest/gtest.h>

#include "core/json.h"
#include "platform/fake/fake_system.h"
#include "tests/support/allocation_counter.h"

namespace quen {
namespace {

class SuppressedOutputAllocationTest : public ::testing::Test {
 protected:
  // Heap allocations made by one call, which must write nothing.
  std::size_t allocationsOfSuppressedCall(const Record& dict) {
    const std::size_t linesBefore = system_.lines().size();
    const std::uint64_t before = quen::testing::allocationCount();
    stream_.dictMergeAndOutput(dict, true, true);
    const std::uint64_t made = quen::testing::allocationCount() - before;
    EXPECT_EQ(system_.lines().size(), linesBefore) << "the call was meant to be suppressed";
    return made;
  }

  const Record schema_{{"appName", false}, {"appIdentifier", false}, {"appPath", false},
                       {"winTitle", false}, {"winUrl", false},       {"error", false}};
  const Record focus_{{"appName", "Safari"},
                      {"appIdentifier", "com.apple.Safari"},
                      {"appPath", "/Applications/Safari.app"},
                      {"winTitle", "A page whose title is long enough to live on the heap"},
                      {"winUrl", "https://example.com/a/long/path/that/needs/the/heap"},
                      {"error", Array{"E_PERMISSION_SCREENRECORDING"}}};
  fake::FakeSystem system_;
  RecordStream stream_{schema_, "FocusTrail/json", system_.standardOutput()};
};

TEST_F(SuppressedOutputAllocationTest, EqualRecordAllocatesNothingUnlikeAWrittenOne) {
  Record withExtra = focus_;
  withExtra.set("extraKeyOutsideTheSchema", Array{"one", "two"});
  const std::uint64_t before = quen::testing::allocationCount();
  stream_.dictMergeAndOutput(withExtra, true, true);
  EXPECT_GT(quen::testing::allocationCount(), before) << "the counter sees the written line";
  EXPECT_EQ(allocationsOfSuppressedCall(withExtra), 0u);
  EXPECT_EQ(allocationsOfSuppressedCall(withExtra), 0u);
}

TEST_F(SuppressedOutputAllocationTest, SchemaRecordAfterWrittenChangesAllocatesNothing) {
  stream_.dictMergeAndOutput(focus_, true, true);
  EXPECT_EQ(allocationsOfSuppressedCall(focus_), 0u);
  stream_.dictMergeAndOutput({}, true, true);
  EXPECT_EQ(allocationsOfSuppressedCall({}), 0u);
}

}  // namespace
}  // namespace quen
