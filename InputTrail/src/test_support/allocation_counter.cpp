#include "InputTrail/src/test_support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace quen::testing {
namespace {

std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> deallocations{0};

}  // namespace

#if defined(QUEN_UNDER_ADDRESS_SANITIZER)

bool allocationsAreCounted() { return false; }

#else

bool allocationsAreCounted() { return true; }

namespace {

void* countedAllocation(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void countedRelease(void* memory) {
  if (memory == nullptr) return;
  deallocations.fetch_add(1, std::memory_order_relaxed);
  std::free(memory);
}

}  // namespace

#endif

std::uint64_t allocationCount() { return allocations.load(std::memory_order_relaxed); }

std::int64_t liveAllocationCount() {
  return static_cast<std::int64_t>(allocations.load(std::memory_order_relaxed)) -
         static_cast<std::int64_t>(deallocations.load(std::memory_order_relaxed));
}

}  // namespace quen::testing

#if !defined(QUEN_UNDER_ADDRESS_SANITIZER)

// The replaceable forms that the standard library's other forms (nothrow, array) call.
void* operator new(std::size_t size) { return quen::testing::countedAllocation(size); }
void* operator new[](std::size_t size) { return quen::testing::countedAllocation(size); }
void operator delete(void* memory) noexcept { quen::testing::countedRelease(memory); }
void operator delete[](void* memory) noexcept { quen::testing::countedRelease(memory); }
void operator delete(void* memory, std::size_t) noexcept { quen::testing::countedRelease(memory); }
void operator delete[](void* memory, std::size_t) noexcept {
  quen::testing::countedRelease(memory);
}

#endif
