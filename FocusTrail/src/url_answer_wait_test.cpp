#include "FocusTrail/src/url_answer_wait.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "FocusTrail/src/QuenAppDelegate.h"
#include "platform/fake/fake_system.h"
#include "tests/support/focus_test_support.h"
#include "tests/support/manual_url_worker.h"

namespace quen::focus {
namespace {

using nlohmann::json;
using platform::AutomationConsent;
using platform::RunningApplication;
using platform::ScriptRun;

const RunningApplication SAFARI{200, "Safari", "com.apple.Safari", "/Applications/Safari.app"};

// The focus agent on the fake OS, launched, then a browser brought to the front whose URL
// worker answers when the test says: each record line is summed up as its URL or error code.
struct BrowserInFront {
  void launch() {
    fake.windows = {fake::windowOf(SAFARI.processIdentifier, 800, 600, "Example")};
    fake.setScriptOutcome({ScriptRun::Stage::Executed, "https://example.org/", false, {}});
    setLaunchFlags(/*titleNeeded=*/true, /*urlNeeded=*/true);
    fake.runLoop().run([this] { delegate->applicationDidFinishLaunching(); });
    fake.activate(SAFARI);
  }
  // Advances to `time` seconds since launch, in steps of 0.1 s.
  void advanceTo(double time) {
    while (fake.now() + 0.05 < time) fake.advance(0.1);
  }
  std::vector<std::string> urlsAndCodes() const {
    std::vector<std::string> summaries;
    for (const std::string& line : fake.lines) {
      const json record = json::parse(line);
      summaries.push_back(record["winUrl"].is_string() ? record["winUrl"].get<std::string>()
                                                       : record["error"].dump());
    }
    return summaries;
  }

  fake::FakeSystem fake;
  ManualUrlWorker* worker = nullptr;
  std::unique_ptr<QuenAppDelegate> delegate =
      std::make_unique<QuenAppDelegate>(fake, manualUrlWorkers(false, &worker));
};

struct BrowserRecordWaitTest : FlagsResetTest, BrowserInFront {};

TEST_F(BrowserRecordWaitTest, TheRecordWaitsForItsAnswerAtMostTheBoundThenLeavesTheBrowserAlone) {
  const std::string timedOut = R"(["E_AE_KNOWN_OTHER-1712"])";
  const struct {
    const char* name;
    std::optional<double> answerAt;  // none: the browser hangs
    AutomationConsent consent;
    bool quit;
    std::vector<std::string> lines;
  } rows[] = {
      {"answer in time", 0.3, AutomationConsent::Permitted, false, {"https://example.org/"}},
      {"answer late", 0.7, AutomationConsent::Permitted, false,
       {timedOut, "https://example.org/"}},
      {"hung browser", std::nullopt, AutomationConsent::Permitted, false, {timedOut}},
      {"consent pending", 2.5, AutomationConsent::WouldPrompt, false,
       {timedOut, "https://example.org/"}},
      {"browser quit", 0.2, AutomationConsent::Permitted, true, {R"(["E_AE_KNOWN_OTHER-600"])"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    BrowserInFront browser;
    auto& [os, browserWorker, agent] = browser;
    os.consent = row.consent;
    if (row.quit) os.quitApplications = {SAFARI.processIdentifier};
    browser.launch();
    EXPECT_TRUE(os.lines.empty()) << "no line before the answer";
    if (row.answerAt) {
      browser.advanceTo(*row.answerAt);
      browserWorker->answer();
      os.advance(0);
    }
    browser.advanceTo(5.0);
    const std::size_t asksBy5s = browserWorker->asks;
    browser.advanceTo(6.2);
    if (!row.answerAt) {
      EXPECT_EQ(asksBy5s, 1u) << "a timed-out browser is left alone";
      EXPECT_EQ(browserWorker->asks, 2u) << "and asked again after the back-off";
    }
    EXPECT_EQ(browser.urlsAndCodes(), row.lines);
    EXPECT_EQ(os.consentPrompts, row.consent == AutomationConsent::WouldPrompt ? 1u : 0u);
    EXPECT_EQ(os.scriptSources.size(), row.answerAt && !row.quit ? 1u : 0u);
  }
}

// A browser builds its document lazily: "nothing yet" within the bound is asked again.
TEST_F(BrowserRecordWaitTest, NoDocumentYetIsAskedAgainWithinTheBound) {
  launch();
  worker->answer(UrlAnswer{false, false});
  fake.advance(0.1);
  ASSERT_TRUE(fake.lines.empty());
  worker->answer();
  fake.advance(0);
  EXPECT_EQ(urlsAndCodes(), std::vector<std::string>{"https://example.org/"});
}

// A new title is a new query: its record comes with the new page's URL, in one line.
TEST_F(BrowserRecordWaitTest, ANewTitleIsWrittenTogetherWithItsOwnUrl) {
  launch();
  worker->answer();
  fake.advance(0);
  fake.windows[0].name = platform::OsValue::ofText("Next page");
  fake.setScriptOutcome({ScriptRun::Stage::Executed, "https://example.org/next", false, {}});
  fake.advance(1.2);
  ASSERT_EQ(fake.lines.size(), 1u) << "nothing while the new page's URL is asked";
  worker->answer();
  fake.advance(0);
  ASSERT_EQ(fake.lines.size(), 2u);
  const json record = json::parse(fake.lines.back());
  EXPECT_EQ(record["winTitle"], "Next page");
  EXPECT_EQ(record["winUrl"], "https://example.org/next");
}

}  // namespace
}  // namespace quen::focus
