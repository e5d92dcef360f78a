#include "core/os_value_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <optional>

namespace quen {
namespace {

using platform::OsValue;

constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN();
constexpr double INFINITE = std::numeric_limits<double>::infinity();
constexpr std::int64_t MINIMUM = std::numeric_limits<std::int64_t>::min();

class OsValueRulesTest : public ::testing::Test {
 protected:
  static OsValue real(double value) { return OsValue::ofReal(value); }
  static OsValue bounds(OsValue x, OsValue y, OsValue width, OsValue height) {
    return OsValue::ofDictionary({{"X", std::move(x)}, {"Y", std::move(y)},
                                  {"Width", std::move(width)}, {"Height", std::move(height)}});
  }
};

TEST_F(OsValueRulesTest, IntegerIsAnIntegerOrAnIntegralRealInRange) {
  const struct {
    OsValue value;
    std::optional<std::int64_t> expected;
  } rows[] = {
      {OsValue::ofInteger(-42), -42}, {OsValue::ofInteger(MINIMUM), MINIMUM},
      {real(100.0), 100}, {real(-0.0), 0}, {real(-9223372036854775808.0), MINIMUM},
      {real(9223372036854774784.0), 9223372036854774784}, {real(0.5), {}}, {real(-1.25), {}},
      {real(9223372036854775808.0), {}}, {real(-9223372036854777856.0), {}}, {real(1e300), {}},
      {real(NAN_VALUE), {}}, {real(INFINITE), {}}, {real(-INFINITE), {}},
      {real(std::numeric_limits<double>::denorm_min()), {}}, {OsValue::ofBoolean(true), {}},
      {OsValue::ofText("100"), {}}, {OsValue::absent(), {}}, {OsValue::other(), {}},
      {OsValue::ofDictionary({{"X", OsValue::ofInteger(1)}}), {}},
  };
  for (std::size_t row = 0; row < std::size(rows); ++row)
    EXPECT_EQ(readInteger(rows[row].value), rows[row].expected) << "row " << row;
}

TEST_F(OsValueRulesTest, RectangleOfFourFiniteNumbersNormalisedToPositiveExtent) {
  const auto exact = readRectangle(bounds(real(10.5), OsValue::ofInteger(-20), real(800),
                                          OsValue::ofInteger(600)));
  ASSERT_TRUE(exact.has_value());
  EXPECT_EQ((std::array{exact->x, exact->y, exact->width, exact->height}),
            (std::array{10.5, -20.0, 800.0, 600.0}));
  const auto flipped = readRectangle(bounds(real(100), real(100), real(-60), real(-70)));
  ASSERT_TRUE(flipped.has_value());
  EXPECT_EQ((std::array{flipped->x, flipped->y, flipped->width, flipped->height}),
            (std::array{40.0, 30.0, 60.0, 70.0}));

  const OsValue noRectangle[] = {
      OsValue::absent(), OsValue::other(), OsValue::ofText("{0, 0, 100, 100}"),
      OsValue::ofDictionary({{"X", real(0)}, {"Y", real(0)}, {"Width", real(100)}}),
      bounds(real(0), real(0), OsValue::ofText("100"), real(100)),
      bounds(real(0), OsValue::ofBoolean(true), real(100), real(100)),
      bounds(real(0), real(0), real(NAN_VALUE), real(100)),
      bounds(real(0), real(0), real(100), real(INFINITE)),
      bounds(real(-INFINITE), real(0), real(100), real(100))};
  for (std::size_t row = 0; row < std::size(noRectangle); ++row)
    EXPECT_FALSE(readRectangle(noRectangle[row]).has_value()) << "row " << row;
}

}  // namespace
}  // namespace quen
