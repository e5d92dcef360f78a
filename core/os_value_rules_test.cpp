#include "core/os_value_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quen {
namespace {

using platform::OsValue;

class ReadIntegerTest : public ::testing::Test {};

TEST_F(ReadIntegerTest, IntegersAndIntegralReals) {
  EXPECT_EQ(readInteger(OsValue::ofInteger(-42)), -42);
  EXPECT_EQ(readInteger(OsValue::ofInteger(std::numeric_limits<std::int64_t>::min())),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(readInteger(OsValue::ofReal(100.0)), 100);
  EXPECT_EQ(readInteger(OsValue::ofReal(-0.0)), 0);
  EXPECT_EQ(readInteger(OsValue::ofReal(-9223372036854775808.0)),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(readInteger(OsValue::ofReal(9223372036854774784.0)), 9223372036854774784);
}

TEST_F(ReadIntegerTest, RealsThatAreNoIntegers) {
  for (double real : {0.5, -1.25, 9223372036854775808.0, -9223372036854777856.0, 1e300,
                      std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::denorm_min()})
    EXPECT_FALSE(readInteger(OsValue::ofReal(real)).has_value()) << real;
}

TEST_F(ReadIntegerTest, OtherKindsAreNoIntegers) {
  EXPECT_FALSE(readInteger(OsValue::ofBoolean(true)).has_value());
  EXPECT_FALSE(readInteger(OsValue::ofText("100")).has_value());
  EXPECT_FALSE(readInteger(OsValue::absent()).has_value());
  EXPECT_FALSE(readInteger(OsValue::other()).has_value());
  EXPECT_FALSE(readInteger(OsValue::ofDictionary({{"X", OsValue::ofInteger(1)}})).has_value());
}

class ReadRealTest : public ::testing::Test {};

TEST_F(ReadRealTest, NumbersOnly) {
  EXPECT_EQ(readReal(OsValue::ofInteger(-3)), -3.0);
  EXPECT_EQ(readReal(OsValue::ofReal(0.25)), 0.25);
  EXPECT_TRUE(std::isnan(*readReal(OsValue::ofReal(std::numeric_limits<double>::quiet_NaN()))));
  EXPECT_FALSE(readReal(OsValue::ofBoolean(false)).has_value());
  EXPECT_FALSE(readReal(OsValue::ofText("0.5")).has_value());
  EXPECT_FALSE(readReal(OsValue::absent()).has_value());
}

class ReadRectangleTest : public ::testing::Test {
 protected:
  static OsValue bounds(OsValue x, OsValue y, OsValue width, OsValue height) {
    return OsValue::ofDictionary(
        {{"X", std::move(x)}, {"Y", std::move(y)}, {"Width", std::move(width)},
         {"Height", std::move(height)}});
  }
  static OsValue real(double value) { return OsValue::ofReal(value); }
};

TEST_F(ReadRectangleTest, NumbersOfEitherKind) {
  const auto rectangle = readRectangle(bounds(real(10.5), OsValue::ofInteger(-20), real(800),
                                              OsValue::ofInteger(600)));
  ASSERT_TRUE(rectangle.has_value());
  EXPECT_EQ(rectangle->x, 10.5);
  EXPECT_EQ(rectangle->y, -20.0);
  EXPECT_EQ(rectangle->width, 800.0);
  EXPECT_EQ(rectangle->height, 600.0);
}

TEST_F(ReadRectangleTest, NegativeExtentCountsByItsSize) {
  const auto rectangle = readRectangle(bounds(real(100), real(100), real(-60), real(-70)));
  ASSERT_TRUE(rectangle.has_value());
  EXPECT_EQ(rectangle->x, 40.0);
  EXPECT_EQ(rectangle->y, 30.0);
  EXPECT_EQ(rectangle->width, 60.0);
  EXPECT_EQ(rectangle->height, 70.0);
}

TEST_F(ReadRectangleTest, ValuesThatDescribeNoRectangle) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(readRectangle(OsValue::absent()).has_value());
  EXPECT_FALSE(readRectangle(OsValue::other()).has_value());
  EXPECT_FALSE(readRectangle(OsValue::ofText("{0, 0, 100, 100}")).has_value());
  EXPECT_FALSE(readRectangle(OsValue::ofDictionary({{"X", real(0)}, {"Y", real(0)},
                                                    {"Width", real(100)}}))
                   .has_value());
  EXPECT_FALSE(
      readRectangle(bounds(real(0), real(0), OsValue::ofText("100"), real(100))).has_value());
  EXPECT_FALSE(
      readRectangle(bounds(real(0), OsValue::ofBoolean(true), real(100), real(100))).has_value());
  EXPECT_FALSE(readRectangle(bounds(real(0), real(0), real(nan), real(100))).has_value());
  EXPECT_FALSE(readRectangle(bounds(real(0), real(0), real(100), real(infinity))).has_value());
  EXPECT_FALSE(readRectangle(bounds(real(-infinity), real(0), real(100), real(100))).has_value());
}

}  // namespace
}  // namespace quen
