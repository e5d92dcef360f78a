#include "FocusTrail/src/applescript.h"

#include <string>

#include "platform/fake/fake_system.h"
#include "tests/support/focus_test_support.h"

namespace quen::focus {
namespace {

using platform::OsValue;
using platform::ScriptRun;
using Stage = ScriptRun::Stage;

const UrlAnswer NO_QUERY{false, false};
constexpr std::int32_t BROWSER_PID = 501;

ScriptRun ended(Stage stage, std::optional<std::string> resultText = std::nullopt,
                bool hasErrorInformation = false, OsValue errorNumber = OsValue::absent()) {
  return {stage, std::move(resultText), hasErrorInformation, std::move(errorNumber)};
}
ScriptRun failedWith(OsValue errorNumber) {
  return ended(Stage::Executed, std::nullopt, true, std::move(errorNumber));
}

class UrlQueryTest : public FlagsResetTest {
 protected:
  void SetUp() override {
    FlagsResetTest::SetUp();
    FEAT_FLAG__URL_NEEDED = true;
    fake.setScriptOutcome(ended(Stage::Executed, "https://example.org/"));
  }
  UrlAnswer ask(Value name, std::int32_t pid = BROWSER_PID) {
    return source(UrlRequest{name.asText(), pid, 0, ""}, {});
  }

  fake::FakeSystem fake;
  UrlSource source = scriptUrlSource(fake.scripts());
};

TEST_F(UrlQueryTest, NoScriptRunsForAnUnknownName) {
  for (const char* name : {"safari", "Google chrome", "Safari ", "Chrome", "", "UNKNOWN_APP_NAME"}) {
    EXPECT_FALSE(isScriptableBrowser(name)) << name;
    EXPECT_EQ(ask(Value(name)), NO_QUERY) << name;
  }
  EXPECT_TRUE(fake.scriptSources.empty());
}

// Consent is looked at once per process, before its first script; the prompt is shown only
// where the user has not decided.
TEST_F(UrlQueryTest, AutomationConsentBeforeTheFirstScriptToAProcess) {
  using platform::AutomationConsent;
  const UrlAnswer refused{false, Value("E_AE_KNOWN_EVENT_NOT_PERMITTED")};
  const UrlAnswer found{Value("https://example.org/"), false};
  const struct {
    AutomationConsent consent, afterPrompt;
    UrlAnswer expected;
    std::size_t prompts, scripts;
  } rows[] = {
      {AutomationConsent::Permitted, AutomationConsent::NotPermitted, found, 0, 1},
      {AutomationConsent::Unknown, AutomationConsent::NotPermitted, found, 0, 1},
      {AutomationConsent::NotPermitted, AutomationConsent::Permitted, refused, 0, 0},
      {AutomationConsent::WouldPrompt, AutomationConsent::Permitted, found, 1, 1},
      {AutomationConsent::WouldPrompt, AutomationConsent::NotPermitted, refused, 1, 0},
  };
  std::int32_t pid = BROWSER_PID;
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "pid " << pid);
    fake.consent = row.consent;
    fake.consentAfterPrompt = row.afterPrompt;
    fake.consentPrompts = 0;
    fake.scriptSources.clear();
    EXPECT_EQ(ask(Value("Safari"), pid), row.expected);
    EXPECT_EQ(fake.consentPrompts, row.prompts);
    EXPECT_EQ(fake.scriptSources.size(), row.scripts);
    fake.consent = AutomationConsent::WouldPrompt;
    ask(Value("Safari"), pid++);
    EXPECT_EQ(fake.consentPrompts, row.prompts) << "asked once per process";
    EXPECT_EQ(fake.scriptSources.size(), row.scripts + 1) << "later queries run the script";
  }
}

TEST_F(UrlQueryTest, EachKnownBrowserGetsOneScriptWithItsTabTerm) {
  EXPECT_EQ(ask(Value("Google Chrome")), (UrlAnswer{Value("https://example.org/"), false}));
  const std::pair<const char*, const char*> browsers[] = {
      {"Google Chrome", "active"}, {"Safari", "current"}, {"Safari Technology Preview", "current"},
      {"Chromium", "active"}, {"Opera", "active"}, {"Microsoft Edge", "active"},
      {"Vivaldi", "active"}};
  for (const auto& [name, tab] : browsers) {
    ask(Value(name));
    EXPECT_EQ(fake.scriptSources.back(),
              std::string("  tell application \"") + name + "\" to set appUrl to the URL of the " +
                  tab + " tab of the front window\n  return appUrl");
  }
  EXPECT_EQ(fake.scriptSources.size(), 8u) << "one script per query";
}

TEST_F(UrlQueryTest, EveryOutcomeOfAScript) {
  const struct {
    ScriptRun run;
    UrlAnswer expected;
  } rows[] = {
      {ended(Stage::NotCreated), {false, "E_AE_SCRIP_LOAD"}},
      {ended(Stage::NotCompiled), {false, "E_AE_SCRIPT_COMPILE"}},
      {ended(Stage::Executed, " https://a.example/x?q=1 \n"),
       {" https://a.example/x?q=1 \n", false}},
      {ended(Stage::Executed, ""), {"", false}},
      {ended(Stage::Executed, "https://b.example/", true, OsValue::ofInteger(-1743)),
       {"https://b.example/", false}},
      {ended(Stage::Executed), {false, "E_AE_ERROR_UNCAUGHT"}},
      {failedWith(OsValue::absent()), {false, "E_AE_ERROR_IS_NIL"}},
      {failedWith(OsValue::ofText("-1743")), {false, "E_AE_ERROR_NUMBER_PARSE"}},
      {failedWith(OsValue::ofReal(-1743.5)), {false, "E_AE_ERROR_NUMBER_PARSE"}},
      {failedWith(OsValue::ofBoolean(true)), {false, "E_AE_ERROR_NUMBER_PARSE"}},
      {failedWith(OsValue::ofInteger(-1742)), {false, "E_AE_KNOWN_TARGET_ADDRESS_NOT_PERMITED"}},
      {failedWith(OsValue::ofInteger(-1743)), {false, "E_AE_KNOWN_EVENT_NOT_PERMITTED"}},
      {failedWith(OsValue::ofInteger(-1728)), {false, "E_AE_KNOWN_OTHER-1728"}},
      {failedWith(OsValue::ofInteger(5)), {false, "E_AE_KNOWN_OTHER5"}},
      {failedWith(OsValue::ofInteger(0)), {false, "E_AE_KNOWN_OTHER0"}},
      {failedWith(OsValue::ofInteger(-1744)), {false, "E_AE_KNOWN_OTHER-1744"}},
  };
  for (std::size_t index = 0; index < std::size(rows); ++index) {
    SCOPED_TRACE(::testing::Message() << "row " << index);
    fake.setScriptOutcome(rows[index].run);
    EXPECT_EQ(ask(Value("Google Chrome")), rows[index].expected);
  }
}

}  // namespace
}  // namespace quen::focus
