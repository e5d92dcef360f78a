#pragma once

// The active tab's URL read from the browser window's accessible elements (Windows): the
// elements of the window in front are walked breadth first, at most MAX_WALKED_ELEMENTS of
// them; the first document (role 15) with a value gives the URL, which is the document's
// own address. Else the first text field (role 42, the address bar) whose value is a full
// URL, with its scheme: the bar shows the address without it in some browsers, and while
// the user types, neither of which is the page's URL. Outcomes: the URL; (false, false)
// when neither is there (a browser that has not built its accessible tree yet, a page still
// loading) or once `stop` is requested; a window that cannot be opened, or a call that
// failed, "E_AE_KNOWN_OTHER-609" (as on the accessibility bus); a call that timed out,
// "E_AE_KNOWN_OTHER-1712".

#include <memory>

#include "FocusTrail/src/url_answer.h"
#include "FocusTrail/src/url_worker.h"
#include "platform/platform.h"

namespace quen::focus {

inline constexpr std::size_t MAX_WALKED_ELEMENTS = 2000;

UrlAnswer windowUrl(platform::WindowAccessibility& elements, const UrlRequest& request,
                    const StopToken& stop = {});

// The query the URL worker runs, over `elements`, which the worker's thread alone uses.
UrlSource windowUrlSource(std::unique_ptr<platform::WindowAccessibility> elements);

}  // namespace quen::focus
