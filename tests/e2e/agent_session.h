#pragma once

// The fixture every end-to-end test builds on: a fresh X server of its own (with or
// without a window manager), a private, empty set of desktop-entry directories (so an
// application's identity does not depend on the machine), and the agents started on it.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/agent_run.h"
#include "tests/e2e/test_window_process.h"
#include "tests/support/x_session.h"

namespace quen::testing {

// Generous limits: the tests check what is written, not how fast (the benchmark does).
inline constexpr Milliseconds LINE_TIMEOUT{6000};
inline constexpr Milliseconds QUIET_PERIOD{2500};

class AgentSessionTest : public ::testing::Test {
 protected:
  // Starts the X server (and openbox, as asked); fails the test otherwise.
  void startSession(WindowManager windowManager,
                    const std::vector<std::string>& serverArguments = {});
  void TearDown() override;

  const std::string& display() const { return session_->display(); }
  XSession& session() { return *session_; }
  // The agents' environment: this session's DISPLAY and the private data directories.
  std::map<std::string, std::optional<std::string>> agentEnvironment() const;
  // The directory the agents search for desktop entries ($XDG_DATA_HOME/applications).
  std::filesystem::path applicationsDirectory() const { return dataHome_ / "applications"; }

  std::unique_ptr<AgentRun> startFocusTrail(const std::vector<std::string>& arguments);
  std::unique_ptr<AgentRun> startInputTrail(const std::vector<std::string>& arguments);
  std::unique_ptr<TestWindowProcess> startWindowClient();

  // Fails the test when `agent` writes a line within `period`.
  void expectNoLineFor(AgentRun& agent, Milliseconds period = QUIET_PERIOD);

 private:
  std::unique_ptr<XSession> session_;
  std::filesystem::path temporaryRoot_;
  std::filesystem::path dataHome_;
};

// The three FocusTrail flags, each with its value.
std::vector<std::string> focusArguments(bool titleNeeded, bool urlNeeded = false,
                                        bool forceRequestPermissions = false);
// The two InputTrail flags, each with its value.
std::vector<std::string> inputArguments(bool keysNeeded, bool forceRequestPermissions = false);

}  // namespace quen::testing
