#pragma once

// Counts the test program's heap allocations through a replaced global operator new (which
// AddressSanitizer's allocator still serves). The tests run on one thread.

#include <cstdint>

namespace quen::testing {

std::uint64_t allocationCount();      // calls of operator new so far
std::int64_t liveAllocationCount();  // less the calls of operator delete on non-null pointers

}  // namespace quen::testing
