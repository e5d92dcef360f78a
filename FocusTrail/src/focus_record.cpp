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

Value hiddenApplicationErrorList(bool screenPermitted, bool accessibilityPermitted,
                                 platform::HiddenFront reason) {
  Value codes = errorList(screenPermitted, accessibilityPermitted, false);
  Array list = codes.isFalse() ? Array() : codes.asArray();
  list.emplace_back(ERROR_SCHEMA.codeFor(reason == platform::HiddenFront::ShellExtensionMissing
                                             ? "APP_SHELL_EXTENSION_MISSING"
                                         : reason == platform::HiddenFront::ShellExtensionDisabled
                                             ? "APP_SHELL_EXTENSION_DISABLED"
                                             : "APP_WINDOW_NOT_VISIBLE"));
  return Value(std::move(list));
}

}  // namespace quen::focus
