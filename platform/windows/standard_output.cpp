#include "platform/windows/standard_output.h"

#include <tlhelp32.h>

#include "platform/windows/win32_rules.h"

namespace quen::windows {
namespace {

std::uint64_t fileTimeValue(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

std::uint64_t creationTime(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return fileTimeValue(created);
}

DWORD parentProcessId() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snapshot);
  return parent;
}

}  // namespace

void StandardOutput::writeLine(std::string_view line) {
  buffer_.append(line);
  buffer_ += '\n';
}

void StandardOutput::flush() {
  std::size_t written = 0;
  while (written < buffer_.size()) {
    DWORD count = 0;
    const auto size = static_cast<DWORD>(buffer_.size() - written);
    if (!WriteFile(handle_, buffer_.data() + written, size, &count, nullptr)) {
      if (isReaderGoneError(GetLastError())) ExitProcess(READER_GONE_EXIT_STATUS);
      break;  // another failure (a full disk): the lines are dropped, as stdio drops them
    }
    written += count;
  }
  buffer_.clear();
}

HANDLE standardOutputHandle() {
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

void watchParentProcess(MessageLoop& loop) {
  const DWORD parentId = parentProcessId();
  if (parentId == 0) return;
  HANDLE parent = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parentId);
  if (parent == nullptr) return;
  // A process id is reused once its process is gone: a parent made after this process is
  // another program, and ours has ended.
  const std::uint64_t parentCreated = creationTime(parent);
  if (parentCreated == 0 || parentCreated > creationTime(GetCurrentProcess()) ||
      WaitForSingleObject(parent, 0) == WAIT_OBJECT_0) {
    CloseHandle(parent);
    return;
  }
  loop.watchHandle(parent, [] { ExitProcess(READER_GONE_EXIT_STATUS); });
}

}  // namespace quen::windows
