#include "platform/x11/window_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/x11/x11_client_test.h"

namespace quen::x11 {
namespace {

using platform::OsValue;
using testing::WindowSpec;

class WindowListTest : public testing::X11ClientTest<true> {
 protected:
  void SetUp() override {
    X11ClientTest::SetUp();
    if (HasFatalFailure()) return;
    list_ = std::make_unique<ClientWindowList>(*connection_, *events_);
  }

  // One walk, after the events that arrived meanwhile were handled (as the loop would): the
  // names of this test's windows (those owned by this process), front to back. The test
  // client sets no _NET_WM_PID: the owner pid comes from XRes.
  std::vector<std::string> namesOfOwnWindows() {
    events_->pump(true);
    std::vector<std::string> names;
    EXPECT_TRUE(list_->walkOnScreenWindows([&names](const platform::WindowDescription& w) {
      if (w.ownerPid().integer != ::getpid()) return false;
      const OsValue name = w.name();
      names.push_back(name.kind == OsValue::Kind::Text ? name.text : "(no name)");
      return false;
    }));
    return names;
  }

  // Reads the list until `expected` names this process's windows, front to back.
  ::testing::AssertionResult eventuallyOwnWindowsAre(const std::vector<std::string>& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::string> names;
    while (std::chrono::steady_clock::now() < deadline) {
      names = namesOfOwnWindows();
      if (names == expected) return ::testing::AssertionSuccess();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string listed;
    for (const auto& name : names) listed += "[" + name + "]";
    return ::testing::AssertionFailure() << "own windows front to back: " << listed;
  }

  // The values of the first own window named `title`.
  template <typename Read>
  OsValue valueOf(const std::string& title, Read read) {
    events_->pump(true);
    OsValue value = OsValue::other();
    list_->walkOnScreenWindows([&](const platform::WindowDescription& window) {
      const OsValue name = window.name();
      if (window.ownerPid().integer != ::getpid() || name.text != title) return false;
      value = read(window);
      return true;
    });
    return value;
  }

  std::unique_ptr<ClientWindowList> list_;
};


TEST_F(WindowListTest, OrderIsTheServersStackingFrontToBack) {
  const xcb_window_t a = client_->open({"A"});
  client_->open({"B"});
  const xcb_window_t c = client_->open({"C"});
  ASSERT_TRUE(eventuallyOwnWindowsAre({"C", "B", "A"}));
  client_->activate(a);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"A", "C", "B"}));
  client_->activate(c);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"C", "A", "B"}));
}

TEST_F(WindowListTest, ViewableWindowsAreListedDesktopWindowsLeftOut) {
  client_->open({"shown"});
  WindowSpec desktop{"desktop"}, popup{"popup"};
  desktop.desktopType = true;
  popup.overrideRedirect = true;  // its own client, with no frame
  client_->open(desktop);
  const xcb_window_t hidden = client_->open({"hidden"});
  client_->open(popup);
  ASSERT_TRUE(eventuallyOwnWindowsAre({"popup", "hidden", "shown"}));
  client_->unmap(hidden);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"popup", "shown"}));
}

TEST_F(WindowListTest, IconifiedWindowLeavesTheListAndComesBackWhenRestored) {
  client_->open({"stays"});
  const xcb_window_t window = client_->open({"iconified"});
  ASSERT_TRUE(eventuallyOwnWindowsAre({"iconified", "stays"}));
  client_->iconify(window);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"stays"}));
  client_->activate(window);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"iconified", "stays"}));
}

TEST_F(WindowListTest, OpacityIsAFractionAndAbsentWhenUnset) {
  WindowSpec clear{"clear"}, half{"half"}, opaque{"opaque"};
  clear.opacity = 0;
  half.opacity = 0x80000000u;
  opaque.opacity = 0xFFFFFFFFu;
  for (const WindowSpec& spec : {clear, half, opaque, WindowSpec{"unset"}}) client_->open(spec);
  ASSERT_TRUE(eventuallyOwnWindowsAre({"unset", "opaque", "half", "clear"}));
  const auto alpha = [](const platform::WindowDescription& window) { return window.alpha(); };
  EXPECT_EQ(valueOf("clear", alpha).kind, OsValue::Kind::Real);
  EXPECT_EQ(valueOf("clear", alpha).real, 0.0);
  EXPECT_NEAR(valueOf("half", alpha).real, 0.5, 1e-6);
  EXPECT_EQ(valueOf("opaque", alpha).real, 1.0);
  EXPECT_TRUE(valueOf("unset", alpha).isAbsent());
}

TEST_F(WindowListTest, BoundsAreTheClientAreaInRootCoordinates) {
  WindowSpec spec{"sized"};
  spec.width = 320;
  spec.height = 210;
  const xcb_window_t window = client_->open(spec);
  ASSERT_TRUE(eventuallyOwnWindowsAre({"sized"}));
  ASSERT_NE(client_->parentOf(window), client_->root()) << "the manager framed the window";
  const OsValue bounds =
      valueOf("sized", [](const platform::WindowDescription& w) { return w.bounds(); });
  const auto [x, y] = client_->originThroughFrame(window);
  ASSERT_EQ(bounds.kind, OsValue::Kind::Dictionary);
  EXPECT_EQ(bounds.entry("X")->real, x);
  EXPECT_EQ(bounds.entry("Y")->real, y);
  EXPECT_EQ(bounds.entry("Width")->real, 320);
  EXPECT_EQ(bounds.entry("Height")->real, 210);
}

TEST_F(WindowListTest, WindowDestroyedMidWalkHasNoValues) {
  client_->open({"survivor"});
  const xcb_window_t doomed = client_->open({"doomed"});
  ASSERT_TRUE(eventuallyOwnWindowsAre({"doomed", "survivor"}));
  std::vector<OsValue> boundsSeen;
  std::size_t visited = 0;
  list_->walkOnScreenWindows([&](const platform::WindowDescription& window) {
    if (window.ownerPid().integer != ::getpid()) return false;
    // The front window is the doomed one: it goes away after the list was read and before
    // any of its values were asked for.
    if (visited++ == 0) client_->destroy(doomed);
    boundsSeen.push_back(window.bounds());
    return false;
  });
  ASSERT_EQ(boundsSeen.size(), 2u);
  EXPECT_TRUE(boundsSeen[0].isAbsent());
  EXPECT_EQ(boundsSeen[1].kind, OsValue::Kind::Dictionary);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"survivor"}));
}

}  // namespace
}  // namespace quen::x11
