// Counts heap allocations. Without AddressSanitizer the global allocation functions of
// this test program are replaced; under AddressSanitizer, which owns those functions, its
// allocator reports every allocation (operator new included) to a hook installed through
// the sanitizer's public interface.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "core/json.h"
#include "platform/fake/fake_system.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUEN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUEN_ADDRESS_SANITIZER 1
#endif
#endif

namespace {
std::size_t allocationCount = 0;
}  // namespace

#if defined(QUEN_ADDRESS_SANITIZER)

// Declared in <sanitizer/allocator_interface.h>, which not every compiler ships.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*mallocHook)(const volatile void*, std::size_t), void (*freeHook)(const volatile void*));

namespace {
void countAllocation(const volatile void*, std::size_t) { ++allocationCount; }
void ignoreRelease(const volatile void*) {}
const int hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreRelease);
}  // namespace

#else

void* operator new(std::size_t size) {
  ++allocationCount;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocationCount;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return ::operator new(size, tag);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

#endif

namespace quen {
namespace {

class SuppressedOutputAllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(QUEN_ADDRESS_SANITIZER)
    ASSERT_NE(hooksInstalled, 0) << "the sanitizer refused the allocation hook";
#endif
  }

  // Heap allocations made by one call that the change test suppresses.
  std::size_t allocationsOfSuppressedCall(const Record& dict) {
    const std::size_t linesBefore = system_.lines().size();
    const std::size_t before = allocationCount;
    stream_.dictMergeAndOutput(dict, true, true);
    const std::size_t made = allocationCount - before;
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

TEST_F(SuppressedOutputAllocationTest, WrittenLineIsCounted) {
  const std::size_t before = allocationCount;
  stream_.dictMergeAndOutput(focus_, true, true);
  EXPECT_GT(allocationCount, before);
}

TEST_F(SuppressedOutputAllocationTest, EqualRecordAllocatesNothing) {
  stream_.dictMergeAndOutput(focus_, true, true);
  EXPECT_EQ(allocationsOfSuppressedCall(focus_), 0u);
  EXPECT_EQ(allocationsOfSuppressedCall(focus_), 0u);
}

TEST_F(SuppressedOutputAllocationTest, EqualRecordWithExtraKeyAllocatesNothing) {
  Record withExtra = focus_;
  withExtra.set("extraKeyOutsideTheSchema", Array{"one", "two"});
  stream_.dictMergeAndOutput(withExtra, true, true);
  EXPECT_EQ(allocationsOfSuppressedCall(withExtra), 0u);
}

TEST_F(SuppressedOutputAllocationTest, SchemaRecordAfterWrittenChangesAllocatesNothing) {
  stream_.dictMergeAndOutput(focus_, true, true);
  stream_.dictMergeAndOutput({}, true, true);
  EXPECT_EQ(allocationsOfSuppressedCall({}), 0u);
}

}  // namespace
}  // namespace quen
