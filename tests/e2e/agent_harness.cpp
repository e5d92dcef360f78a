#include "tests/e2e/agent_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/wait_until.h"

namespace quen::testing {

namespace {

using Clock = std::chrono::steady_clock;

Milliseconds remaining(Clock::time_point deadline) {
  return std::max(Milliseconds(0),
                  std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()));
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::spawnAsNobody(std::vector<std::string> arguments,
                                                         const Environment& changes) {
  arguments.insert(arguments.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                       "--clear-groups", "--"});
  return spawn(arguments, changes);
}

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& arguments,
                                                  const Environment& changes) {
  int output[2], errors[2];
  if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot make pipes: " << std::strerror(errno);
    return nullptr;
  }
  auto child = std::unique_ptr<ChildProcess>(new ChildProcess());
  child->pid_ = spawnProcess(arguments, changes, output[1], errors[1]);
  close(output[1]);
  close(errors[1]);
  child->outputFd_ = output[0];
  child->errorFd_ = errors[0];
  return child;
}

ChildProcess::~ChildProcess() {
  closeOutput();
  if (pid_ > 0 && !waitForExit(Milliseconds(3000))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (errorFd_ >= 0) close(errorFd_);
}

void ChildProcess::readAvailable(Milliseconds timeout, bool output) {
  pollfd streams[] = {{output ? outputFd_ : -1, POLLIN, 0}, {errorFd_, POLLIN, 0}};
  if (poll(streams, 2, static_cast<int>(timeout.count())) <= 0) return;
  std::string* texts[] = {&output_, &error_};
  int* descriptors[] = {&outputFd_, &errorFd_};
  for (int stream = 0; stream < 2; ++stream) {
    if (streams[stream].revents == 0) continue;
    char buffer[65536];
    const ssize_t count = read(streams[stream].fd, buffer, sizeof buffer);
    if (count > 0) {
      texts[stream]->append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      close(*descriptors[stream]);
      *descriptors[stream] = -1;
    }
  }
}

std::optional<std::string> ChildProcess::readLine(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto end = output_.find('\n'); end != std::string::npos) {
      std::string line = output_.substr(0, end);
      output_.erase(0, end + 1);
      return line;
    }
    if (outputFd_ < 0 || Clock::now() >= deadline) return std::nullopt;
    readAvailable(remaining(deadline));
  }
}

std::optional<Json> ChildProcess::nextRecord(Milliseconds timeout) {
  const auto line = readLine(timeout);
  if (!line) return std::nullopt;
  const Json record = Json::parse(*line, nullptr, /*allow_exceptions=*/false);
  if (!record.is_object()) {
    ADD_FAILURE() << "not one JSON object: " << *line;
    return std::nullopt;
  }
  // Compact, members in the order written, solidus bare, non-ASCII as raw UTF-8: the line
  // is what a plain writer makes of the object. (\u escapes may differ in letter case.)
  if (line->find("\\u") == std::string::npos) {
    EXPECT_EQ(record.dump(), *line) << "not in the compact output format";
  }
  return record;
}

std::optional<Json> ChildProcess::waitForRecord(const std::function<bool(const Json&)>& wanted,
                                                Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const auto record = nextRecord(remaining(deadline));
    if (record && wanted(*record)) return record;
    if (outputFd_ < 0 && output_.empty()) break;
  }
  return std::nullopt;
}

void ChildProcess::closeOutput() {
  if (outputFd_ >= 0) close(outputFd_);
  outputFd_ = -1;
}

std::optional<ExitStatus> ChildProcess::waitForExit(Milliseconds timeout) {
  int status = 0;
  if (!exitStatus_ && waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) {
    exitStatus_ = ExitStatus{};
    if (WIFEXITED(status)) exitStatus_->exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) exitStatus_->signal = WTERMSIG(status);
  }
  return exitStatus_;
}

const std::string& ChildProcess::standardError() {
  for (std::size_t before = error_.size() + 1; errorFd_ >= 0 && before != error_.size();) {
    before = error_.size();
    readAvailable(Milliseconds(0), /*output=*/false);
  }
  return error_;
}

std::function<bool(const Json&)> withMember(const char* name, const Json& value) {
  return [name, value](Json record) { return record[name] == value; };
}

void AgentTest::startSession(WindowManager windowManager,
                             const std::vector<std::string>& serverArguments) {
  std::string error;
  session_ = XSession::start(windowManager, error, serverArguments);
  ASSERT_TRUE(session_) << "cannot start the X session: " << error;
  std::string pattern = (std::filesystem::temp_directory_path() / "quen-e2e-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  std::filesystem::create_directories(applicationsDirectory());
  std::filesystem::create_directories(root_ / "data-dirs");
}

void AgentTest::TearDown() {
  session_.reset();
  std::error_code ignored;
  if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

std::unique_ptr<ChildProcess> AgentTest::startAgent(Agent agent, bool titleOrKeysNeeded,
                                                    const Environment& changes) {
  Environment environment = {
      {"DISPLAY", display()},
      {"XDG_DATA_HOME", (root_ / "data").string()},
      {"XDG_DATA_DIRS", (root_ / "data-dirs").string()},
      {"LANG", "C.UTF-8"},
      {"LANGUAGE", std::nullopt},
      {"LC_ALL", std::nullopt},
      {"LC_MESSAGES", std::nullopt},
  };
  for (const auto& [name, value] : changes) environment[name] = value;
  const char* flag = titleOrKeysNeeded ? "true" : "false";
  if (agent == Agent::FocusTrail)
    return ChildProcess::spawn({QUEN_FOCUSTRAIL_PATH, "--argTitleNeeded", flag, "--argUrlNeeded",
                                "false", "--argForceReqPerm", "false"},
                               environment);
  return ChildProcess::spawn(
      {QUEN_INPUTTRAIL_PATH, "--argKeysNeeded", flag, "--argForceReqPerm", "false"}, environment);
}

}  // namespace quen::testing
