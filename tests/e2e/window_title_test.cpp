// Window titles as X clients really write them (EWMH _NET_WM_NAME in UTF-8, valid or not,
// and ICCCM WM_NAME) reach FocusTrail's stream as valid UTF-8, whole. The decoding of each
// encoding is the unit table in platform/x11/title_decoding_test.cpp.

#include <gtest/gtest.h>

#include "tests/e2e/agent_session.h"

namespace quen::testing {
namespace {

constexpr const char* REPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD

class WindowTitleTest : public AgentSessionTest {
 protected:
  void SetUp() override {
    startSession(WindowManager::FocusOnRequest);
    client_ = startWindowClient();
    ASSERT_TRUE(client_);
    window_ = client_->open("", "Start");
    client_->activate(window_);
    agent_ = startFocusTrail(focusArguments(/*titleNeeded=*/true));
    ASSERT_TRUE(agent_);
    expectTitle("Start");
  }

  // Waits for the line that carries `title`, over lines of the intermediate states.
  std::optional<Json> expectTitle(const Json& title) {
    auto record = agent_->waitForRecord(
        [&](const Json& candidate) { return candidate.value("winTitle", Json()) == title; },
        LINE_TIMEOUT);
    EXPECT_TRUE(record) << "no line with the title " << title.dump();
    return record;
  }
  void setTitle(const std::string& title, const std::string& as) {
    client_->setTitle(window_, title, as);
  }

  std::unique_ptr<TestWindowProcess> client_;
  xcb_window_t window_ = 0;
  std::unique_ptr<AgentRun> agent_;
};

TEST_F(WindowTitleTest, InvalidUtf8IsReplacedUnlessWmNameHasTheTitle) {
  setTitle("bad\xFF" "byte \xE2\x82", "net");
  expectTitle(std::string("bad") + REPLACEMENT + "byte " + REPLACEMENT);
  // A valid WM_NAME is the better title when _NET_WM_NAME is broken.
  setTitle("Fallback", "string");
  expectTitle("Fallback");
}

TEST_F(WindowTitleTest, VeryLongTitlePassesWhole) {
  std::string title;
  while (title.size() < 60000) title += "Kapitel \xC3\xBC\xE2\x82\xAC/";
  setTitle(title, "net");
  expectTitle(title);
}

}  // namespace
}  // namespace quen::testing
