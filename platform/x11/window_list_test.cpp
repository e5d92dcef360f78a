#include "platform/x11/window_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/x11/x11_test_client.h"
#include "tests/support/shared_x_session_test.h"

namespace quen::x11 {
namespace {

using platform::OsValue;
using testing::TestClient;
using testing::WindowSpec;

// One window of the list as the tests read it.
struct Seen {
  xcb_window_t client;
  std::optional<std::int64_t> ownerPid;
  std::string name;
};

class WindowListTest : public quen::testing::SharedXSessionTest<true> {
 protected:
  void SetUp() override {
    SharedXSessionTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    connection_ = Connection::open(display().c_str(), error);
    ASSERT_NE(connection_, nullptr) << error;
    events_ = std::make_unique<EventPump>(*connection_);
    list_ = std::make_unique<ClientWindowList>(*connection_, *events_);
    client_ = std::make_unique<TestClient>(display());
  }

  // The names of this test's windows (those owned by this process), front to back.
  std::vector<std::string> namesOfOwnWindows() {
    std::vector<std::string> names;
    for (const Seen& window : walk())
      if (window.ownerPid == ::getpid()) names.push_back(window.name);
    return names;
  }

  // One walk, after the events that arrived meanwhile were handled (as the loop would).
  std::vector<Seen> walk() {
    events_->pump(true);
    std::vector<Seen> seen;
    const bool listed = list_->walkOnScreenWindows([&seen](const platform::WindowDescription& w) {
      const OsValue pid = w.ownerPid();
      const OsValue name = w.name();
      seen.push_back({0, pid.kind == OsValue::Kind::Integer ? std::optional(pid.integer)
                                                           : std::nullopt,
                      name.kind == OsValue::Kind::Text ? name.text : "(no name)"});
      return false;
    });
    EXPECT_TRUE(listed);
    return seen;
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

  std::unique_ptr<Connection> connection_;
  std::unique_ptr<EventPump> events_;
  std::unique_ptr<ClientWindowList> list_;
  std::unique_ptr<TestClient> client_;
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

TEST_F(WindowListTest, OnlyViewableWindowsAreListed) {
  client_->open({"shown"});
  const xcb_window_t hidden = client_->open({"hidden"});
  ASSERT_TRUE(eventuallyOwnWindowsAre({"hidden", "shown"}));
  client_->unmap(hidden);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"shown"}));
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

TEST_F(WindowListTest, DesktopWindowsAreLeftOut) {
  WindowSpec desktop{"desktop"};
  desktop.desktopType = true;
  client_->open(desktop);
  client_->open({"normal"});
  EXPECT_TRUE(eventuallyOwnWindowsAre({"normal"}));
}

TEST_F(WindowListTest, OverrideRedirectWindowsAreTheirOwnClients) {
  client_->open({"managed"});
  WindowSpec popup{"popup"};
  popup.overrideRedirect = true;
  client_->open(popup);
  EXPECT_TRUE(eventuallyOwnWindowsAre({"popup", "managed"}));
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

TEST_F(WindowListTest, TitleFallsBackToCompoundTextWmName) {
  const xcb_window_t window = client_->open({"placeholder"});
  const std::string broken = "bad \xFF";
  const std::string compound = "caf\xE9 \x1B%G\xE2\x82\xAC\x1B%@";
  client_->setProperty(window, "_NET_WM_NAME", "UTF8_STRING", 8, broken.data(),
                       static_cast<std::uint32_t>(broken.size()));
  client_->setProperty(window, "WM_NAME", "COMPOUND_TEXT", 8, compound.data(),
                       static_cast<std::uint32_t>(compound.size()));
  client_->sync();
  EXPECT_TRUE(eventuallyOwnWindowsAre({"caf\xC3\xA9 \xE2\x82\xAC"}));
}

TEST_F(WindowListTest, OwnerPidComesFromXResWithoutNetWmPid) {
  client_->open({"no published pid"});
  EXPECT_TRUE(eventuallyOwnWindowsAre({"no published pid"})) << "owner pid is this process";
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

TEST_F(WindowListTest, ManyWindowsComingAndGoingNeverBreakTheWalk) {
  std::vector<xcb_window_t> windows;
  for (int round = 0; round < 30; ++round) {
    windows.push_back(client_->open({"w" + std::to_string(round)}));
    if (round % 3 == 0) {
      client_->destroy(windows.front());
      windows.erase(windows.begin());
    }
    walk();
  }
  EXPECT_TRUE(connection_->alive());
  std::vector<std::string> expected;
  for (int round = 29; expected.size() < windows.size(); --round)
    expected.push_back("w" + std::to_string(round));
  EXPECT_TRUE(eventuallyOwnWindowsAre(expected));
}

}  // namespace
}  // namespace quen::x11
