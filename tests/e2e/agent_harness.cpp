#include "tests/e2e/agent_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace quen::testing {

namespace {

using Clock = std::chrono::steady_clock;

Milliseconds remaining(Clock::time_point deadline) {
  return std::max(Milliseconds(0),
                  std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()));
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// The line as a JSON object, or none (with a test failure naming the line) when it is not
// exactly one compact JSON object in the agents' output format.
std::optional<Json> parseRecordLine(const std::string& line) {
  Json record;
  try {
    record = Json::parse(line);
  } catch (const Json::parse_error& failure) {
    ADD_FAILURE() << "not a JSON line (" << failure.what() << "): " << line;
    return std::nullopt;
  }
  if (!record.is_object()) {
    ADD_FAILURE() << "not a JSON object: " << line;
    return std::nullopt;
  }
  // Compact, members in the order written, solidus bare, non-ASCII as raw UTF-8: the line
  // is what a plain writer makes of the object. (\u escapes may differ in letter case.)
  if (line.find("\\u") == std::string::npos) {
    EXPECT_EQ(record.dump(), line) << "not in the compact output format";
  }
  return record;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& arguments,
                                                  const Environment& changes) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable(*entry);
    if (!changes.count(variable.substr(0, variable.find('=')))) environment.push_back(variable);
  }
  for (const auto& [name, value] : changes)
    if (value) environment.push_back(name + "=" + *value);
  int output[2], errors[2];
  if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot make pipes: " << std::strerror(errno);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
  // The agents rely on the default action of SIGPIPE; a test runner may ignore it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> argv = arguments;
  auto child = std::unique_ptr<ChildProcess>(new ChildProcess());
  const int status = posix_spawn(&child->pid_, argv.front().c_str(), &actions, &attributes,
                                 pointers(argv).data(), pointers(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(output[1]);
  close(errors[1]);
  child->outputFd_ = output[0];
  child->errorFd_ = errors[0];
  if (status == 0) return child;
  child->pid_ = -1;
  ADD_FAILURE() << "cannot start " << argv.front() << ": " << std::strerror(status);
  return nullptr;
}

ChildProcess::~ChildProcess() {
  closeOutput();
  if (pid_ > 0 && !waitForExit(Milliseconds(3000))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (errorFd_ >= 0) close(errorFd_);
}

// Waits up to `timeout` for either stream, then reads what each has; a stream that ended
// is closed (and poll skips it from then on).
void ChildProcess::readAvailable(Milliseconds timeout) {
  pollfd streams[] = {{outputFd_, POLLIN, 0}, {errorFd_, POLLIN, 0}};
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
  lines_.push_back(*line);
  return parseRecordLine(*line);
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

void ChildProcess::expectNoLineFor(Milliseconds period) {
  const auto line = readLine(period);
  EXPECT_FALSE(line) << "unexpected line: " << line.value_or("");
}

void ChildProcess::closeOutput() {
  if (outputFd_ >= 0) close(outputFd_);
  outputFd_ = -1;
}

std::optional<ExitStatus> ChildProcess::waitForExit(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!exitStatus_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = ExitStatus{};
      if (WIFEXITED(status)) exitStatus_->exitCode = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) exitStatus_->signal = WTERMSIG(status);
    } else if (Clock::now() >= deadline) {
      return std::nullopt;
    } else {
      std::this_thread::sleep_for(Milliseconds(10));
    }
  }
  return exitStatus_;
}

const std::string& ChildProcess::standardError() {
  const int outputFd = outputFd_;
  outputFd_ = -1;  // standard output stays unread
  for (std::size_t before = error_.size() + 1; errorFd_ >= 0 && before != error_.size();) {
    before = error_.size();
    readAvailable(Milliseconds(exitStatus_ ? 100 : 0));
  }
  outputFd_ = outputFd;
  return error_;
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

Environment AgentTest::agentEnvironment(const Environment& changes) const {
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
  return environment;
}

std::unique_ptr<ChildProcess> AgentTest::startAgent(Agent agent, bool titleOrKeysNeeded,
                                                    const Environment& changes) {
  const char* flag = titleOrKeysNeeded ? "true" : "false";
  if (agent == Agent::FocusTrail)
    return ChildProcess::spawn({QUEN_FOCUSTRAIL_PATH, "--argTitleNeeded", flag, "--argUrlNeeded",
                                "false", "--argForceReqPerm", "false"},
                               agentEnvironment(changes));
  return ChildProcess::spawn(
      {QUEN_INPUTTRAIL_PATH, "--argKeysNeeded", flag, "--argForceReqPerm", "false"},
      agentEnvironment(changes));
}

}  // namespace quen::testing
