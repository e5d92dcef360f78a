#pragma once

// What Linux's /proc says of a process, read when asked. Another user's process may hide
// its executable (EACCES); its name stays readable.

#include <sys/types.h>

#include <optional>
#include <string>

namespace quen::linux_platform {

// The executable's path (/proc/<pid>/exe), without the " (deleted)" mark that Linux appends
// once the file was replaced (an upgraded program); none when unreadable.
std::optional<std::string> executablePath(pid_t pid);

// The process name (/proc/<pid>/comm, at most 15 bytes); empty when unreadable.
std::string processName(pid_t pid);

// The Flatpak application id of a sandboxed process, from the [Application] group's "name"
// in the sandbox's /.flatpak-info; empty for a process outside a Flatpak sandbox.
std::string sandboxApplicationId(pid_t pid);

// What /proc says of a process that stays true while it runs the same executable.
struct ProcessFacts {
  std::optional<std::string> executablePath;
  std::string processName;
  std::string sandboxAppId;
};

}  // namespace quen::linux_platform
