#include "core/flags.h"

namespace quen {

namespace {

bool isWhiteSpace(char character) {
  return character == ' ' || character == '\t' || character == '\n' || character == '\v' ||
         character == '\f' || character == '\r';
}

}  // namespace

bool flagValueIsTrue(std::string_view value) {
  std::size_t index = 0;
  while (index < value.size() && isWhiteSpace(value[index])) ++index;
  if (index < value.size() && (value[index] == '+' || value[index] == '-')) ++index;
  while (index < value.size() && value[index] == '0') ++index;
  if (index == value.size()) return false;
  const char deciding = value[index];
  return deciding == 'Y' || deciding == 'y' || deciding == 'T' || deciding == 't' ||
         (deciding >= '1' && deciding <= '9');
}

void scanArguments(int argc, const char* const* argv, std::span<const FlagBinding> table,
                   int countExpected) {
  // The count alone decides whether the arguments are read; what they hold does not.
  if (argc < 2 * countExpected + 1) return;
  for (int index = 0; index + 1 < argc; ++index) {
    const std::string_view argument = argv[index];
    for (const FlagBinding& binding : table)
      if (argument == binding.name) *binding.flag = flagValueIsTrue(argv[index + 1]);
  }
}

}  // namespace quen
