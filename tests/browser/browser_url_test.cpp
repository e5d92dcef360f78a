// FocusTrail reading the active tab's URL from real browsers on a private accessibility
// bus: a session bus of the test's own, accessibility switched on there only, private HOME
// and XDG directories, browsers without network reading local pages. One browser start
// per fixture: the cases of one browser run in order against it.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "tests/e2e/agent_harness.h"
#include "tests/e2e/x_client.h"

namespace quen::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::steady_clock;
constexpr Milliseconds BROWSER_START{40000};
constexpr Milliseconds URL_TIMEOUT{10000};

// Pressing "n" navigates, "p" pushes a new history entry, "c" changes the content.
constexpr const char* PAGE_SCRIPT =
    "<script>onkeydown = e => { if (e.key == 'n') location.href = 'beta.html?navigated';"
    " if (e.key == 'p') history.pushState({}, '', '#pushed');"
    " if (e.key == 'c') document.body.append('changed'); };</script>";

class BrowserSession {
 public:
  explicit BrowserSession(bool accessibilityOn) {
    root_ = fs::temp_directory_path() / ("quen-browser-" + std::to_string(getpid()));
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    for (const char* page : {"alpha", "beta"})
      std::ofstream(root_ / (std::string(page) + ".html"))
          << "<html><head><title>" << page << "</title>" << PAGE_SCRIPT << "</head><body>" << page
          << "</body></html>";
    std::string error;
    x_ = XSession::start(WindowManager::FocusNewWindows, error);
    EXPECT_TRUE(x_) << error;
    environment_ = {{"DISPLAY", x_ ? x_->display() : ""},
                    {"HOME", root_.string()},
                    {"XDG_RUNTIME_DIR", (root_ / "run").string()},
                    {"XDG_CONFIG_HOME", (root_ / "config").string()},
                    {"XDG_DATA_HOME", (root_ / "data").string()},
                    {"XDG_CACHE_HOME", (root_ / "cache").string()}};
    // The session bus: at-spi2-core's bus launcher is started by D-Bus activation.
    const fs::path address = root_ / "bus-address", pid = root_ / "bus-pid";
    EXPECT_EQ(shell("dbus-daemon --session --fork --print-address=1 --print-pid=2 >" +
                    address.string() + " 2>" + pid.string()),
              0);
    std::ifstream(pid) >> busPid_;
    std::ifstream(address) >> *(environment_["DBUS_SESSION_BUS_ADDRESS"] = "");
    if (accessibilityOn) setAccessibility(true);
  }
  ~BrowserSession() {
    browser_.reset();
    if (busPid_ > 0) kill(busPid_, SIGTERM);
    x_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  int shell(const std::string& command) const {
    std::string line;
    for (const auto& [name, value] : environment_) line += name + "='" + *value + "' ";
    return std::system((line + command).c_str());
  }
  void setAccessibility(bool on) {
    EXPECT_EQ(shell(std::string("dbus-send --session --print-reply=literal --dest=org.a11y.Bus "
                                "/org/a11y/bus org.freedesktop.DBus.Properties.Set "
                                "string:org.a11y.Status string:IsEnabled variant:boolean:") +
                    (on ? "true" : "false") + " >/dev/null"),
              0);
  }
  std::string page(const char* name) const { return "file://" + (root_ / name).string(); }
  void startBrowser(const std::string& commandLine) {
    browser_ = ChildProcess::spawn(
        {"/bin/sh", "-c", "exec unshare -n " + commandLine + " >/dev/null 2>&1"}, environment_);
    ASSERT_TRUE(browser_);
  }
  std::unique_ptr<ChildProcess> startAgent() {
    return ChildProcess::spawn({QUEN_FOCUSTRAIL_PATH, "--argTitleNeeded", "true", "--argUrlNeeded",
                                "true", "--argForceReqPerm", "false"},
                               environment_);
  }
  void keys(const std::string& keys) const { shell("xdotool key --delay 50 " + keys); }

  fs::path root_;
  std::unique_ptr<XSession> x_;
  Environment environment_;
  pid_t busPid_ = -1;
  std::unique_ptr<ChildProcess> browser_;
};

// What every browser must do: follow tab switches, navigation and pushState (at once, or
// once the page's content changes); never let a stopped browser delay another
// application's record; survive the browser's death.
void checkUrlFollowsTheBrowser(BrowserSession& session, ChildProcess& agent,
                               bool pushShownAtOnce) {
  // A record of the test's own pages comes with its URL: a line with neither URL nor code,
  // then one with the same title and the page's URL, is a flicker. (The browser's own new-tab
  // page, and its tree at start, may be built later than the agent waits on a loaded machine.)
  int flickers = 0;
  bool urlSeen = false;
  std::set<Json> titlesWithoutUrl;
  const auto untilUrl = [&](const std::function<bool(const Json&)>& wanted) {
    return [&, wanted](const Json& line) {
      if (line["winUrl"] == false && line["error"] == false && urlSeen)
        titlesWithoutUrl.insert(line["winTitle"]);
      else if (line["winUrl"].is_string() && line["winUrl"].get<std::string>().starts_with("file:"))
        flickers += static_cast<int>(titlesWithoutUrl.count(line["winTitle"]));
      urlSeen = urlSeen || line["winUrl"].is_string();
      return wanted(line);
    };
  };
  const std::string alpha = session.page("alpha.html");
  ASSERT_TRUE(agent.waitForRecord(untilUrl(withMember("winUrl", alpha)), BROWSER_START))
      << "first page";
  session.keys("ctrl+t");
  ASSERT_TRUE(agent.waitForRecord(
      untilUrl([&](Json line) { return line["winUrl"].is_string() && line["winUrl"] != alpha; }),
      URL_TIMEOUT))
      << "new tab";
  session.keys("ctrl+Page_Up");
  ASSERT_TRUE(agent.waitForRecord(untilUrl(withMember("winUrl", alpha)), URL_TIMEOUT))
      << "tab switch";
  session.keys("n");
  const std::string beta = session.page("beta.html") + "?navigated";
  ASSERT_TRUE(agent.waitForRecord(untilUrl(withMember("winUrl", beta)), URL_TIMEOUT))
      << "navigation";
  session.keys(pushShownAtOnce ? "p" : "p c");
  ASSERT_TRUE(agent.waitForRecord(untilUrl(withMember("winUrl", beta + "#pushed")), URL_TIMEOUT))
      << "push";
  EXPECT_EQ(flickers, 0) << "records without the URL before the records with it";

  XClient other(session.x_->display());
  const xcb_window_t window = other.open({.title = "Other"});
  kill(session.browser_->pid(), SIGSTOP);
  other.activate(window);
  const auto activated = steady_clock::now();
  ASSERT_TRUE(agent.waitForRecord(withMember("winTitle", "Other"), URL_TIMEOUT));
  // A push that waited on the stopped browser would wait out its 200 ms call timeout; the
  // bound leaves a loaded machine room below that.
  EXPECT_LE(steady_clock::now() - activated, Milliseconds(150)) << "a stopped browser delayed it";
  kill(session.browser_->pid(), SIGCONT);

  kill(session.browser_->pid(), SIGKILL);
  EXPECT_TRUE(session.browser_->waitForExit(URL_TIMEOUT));
  other.setTitle(window, "Still here");
  EXPECT_TRUE(agent.waitForRecord(withMember("winTitle", "Still here"), URL_TIMEOUT))
      << "the agent did not survive the browser's death";
}

// Firefox picks accessibility up at run time: off first (the not-permitted code), then on.
TEST(FirefoxUrlTest, NotPermittedUntilAccessibilityIsOnThenFollowsTheActiveTab) {
  BrowserSession session(/*accessibilityOn=*/false);
  std::ofstream(session.root_ / "user.js")
      << "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
         "user_pref(\"app.update.enabled\", false);\n";
  session.startBrowser("firefox-esr --no-remote --profile " + session.root_.string() + " " +
                       session.page("alpha.html"));
  std::unique_ptr<ChildProcess> agent = session.startAgent();
  ASSERT_TRUE(agent);
  ASSERT_TRUE(agent->waitForRecord(
      [](Json line) {
        return line["appIdentifier"] == "firefox-esr" &&
               line["error"] == Json::array({"E_AE_KNOWN_EVENT_NOT_PERMITTED"});
      },
      BROWSER_START));
  session.setAccessibility(true);
  checkUrlFollowsTheBrowser(session, *agent, /*pushShownAtOnce=*/true);
}

// Chromium exposes its tree only when accessibility was on before it started.
TEST(ChromiumUrlTest, FollowsTheActiveTab) {
  BrowserSession session(/*accessibilityOn=*/true);
  session.startBrowser(
      "chromium --no-sandbox --disable-gpu --no-first-run "
      "--disable-background-networking --disable-component-update "
      "--disable-sync --user-data-dir=" +
      (session.root_ / "chromium").string() + " " + session.page("alpha.html"));
  std::unique_ptr<ChildProcess> agent = session.startAgent();
  ASSERT_TRUE(agent);
  // Chromium refreshes a document's URI only when it next sends the page's root (a title or
  // content change), with no event: a push alone leaves the old URL on the bus.
  checkUrlFollowsTheBrowser(session, *agent, /*pushShownAtOnce=*/false);
}

}  // namespace
}  // namespace quen::testing
