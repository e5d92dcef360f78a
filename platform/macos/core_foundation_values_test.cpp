#include "platform/macos/core_foundation_values.h"

#include <CoreGraphics/CoreGraphics.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/os_value_rules.h"

namespace quen::macos {
namespace {

using platform::OsValue;

// Makes Core Foundation values as the OS would hand them over, each released at the end of
// the test.
class CoreFoundationValuesTest : public ::testing::Test {
 protected:
  template <typename Reference>
  Reference keep(Reference reference) {
    owned_.emplace_back(static_cast<CFTypeRef>(reference));
    return reference;
  }
  CFNumberRef integer(std::int64_t value) {
    return keep(CFNumberCreate(nullptr, kCFNumberSInt64Type, &value));
  }
  CFNumberRef integer32(std::int32_t value) {
    return keep(CFNumberCreate(nullptr, kCFNumberSInt32Type, &value));
  }
  CFNumberRef real(double value) {
    return keep(CFNumberCreate(nullptr, kCFNumberDoubleType, &value));
  }
  CFStringRef string(std::u16string_view units) {
    return keep(CFStringCreateWithCharacters(
        nullptr, reinterpret_cast<const UniChar*>(units.data()),
        static_cast<CFIndex>(units.size())));
  }
  CFDictionaryRef dictionary(std::vector<CFTypeRef> keys, std::vector<CFTypeRef> values) {
    return keep(CFDictionaryCreate(nullptr, keys.data(), values.data(),
                                   static_cast<CFIndex>(keys.size()),
                                   &kCFTypeDictionaryKeyCallBacks,
                                   &kCFTypeDictionaryValueCallBacks));
  }

 private:
  std::vector<CoreFoundationOwner<CFTypeRef>> owned_;
};

TEST_F(CoreFoundationValuesTest, IntegerNumbersAreIntegers) {
  const OsValue pid = osValueFrom(integer32(4321));
  EXPECT_EQ(pid.kind, OsValue::Kind::Integer);
  EXPECT_EQ(pid.integer, 4321);
  const OsValue errorNumber = osValueFrom(integer(-1743));
  EXPECT_EQ(errorNumber.kind, OsValue::Kind::Integer);
  EXPECT_EQ(errorNumber.integer, -1743);
}

TEST_F(CoreFoundationValuesTest, FloatingPointNumbersAreRealsEvenWhenWhole) {
  const OsValue alpha = osValueFrom(real(1.0));
  EXPECT_EQ(alpha.kind, OsValue::Kind::Real);
  EXPECT_EQ(alpha.real, 1.0);
  EXPECT_EQ(osValueFrom(real(0.0)).kind, OsValue::Kind::Real);
}

TEST_F(CoreFoundationValuesTest, BooleansAreNotNumbers) {
  const OsValue yes = osValueFrom(kCFBooleanTrue);
  EXPECT_EQ(yes.kind, OsValue::Kind::Boolean);
  EXPECT_TRUE(yes.boolean);
  EXPECT_FALSE(readInteger(yes).has_value());
}

TEST_F(CoreFoundationValuesTest, MissingAndUnknownValues) {
  EXPECT_TRUE(osValueFrom(nullptr).isAbsent());
  EXPECT_EQ(osValueFrom(kCFNull).kind, OsValue::Kind::Other);
  const CFArrayRef array = keep(CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks));
  EXPECT_EQ(osValueFrom(array).kind, OsValue::Kind::Other);
  EXPECT_TRUE(osValueOfEntry(nullptr, kCGWindowName).isAbsent());
  EXPECT_TRUE(osValueOfEntry(dictionary({}, {}), kCGWindowName).isAbsent());
}

TEST_F(CoreFoundationValuesTest, TextIsUtf8) {
  EXPECT_EQ(osValueFrom(string(u"Document")).text, "Document");
  EXPECT_EQ(osValueFrom(string(u"caf\u00E9")).text, "caf\xC3\xA9");
  EXPECT_EQ(osValueFrom(string(u"\U0001F600")).text, "\xF0\x9F\x98\x80");
  EXPECT_EQ(osValueFrom(string(std::u16string_view(u"a\0b", 3))).text, std::string("a\0b", 3));
}

TEST_F(CoreFoundationValuesTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::u16string high = {u'a', static_cast<char16_t>(0xD83D), u'b'};
  EXPECT_EQ(osValueFrom(string(high)).text, "a\xEF\xBF\xBD" "b");
  const std::u16string lowFirst = {static_cast<char16_t>(0xDE00), static_cast<char16_t>(0xD83D)};
  EXPECT_EQ(osValueFrom(string(lowFirst)).text, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(CoreFoundationValuesTest, DictionariesKeepTheirStringKeyedEntries) {
  const OsValue value = osValueFrom(dictionary({string(u"Width"), integer(7)},
                                               {real(800.0), string(u"seven")}));
  ASSERT_EQ(value.kind, OsValue::Kind::Dictionary);
  ASSERT_EQ(value.entries.size(), 1U);
  ASSERT_NE(value.entry("Width"), nullptr);
  EXPECT_EQ(value.entry("Width")->real, 800.0);
}

TEST_F(CoreFoundationValuesTest, VeryDeepDictionariesEndInOther) {
  CFTypeRef nested = integer(1);
  for (int level = 0; level < 12; ++level) nested = dictionary({string(u"inner")}, {nested});
  const OsValue outer = osValueFrom(nested);
  const OsValue* value = &outer;
  int depth = 0;
  while (value->kind == OsValue::Kind::Dictionary) {
    value = value->entry("inner");
    ASSERT_NE(value, nullptr);
    ++depth;
  }
  EXPECT_EQ(value->kind, OsValue::Kind::Other);
  EXPECT_LT(depth, 12);
}

// The window list's bounds are read by the portable rule; it must agree with CoreGraphics'
// own reading, CGRectMakeWithDictionaryRepresentation, on what the window server hands over.
class BoundsRuleTest : public CoreFoundationValuesTest {
 protected:
  void expectSameReading(CFDictionaryRef bounds) {
    CGRect expected = CGRectZero;
    const bool described = CGRectMakeWithDictionaryRepresentation(bounds, &expected);
    const std::optional<Rectangle> rectangle = readRectangle(osValueFrom(bounds));
    ASSERT_EQ(rectangle.has_value(), described);
    if (!described) return;
    expected = CGRectStandardize(expected);
    EXPECT_EQ(rectangle->x, CGRectGetMinX(expected));
    EXPECT_EQ(rectangle->y, CGRectGetMinY(expected));
    EXPECT_EQ(rectangle->width, CGRectGetWidth(expected));
    EXPECT_EQ(rectangle->height, CGRectGetHeight(expected));
  }
};

TEST_F(BoundsRuleTest, RectanglesMadeByCoreGraphics) {
  expectSameReading(keep(CGRectCreateDictionaryRepresentation(CGRectMake(10, 20, 50, 50))));
  expectSameReading(keep(CGRectCreateDictionaryRepresentation(CGRectMake(0, 25, 49.9, 600))));
  expectSameReading(keep(CGRectCreateDictionaryRepresentation(CGRectMake(100, 100, -80, -60))));
}

TEST_F(BoundsRuleTest, DictionariesThatDescribeNoRectangle) {
  expectSameReading(dictionary({}, {}));
  expectSameReading(dictionary({string(u"X"), string(u"Y"), string(u"Width")},
                               {integer(0), integer(0), integer(800)}));
}

}  // namespace
}  // namespace quen::macos
