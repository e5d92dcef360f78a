#include "FocusTrail/src/window_url_route.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quen::focus {
namespace {

using platform::BusCall;

constexpr std::int32_t ROLE_DOCUMENT = 15;
constexpr std::int32_t ROLE_TEXT = 42;

UrlAnswer failure(BusCall call) {
  return call == BusCall::TimedOut ? timedOutAnswer() : connectionInvalidAnswer();
}

// A scheme (a letter, then letters, digits, "+", "-" or "."), "://" and more.
bool isFullUrl(const std::string& text) {
  const std::size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0 || colon + 3 == text.size()) return false;
  for (std::size_t index = 0; index < colon; ++index) {
    const char c = text[index];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (index == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
      return false;
  }
  return true;
}

}  // namespace

UrlAnswer windowUrl(platform::WindowAccessibility& elements, const UrlRequest& request,
                    const StopToken& stop) {
  if (request.window == 0) return {false, false};
  std::uint32_t root = 0;
  if (const BusCall opened = elements.open(request.window, root); opened != BusCall::Done)
    return failure(opened);
  std::deque<std::uint32_t> pending{root};
  std::vector<std::uint32_t> children;
  std::optional<std::string> addressBar;
  for (std::size_t walked = 0; !pending.empty() && walked < MAX_WALKED_ELEMENTS; ++walked) {
    if (stop.stopRequested()) return {false, false};
    const std::uint32_t element = pending.front();
    pending.pop_front();
    std::int32_t role = 0;
    std::string value;
    // An element that fails to answer is passed over: browsers keep some that do not.
    const BusCall roleCall = elements.role(element, role);
    if (roleCall == BusCall::TimedOut) return failure(roleCall);
    if (roleCall == BusCall::Done && (role == ROLE_DOCUMENT || role == ROLE_TEXT)) {
      const BusCall valueCall = elements.value(element, value);
      if (valueCall == BusCall::TimedOut) return failure(valueCall);
      if (valueCall == BusCall::Done && role == ROLE_DOCUMENT && !value.empty())
        return {Value(std::move(value)), false};
      if (valueCall == BusCall::Done && role == ROLE_TEXT && !addressBar && isFullUrl(value))
        addressBar = std::move(value);
    }
    children.clear();
    const BusCall childCall = elements.children(element, children);
    if (childCall == BusCall::TimedOut) return failure(childCall);
    pending.insert(pending.end(), children.begin(), children.end());
  }
  if (addressBar) return {Value(std::move(*addressBar)), false};
  return {false, false};
}

UrlSource windowUrlSource(std::unique_ptr<platform::WindowAccessibility> elements) {
  std::shared_ptr<platform::WindowAccessibility> shared = std::move(elements);
  return [shared](const UrlRequest& request, StopToken stop) {
    return windowUrl(*shared, request, stop);
  };
}

}  // namespace quen::focus
