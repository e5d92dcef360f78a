#include "FocusTrail/src/url_answer.h"

#include <utility>

#include "FocusTrail/src/config.h"

namespace quen::focus {

namespace {

constexpr std::int64_t errAETimeout = -1712;
constexpr std::int64_t connectionInvalid = -609;

}  // namespace

UrlAnswer otherErrorAnswer(std::int64_t number) {
  std::string code(ERROR_SCHEMA.codeFor("AE_KNOWN_OTHER"));
  code += std::to_string(number);
  return {false, Value(std::move(code))};
}

UrlAnswer timedOutAnswer() { return otherErrorAnswer(errAETimeout); }

bool isTimedOut(const UrlAnswer& answer) { return answer == timedOutAnswer(); }

UrlAnswer connectionInvalidAnswer() { return otherErrorAnswer(connectionInvalid); }

}  // namespace quen::focus
