#pragma once

// Counts the test program's heap allocations, through a replaced global operator new
// (which AddressSanitizer's allocator still serves). The tests run on one thread.

#include <cstdint>

namespace quen::testing {

// Calls of operator new so far.
std::uint64_t allocationCount();
// Calls of operator new less calls of operator delete on non-null pointers so far.
std::int64_t liveAllocationCount();

}  // namespace quen::testing
