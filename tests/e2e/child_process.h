#pragma once

// A program the end-to-end tests run: started with posix_spawn and an environment of the
// test's choosing, its standard output read line by line with time-outs, its standard
// error collected, its exit status awaited. The destructor kills and reaps it.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quen::testing {

using Milliseconds = std::chrono::milliseconds;

struct SpawnOptions {
  std::vector<std::string> arguments;  // the program's path first
  // Changes to the test's own environment: a value sets the variable, none removes it.
  std::map<std::string, std::optional<std::string>> environment;
  bool pipeStandardInput = false;  // otherwise standard input is /dev/null
};

// How a process ended: its exit status, or the signal that killed it.
struct ExitStatus {
  std::optional<int> exitCode;
  std::optional<int> signal;
};

class ChildProcess {
 public:
  // Null, with the cause in `error`, when the program cannot be started.
  static std::unique_ptr<ChildProcess> spawn(const SpawnOptions& options, std::string& error);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The next complete line of standard output, without its line feed; none when `timeout`
  // passes first or standard output ended.
  std::optional<std::string> readLine(Milliseconds timeout);
  // Whether standard output reached its end (the process closed it or ended).
  bool outputEnded() const { return outputEnded_; }
  bool writeLine(std::string_view line);
  // The parent hangs up: closes its end of the process's standard output.
  void closeOutput();
  // Waits up to `timeout` for the process to end; none when it is still running.
  std::optional<ExitStatus> waitForExit(Milliseconds timeout);
  // Everything written to standard error so far (all of it once the process has ended).
  const std::string& standardError();

 private:
  ChildProcess() = default;
  void readAvailableError();
  bool fillOutput(Milliseconds timeout);

  pid_t pid_ = -1;
  int inputFd_ = -1;
  int outputFd_ = -1;
  int errorFd_ = -1;
  bool outputEnded_ = false;
  std::string outputBuffer_;
  std::string errorText_;
  std::optional<ExitStatus> exitStatus_;
};

}  // namespace quen::testing
