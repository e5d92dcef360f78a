#include "FocusTrail/src/accessible_url_route.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>

#include "FocusTrail/src/accessible_url_source.h"

namespace quen::focus {
namespace {

using platform::AccessibleObject;
using platform::BusCall;

// A small accessibility tree: applications with frames, each frame embedding a document.
// A call on an object listed in `failing` ends as given there, and every call is counted.
class FakeAccessibilityBus final : public platform::AccessibilityBus {
 public:
  struct Node {
    std::vector<AccessibleObject> children;
    bool active = false;
    std::string name;
    std::optional<AccessibleObject> embeds;
    std::vector<std::pair<std::string, std::string>> attributes;
  };
  bool enabled = true;
  std::vector<AccessibleObject> roots;
  std::map<std::string, std::int32_t> pids;
  std::map<std::string, Node> nodes;  // by path
  std::map<std::string, BusCall> failing;
  std::string stopAt;  // a call on this object asks the query to stop
  std::atomic<bool> stopped{false};
  int calls = 0;

  BusCall connect() override { return enabled ? BusCall::Done : BusCall::Unreachable; }
  BusCall applications(std::vector<AccessibleObject>& found) override {
    return answer("registry", [&] { found = roots; });
  }
  BusCall processId(const std::string& bus, std::int32_t& pid) override {
    return answer(bus, [&] { pid = pids[bus]; });
  }
  BusCall children(const AccessibleObject& at, std::vector<AccessibleObject>& found) override {
    return answer(at.path, [&] { found = nodes[at.path].children; });
  }
  BusCall isActive(const AccessibleObject& at, bool& active) override {
    return answer(at.path, [&] { active = nodes[at.path].active; });
  }
  BusCall name(const AccessibleObject& at, std::string& text) override {
    return answer(at.path, [&] { text = nodes[at.path].name; });
  }
  BusCall embeds(const AccessibleObject& at, std::optional<AccessibleObject>& target) override {
    return answer(at.path, [&] { target = nodes[at.path].embeds; });
  }
  BusCall documentAttributes(const AccessibleObject& at,
                             std::vector<std::pair<std::string, std::string>>& found) override {
    return answer(at.path, [&] { found = nodes[at.path].attributes; });
  }

 private:
  template <typename Fill>
  BusCall answer(const std::string& key, Fill fill) {
    ++calls;
    if (key == stopAt) stopped = true;
    if (const auto failure = failing.find(key); failure != failing.end()) return failure->second;
    fill();
    return BusCall::Done;
  }
};

const UrlAnswer UNKNOWN{false, false};
const UrlAnswer NOT_PERMITTED{false, Value("E_AE_KNOWN_EVENT_NOT_PERMITTED")};
const UrlAnswer TIMED_OUT{false, Value("E_AE_KNOWN_OTHER-1712")};
const UrlAnswer CONNECTION_INVALID{false, Value("E_AE_KNOWN_OTHER-609")};
UrlAnswer url(const char* text) { return {Value(text), false}; }

// A browser with pid 40 and two windows: "one" (active, showing a.html) and "two".
class AccessibleUrlRouteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus.roots = {{":1.5", "/editor"}, {":1.9", "/browser"}};
    bus.pids = {{":1.5", 7}, {":1.9", 40}};
    bus.nodes["/browser"].children = {{":1.9", "/frame/one"}, {":1.9", "/frame/two"}};
    bus.nodes["/frame/one"] = {{}, true, "One", AccessibleObject{":1.9", "/doc/one"}, {}};
    bus.nodes["/frame/two"] = {{}, false, "Two", AccessibleObject{":1.9", "/doc/two"}, {}};
    bus.nodes["/doc/one"].attributes = {{"DocType", "html"}, {"DocURL", "file:///a.html"}};
    bus.nodes["/doc/two"].attributes = {{"URI", "https://b.example/?q=1#x"}};
  }
  UrlAnswer ask(const std::string& title = "One", std::uint64_t window = 0, std::int32_t pid = 40) {
    return route->query(UrlRequest{"Chromium", pid, window, title}, StopToken(&bus.stopped));
  }
  // A route that has found nothing yet, as at the agent's start.
  void restart() { route.emplace(bus, [this] { return now; }); }

  FakeAccessibilityBus bus;
  double now = 100;
  std::optional<AccessibleUrlRoute> route{std::in_place, bus, [this] { return now; }};
};

TEST_F(AccessibleUrlRouteTest, ActiveFrameFirstThenTheFrameNamedLikeTheTitle) {
  EXPECT_EQ(ask(), url("file:///a.html"));
  bus.nodes["/frame/one"].active = false;
  EXPECT_EQ(ask("Two"), url("https://b.example/?q=1#x"));
  EXPECT_EQ(ask("Three"), UNKNOWN) << "no active frame and none named like the title";
  EXPECT_EQ(ask(""), UNKNOWN);
}

TEST_F(AccessibleUrlRouteTest, SteadyPollIsTwoCallsAndFollowsTheEmbeddedDocument) {
  ASSERT_EQ(ask(), url("file:///a.html"));
  bus.calls = 0;
  // A tab switch changes what the frame embeds; the cached frame sees it on the next poll.
  bus.nodes["/frame/one"].embeds = AccessibleObject{":1.9", "/doc/two"};
  EXPECT_EQ(ask(), url("https://b.example/?q=1#x"));
  EXPECT_EQ(bus.calls, 2);
}

TEST_F(AccessibleUrlRouteTest, GivesTheDocumentsUrlOrNothingKnown) {
  const AccessibleObject document{":1.9", "/doc/one"};
  const struct {
    std::optional<AccessibleObject> embeds;
    std::vector<std::pair<std::string, std::string>> attributes;
    UrlAnswer expected;
  } rows[] = {
      {std::nullopt, {}, UNKNOWN},  // no document yet
      {document, {{"DocType", "html"}}, UNKNOWN},
      {document, {{"URI", ""}}, UNKNOWN},
      {document, {{"URI", "chrome-error://chromewebdata/"}}, UNKNOWN},
      {document, {{"URI", "chrome://new-tab-page/"}}, url("chrome://new-tab-page/")},
      {document, {{"DocURL", "about:newtab"}}, url("about:newtab")}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.attributes));
    restart();
    bus.nodes["/frame/one"].embeds = row.embeds;
    bus.nodes["/doc/one"].attributes = row.attributes;
    EXPECT_EQ(ask(), row.expected);
  }
}

TEST_F(AccessibleUrlRouteTest, AccessibilityOffOrBrowserNotOnTheBusIsNotPermitted) {
  bus.enabled = false;
  EXPECT_EQ(ask(), NOT_PERMITTED);
  bus.enabled = true;
  EXPECT_EQ(ask(), NOT_PERMITTED) << "no new attempt to reach the bus within 5 s";
  now += RECONNECT_INTERVAL_SECONDS;
  EXPECT_EQ(ask(), url("file:///a.html"));
  EXPECT_EQ(ask("One", 0, 41), NOT_PERMITTED) << "no application with that pid";
}

// Two windows of one browser under one title: each is asked by its own identity.
TEST_F(AccessibleUrlRouteTest, EachWindowHasItsOwnFrameWhateverItsTitle) {
  EXPECT_EQ(ask("New Tab", 1), url("file:///a.html"));
  bus.nodes["/frame/one"].active = false;
  bus.nodes["/frame/two"].active = true;
  EXPECT_EQ(ask("New Tab", 2), url("https://b.example/?q=1#x"));
}

TEST_F(AccessibleUrlRouteTest, AnUnknownProcessGetsNothingAndNoCall) {
  for (const std::int32_t pid : {0, -3}) EXPECT_EQ(ask("One", 0, pid), UNKNOWN);
  EXPECT_EQ(bus.calls, 0);
}

// Another application that cannot say its pid is passed over, not charged to the browser.
TEST_F(AccessibleUrlRouteTest, AnotherApplicationsFailureIsPassedOver) {
  for (const BusCall failure : {BusCall::Failed, BusCall::TimedOut}) {
    bus.failing[":1.5"] = failure;
    EXPECT_EQ(ask(), url("file:///a.html"));
    EXPECT_EQ(ask("One", 0, 7), NOT_PERMITTED) << "asked again, since it was never answered";
  }
}

TEST_F(AccessibleUrlRouteTest, AStopMakesNoFurtherCall) {
  bus.stopAt = "/browser";
  EXPECT_EQ(ask(), UNKNOWN);
  EXPECT_EQ(bus.calls, 4) << "the listing, two pids and the frames, then nothing";
}

// A failure at any step is one failed query; the next query finds everything afresh.
TEST_F(AccessibleUrlRouteTest, OneFailedQueryThenRecovery) {
  const struct {
    const char* failingKey;
    BusCall failure;
    UrlAnswer expected;
  } rows[] = {{"registry", BusCall::Failed, CONNECTION_INVALID},
              {"registry", BusCall::TimedOut, TIMED_OUT},
              {"/browser", BusCall::Unreachable, NOT_PERMITTED},
              {"/frame/one", BusCall::Failed, CONNECTION_INVALID},
              {"/doc/one", BusCall::TimedOut, TIMED_OUT}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.failingKey);
    restart();
    bus.failing = {{row.failingKey, row.failure}};
    EXPECT_EQ(ask(), row.expected);
    bus.failing.clear();
    now += RECONNECT_INTERVAL_SECONDS;
    EXPECT_EQ(ask(), url("file:///a.html"));
  }
}

TEST(AccessibleBrowserTest, MatchesByNameOrDesktopEntryId) {
  struct Case {
    Value name;
    std::optional<std::string> identifier;
    bool expected;
  };
  const Case cases[] = {
      {Value("Chromium"), std::nullopt, true},
      {Value("Firefox"), std::nullopt, true},
      {Value("Navigateur Web Chromium"), "chromium", true},
      {Value("Firefox ESR"), "firefox-esr", true},
      {Value("Firefox"), "org.mozilla.firefox", true},
      {Value("Google Chrome"), "Google-chrome", true},
      {Value("Vivaldi"), "com.vivaldi.Vivaldi", true},
      {Value("Files"), "org.gnome.Nautilus", false},
      {Value("chromium"), std::nullopt, false},
      {Value(true), "firefox", true},
  };
  for (const Case& row : cases)
    EXPECT_EQ(isAccessibleBrowser(row.name, row.identifier), row.expected)
        << row.identifier.value_or("-");
}

}  // namespace
}  // namespace quen::focus
