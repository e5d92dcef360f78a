#include "FocusTrail/src/focus_record.h"

#include "FocusTrail/src/config.h"

namespace quen::focus {

Value identityValue(const std::optional<std::string>& value, std::string_view fallback) {
  if (value) return Value(*value);
  return Value(fallback);
}

Value urlValue(const Value& url) {
  if (url.isText()) return url;
  return false;
}

Value errorList(bool screenPermitted, bool accessibilityPermitted, const Value& queryError) {
  Array codes;
  if (!screenPermitted) codes.emplace_back(ERROR_SCHEMA.codeFor("PERMISSIONS_SCREENRECORD"));
  if (!accessibilityPermitted)
    codes.emplace_back(ERROR_SCHEMA.codeFor("PERMISSIONS_ACCESSIBILITY"));
  if (!queryError.isFalse()) {
    if (queryError.isText())
      codes.push_back(queryError);
    else
      codes.emplace_back(ERROR_SCHEMA.codeFor("AE_CATCHALL"));
  }
  if (codes.empty()) return false;
  return Value(std::move(codes));
}

}  // namespace quen::focus
