#pragma once

// The browser URL query through scripts (macOS): asks a known browser, through its
// scripting interface, for the URL of its frontmost tab.

#include <cstdint>
#include <string>
#include <string_view>

#include "FocusTrail/src/url_answer.h"
#include "FocusTrail/src/url_worker.h"
#include "platform/platform.h"

namespace quen::focus {

// Whether `appName` is one of the known browsers, matched whole and case-sensitively.
bool isScriptableBrowser(std::string_view appName);

// The two-line script that asks `appName` for the URL of its `tabType` tab of the front
// window. Both are inserted verbatim: only names of known browsers ever reach it.
std::string composeUrlScript(std::string_view appName, std::string_view tabType);

// The query the URL worker runs for the known browser `request.appName`, process
// `request.pid`. The script would launch a browser that is not running, so none is run when
// the process has quit: the answer is then the code an application that is not running
// gives (-600, "E_AE_KNOWN_OTHER-600"). Before the first script to a process, the OS is
// asked without a prompt whether scripts may address it: refused gives
// "E_AE_KNOWN_EVENT_NOT_PERMITTED" at once; not decided yet asks the user, with the
// prompt, once per process (the worker waits for the answer).
UrlSource scriptUrlSource(platform::ScriptService& scripts);

// Runs one query against `appName`, making, running and releasing one script object.
UrlAnswer getBrowserUrl(std::string_view appName, std::string_view tabType,
                        platform::ScriptService& scripts);

}  // namespace quen::focus
