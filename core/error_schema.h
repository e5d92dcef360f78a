#pragma once

// The table from error token (what code looks up) to error code (what the parent reads).

#include <span>
#include <string_view>

namespace quen {

class ErrorSchema {
 public:
  struct Entry {
    std::string_view token;
    std::string_view code;
  };

  constexpr explicit ErrorSchema(std::span<const Entry> entries) : entries_(entries) {}

  // The code for `token`. Every token the agents look up is in their table; an unknown
  // token yields the empty text.
  constexpr std::string_view codeFor(std::string_view token) const {
    for (const Entry& entry : entries_)
      if (entry.token == token) return entry.code;
    return {};
  }
  constexpr std::span<const Entry> entries() const { return entries_; }

 private:
  std::span<const Entry> entries_;
};

}  // namespace quen
