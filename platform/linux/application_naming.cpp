#include "platform/linux/application_naming.h"

namespace quen::linux_platform {

namespace {

// Processes whose facts are kept; the table starts over when it grows past this.
constexpr std::size_t REMEMBERED_PROCESSES = 64;

}  // namespace

platform::RunningApplication nameApplication(const WindowClass& windowClass, std::int32_t pid,
                                             const ProcessFacts& process,
                                             DesktopEntryIndex& entries) {
  platform::RunningApplication application;
  application.processIdentifier = pid;
  application.bundlePath = process.executablePath;
  ProgramClues clues;
  clues.windowClass = windowClass.className;
  clues.windowInstance = windowClass.instance;
  clues.sandboxAppId = process.sandboxAppId;
  clues.processName = process.processName;
  if (process.executablePath)
    clues.executableName = process.executablePath->substr(process.executablePath->rfind('/') + 1);
  const DesktopEntry* entry = entries.find(clues);

  if (entry != nullptr && entry->name) application.localizedName = entry->name;
  else if (!windowClass.className.empty()) application.localizedName = windowClass.className;
  else if (!process.processName.empty()) application.localizedName = process.processName;

  if (entry != nullptr) application.bundleIdentifier = entry->id;
  else if (!windowClass.instance.empty()) application.bundleIdentifier = windowClass.instance;
  return application;
}

const ProcessFacts& ApplicationNaming::processFacts(std::int32_t pid) {
  if (pid <= 0) return noProcess_;
  std::optional<std::string> path = executablePath(pid);
  const auto known = processFacts_.find(pid);
  if (known != processFacts_.end() && known->second.executablePath == path) return known->second;
  if (processFacts_.size() >= REMEMBERED_PROCESSES) processFacts_.clear();
  ProcessFacts& facts = processFacts_[pid];
  facts.executablePath = std::move(path);
  facts.processName = processName(pid);
  facts.sandboxAppId = sandboxApplicationId(pid);
  return facts;
}

platform::RunningApplication ApplicationNaming::name(const WindowClass& windowClass,
                                                     std::int32_t pid,
                                                     const ProcessFacts& process) {
  if (!entries_)
    entries_ = std::make_unique<DesktopEntryIndex>(
        DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
        messagesLocaleFromEnvironment());
  return nameApplication(windowClass, pid, process, *entries_);
}

}  // namespace quen::linux_platform
