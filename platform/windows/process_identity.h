#pragma once

// What a process is, as the agents name applications on Windows: the executable's full path,
// its FileDescription (else the file's stem) and its AppUserModelID (else the file name).

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quen::windows {

struct ProcessIdentity {
  std::string fileName;  // the executable's file name, empty when the path cannot be read
  platform::RunningApplication application;
};

ProcessIdentity readProcessIdentity(DWORD processId);

// A wide (UTF-16) text from Win32 as UTF-8, lone surrogates replaced by U+FFFD.
std::string fromWide(std::wstring_view text);

}  // namespace quen::windows
