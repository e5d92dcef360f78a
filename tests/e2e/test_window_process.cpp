#include "tests/e2e/test_window_process.h"

#include <gtest/gtest.h>

namespace quen::testing {

namespace {
constexpr Milliseconds ANSWER_TIMEOUT{10000};
// xautomation's XTest client: relative motion, buttons and keys as device input (so they
// raise XInput2 raw events, which a pointer warp does not); it syncs with the server before
// it exits.
constexpr const char* XTE_PATH = "/usr/bin/xte";
}

std::unique_ptr<TestWindowProcess> TestWindowProcess::start(const std::string& display) {
  SpawnOptions options;
  options.arguments = {QUEN_TEST_WINDOW_PATH};
  options.environment["DISPLAY"] = display;
  options.pipeStandardInput = true;
  std::string error;
  auto process = ChildProcess::spawn(options, error);
  if (!process) {
    ADD_FAILURE() << "cannot start the test window client: " << error;
    return nullptr;
  }
  return std::unique_ptr<TestWindowProcess>(new TestWindowProcess(std::move(process)));
}

xcb_window_t TestWindowProcess::command(const std::string& line) {
  if (!process_->writeLine(line)) {
    ADD_FAILURE() << "test window client gone: " << process_->standardError();
    return 0;
  }
  const auto answer = process_->readLine(ANSWER_TIMEOUT);
  if (!answer || answer->rfind("ok ", 0) != 0) {
    ADD_FAILURE() << "test window client refused \"" << line
                  << "\": " << answer.value_or("(no answer) " + process_->standardError());
    return 0;
  }
  return static_cast<xcb_window_t>(std::stoul(answer->substr(3)));
}

xcb_window_t TestWindowProcess::open(const std::string& options, const std::string& title) {
  return command("open " + options + " : " + title);
}

void TestWindowProcess::setTitle(xcb_window_t window, const std::string& title,
                                 const std::string& as) {
  command("title " + std::to_string(window) + " as=" + as + " : " + title);
}

void runOnDisplay(const std::string& display, const std::vector<std::string>& arguments) {
  SpawnOptions options;
  options.arguments = arguments;
  options.environment["DISPLAY"] = display;
  std::string error;
  auto process = ChildProcess::spawn(options, error);
  ASSERT_TRUE(process) << error;
  const auto status = process->waitForExit(Milliseconds(30000));
  ASSERT_TRUE(status && status->exitCode == 0)
      << arguments.front() << " failed: " << process->standardError();
}

void injectInput(const std::string& display, const std::vector<std::string>& actions) {
  std::vector<std::string> arguments = {XTE_PATH};
  arguments.insert(arguments.end(), actions.begin(), actions.end());
  runOnDisplay(display, arguments);
}

}  // namespace quen::testing
