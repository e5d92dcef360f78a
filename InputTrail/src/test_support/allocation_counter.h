#pragma once

// Counts the test program's heap allocations, through a replaced global operator new.
// AddressSanitizer brings its own operator new, so under it nothing is counted.

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define QUEN_UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUEN_UNDER_ADDRESS_SANITIZER 1
#endif
#endif

namespace quen::testing {

// Whether this build counts allocations.
bool allocationsAreCounted();
// Calls of operator new so far.
std::uint64_t allocationCount();
// Calls of operator new less calls of operator delete (on non-null pointers) so far.
std::int64_t liveAllocationCount();

}  // namespace quen::testing
