#include "tests/support/x_session.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace quen::testing {
namespace {

class XSessionTest : public ::testing::Test {
 protected:
  static std::string socketOf(const XSession& session) {
    return "/tmp/.X11-unix/X" + session.display().substr(1);
  }
  static bool exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
  }
  // Whether the root window of `display` carries `property`.
  static bool rootHas(const std::string& display, const char* property) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    auto* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(property)), property),
        nullptr);
    bool has = false;
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
      auto* reply = xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_ANY, 0, 1),
          nullptr);
      has = reply != nullptr && reply->type != XCB_ATOM_NONE;
      std::free(reply);
    }
    std::free(atom);
    xcb_disconnect(connection);
    return has;
  }
};

TEST_F(XSessionTest, WindowManagerIsReadyWhenStartReturns) {
  std::string error;
  auto session = XSession::start(true, error);
  ASSERT_NE(session, nullptr) << error;
  EXPECT_TRUE(rootHas(session->display(), "_NET_SUPPORTING_WM_CHECK"));
}

TEST_F(XSessionTest, TwoSessionsGetTheirOwnDisplays) {
  std::string error;
  auto first = XSession::start(false, error);
  auto second = XSession::start(false, error);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr) << error;
  EXPECT_NE(first->display(), second->display());
  EXPECT_FALSE(rootHas(first->display(), "_NET_SUPPORTING_WM_CHECK")) << "no window manager";
}

TEST_F(XSessionTest, KilledServerLeavesNoSocketBehind) {
  std::string error;
  auto session = XSession::start(false, error);
  ASSERT_NE(session, nullptr) << error;
  const std::string socket = socketOf(*session);
  ASSERT_TRUE(exists(socket));
  ::kill(session->serverPid(), SIGKILL);
  session.reset();
  EXPECT_FALSE(exists(socket));
}

}  // namespace
}  // namespace quen::testing
