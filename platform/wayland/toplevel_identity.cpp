#include "platform/wayland/toplevel_identity.h"

#include "platform/linux/desktop_entry.h"
#include "platform/linux/process_info.h"

namespace quen::wayland {

platform::RunningApplication nameToplevelApplication(const std::string& appId, std::int32_t pid,
                                                     const linux_platform::ProcessFacts& process,
                                                     linux_platform::DesktopEntryIndex& entries) {
  platform::RunningApplication application;
  application.processIdentifier = pid;
  application.bundlePath = process.executablePath;
  linux_platform::ProgramClues clues;
  clues.windowClass = appId;
  clues.windowInstance = appId;
  clues.sandboxAppId = process.sandboxAppId;
  clues.processName = process.processName;
  if (process.executablePath)
    clues.executableName = process.executablePath->substr(process.executablePath->rfind('/') + 1);
  const linux_platform::DesktopEntry* entry = entries.find(clues);
  if (entry != nullptr && entry->name) application.localizedName = entry->name;
  else if (!appId.empty()) application.localizedName = appId;
  else if (!process.processName.empty()) application.localizedName = process.processName;
  if (entry != nullptr) application.bundleIdentifier = entry->id;
  else if (!appId.empty()) application.bundleIdentifier = appId;
  return application;
}

platform::RunningApplication ToplevelIdentity::describe(const std::string& appId,
                                                        std::optional<std::int32_t> pid) {
  if (!entries_)
    entries_ = std::make_unique<linux_platform::DesktopEntryIndex>(
        linux_platform::DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
        linux_platform::messagesLocaleFromEnvironment());
  // The executable link is read at every description, so that a process that ran another
  // program (or a pid taken by another process) is read afresh.
  std::optional<std::string> path;
  if (pid) path = linux_platform::executablePath(*pid);
  if (pid != factsPid_ || path != facts_.executablePath) {
    factsPid_ = pid;
    facts_ = linux_platform::ProcessFacts{};
    if (pid) {
      facts_.executablePath = std::move(path);
      facts_.processName = linux_platform::processName(*pid);
      facts_.sandboxAppId = linux_platform::sandboxApplicationId(*pid);
    }
  }
  return nameToplevelApplication(appId, pid.value_or(UNKNOWN_PROCESS), facts_, *entries_);
}

}  // namespace quen::wayland
