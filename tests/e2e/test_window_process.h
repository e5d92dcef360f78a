#pragma once

// One quen_test_window process on a test's display: one application, as the agents see it,
// with as many windows as the test opens.

#include <xcb/xcb.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace quen::testing {

class TestWindowProcess {
 public:
  // Null (and a test failure) when the client cannot be started.
  static std::unique_ptr<TestWindowProcess> start(const std::string& display);

  // Sends one command line (see test_window_main.cpp) and returns the window id it answers
  // with; 0, with a test failure, when it answers with an error.
  xcb_window_t command(const std::string& line);
  // Opens a window with the `options` words and the title `title` (bytes as given).
  xcb_window_t open(const std::string& options, const std::string& title);
  void activate(xcb_window_t window) { command("activate " + std::to_string(window)); }
  // `title` as the property `as` names (net, string or compound).
  void setTitle(xcb_window_t window, const std::string& title, const std::string& as = "net");
  pid_t pid() const { return process_->pid(); }

 private:
  explicit TestWindowProcess(std::unique_ptr<ChildProcess> process)
      : process_(std::move(process)) {}
  std::unique_ptr<ChildProcess> process_;
};

// Runs a program of the system (`arguments`, its path first) on `display` and waits for it
// to end; a test failure when it fails.
void runOnDisplay(const std::string& display, const std::vector<std::string>& arguments);

// Runs xte with `actions` (one xte command each: "mousermove 5 3", "mouseclick 1",
// "key a", "keydown b", ...) on `display` and waits for it; a test failure when it fails.
void injectInput(const std::string& display, const std::vector<std::string>& actions);

}  // namespace quen::testing
