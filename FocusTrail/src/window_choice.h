#pragma once

// Which window of the on-screen list stands for an application: the frontmost one of its
// windows that is visible and at least 50 x 50 points.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/record.h"
#include "platform/platform.h"

namespace quen::focus {

// The smallest width and height, in points, of a window that can stand for its application.
inline constexpr double MINIMUM_WINDOW_SIDE = 50.0;

struct WindowChoice {
  std::optional<std::size_t> position;  // of the chosen window in the list, front first
  Value title = false;                  // its name when asked for and a text, else false
  std::uint64_t identity = 0;           // the OS's identity of the chosen window
};

// Whether the window belongs to the application with `processIdentifier`, is not fully
// transparent and is large enough. Reads the owner first and the alpha and bounds only
// when the tests before them passed.
bool windowQualifies(const platform::WindowDescription& window, std::int32_t processIdentifier);

// Walks the list front to back and stops at the first qualifying window; its name is read
// only when `titleNeeded`. A list the OS cannot produce counts as an empty one.
WindowChoice chooseWindow(platform::WindowList& windows, std::int32_t processIdentifier,
                          bool titleNeeded);

}  // namespace quen::focus
