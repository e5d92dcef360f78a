#include "FocusTrail/src/applescript.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>

#include "FocusTrail/src/config.h"
#include "core/os_value_rules.h"

namespace quen::focus {

namespace {

// Apple Event Manager result codes (MacErrors.h).
constexpr std::int64_t errAETargetAddressNotPermitted = -1742;
constexpr std::int64_t errAEEventNotPermitted = -1743;
// Process Manager: "application isn't running".
constexpr std::int64_t procNotFound = -600;

// The tab term used when a browser's binding names none.
constexpr std::string_view DEFAULT_TAB_TYPE = "active";

UrlAnswer failure(std::string_view token) { return {false, Value(ERROR_SCHEMA.codeFor(token))}; }

const BrowserBinding* findBrowser(std::string_view appName) {
  for (const BrowserBinding& binding : BROWSERS_AE_BINDINGS)
    if (binding.browserName == appName) return &binding;
  return nullptr;
}

// The code for a script that ran and gave no text.
UrlAnswer failureFromErrorInformation(const platform::ScriptRun& run) {
  if (!run.hasErrorInformation) return failure("AE_ERR_UNCAUGHT");
  if (run.errorNumber.isAbsent()) return failure("AE_ERR_NIL");
  const std::optional<std::int64_t> number = readInteger(run.errorNumber);
  if (!number) return failure("AE_ERR_CODE_PARSE");
  if (*number == errAETargetAddressNotPermitted)
    return failure("AE_KNOWN_TARGET_ADDRESS_NOT_PERMITTED");
  if (*number == errAEEventNotPermitted) return failure("AE_KNOWN_EVENT_NOT_PERMITTED");
  return otherErrorAnswer(*number);
}

}  // namespace

std::string composeUrlScript(std::string_view appName, std::string_view tabType) {
  constexpr std::string_view head = "  tell application \"";
  constexpr std::string_view middle = "\" to set appUrl to the URL of the ";
  constexpr std::string_view tail = " tab of the front window\n  return appUrl";
  std::string script;
  script.reserve(head.size() + appName.size() + middle.size() + tabType.size() + tail.size());
  script.append(head).append(appName).append(middle).append(tabType).append(tail);
  return script;
}

bool isScriptableBrowser(std::string_view appName) { return findBrowser(appName) != nullptr; }

UrlSource scriptUrlSource(platform::ScriptService& scripts) {
  // The processes whose consent was looked at, kept on the worker's thread.
  auto consentChecked = std::make_shared<std::set<std::int32_t>>();
  return [&scripts, consentChecked](const UrlRequest& request, StopToken) -> UrlAnswer {
    const BrowserBinding* binding = findBrowser(request.appName);
    if (binding == nullptr) return {false, false};
    if (!scripts.isApplicationRunning(request.pid)) return otherErrorAnswer(procNotFound);
    if (consentChecked->insert(request.pid).second) {
      using platform::AutomationConsent;
      AutomationConsent consent = scripts.automationConsent(request.pid, /*askUser=*/false);
      if (consent == AutomationConsent::WouldPrompt)
        consent = scripts.automationConsent(request.pid, /*askUser=*/true);
      if (consent == AutomationConsent::NotPermitted)
        return failure("AE_KNOWN_EVENT_NOT_PERMITTED");
    }
    return getBrowserUrl(request.appName, binding->tabType.value_or(DEFAULT_TAB_TYPE), scripts);
  };
}

UrlAnswer getBrowserUrl(std::string_view appName, std::string_view tabType,
                        platform::ScriptService& scripts) {
  const platform::ScriptRun run = scripts.run(composeUrlScript(appName, tabType));
  switch (run.stage) {
    case platform::ScriptRun::Stage::NotCreated:
      return failure("AE_SCRIPT_LOAD");
    case platform::ScriptRun::Stage::NotCompiled:
      return failure("AE_SCRIPT_COMPILE");
    case platform::ScriptRun::Stage::Executed:
      break;
  }
  // A result that gives text wins even when error information came with it.
  if (run.resultText) return {Value(*run.resultText), false};
  return failureFromErrorInformation(run);
}

}  // namespace quen::focus
