// Window titles as X clients really write them (ICCCM WM_NAME as STRING or COMPOUND_TEXT,
// EWMH _NET_WM_NAME in UTF-8, valid or not) reach FocusTrail's stream as valid UTF-8 with
// the text the client meant.

#include <gtest/gtest.h>

#include "tests/e2e/agent_session.h"

namespace quen::testing {
namespace {

constexpr const char* REPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD

class WindowTitleTest : public AgentSessionTest {
 protected:
  void SetUp() override {
    startSession(/*withWindowManager=*/true);
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
  void removeTitle(const std::string& as) {
    client_->command("untitle " + std::to_string(window_) + " as=" + as);
  }

  std::unique_ptr<TestWindowProcess> client_;
  xcb_window_t window_ = 0;
  std::unique_ptr<AgentRun> agent_;
};

TEST_F(WindowTitleTest, Latin1StringTitleIsDecoded) {
  removeTitle("net");
  setTitle("Caf\xC3\xA9 cr\xC3\xA8me \xC2\xBD", "string");
  expectTitle("Caf\xC3\xA9 cr\xC3\xA8me \xC2\xBD");
}

TEST_F(WindowTitleTest, CompoundTextTitleIsDecoded) {
  removeTitle("net");
  const std::string greekAndLatin1 = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC caf\xC3\xA9 \xE2\x82\xAC";
  setTitle(greekAndLatin1, "compound");
  expectTitle(greekAndLatin1);
}

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

TEST_F(WindowTitleTest, JsonSpecialCharactersAreEscapedAndSolidusIsBare) {
  const std::string title = "a/b \"quoted\" back\\slash\ttab \x01 end";
  setTitle(title, "net");
  ASSERT_TRUE(expectTitle(title));
  EXPECT_NE(agent_->lines().back().find("a/b"), std::string::npos) << agent_->lines().back();
}

}  // namespace
}  // namespace quen::testing
