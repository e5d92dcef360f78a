#pragma once

// Standard output through WriteFile on the standard-output handle, in binary: each line ends
// in a line feed alone, and reaches the reader at the next flush. The agent ends at once when
// its reader is gone: at a write that fails with a "reader gone" error (win32_rules.h), and,
// while it has nothing to write, when the parent process ends (watchParentProcess).

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/windows/message_loop.h"

namespace quen::windows {

// The status the agent ends with when its reader or its parent is gone.
inline constexpr UINT READER_GONE_EXIT_STATUS = 0;

class StandardOutput final : public platform::StandardOutput {
 public:
  // `handle` is the process's standard-output handle, open and valid.
  explicit StandardOutput(HANDLE handle) : handle_(handle) {}
  void writeLine(std::string_view line) override;
  void flush() override;

 private:
  HANDLE handle_;
  std::string buffer_;
};

// The standard-output handle; null when the process has none (a GUI-subsystem process that
// nobody gave one).
HANDLE standardOutputHandle();

// Makes `loop` end the process when the process that started this one ends: its handle is
// waited on with the loop's other handles. Nothing is watched when the parent is already
// gone or cannot be opened (then a failed write is the only sign).
void watchParentProcess(MessageLoop& loop);

}  // namespace quen::windows
