#include "FocusTrail/src/window_choice.h"

#include "core/os_value_rules.h"

namespace quen::focus {

namespace {

struct WalkState {
  std::int32_t processIdentifier = 0;
  bool titleNeeded = false;
  std::size_t position = 0;
  WindowChoice choice;
};

Value titleOf(const platform::WindowDescription& window) {
  platform::OsValue name = window.name();
  if (name.kind != platform::OsValue::Kind::Text) return false;
  return Value(std::move(name.text));
}

}  // namespace

bool windowQualifies(const platform::WindowDescription& window, std::int32_t processIdentifier) {
  // An owner that is absent or not an integer counts as process 0.
  const std::int64_t owner = readInteger(window.ownerPid()).value_or(0);
  if (owner != static_cast<std::int64_t>(processIdentifier)) return false;
  // Only an alpha that reads as exactly 0.0 hides a window; an absent one does not.
  const std::optional<double> alpha = readReal(window.alpha());
  if (alpha && *alpha == 0.0) return false;
  // Bounds that describe no rectangle count as the zero rectangle.
  const Rectangle bounds = readRectangle(window.bounds()).value_or(Rectangle{});
  return bounds.width >= MINIMUM_WINDOW_SIDE && bounds.height >= MINIMUM_WINDOW_SIDE;
}

WindowChoice chooseWindow(platform::WindowList& windows, std::int32_t processIdentifier,
                          bool titleNeeded) {
  WalkState state;
  state.processIdentifier = processIdentifier;
  state.titleNeeded = titleNeeded;
  // The visitor captures one pointer, so handing it over allocates nothing.
  windows.walkOnScreenWindows([walk = &state](const platform::WindowDescription& window) {
    const std::size_t position = walk->position++;
    if (!windowQualifies(window, walk->processIdentifier)) return false;
    walk->choice.position = position;
    walk->choice.identity = window.identity();
    if (walk->titleNeeded) walk->choice.title = titleOf(window);
    return true;
  });
  // When the OS produced no list, nothing was visited and no window is chosen.
  return std::move(state.choice);
}

}  // namespace quen::focus
