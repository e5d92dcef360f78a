// Properties of the flag value rule that must hold for every input: it never fails, the
// text after the deciding character never matters, and leading white space, one sign and
// a run of zeros never change the answer.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/flags.h"

namespace {

constexpr char WHITE_SPACE[] = {' ', '\t', '\n', '\v', '\f', '\r'};

void require(bool holds) {
  if (!holds) std::abort();
}

bool isWhiteSpace(char character) {
  for (char space : WHITE_SPACE)
    if (character == space) return true;
  return false;
}

bool isSign(char character) { return character == '+' || character == '-'; }

std::string consumeWhiteSpace(FuzzedDataProvider& data) {
  std::string run;
  for (std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 4); count > 0; --count)
    run += data.PickValueInArray(WHITE_SPACE);
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::string whiteSpace = consumeWhiteSpace(data);
  const std::string sign = data.PickValueInArray({"", "+", "-"});
  const std::string zeros(data.ConsumeIntegralInRange<std::size_t>(0, 3), '0');
  const std::string head = data.ConsumeRandomLengthString(8);
  const std::string tail = data.ConsumeRemainingBytesAsString();

  const bool answer = quen::flagValueIsTrue(head);
  require(quen::flagValueIsTrue(whiteSpace + head) == answer);
  if (answer) require(quen::flagValueIsTrue(head + tail));

  // A head that cannot be taken for more white space or a second sign.
  if (head.empty() || (!isWhiteSpace(head[0]) && !isSign(head[0]))) {
    require(quen::flagValueIsTrue(whiteSpace + sign + zeros + head) == answer);
    require(quen::flagValueIsTrue(zeros + head) == answer);
  }
  // A head whose first character is the deciding one: nothing after it counts.
  if (!head.empty() && !isWhiteSpace(head[0]) && !isSign(head[0]) && head[0] != '0') {
    require(quen::flagValueIsTrue(head.substr(0, 1) + tail) == answer);
    require(quen::flagValueIsTrue(whiteSpace + sign + zeros + head + tail) == answer);
  }
  return 0;
}
