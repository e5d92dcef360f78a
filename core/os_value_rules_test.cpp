#include "core/os_value_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <optional>

namespace quen {
namespace {

using platform::OsValue;

constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN(),
                 INFINITE = std::numeric_limits<double>::infinity();
constexpr std::int64_t MINIMUM = std::numeric_limits<std::int64_t>::min();

OsValue real(double value) { return OsValue::ofReal(value); }

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
  using Numbers = std::optional<std::array<double, 4>>;
  const OsValue text = OsValue::ofText("100"), yes = OsValue::ofBoolean(true);
  const struct {
    OsValue x, y, width, height;
    Numbers expected;
  } rows[] = {
      {real(10.5), OsValue::ofInteger(-20), real(800), OsValue::ofInteger(600),
       std::array{10.5, -20.0, 800.0, 600.0}},
      {real(100), real(100), real(-60), real(-70), std::array{40.0, 30.0, 60.0, 70.0}},
      {real(0), real(0), text, real(100), {}}, {real(0), yes, real(100), real(100), {}},
      {real(0), real(0), real(NAN_VALUE), real(100), {}},
      {real(0), real(0), real(100), real(INFINITE), {}},
      {real(-INFINITE), real(0), real(100), real(100), {}},
  };
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& [x, y, width, height, expected] = rows[row];
    const auto found = readRectangle(
        OsValue::ofDictionary({{"X", x}, {"Y", y}, {"Width", width}, {"Height", height}}));
    EXPECT_EQ(found ? Numbers({found->x, found->y, found->width, found->height}) : std::nullopt,
              expected) << "row " << row;
  }
  EXPECT_FALSE(readRectangle(OsValue::ofText("{0, 0, 100, 100}")));
  EXPECT_FALSE(readRectangle(OsValue::ofDictionary({{"X", real(0)}, {"Y", real(0)}})));
}

}  // namespace
}  // namespace quen
