#include "tests/e2e/agent_session.h"

#include <cstdlib>

namespace quen::testing {

void AgentSessionTest::startSession(WindowManager windowManager,
                                    const std::vector<std::string>& serverArguments) {
  std::string error;
  session_ = XSession::start(windowManager, error, serverArguments);
  ASSERT_TRUE(session_) << "cannot start the X session: " << error;
  std::string pattern =
      (std::filesystem::temp_directory_path() / "quen-e2e-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  temporaryRoot_ = pattern;
  dataHome_ = temporaryRoot_ / "data-home";
  std::filesystem::create_directories(applicationsDirectory());
  std::filesystem::create_directories(temporaryRoot_ / "data-dirs");
}

void AgentSessionTest::TearDown() {
  session_.reset();
  if (!temporaryRoot_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(temporaryRoot_, ignored);
  }
}

std::map<std::string, std::optional<std::string>> AgentSessionTest::agentEnvironment() const {
  return {
      {"DISPLAY", display()},
      {"XDG_DATA_HOME", dataHome_.string()},
      {"XDG_DATA_DIRS", (temporaryRoot_ / "data-dirs").string()},
      {"LANG", "C.UTF-8"},
      {"LANGUAGE", std::nullopt},
      {"LC_ALL", std::nullopt},
      {"LC_MESSAGES", std::nullopt},
  };
}

std::unique_ptr<AgentRun> AgentSessionTest::startFocusTrail(
    const std::vector<std::string>& arguments) {
  return AgentRun::start(QUEN_FOCUSTRAIL_PATH, arguments, agentEnvironment());
}

std::unique_ptr<AgentRun> AgentSessionTest::startInputTrail(
    const std::vector<std::string>& arguments) {
  return AgentRun::start(QUEN_INPUTTRAIL_PATH, arguments, agentEnvironment());
}

std::unique_ptr<TestWindowProcess> AgentSessionTest::startWindowClient() {
  return TestWindowProcess::start(display());
}

void AgentSessionTest::expectNoLineFor(AgentRun& agent, Milliseconds period) {
  const auto line = agent.process().readLine(period);
  EXPECT_FALSE(line) << "unexpected line: " << line.value_or("");
}

std::vector<std::string> focusArguments(bool titleNeeded, bool urlNeeded,
                                        bool forceRequestPermissions) {
  auto text = [](bool value) { return value ? "true" : "false"; };
  return {"--argTitleNeeded", text(titleNeeded), "--argUrlNeeded", text(urlNeeded),
          "--argForceReqPerm", text(forceRequestPermissions)};
}

std::vector<std::string> inputArguments(bool keysNeeded, bool forceRequestPermissions) {
  auto text = [](bool value) { return value ? "true" : "false"; };
  return {"--argKeysNeeded", text(keysNeeded), "--argForceReqPerm", text(forceRequestPermissions)};
}

}  // namespace quen::testing
