#include "core/os_value_rules.h"

#include <cmath>

namespace quen {

using platform::OsValue;

std::optional<std::int64_t> readInteger(const OsValue& value) {
  if (value.kind == OsValue::Kind::Integer) return value.integer;
  if (value.kind != OsValue::Kind::Real) return std::nullopt;
  // [-2^63, 2^63) is exactly the range of int64 in doubles; NaN fails every comparison.
  constexpr double LOWEST = -9223372036854775808.0;
  constexpr double BEYOND_HIGHEST = 9223372036854775808.0;
  const double real = value.real;
  if (!(real >= LOWEST && real < BEYOND_HIGHEST) || std::trunc(real) != real) return std::nullopt;
  return static_cast<std::int64_t>(real);
}

std::optional<double> readReal(const OsValue& value) {
  if (value.kind == OsValue::Kind::Integer) return static_cast<double>(value.integer);
  if (value.kind == OsValue::Kind::Real) return value.real;
  return std::nullopt;
}

namespace {

// A finite number under `key` of a dictionary.
std::optional<double> readFiniteEntry(const OsValue& dictionary, const char* key) {
  const OsValue* entry = dictionary.entry(key);
  if (entry == nullptr) return std::nullopt;
  const std::optional<double> number = readReal(*entry);
  if (!number || !std::isfinite(*number)) return std::nullopt;
  return number;
}

}  // namespace

std::optional<Rectangle> readRectangle(const OsValue& value) {
  const std::optional<double> x = readFiniteEntry(value, "X");
  const std::optional<double> y = readFiniteEntry(value, "Y");
  const std::optional<double> width = readFiniteEntry(value, "Width");
  const std::optional<double> height = readFiniteEntry(value, "Height");
  if (!x || !y || !width || !height) return std::nullopt;
  // CGRectStandardize: a negative extent moves the origin and counts by its size.
  Rectangle rectangle;
  rectangle.x = *width < 0 ? *x + *width : *x;
  rectangle.y = *height < 0 ? *y + *height : *y;
  rectangle.width = std::fabs(*width);
  rectangle.height = std::fabs(*height);
  return rectangle;
}

}  // namespace quen
