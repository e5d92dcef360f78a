#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {
std::uint64_t allocations = 0, releases = 0;
}  // namespace

std::uint64_t quen::testing::allocationCount() { return allocations; }
std::int64_t quen::testing::liveAllocationCount() {
  return static_cast<std::int64_t>(allocations) - static_cast<std::int64_t>(releases);
}

// The replaceable forms that the standard library's other forms (nothrow, array) call.
void* operator new(std::size_t size) {
  ++allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  releases += memory != nullptr;
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept { ::operator delete(memory); }
