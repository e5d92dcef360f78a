#pragma once

// The launch arguments: flag/value pairs that the parent application passes.

#include <span>
#include <string_view>

namespace quen {

// The string's boolValue: after white space, one optional sign and any run of zeros, true
// when the next character is Y, y, T, t or a digit 1 to 9; false otherwise. White space is
// space, tab, line feed, vertical tab, form feed and carriage return.
bool flagValueIsTrue(std::string_view value);

// One entry of an agent's flag table.
struct FlagBinding {
  std::string_view name;
  bool* flag;
};

// Sets the flags of `table` from the arguments (program path first). Reads nothing unless
// there are at least 2 * countExpected + 1 arguments; then every argument but the last is
// compared whole, exactly, with each flag name, and a match sets that flag from the
// argument after it by the flag value rule (a later occurrence wins). Never reports.
void scanArguments(int argc, const char* const* argv, std::span<const FlagBinding> table,
                   int countExpected);

}  // namespace quen
