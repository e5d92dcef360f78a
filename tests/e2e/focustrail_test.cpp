// FocusTrail against a real X server and window manager: which application and window it
// reports, when it writes a line, and how it reads window titles as X clients write them.
// The rules themselves (window choice, fallbacks, change test, title decoding) are unit
// tables; these cases catch what only the X11 backend can get wrong.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/agent_harness.h"
#include "tests/e2e/x_client.h"

namespace quen::testing {
namespace {

// The windows' application, as the agent must name it: this test program.
const std::string EXECUTABLE = std::filesystem::canonical("/proc/self/exe").string();

auto withTitle(const Json& title) { return withMember("winTitle", title); }

class FocusTrailTest : public AgentTest {
 protected:
  void SetUp() override { startSession(WindowManager::FocusOnRequest); }
};

TEST_F(FocusTrailTest, ActivationAndRetitlingWriteTheApplicationAndNoWindowWritesNothing) {
  std::ofstream(applicationsDirectory() / "org.example.Alpha.desktop")
      << "[Desktop Entry]\nType=Application\nName=Alpha\nName[de]=Alpha \u00FCber\n"
         "Exec=alpha\nStartupWMClass=Alpha\n";
  XClient client(display());
  const auto alpha =
      client.open({.title = "Alpha window", .instance = "alpha", .className = "Alpha"});
  // No _NET_WM_PID: the X-Resource extension names the process of a local client.
  const auto beta = client.open(
      {.title = "Beta window", .instance = "beta", .className = "Beta", .publishPid = false});
  // A WAYLAND_DISPLAY left over in this plain X11 session, which no compositor serves.
  auto agent = startAgent(Agent::FocusTrail, true,
                          {{"LANG", "de_DE.UTF-8"},
                           {"WAYLAND_DISPLAY", "wayland-nobody"},
                           {"XDG_RUNTIME_DIR", applicationsDirectory().string()},
                           {"XDG_SESSION_TYPE", std::nullopt}});
  ASSERT_TRUE(agent);
  // No window is active yet (_NET_ACTIVE_WINDOW is None): two polls' time without a line,
  // no E_WINDOW_NOT_VISIBLE either.
  EXPECT_FALSE(agent->readLine(Milliseconds(2500)));
  const auto recordOf = [](const char* name, const char* identifier, const char* title) {
    return Json{{"appName", name}, {"appIdentifier", identifier}, {"appPath", EXECUTABLE},
                {"winTitle", title}, {"winUrl", false}, {"error", false}};
  };
  client.activate(beta);
  // No desktop entry names it: WM_CLASS's class and instance stand in.
  EXPECT_EQ(agent->nextRecord(), recordOf("Beta", "beta", "Beta window"));
  client.activate(alpha);
  EXPECT_EQ(agent->nextRecord(), recordOf("Alpha \u00FCber", "org.example.Alpha", "Alpha window"));
  client.setTitle(alpha, "Alpha, retitled");
  EXPECT_EQ(agent->nextRecord(),
            recordOf("Alpha \u00FCber", "org.example.Alpha", "Alpha, retitled"));
}

// The title comes from the front window that is on screen, opaque, not the desktop and
// large enough, as the server stacks, maps and describes the windows now.
TEST_F(FocusTrailTest, TitleFollowsWhichWindowsAreOnScreenOpaqueAndLargeEnough) {
  XClient client(display());
  client.open({.title = "Desktop", .width = 1280, .height = 800, .desktop = true});
  const auto document = client.open({.title = "Document", .width = 600, .height = 400});
  const auto ghost = client.open({.title = "Ghost", .width = 600, .height = 400, .opacity = 0.0});
  client.activate(client.open({.title = "Sidebar", .width = 40, .height = 600}));
  auto agent = startAgent(Agent::FocusTrail);
  ASSERT_TRUE(agent);
  EXPECT_EQ(agent->nextRecord().value_or(Json::object())["winTitle"], "Document")
      << "neither the narrow nor the transparent one";
  client.setOpacity(ghost, 1.0);
  EXPECT_TRUE(agent->waitForRecord(withTitle("Ghost"))) << "opacity is read at each poll";
  client.unmap(ghost);
  EXPECT_TRUE(agent->waitForRecord(withTitle("Document"))) << "an unmapped window is not shown";
  client.unmap(document);
  EXPECT_TRUE(agent->waitForRecord(withTitle(false))) << "the desktop is no window of it";
}

// Titles as X clients write them reach the stream as valid UTF-8, whole; one row after the
// other on the same window.
TEST_F(FocusTrailTest, TitlesReachTheStreamAsValidUtf8Whole) {
  const std::string replacement = "\xEF\xBF\xBD";  // U+FFFD
  std::string longTitle;
  while (longTitle.size() < 60000) longTitle += "Kapitel \xC3\xBC\xE2\x82\xAC/";
  struct Row {
    TitleProperty property;
    std::string bytes;
    std::string expected;
  };
  const Row rows[] = {
      {TitleProperty::NetWmName, "bad\xFF-byte \xE2\x82",
       "bad" + replacement + "-byte " + replacement},
      // A valid WM_NAME is the better title when _NET_WM_NAME is broken.
      {TitleProperty::WmName, "Fallback", "Fallback"},
      {TitleProperty::NetWmName, longTitle, longTitle},
  };
  XClient client(display());
  const auto window = client.open({.title = "Start"});
  client.activate(window);
  auto agent = startAgent(Agent::FocusTrail);
  ASSERT_TRUE(agent);
  ASSERT_TRUE(agent->waitForRecord(withTitle("Start")));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected.substr(0, 20));
    client.setTitle(window, row.bytes, row.property);
    EXPECT_TRUE(agent->waitForRecord(withTitle(row.expected)));
  }
}

// Without the X-Resource extension, a client that publishes no _NET_WM_PID has no known pid.
class FocusTrailWithoutClientPidsTest : public AgentTest {
 protected:
  void SetUp() override {
    startSession(WindowManager::FocusOnRequest, {"-extension", "X-Resource"});
  }
};

TEST_F(FocusTrailWithoutClientPidsTest, WindowWithoutPidBelongsOnlyToItsOwnClient) {
  XClient first(display()), second(display());
  const auto large = first.open(
      {.title = "First", .instance = "first", .className = "First", .publishPid = false});
  second.activate(second.open({.title = "Second",
                               .instance = "second",
                               .className = "Second",
                               .width = 40,
                               .height = 40,
                               .publishPid = false}));
  auto agent = startAgent(Agent::FocusTrail);
  ASSERT_TRUE(agent);
  // The second client's only window is too small; the first client's is not the second's.
  EXPECT_EQ(agent->waitForRecord(withMember("appIdentifier", "second"))
                .value_or(Json::object())["winTitle"],
            false);
  first.activate(large);
  EXPECT_EQ(agent->waitForRecord(withMember("appIdentifier", "first"))
                .value_or(Json::object())["winTitle"],
            "First");
}

}  // namespace
}  // namespace quen::testing
