#include "FocusTrail/src/applescript.h"

#include <string>

#include "FocusTrail/src/focus_test_support.h"
#include "platform/fake/fake_system.h"

namespace quen::focus {
namespace {

using platform::OsValue;
using platform::ScriptRun;

ScriptRun executed(std::optional<std::string> resultText, bool hasErrorInformation = false,
                   OsValue errorNumber = OsValue::absent()) {
  ScriptRun run;
  run.stage = ScriptRun::Stage::Executed;
  run.resultText = std::move(resultText);
  run.hasErrorInformation = hasErrorInformation;
  run.errorNumber = std::move(errorNumber);
  return run;
}

ScriptRun failedWith(OsValue errorNumber) {
  return executed(std::nullopt, true, std::move(errorNumber));
}

class UrlQueryTest : public FlagsResetTest {
 protected:
  void SetUp() override {
    FlagsResetTest::SetUp();
    FEAT_FLAG__URL_NEEDED = true;
  }

  // The answer to a query of Google Chrome when its script ends in `run`.
  UrlAnswer chromeAnswering(ScriptRun run) {
    fake.setScriptOutcome(std::move(run));
    return getUrlForAppName(Value("Google Chrome"), fake.scripts());
  }

  static UrlAnswer failure(const char* code) { return {false, Value(code)}; }

  fake::FakeSystem fake;
};

TEST_F(UrlQueryTest, UrlFlagOffRunsNoScriptForAnyName) {
  FEAT_FLAG__URL_NEEDED = false;
  fake.setScriptOutcome(executed("https://example.org/"));
  EXPECT_EQ(getUrlForAppName(Value("Safari"), fake.scripts()), (UrlAnswer{false, false}));
  EXPECT_EQ(getUrlForAppName(Value(true), fake.scripts()), (UrlAnswer{false, false}));
  EXPECT_TRUE(fake.scriptSources().empty());
}

TEST_F(UrlQueryTest, NameThatIsNotTextIsNoUsableName) {
  EXPECT_EQ(getUrlForAppName(Value(true), fake.scripts()), failure("E_NOAPPNAME"));
  EXPECT_EQ(getUrlForAppName(Value(42), fake.scripts()), failure("E_NOAPPNAME"));
  EXPECT_EQ(getUrlForAppName(Value(Array{Value("Safari")}), fake.scripts()),
            failure("E_NOAPPNAME"));
  EXPECT_TRUE(fake.scriptSources().empty());
}

TEST_F(UrlQueryTest, OnlyExactBrowserNamesAreAsked) {
  fake.setScriptOutcome(executed("https://example.org/"));
  for (const char* name : {"safari", "Google chrome", "Safari ", "Chrome", "", "UNKNOWN_APP_NAME"})
    EXPECT_EQ(getUrlForAppName(Value(name), fake.scripts()), (UrlAnswer{false, false})) << name;
  EXPECT_TRUE(fake.scriptSources().empty());
}

TEST_F(UrlQueryTest, ScriptTextIsComposedToTheCharacter) {
  fake.setScriptOutcome(executed("u"));
  getUrlForAppName(Value("Google Chrome"), fake.scripts());
  getUrlForAppName(Value("Safari"), fake.scripts());
  ASSERT_EQ(fake.scriptSources().size(), 2u);
  EXPECT_EQ(fake.scriptSources()[0],
            "  tell application \"Google Chrome\" to set appUrl to the URL of the active tab "
            "of the front window\n  return appUrl");
  EXPECT_EQ(fake.scriptSources()[1],
            "  tell application \"Safari\" to set appUrl to the URL of the current tab "
            "of the front window\n  return appUrl");
}

TEST_F(UrlQueryTest, EachBrowserIsAskedForItsOwnTabTerm) {
  fake.setScriptOutcome(executed("u"));
  const std::pair<const char*, const char*> expected[] = {
      {"Safari", "current"}, {"Safari Technology Preview", "current"}, {"Chromium", "active"},
      {"Google Chrome", "active"}, {"Opera", "active"}, {"Microsoft Edge", "active"},
      {"Vivaldi", "active"}};
  for (const auto& [name, tabType] : expected) {
    getUrlForAppName(Value(name), fake.scripts());
    EXPECT_EQ(fake.scriptSources().back(), composeUrlScript(name, tabType)) << name;
  }
  EXPECT_EQ(fake.scriptSources().size(), 7u) << "one script per query";
}

TEST_F(UrlQueryTest, ScriptThatCannotBeMadeOrCompiled) {
  ScriptRun notCreated;
  notCreated.stage = ScriptRun::Stage::NotCreated;
  EXPECT_EQ(chromeAnswering(notCreated), failure("E_AE_SCRIP_LOAD"));
  ScriptRun notCompiled;
  notCompiled.stage = ScriptRun::Stage::NotCompiled;
  EXPECT_EQ(chromeAnswering(notCompiled), failure("E_AE_SCRIPT_COMPILE"));
}

TEST_F(UrlQueryTest, ResultTextIsReturnedExactlyAndWinsOverErrorInformation) {
  EXPECT_EQ(chromeAnswering(executed(" https://a.example/x?q=1 \n")),
            (UrlAnswer{Value(" https://a.example/x?q=1 \n"), false}));
  EXPECT_EQ(chromeAnswering(executed("")), (UrlAnswer{Value(""), false}));
  EXPECT_EQ(chromeAnswering(executed("https://b.example/", true, OsValue::ofInteger(-1743))),
            (UrlAnswer{Value("https://b.example/"), false}));
}

TEST_F(UrlQueryTest, NoTextAndNoUsableErrorNumber) {
  EXPECT_EQ(chromeAnswering(executed(std::nullopt)), failure("E_AE_ERROR_UNCAUGHT"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::absent())), failure("E_AE_ERROR_IS_NIL"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofText("-1743"))),
            failure("E_AE_ERROR_NUMBER_PARSE"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofReal(-1743.5))),
            failure("E_AE_ERROR_NUMBER_PARSE"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofBoolean(true))),
            failure("E_AE_ERROR_NUMBER_PARSE"));
}

TEST_F(UrlQueryTest, KnownAndOtherErrorNumbers) {
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofInteger(-1742))),
            failure("E_AE_KNOWN_TARGET_ADDRESS_NOT_PERMITED"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofInteger(-1743))),
            failure("E_AE_KNOWN_EVENT_NOT_PERMITTED"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofInteger(-1728))),
            failure("E_AE_KNOWN_OTHER-1728"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofInteger(5))), failure("E_AE_KNOWN_OTHER5"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofInteger(0))), failure("E_AE_KNOWN_OTHER0"));
  EXPECT_EQ(chromeAnswering(failedWith(OsValue::ofInteger(-1744))),
            failure("E_AE_KNOWN_OTHER-1744"));
}

}  // namespace
}  // namespace quen::focus
