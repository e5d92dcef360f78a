#pragma once

// How the portable rules read the dynamically typed values that the OS hands over.

#include <cstdint>
#include <optional>

#include "platform/os_value.h"

namespace quen {

struct Rectangle {
  double x = 0, y = 0, width = 0, height = 0;  // width and height non-negative
};

// The value as an integer: an Integer, or a Real holding a whole number exactly within
// the integer's range (a number object that answers as an integer). None otherwise,
// booleans included.
std::optional<std::int64_t> readInteger(const platform::OsValue& value);

// The value as a floating-point number: an Integer or a Real. None otherwise.
std::optional<double> readReal(const platform::OsValue& value);

// The rectangle a dictionary describes: numbers under "X", "Y", "Width" and "Height"
// (a negative extent counts by its size). None when the value does not describe one.
std::optional<Rectangle> readRectangle(const platform::OsValue& value);

}  // namespace quen
