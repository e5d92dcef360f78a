#include "core/os_value_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <optional>

namespace quen {
namespace {

using platform::OsValue;
using Numbers = std::optional<std::array<double, 4>>;

constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN(),
                 INFINITE = std::numeric_limits<double>::infinity();
constexpr std::int64_t MINIMUM = std::numeric_limits<std::int64_t>::min();

OsValue real(double value) { return OsValue::ofReal(value); }
OsValue bounds(OsValue x, OsValue y, OsValue width, OsValue height) {
  return OsValue::ofDictionary({{"X", std::move(x)}, {"Y", std::move(y)},
                                {"Width", std::move(width)}, {"Height", std::move(height)}});
}

TEST(OsValueRulesTest, IntegerIsAnIntegerOrAnIntegralRealInRange) {
  const struct {
    OsValue value;
    std::optional<std::int64_t> expected;
  } rows[] = {
      {OsValue::ofInteger(MINIMUM), MINIMUM}, {real(100.0), 100}, {real(-0.0), 0},
      {real(-9223372036854775808.0), MINIMUM}, {real(9223372036854774784.0), 9223372036854774784},
      {real(0.5), {}}, {real(std::numeric_limits<double>::denorm_min()), {}},
      {real(9223372036854775808.0), {}}, {real(-9223372036854777856.0), {}}, {real(NAN_VALUE), {}},
      {real(INFINITE), {}}, {real(-INFINITE), {}}, {OsValue::ofBoolean(true), {}},
      {OsValue::ofText("100"), {}},
  };
  for (std::size_t row = 0; row < std::size(rows); ++row)
    EXPECT_EQ(readInteger(rows[row].value), rows[row].expected) << "row " << row;
}

// Four finite numbers; a negative extent moves the origin and counts by its size.
TEST(OsValueRulesTest, RectangleOfFourFiniteNumbersNormalisedToPositiveExtent) {
  const auto numbers = [](const OsValue& value) -> Numbers {
    const auto rectangle = readRectangle(value);
    if (!rectangle) return std::nullopt;
    return std::array{rectangle->x, rectangle->y, rectangle->width, rectangle->height};
  };
  const OsValue integers =
      bounds(real(10.5), OsValue::ofInteger(-20), real(800), OsValue::ofInteger(600));
  EXPECT_EQ(numbers(integers), (std::array{10.5, -20.0, 800.0, 600.0}));
  EXPECT_EQ(numbers(bounds(real(100), real(100), real(-60), real(-70))),
            (std::array{40.0, 30.0, 60.0, 70.0}));
  const OsValue noRectangle[] = {
      OsValue::ofText("{0, 0, 100, 100}"),
      OsValue::ofDictionary({{"X", real(0)}, {"Y", real(0)}, {"Width", real(100)}}),
      bounds(real(0), real(0), OsValue::ofText("100"), real(100)),
      bounds(real(0), OsValue::ofBoolean(true), real(100), real(100)),
      bounds(real(0), real(0), real(NAN_VALUE), real(100)),
      bounds(real(0), real(0), real(100), real(INFINITE)),
      bounds(real(-INFINITE), real(0), real(100), real(100))};
  for (std::size_t row = 0; row < std::size(noRectangle); ++row)
    EXPECT_EQ(numbers(noRectangle[row]), std::nullopt) << "row " << row;
}

}  // namespace
}  // namespace quen
