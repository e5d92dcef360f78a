#pragma once

// The Windows end-to-end tests' side: an agent started as a child with its standard output on
// a pipe (as a parent app starts it: CREATE_NO_WINDOW, only the write end inherited), its
// lines read on a thread of their own, and top-level windows of the test's own. Every wait
// pumps the test thread's messages (its windows live on it) and ends at a deadline.

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace quen::testing {

using Json = nlohmann::json;

// The folder of the test executable's build tree: the agents are found relative to it.
std::wstring buildFolder();
// The test executable's full path, as UTF-8.
std::string ownPath();

// Pumps the thread's messages for up to `seconds`, until `done` returns true.
bool pumpUntil(const std::function<bool()>& done, double seconds = 5.0);

class AgentProcess {
 public:
  // Starts `executable` with `arguments`; null when it cannot be started.
  static std::unique_ptr<AgentProcess> start(const std::wstring& executable,
                                             const std::wstring& arguments);
  ~AgentProcess();

  // The first record from the `index`-th line on that `matches` accepts, with its index in
  // `index` advanced past it; none at the deadline.
  std::optional<Json> nextRecord(const std::function<bool(const Json&)>& matches,
                                 double seconds = 5.0);
  std::optional<Json> nextRecord() { return nextRecord([](const Json&) { return true; }); }
  std::vector<std::string> lines();
  // Closes the read end of the pipe, as a parent that goes away does.
  void closeOutput();
  // Whether the process ends within `seconds`; its exit status in `status`.
  bool waitForExit(double seconds, DWORD& status);
  DWORD processId() const { return processId_; }

 private:
  static DWORD WINAPI readLines(void* self);

  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HANDLE readEnd_ = nullptr;
  HANDLE reader_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

// A top-level window of the test thread, shown at once.
HWND openWindow(const std::wstring& title, DWORD style, DWORD extendedStyle, int x, int y,
                int width, int height);
// Sends input as the user would (SendInput): each INPUT in turn.
void sendInput(std::vector<INPUT> inputs);
INPUT mouseInput(DWORD flags, LONG dx = 0, LONG dy = 0);
INPUT keyInput(WORD virtualKey, bool up);
// Sends input through the X server under Wine (XTEST, by xdotool with `arguments`): Wine's
// Raw Input misses SendInput's wheel and drags. Wine starts Unix programs but gives no
// handle to wait on: the caller waits for what the input causes.
bool sendXTestInput(const std::wstring& arguments);

}  // namespace quen::testing
