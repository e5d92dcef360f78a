#pragma once

// Core Foundation objects owned by RAII, and the translation of Core Foundation values into
// the seam's OsValue. The translation keeps the value's type as Core Foundation reports it
// and judges nothing: the portable reading rules (core/os_value_rules.h) decide what a
// value means.

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <utility>

#include "platform/os_value.h"

namespace quen::macos {

// Owns one reference to a Core Foundation object (the result of a Create or Copy
// function) and releases it when it goes out of scope.
template <typename Reference>
class CoreFoundationOwner {
 public:
  explicit CoreFoundationOwner(Reference reference) : reference_(reference) {}
  ~CoreFoundationOwner() {
    if (reference_ != nullptr) CFRelease(reference_);
  }
  CoreFoundationOwner(const CoreFoundationOwner&) = delete;
  CoreFoundationOwner& operator=(const CoreFoundationOwner&) = delete;
  CoreFoundationOwner(CoreFoundationOwner&& other) noexcept
      : reference_(std::exchange(other.reference_, nullptr)) {}
  CoreFoundationOwner& operator=(CoreFoundationOwner&& other) noexcept {
    std::swap(reference_, other.reference_);
    return *this;
  }

  Reference get() const { return reference_; }
  explicit operator bool() const { return reference_ != nullptr; }

 private:
  Reference reference_;
};

// The text of a string in UTF-8. A UTF-16 surrogate without its partner, which a string
// can hold but Unicode text cannot, becomes U+FFFD (as Swift does when it bridges a
// string), so the text is always well formed.
std::string textFromString(CFStringRef string);

// The value as the OS handed it over: null is Absent; a CFBoolean is Boolean; a CFNumber
// is Integer unless CFNumberIsFloatType says it holds a floating-point number (then Real;
// an integer beyond 64 bits is also Real); a CFString is Text; a CFDictionary is
// Dictionary, its entries translated the same way (entries whose key is not a string are
// left out, since no rule can name them); anything else is Other.
platform::OsValue osValueFrom(CFTypeRef value);

// The entry under `key` of `dictionary`, translated; Absent when `dictionary` is null or
// has no such entry.
platform::OsValue osValueOfEntry(CFDictionaryRef dictionary, CFStringRef key);

}  // namespace quen::macos
