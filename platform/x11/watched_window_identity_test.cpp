#include "platform/x11/watched_window_identity.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "platform/x11/active_window_workspace.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_client_test.h"

namespace quen::x11 {
namespace {


class WatchedWindowIdentityTest : public testing::X11ClientTest<true> {
 protected:
  void SetUp() override {
    X11ClientTest::SetUp();
    if (HasFatalFailure()) return;
    // No desktop entries: applications are named by their class.
    char pattern[] = "/tmp/quen-identity-test-XXXXXX";
    dataDirectory_ = ::mkdtemp(pattern);
    ::setenv("XDG_DATA_HOME", dataDirectory_.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", dataDirectory_.c_str(), 1);
    identity_ = std::make_unique<WatchedWindowIdentity>(*connection_, *events_);
  }

  void TearDown() override {
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
    std::filesystem::remove_all(dataDirectory_);
  }

  // Handles every event the server sent this connection before the test client's requests
  // so far were done: the reply to a request sent after them comes after those events.
  void handleEventsSoFar() {
    client_->sync();
    xcb_connection_t* x = connection_->get();
    own(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    events_->pump(false);
  }

  // How many requests this connection sends while `work` runs.
  unsigned requestsDuring(const std::function<void()>& work) {
    xcb_connection_t* x = connection_->get();
    const unsigned before = xcb_get_input_focus(x).sequence;
    xcb_discard_reply(x, before);
    work();
    const unsigned after = xcb_get_input_focus(x).sequence;
    xcb_discard_reply(x, after);
    return after - before - 1;
  }

  void setClass(xcb_window_t window, const char* instanceAndClass, std::uint32_t bytes) {
    client_->setProperty(window, "WM_CLASS", "STRING", 8, instanceAndClass, bytes);
  }

  std::filesystem::path dataDirectory_;
  std::unique_ptr<WatchedWindowIdentity> identity_;
};

TEST_F(WatchedWindowIdentityTest, KeptIdentityIsAnsweredWithoutAskingTheServer) {
  const xcb_window_t window = client_->open({"kept"});
  const auto first = identity_->describe(window);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->processIdentifier, ::getpid());
  EXPECT_EQ(first->localizedName, "QuenTest");
  handleEventsSoFar();
  std::optional<platform::RunningApplication> again;
  EXPECT_EQ(requestsDuring([&] { again = identity_->describe(window); }), 0u);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->processIdentifier, first->processIdentifier);
  EXPECT_EQ(again->localizedName, first->localizedName);
  EXPECT_EQ(again->bundleIdentifier, first->bundleIdentifier);
  EXPECT_EQ(again->bundlePath, first->bundlePath);
  client_->destroy(window);
}

TEST_F(WatchedWindowIdentityTest, ClassChangeIsSeenAtTheNextDescription) {
  const xcb_window_t window = client_->open({"renamed"});
  ASSERT_TRUE(identity_->describe(window));
  const char renamed[] = "renamed-app\0RenamedApp";
  setClass(window, renamed, sizeof renamed);
  handleEventsSoFar();
  const auto after = identity_->describe(window);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->localizedName, "RenamedApp");
  EXPECT_EQ(after->bundleIdentifier, "renamed-app");
  client_->destroy(window);
}

TEST_F(WatchedWindowIdentityTest, UnmappedWindowIsReadAgain) {
  // Override-redirect: mapped at once, with no window manager in between.
  testing::WindowSpec spec("hidden");
  spec.overrideRedirect = true;
  const xcb_window_t window = client_->open(spec);
  ASSERT_TRUE(identity_->describe(window));
  ASSERT_TRUE(identity_->holdsFactsOf(window));
  client_->unmap(window);
  handleEventsSoFar();
  EXPECT_FALSE(identity_->holdsFactsOf(window));
  client_->destroy(window);
}

// A window id is its client's to reuse once the window is destroyed: the new window must
// not inherit the identity kept for the old one.
TEST_F(WatchedWindowIdentityTest, ReusedIdOfADestroyedWindowGetsTheNewWindowsIdentity) {
  const xcb_window_t window = client_->open({"first life"});
  ASSERT_TRUE(identity_->describe(window));
  client_->destroy(window);
  xcb_create_window(client_->connection(), XCB_COPY_FROM_PARENT, window, client_->root(), 0, 0,
                    50, 50, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  const char reborn[] = "reborn\0Reborn";
  setClass(window, reborn, sizeof reborn);
  handleEventsSoFar();
  const auto after = identity_->describe(window);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->localizedName, "Reborn");
  // The new window is watched in turn.
  const char renamed[] = "reborn-renamed\0RebornRenamed";
  setClass(window, renamed, sizeof renamed);
  handleEventsSoFar();
  EXPECT_EQ(identity_->describe(window)->localizedName, "RebornRenamed");
  client_->destroy(window);
}

TEST_F(WatchedWindowIdentityTest, DestroyedWindowIsNotDescribed) {
  const xcb_window_t window = client_->open({"gone"});
  ASSERT_TRUE(identity_->describe(window));
  client_->destroy(window);
  handleEventsSoFar();
  EXPECT_FALSE(identity_->describe(window));
}

// Through the workspace: a steady poll of the frontmost application sends no request, and
// the next active window is described afresh.
TEST_F(WatchedWindowIdentityTest, SteadyFrontmostApplicationAsksNothingUntilTheActiveWindowChanges) {
  ActiveWindowWorkspace workspace(*connection_, *events_);
  const auto frontmostClassBecomes = [&](const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      events_->pump(true);
      const auto front = workspace.frontmostApplication();
      if (front && front->localizedName == name) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  };
  const xcb_window_t first = client_->open({"first"});
  client_->activate(first);
  ASSERT_TRUE(frontmostClassBecomes("QuenTest"));
  EXPECT_EQ(requestsDuring([&] { workspace.frontmostApplication(); }), 0u);

  const xcb_window_t second = client_->open({"second"});
  const char other[] = "other-app\0OtherApp";
  setClass(second, other, sizeof other);
  client_->activate(second);
  EXPECT_TRUE(frontmostClassBecomes("OtherApp"));
  client_->destroy(first);
  client_->destroy(second);
  client_->sync();
}

}  // namespace
}  // namespace quen::x11
