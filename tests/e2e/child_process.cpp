#include "tests/e2e/child_process.h"

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

std::vector<std::string> buildEnvironment(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    const std::string name(variable.substr(0, variable.find('=')));
    if (!changes.count(name)) result.emplace_back(variable);
  }
  for (const auto& [name, value] : changes)
    if (value) result.push_back(name + "=" + *value);
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

int remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void closeIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::spawn(const SpawnOptions& options,
                                                  std::string& error) {
  int output[2], errors[2], input[2] = {-1, -1};
  if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0 ||
      (options.pipeStandardInput && pipe2(input, O_CLOEXEC) != 0)) {
    error = std::strerror(errno);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.pipeStandardInput)
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  else
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

  std::vector<std::string> arguments = options.arguments;
  std::vector<std::string> environment = buildEnvironment(options.environment);
  auto child = std::unique_ptr<ChildProcess>(new ChildProcess());
  const int status = posix_spawn(&child->pid_, arguments.front().c_str(), &actions, &attributes,
                                 pointers(arguments).data(), pointers(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(output[1]);
  close(errors[1]);
  if (options.pipeStandardInput) close(input[0]);
  child->outputFd_ = output[0];
  child->errorFd_ = errors[0];
  child->inputFd_ = input[1];
  if (status != 0) {
    child->pid_ = -1;
    error = arguments.front() + ": " + std::strerror(status);
    return nullptr;
  }
  return child;
}

ChildProcess::~ChildProcess() {
  // Ended as the parent application ends it: standard input closed and standard output
  // hung up, so that it exits by itself (and writes what an exit writes, such as coverage
  // counts); killed only when that does not end it.
  closeIfOpen(inputFd_);
  closeIfOpen(outputFd_);
  if (pid_ > 0 && !waitForExit(Milliseconds(2000))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  closeIfOpen(errorFd_);
}

bool ChildProcess::fillOutput(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    pollfd descriptors[] = {{outputFd_, POLLIN, 0}, {errorFd_, POLLIN, 0}};
    const int ready = poll(descriptors, errorFd_ >= 0 ? 2 : 1, remaining(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (descriptors[1].revents != 0) readAvailableError();
    if (descriptors[0].revents == 0) continue;
    char buffer[4096];
    const ssize_t count = read(outputFd_, buffer, sizeof buffer);
    if (count <= 0) {
      outputEnded_ = true;
      return false;
    }
    outputBuffer_.append(buffer, static_cast<std::size_t>(count));
    return true;
  }
}

std::optional<std::string> ChildProcess::readLine(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto end = outputBuffer_.find('\n'); end != std::string::npos) {
      std::string line = outputBuffer_.substr(0, end);
      outputBuffer_.erase(0, end + 1);
      return line;
    }
    if (outputFd_ < 0 || outputEnded_) return std::nullopt;
    if (!fillOutput(Milliseconds(remaining(deadline))) && (outputEnded_ || remaining(deadline) == 0))
      return std::nullopt;
  }
}

bool ChildProcess::writeLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = write(inputFd_, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

void ChildProcess::closeOutput() { closeIfOpen(outputFd_); }

std::optional<ExitStatus> ChildProcess::waitForExit(Milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!exitStatus_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitStatus_ = ExitStatus{};
      if (WIFEXITED(status)) exitStatus_->exitCode = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) exitStatus_->signal = WTERMSIG(status);
      break;
    }
    if (remaining(deadline) == 0) return std::nullopt;
    readAvailableError();
    std::this_thread::sleep_for(Milliseconds(10));
  }
  return exitStatus_;
}

void ChildProcess::readAvailableError() {
  if (errorFd_ < 0) return;
  for (;;) {
    pollfd descriptor = {errorFd_, POLLIN, 0};
    if (poll(&descriptor, 1, 0) <= 0) return;
    char buffer[4096];
    const ssize_t count = read(errorFd_, buffer, sizeof buffer);
    if (count <= 0) {
      closeIfOpen(errorFd_);
      return;
    }
    errorText_.append(buffer, static_cast<std::size_t>(count));
  }
}

const std::string& ChildProcess::standardError() {
  readAvailableError();
  return errorText_;
}

}  // namespace quen::testing
