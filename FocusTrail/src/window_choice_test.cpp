#include "FocusTrail/src/window_choice.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fake/fake_system.h"

namespace quen::focus {
namespace {

using fake::FakeWindow;
using fake::windowOf;
using platform::OsValue;

constexpr std::int32_t APP_PID = 100;

// A large, opaque window of the application, with one of its values replaced.
FakeWindow appWindowWith(OsValue FakeWindow::*field, OsValue value, std::string name = "Doc") {
  FakeWindow window = windowOf(APP_PID, 800, 600, std::move(name));
  window.*field = std::move(value);
  return window;
}

class WindowChoiceTest : public ::testing::Test {
 protected:
  WindowChoice choose(std::vector<FakeWindow> windows, std::int32_t pid = APP_PID,
                      bool titleNeeded = true) {
    fake.windows = std::move(windows);
    return chooseWindow(fake.windowList(), pid, titleNeeded);
  }

  fake::FakeSystem fake;
};

TEST_F(WindowChoiceTest, NoTitleUnlessItIsNeeded) {
  const WindowChoice untitled = choose({windowOf(APP_PID, 800, 600, "Secret")}, APP_PID, false);
  EXPECT_EQ(untitled.position, 0u);
  EXPECT_EQ(untitled.title, Value(false));
}

TEST_F(WindowChoiceTest, DynamicValues) {
  const auto owner = [](OsValue pid) { return appWindowWith(&FakeWindow::ownerPid, pid); };
  const auto alpha = [](OsValue value, const char* name) {
    return appWindowWith(&FakeWindow::alpha, value, name);
  };
  const auto bounds = [](OsValue value) { return appWindowWith(&FakeWindow::bounds, value); };
  const auto name = [](OsValue value) { return appWindowWith(&FakeWindow::name, value); };
  const OsValue noHeight = OsValue::ofDictionary(
      {{"X", OsValue::ofReal(0)}, {"Y", OsValue::ofReal(0)}, {"Width", OsValue::ofReal(800)}});
  const struct {
    const char* what;
    std::vector<FakeWindow> windows;
    std::int32_t pid;
    std::optional<std::size_t> position;
    Value title;
  } rows[] = {
      {"owner missing is pid 0", {owner(OsValue::absent())}, APP_PID, {}, false},
      {"owner missing is pid 0", {owner(OsValue::absent())}, 0, 0, "Doc"},
      {"owner text is pid 0", {owner(OsValue::ofText("100"))}, APP_PID, {}, false},
      {"owner text is pid 0", {owner(OsValue::ofText("100"))}, 0, 0, "Doc"},
      {"owner boolean is pid 0", {owner(OsValue::ofBoolean(true))}, 1, {}, false},
      {"owner sign-extended", {owner(OsValue::ofInteger(-5))}, -5, 0, "Doc"},
      {"owner sign-extended", {owner(OsValue::ofInteger(4294967291))}, -5, {}, false},
      {"alpha 0.0 hides, absent passes",
       {alpha(OsValue::ofReal(0.0), "A"), alpha(OsValue::ofReal(0.0), "B"),
        alpha(OsValue::absent(), "C")},
       APP_PID, 2, "C"},
      {"alpha integer 0 hides, text passes",
       {alpha(OsValue::ofInteger(0), "A"), alpha(OsValue::ofText("0"), "B")}, APP_PID, 1, "B"},
      {"alpha near 0 passes", {alpha(OsValue::ofReal(1e-12), "Faint")}, APP_PID, 0, "Faint"},
      {"alpha negative passes", {alpha(OsValue::ofReal(-1.0), "Odd")}, APP_PID, 0, "Odd"},
      {"bounds missing", {bounds(OsValue::absent())}, APP_PID, {}, false},
      {"bounds text", {bounds(OsValue::ofText("800x600"))}, APP_PID, {}, false},
      {"bounds without height", {bounds(noHeight), windowOf(APP_PID, 800, 600, "Next")}, APP_PID,
       1, "Next"},
      {"50 x 50 passes", {windowOf(APP_PID, 50, 50, "Square")}, APP_PID, 0, "Square"},
      {"50 x 50 off the origin", {bounds(fake::boundsDictionary(300, 200, 50, 50))}, APP_PID, 0,
       "Doc"},
      {"49.9 wide", {windowOf(APP_PID, 49.9, 600, "Narrow")}, APP_PID, {}, false},
      {"49.9 high", {windowOf(APP_PID, 600, 49.9, "Flat")}, APP_PID, {}, false},
      {"name missing", {name(OsValue::absent())}, APP_PID, 0, false},
      {"name not text", {name(OsValue::ofInteger(7))}, APP_PID, 0, false},
      {"name empty", {name(OsValue::ofText(""))}, APP_PID, 0, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const WindowChoice choice = choose(row.windows, row.pid);
    EXPECT_EQ(choice.position, row.position);
    EXPECT_EQ(choice.title, row.title);
  }
}

}  // namespace
}  // namespace quen::focus
