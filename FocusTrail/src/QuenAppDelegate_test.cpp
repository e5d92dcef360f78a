#include "FocusTrail/src/QuenAppDelegate.h"

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/fake/fake_system.h"
#include "tests/support/focus_test_support.h"
#include "tests/support/manual_url_worker.h"

namespace quen::focus {
namespace {

using nlohmann::json;
using platform::OsValue;
using platform::RunningApplication;
using platform::ScriptRun;

const RunningApplication EDITOR{100, "TextEdit", "com.apple.TextEdit",
                                "/System/Applications/TextEdit.app"};
const RunningApplication SAFARI{200, "Safari", "com.apple.Safari", "/Applications/Safari.app"};

// The record of a front application the agent cannot name.
const json UNKNOWN_APP = json::parse(R"({"appName":"UNKNOWN_APP_NAME",
    "appIdentifier":"UNKNOWN_APP_IDENTIFIER","appPath":"UNKNOWN_APP_BUNDLE_URL_PATH",
    "winTitle":false,"winUrl":false,"error":false})");

ScriptRun answering(const std::string& url) {
  return {ScriptRun::Stage::Executed, url, false, OsValue::absent()};
}

// The delegate on the fake OS, launched and then driven over virtual time. Records are
// read back as the parent reads them: each line parsed as one JSON object.
class FocusDelegateTest : public FlagsResetTest {
 protected:
  void launch(bool titleNeeded = false, bool urlNeeded = false, bool force = false) {
    setLaunchFlags(titleNeeded, urlNeeded, force);
    fake.runLoop().run([this] { delegate->applicationDidFinishLaunching(); });
  }
  json lastRecord() const {
    EXPECT_FALSE(fake.lines.empty());
    return fake.lines.empty() ? json() : json::parse(fake.lines.back());
  }

  fake::FakeSystem fake;
  std::unique_ptr<QuenAppDelegate> delegate =
      std::make_unique<QuenAppDelegate>(fake, manualUrlWorkers(/*answerWhenRead=*/true));
};

TEST_F(FocusDelegateTest, LaunchTakesTheExemptionAndTheFirstPollWritesTheFirstLine) {
  fake.frontmost = EDITOR;
  launch();
  ASSERT_EQ(fake.activityCalls.size(), 1u);
  EXPECT_EQ(fake.activityCalls[0].options, 0x00EFFFFFu);
  EXPECT_EQ(fake.activityCalls[0].reason, "Hourlet collecting meta information");
  EXPECT_TRUE(fake.activityTokenHeld());
  fake.advance(0.5);
  EXPECT_TRUE(fake.lines.empty()) << "no line before the first poll";
  fake.advance(0.5);
  EXPECT_EQ(fake.lines, std::vector<std::string>{
                            R"({"appName":"TextEdit","appIdentifier":"com.apple.TextEdit",)"
                            R"("appPath":"/System/Applications/TextEdit.app","winTitle":false,)"
                            R"("winUrl":false,"error":false})"});
  EXPECT_EQ(fake.flushedLineCount, 1u);
  fake.advance(2);
  EXPECT_EQ(fake.windowListReads, 3u) << "the window list is read on every report";
}

TEST_F(FocusDelegateTest, ActivationIsReportedAtOnceOnlyWhenItChangesAndNoneReportsNothing) {
  launch();
  fake.postActivation(std::nullopt);
  fake.advance(2);
  EXPECT_TRUE(fake.lines.empty());
  fake.activate(EDITOR);
  ASSERT_EQ(fake.lines.size(), 1u);
  EXPECT_EQ(lastRecord()["appName"], "TextEdit");
  fake.activate(EDITOR);
  fake.advance(3);
  EXPECT_EQ(fake.lines.size(), 1u);
  fake.activate(SAFARI);
  EXPECT_EQ(lastRecord()["appName"], "Safari");
  fake.frontmost.reset();
  fake.advance(3);
  EXPECT_EQ(fake.lines.size(), 2u) << "the last report stands while nothing is in front";
}

TEST_F(FocusDelegateTest, RevokedPermissionIsReportedAfterTheProbeAndGoesWhenGranted) {
  fake.windows = {fake::windowOf(200, 800, 600, "Other"),
                  fake::windowOf(EDITOR.processIdentifier, 800, 600, "Notes")};
  launch(true);
  fake.activate(EDITOR);
  EXPECT_EQ(lastRecord()["winTitle"], "Notes");
  EXPECT_EQ(lastRecord()["error"], false);
  fake.screenCaptureAllowed = false;
  fake.advance(59.5);
  EXPECT_EQ(fake.lines.size(), 1u);
  fake.advance(0.5);
  ASSERT_EQ(fake.lines.size(), 2u) << "the poll at 60 s carries the probe's answer";
  EXPECT_EQ(lastRecord()["error"], json::parse(R"(["E_PERMISSION_SCREENRECORDING"])"));
  EXPECT_EQ(fake.accessRequests, 1u);
  fake.screenCaptureAllowed = true;
  fake.advance(60);
  ASSERT_EQ(fake.lines.size(), 3u);
  EXPECT_EQ(lastRecord()["error"], false);
}

TEST_F(FocusDelegateTest, LaunchFlagsDecideWhetherTheProbeAndItsTimerExist) {
  const struct {
    bool title, url, force;
    std::vector<double> intervals;
    std::size_t probesAtLaunch, probesAfterTwoMinutes;
  } rows[] = {{false, true, false, {1.0}, 0, 0},
              {false, false, true, {60.0, 1.0}, 1, 3},
              {true, false, false, {60.0, 1.0}, 1, 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.title << row.url << row.force);
    fake::FakeSystem system;
    system.screenCaptureAllowed = false;
    system.frontmost = EDITOR;
    QuenAppDelegate agent(system, manualUrlWorkers(true));
    setLaunchFlags(row.title, row.url, row.force);
    system.runLoop().run([&agent] { agent.applicationDidFinishLaunching(); });
    EXPECT_EQ(system.preflightCalls, row.probesAtLaunch);
    system.advance(120);
    EXPECT_EQ(system.repeatingIntervals(), row.intervals);
    EXPECT_EQ(system.preflightCalls, row.probesAfterTwoMinutes);
    EXPECT_EQ(system.displayStreamAttempts, 0u);
    EXPECT_EQ(system.trustChecks, 0u) << "the focus agent never checks accessibility trust";
    EXPECT_EQ(json::parse(system.lines.back())["error"] == false, row.probesAtLaunch == 0);
  }
}

TEST_F(FocusDelegateTest, PermissionCodesComeBeforeTheQueryFailureWhichASuccessClears) {
  fake.screenCaptureAllowed = false;
  fake.setScriptOutcome({ScriptRun::Stage::Executed, std::nullopt, true, OsValue::ofInteger(-1743)});
  launch(true, true);
  fake.activate(SAFARI);
  EXPECT_EQ(lastRecord()["error"],
            json::parse(R"(["E_PERMISSION_SCREENRECORDING","E_AE_KNOWN_EVENT_NOT_PERMITTED"])"));
  EXPECT_EQ(lastRecord()["winUrl"], false);
  fake.setScriptOutcome(answering("https://example.org/"));
  fake.advance(1);
  EXPECT_EQ(lastRecord()["error"], json::parse(R"(["E_PERMISSION_SCREENRECORDING"])"));
  EXPECT_EQ(lastRecord()["winUrl"], "https://example.org/");
  fake.setScriptOutcome(answering("https://example.org/next"));
  fake.advance(1);
  EXPECT_EQ(lastRecord()["winUrl"], "https://example.org/next") << "a tab switch, in one poll";
}

TEST_F(FocusDelegateTest, OnlyAbsentIdentityValuesTakeTheirFallbacks) {
  launch(false, true);
  fake.activate(RunningApplication{300, std::nullopt, std::nullopt, std::nullopt});
  EXPECT_EQ(lastRecord(), UNKNOWN_APP);
  EXPECT_TRUE(fake.scriptSources.empty());
  fake.activate(RunningApplication{300, "", "", ""});
  EXPECT_EQ(lastRecord(), json::parse(R"({"appName":"","appIdentifier":"","appPath":"",
      "winTitle":false,"winUrl":false,"error":false})"));
}

TEST_F(FocusDelegateTest, AHiddenFrontApplicationIsReportedOnceAsUnknownWithItsReason) {
  using platform::HiddenFront;
  const struct {
    HiddenFront reason;
    bool screenAllowed, byActivation;
    const char* error;
  } rows[] = {{HiddenFront::NotVisible, true, true, R"(["E_WINDOW_NOT_VISIBLE"])"},
              {HiddenFront::ShellExtensionMissing, true, false, R"(["E_SHELL_EXTENSION_MISSING"])"},
              {HiddenFront::ShellExtensionDisabled, false, true,
               R"(["E_PERMISSION_SCREENRECORDING","E_SHELL_EXTENSION_DISABLED"])"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(row.reason) << row.byActivation);
    fake::FakeSystem system;
    system.screenCaptureAllowed = row.screenAllowed;
    system.windows = {fake::windowOf(EDITOR.processIdentifier, 800, 600, "Notes")};
    QuenAppDelegate agent(system, manualUrlWorkers(true));
    setLaunchFlags(true, true, false);
    system.runLoop().run([&agent] { agent.applicationDidFinishLaunching(); });
    system.activate(EDITOR);
    system.frontmost.reset();
    system.frontHidden = row.reason;
    if (row.byActivation) system.postActivation(std::nullopt);
    else system.advance(1);
    system.advance(3);
    ASSERT_EQ(system.lines.size(), 2u) << "written at once, then only when it changes";
    json expected = UNKNOWN_APP;
    expected["error"] = json::parse(row.error);
    EXPECT_EQ(json::parse(system.lines.back()), expected);
    system.frontHidden = HiddenFront::None;
    system.activate(EDITOR);
    EXPECT_EQ(json::parse(system.lines.back())["winTitle"], "Notes");
  }
}

}  // namespace
}  // namespace quen::focus
