#include "tests/windows/win_harness.h"

#include <chrono>

namespace quen::testing {
namespace {

std::string utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring modulePath() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::string ownPath() { return utf8(modulePath()); }

std::wstring buildFolder() {
  std::wstring path = modulePath();
  for (int level = 0; level < 3; ++level) path.resize(path.find_last_of(L'\\'));
  return path;  // <build>\tests\windows\windows_e2e_tests.exe -> <build>
}

bool pumpUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::unique_ptr<AgentProcess> AgentProcess::start(const std::wstring& executable,
                                                  const std::wstring& arguments) {
  auto agent = std::unique_ptr<AgentProcess>(new AgentProcess);
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&agent->readEnd_, &writeEnd, &inheritable, 0)) return nullptr;
  SetHandleInformation(agent->readEnd_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION started{};
  std::wstring commandLine = L"\"" + executable + L"\" " + arguments;
  const BOOL ok = CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started);
  CloseHandle(writeEnd);
  if (!ok) return nullptr;
  CloseHandle(started.hThread);
  agent->process_ = started.hProcess;
  agent->processId_ = started.dwProcessId;
  if (agent->readEnd_)
    agent->reader_ = CreateThread(nullptr, 0, &AgentProcess::readLines, agent.get(), 0, nullptr);
  return agent;
}

DWORD WINAPI AgentProcess::readLines(void* self) {
  auto* agent = static_cast<AgentProcess*>(self);
  std::string pending;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(agent->readEnd_, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    pending.append(buffer, count);
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::lock_guard lock(agent->mutex_);
      agent->lines_.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  return 0;
}

AgentProcess::~AgentProcess() {
  if (process_) {
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 5000);
  }
  closeOutput();
  if (process_) CloseHandle(process_);
}

std::optional<Json> AgentProcess::nextRecord(const std::function<bool(const Json&)>& matches,
                                             double seconds) {
  std::optional<Json> found;
  pumpUntil([&] {
    std::lock_guard lock(mutex_);
    while (!found && next_ < lines_.size()) {
      Json record = Json::parse(lines_[next_++], nullptr, /*allow_exceptions=*/false);
      if (matches(record)) found = std::move(record);
    }
    return found.has_value();
  }, seconds);
  return found;
}

std::vector<std::string> AgentProcess::lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

void AgentProcess::closeOutput() {
  // The reader's pending ReadFile is cancelled, and the reader ends, before the handle goes.
  if (reader_) {
    do CancelSynchronousIo(reader_);
    while (WaitForSingleObject(reader_, 10) == WAIT_TIMEOUT);
    CloseHandle(std::exchange(reader_, nullptr));
  }
  if (readEnd_) CloseHandle(std::exchange(readEnd_, nullptr));
}

bool AgentProcess::waitForExit(double seconds, DWORD& status) {
  const bool ended = pumpUntil([&] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; },
                               seconds);
  if (ended) GetExitCodeProcess(process_, &status);
  return ended;
}

HWND openWindow(const std::wstring& title, DWORD style, DWORD extendedStyle, int x, int y,
                int width, int height) {
  static const ATOM windowClass = [] {
    WNDCLASSW description{};
    description.lpfnWndProc = windowProcedure;
    description.hInstance = GetModuleHandleW(nullptr);
    description.lpszClassName = L"QuenTestWindow";
    description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    return RegisterClassW(&description);
  }();
  HWND window = CreateWindowExW(extendedStyle, MAKEINTATOM(windowClass), title.c_str(), style, x,
                                y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return window;
}

void sendInput(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT mouseInput(DWORD flags, LONG dx, LONG dy) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.dwFlags = flags;
  return input;
}

INPUT keyInput(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

bool sendXTestInput(const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::wstring commandLine = L"Z:\\usr\\bin\\xdotool " + arguments;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started))
    return false;
  if (started.hProcess) CloseHandle(started.hProcess);
  if (started.hThread) CloseHandle(started.hThread);
  return true;
}

}  // namespace quen::testing
