#pragma once

// What the end-to-end tests run the agents with. ChildProcess: a program started as the
// parent application starts an agent (an environment of the test's choosing, SIGPIPE at its
// default, standard output read line by line as records, standard error collected).
// AgentTest: a fresh X server of the test's own (with or without a window manager), private
// and empty desktop-entry directories (so an application's identity does not depend on the
// machine), and the agents started on it.

#include <sys/types.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/x_session.h"

namespace quen::testing {

using Json = nlohmann::ordered_json;
using Milliseconds = std::chrono::milliseconds;

// Generous limits: the tests check what is written, not how fast (the benchmark does).
inline constexpr Milliseconds LINE_TIMEOUT{10000};

// How a process ended: its exit status, or the signal that killed it.
struct ExitStatus {
  std::optional<int> exitCode;
  std::optional<int> signal;
};

class ChildProcess {
 public:
  // `arguments` start with the program's path. Null, with a test failure, when it cannot run.
  static std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& arguments,
                                             const Environment& changes);
  // The same as uid and gid nobody, with no supplementary groups: how the tests run
  // compositors and their clients, never as the developer.
  static std::unique_ptr<ChildProcess> spawnAsNobody(std::vector<std::string> arguments,
                                                     const Environment& changes);
  // Ended as the parent application ends it: its output hung up, so that it exits by itself
  // (and writes what an exit writes, such as coverage counts); killed only when it does not.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The next line of standard output, without its line feed; none when `timeout` passes
  // first or the output ended.
  std::optional<std::string> readLine(Milliseconds timeout);
  // The next line as a record; a line that is not one compact JSON object fails the test.
  std::optional<Json> nextRecord(Milliseconds timeout = LINE_TIMEOUT);
  // Reads records until one satisfies `wanted`, which it returns; none at `timeout`.
  std::optional<Json> waitForRecord(const std::function<bool(const Json&)>& wanted,
                                    Milliseconds timeout = LINE_TIMEOUT);
  // The parent hangs up: closes its end of the process's standard output.
  void closeOutput();
  // None when the process is still running after `timeout`.
  std::optional<ExitStatus> waitForExit(Milliseconds timeout);
  // Everything written to standard error so far (all of it once the process has ended).
  const std::string& standardError();

 private:
  ChildProcess() = default;
  // Waits up to `timeout` for standard output (unless `output` is false) or standard
  // error, then reads what each has; a stream that ended is closed.
  void readAvailable(Milliseconds timeout, bool output = true);

  pid_t pid_ = -1;
  int outputFd_ = -1;
  int errorFd_ = -1;
  std::string output_;
  std::string error_;
  std::optional<ExitStatus> exitStatus_;
};

// For waitForRecord: the record's member `name` is `value`.
std::function<bool(const Json&)> withMember(const char* name, const Json& value);

enum class Agent { FocusTrail, InputTrail };

class AgentTest : public ::testing::Test {
 protected:
  // Starts the X server (and openbox, as asked); fails the test otherwise.
  void startSession(WindowManager windowManager,
                    const std::vector<std::string>& serverArguments = {});
  void TearDown() override;

  const std::string& display() const { return session_->display(); }
  XSession& session() { return *session_; }
  // The directory the agents search for desktop entries ($XDG_DATA_HOME/applications).
  std::filesystem::path applicationsDirectory() const { return root_ / "data/applications"; }
  // FocusTrail with titles wanted, or InputTrail with keys wanted, unless told otherwise; in
  // this session's DISPLAY, the private data directories, a UTF-8 locale, `changes` on top.
  std::unique_ptr<ChildProcess> startAgent(Agent agent, bool titleOrKeysNeeded = true,
                                           const Environment& changes = {});

 private:
  std::unique_ptr<XSession> session_;
  std::filesystem::path root_;
};

}  // namespace quen::testing
