#include "FocusTrail/src/window_choice.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fake/fake_system.h"

namespace quen::focus {
namespace {

using fake::FakeWindow;
using fake::boundsDictionary;
using fake::windowOf;
using platform::OsValue;

constexpr std::int32_t APP_PID = 100;

class WindowChoiceTest : public ::testing::Test {
 protected:
  WindowChoice choose(std::vector<FakeWindow> windows, std::int32_t pid = APP_PID,
                      bool titleNeeded = true) {
    fake.setWindows(std::move(windows));
    return chooseWindow(fake.windowList(), pid, titleNeeded);
  }

  static FakeWindow withOwner(OsValue owner) {
    FakeWindow window = windowOf(APP_PID, 800, 600, "Owned");
    window.ownerPid = std::move(owner);
    return window;
  }
  static FakeWindow withAlpha(OsValue alpha, std::string name) {
    FakeWindow window = windowOf(APP_PID, 800, 600, std::move(name));
    window.alpha = std::move(alpha);
    return window;
  }
  static FakeWindow withBounds(OsValue bounds) {
    FakeWindow window = windowOf(APP_PID, 800, 600, "Bounded");
    window.bounds = std::move(bounds);
    return window;
  }

  fake::FakeSystem fake;
};

TEST_F(WindowChoiceTest, FirstVisibleLargeWindowOfTheApplicationIsChosen) {
  FakeWindow ghost = windowOf(APP_PID, 800, 600, "Ghost");
  ghost.alpha = OsValue::ofReal(0.0);
  const WindowChoice choice = choose({windowOf(APP_PID, 40, 600, "Sidebar"),
                                      windowOf(200, 800, 600, "Other"), ghost,
                                      windowOf(APP_PID, 800, 600, "Document")});
  EXPECT_EQ(choice.position, 3u);
  EXPECT_EQ(choice.title, Value("Document"));
}

TEST_F(WindowChoiceTest, NoWindowFromAnEmptyOrUnavailableList) {
  EXPECT_FALSE(choose({}).position);
  fake.setWindowListAvailable(false);
  const WindowChoice choice = choose({windowOf(APP_PID, 800, 600, "Hidden")});
  EXPECT_FALSE(choice.position);
  EXPECT_EQ(choice.title, Value(false));
}

TEST_F(WindowChoiceTest, OwnerThatIsNoIntegerCountsAsProcessZero) {
  EXPECT_FALSE(choose({withOwner(OsValue::absent())}).position);
  EXPECT_EQ(choose({withOwner(OsValue::absent())}, 0).position, 0u);
  EXPECT_FALSE(choose({withOwner(OsValue::ofText("100"))}).position);
  EXPECT_EQ(choose({withOwner(OsValue::ofText("100"))}, 0).position, 0u);
  EXPECT_FALSE(choose({withOwner(OsValue::ofBoolean(true))}, 1).position);
}

TEST_F(WindowChoiceTest, ProcessIdentifierIsComparedSignExtended) {
  EXPECT_EQ(choose({withOwner(OsValue::ofInteger(-5))}, -5).position, 0u);
  EXPECT_FALSE(choose({withOwner(OsValue::ofInteger(4294967291))}, -5).position);
}

TEST_F(WindowChoiceTest, OnlyAnAlphaOfExactlyZeroHidesAWindow) {
  EXPECT_EQ(choose({withAlpha(OsValue::ofReal(0.0), "A"), withAlpha(OsValue::ofReal(0.0), "B"),
                    withAlpha(OsValue::absent(), "C")})
                .title,
            Value("C"));
  EXPECT_EQ(choose({withAlpha(OsValue::ofInteger(0), "A"), withAlpha(OsValue::ofText("0"), "B")})
                .title,
            Value("B"));
  EXPECT_EQ(choose({withAlpha(OsValue::ofReal(1e-12), "Faint")}).title, Value("Faint"));
  EXPECT_EQ(choose({withAlpha(OsValue::ofReal(-1.0), "Odd")}).title, Value("Odd"));
}

TEST_F(WindowChoiceTest, BoundsThatDescribeNoRectangleCountAsZeroSized) {
  const OsValue missingHeight =
      OsValue::ofDictionary({{"X", OsValue::ofReal(0)}, {"Y", OsValue::ofReal(0)},
                             {"Width", OsValue::ofReal(800)}});
  EXPECT_FALSE(choose({withBounds(OsValue::absent())}).position);
  EXPECT_FALSE(choose({withBounds(OsValue::ofText("800x600"))}).position);
  EXPECT_FALSE(choose({withBounds(missingHeight)}).position);
  EXPECT_EQ(choose({withBounds(missingHeight), windowOf(APP_PID, 800, 600, "Next")}).position,
            1u);
}

TEST_F(WindowChoiceTest, BothSidesMustBeAtLeastFiftyPoints) {
  EXPECT_EQ(choose({windowOf(APP_PID, 50, 50, "Square")}).title, Value("Square"));
  EXPECT_FALSE(choose({windowOf(APP_PID, 49.9, 600, "Narrow")}).position);
  EXPECT_FALSE(choose({windowOf(APP_PID, 600, 49.9, "Flat")}).position);
  EXPECT_EQ(choose({withBounds(boundsDictionary(300, 200, 50, 50))}).position, 0u);
}

TEST_F(WindowChoiceTest, TitleIsTheNameWhenItIsTextAndWanted) {
  FakeWindow unnamed = windowOf(APP_PID, 800, 600, "");
  unnamed.name = OsValue::absent();
  FakeWindow numbered = windowOf(APP_PID, 800, 600, "");
  numbered.name = OsValue::ofInteger(7);
  EXPECT_EQ(choose({unnamed}).title, Value(false));
  EXPECT_EQ(choose({numbered}).title, Value(false));
  EXPECT_EQ(choose({windowOf(APP_PID, 800, 600, "")}).title, Value(""));
  const WindowChoice unwanted = choose({windowOf(APP_PID, 800, 600, "Secret")}, APP_PID, false);
  EXPECT_EQ(unwanted.position, 0u);
  EXPECT_EQ(unwanted.title, Value(false));
}

// A window list that records which values of which window were asked for, to check that
// the rule reads only what it needs (some backends fetch each value on demand).
class RecordingWindowList final : public platform::WindowList {
 public:
  struct Window final : platform::WindowDescription {
    explicit Window(FakeWindow windowValues) : values(std::move(windowValues)) {}
    OsValue ownerPid() const override { return read('o', values.ownerPid); }
    OsValue alpha() const override { return read('a', values.alpha); }
    OsValue bounds() const override { return read('b', values.bounds); }
    OsValue name() const override { return read('n', values.name); }
    OsValue read(char letter, const OsValue& value) const {
      reads += letter;
      return value;
    }

    FakeWindow values;
    mutable std::string reads;  // one letter per value read: o, a, b, n
  };

  explicit RecordingWindowList(const std::vector<FakeWindow>& windows) {
    for (const FakeWindow& window : windows) windows_.emplace_back(window);
  }
  bool walkOnScreenWindows(
      const std::function<bool(const platform::WindowDescription&)>& visit) override {
    for (const Window& window : windows_)
      if (visit(window)) break;
    return true;
  }
  std::vector<std::string> reads() const {
    std::vector<std::string> result;
    for (const Window& window : windows_) result.push_back(window.reads);
    return result;
  }

 private:
  std::vector<Window> windows_;
};

TEST(WindowChoiceReadsTest, ValuesAreReadOnlyWhenTheRuleNeedsThem) {
  FakeWindow hidden = windowOf(APP_PID, 800, 600, "Hidden");
  hidden.alpha = OsValue::ofReal(0.0);
  RecordingWindowList list({windowOf(200, 800, 600, "Other"), hidden,
                            windowOf(APP_PID, 10, 10, "Tiny"), windowOf(APP_PID, 800, 600, "Doc"),
                            windowOf(APP_PID, 800, 600, "Behind")});
  EXPECT_EQ(chooseWindow(list, APP_PID, true).title, Value("Doc"));
  EXPECT_EQ(list.reads(), (std::vector<std::string>{"o", "oa", "oab", "oabn", ""}));

  RecordingWindowList untitled({windowOf(APP_PID, 800, 600, "Doc")});
  chooseWindow(untitled, APP_PID, false);
  EXPECT_EQ(untitled.reads(), (std::vector<std::string>{"oab"}));
}

}  // namespace
}  // namespace quen::focus
