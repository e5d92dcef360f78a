#pragma once

// The installed applications' desktop entries, indexed by what a running program shows of
// itself. It reads the application directories of the XDG Base Directory Specification once,
// on first use, and again only when a lookup finds nothing, at most once per rescan interval
// and only when a directory changed since: a lookup that is answered never touches a file.

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/linux/desktop_entry.h"

namespace quen::linux_platform {

// What a running program shows that can name its desktop entry; empty when unknown.
struct ProgramClues {
  std::string windowClass;      // WM_CLASS class, "XTerm"
  std::string windowInstance;   // WM_CLASS instance, "xterm"
  std::string sandboxAppId;     // a Flatpak application id, "org.mozilla.firefox"
  std::string executableName;   // the basename of the executable's path
  std::string processName;      // /proc/<pid>/comm (at most 15 bytes)
};

class DesktopEntryIndex {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS/applications, with the
  // XDG Base Directory defaults ($HOME/.local/share; /usr/local/share:/usr/share); relative
  // paths are ignored. An earlier directory's entry hides a later one with the same id.
  static std::vector<std::string> applicationDirectoriesFromEnvironment();

  DesktopEntryIndex(std::vector<std::string> applicationDirectories, std::string locale,
                    Clock clock = std::chrono::steady_clock::now,
                    std::chrono::seconds rescanInterval = std::chrono::seconds(30));

  // The entry for a program: first by StartupWMClass (against the class, then the
  // instance), then by entry id (the Flatpak id, then the class and instance), then by
  // executable name (Exec's or TryExec's program against the executable, then the process
  // name; of several entries that run the program, the one whose id is its name, then one
  // whose Exec gives it no arguments, then the first). Window class, instance and id compare
  // without regard to ASCII case.
  const DesktopEntry* find(const ProgramClues& clues);

  // How many times the directories have been read; for tests.
  int scanCount() const { return scanCount_; }

 private:
  struct DirectoryStamp {
    std::string path;
    std::timespec modified{};
  };

  const DesktopEntry* lookUp(const ProgramClues& clues) const;
  void scan();
  void scanDirectory(const std::string& directory);
  void addEntry(DesktopEntry entry);
  void indexPrograms();
  bool directoriesChanged() const;

  std::vector<std::string> directories_;
  std::vector<std::string> nameKeys_;
  Clock clock_;
  std::chrono::seconds rescanInterval_;
  bool scanned_ = false;
  int scanCount_ = 0;
  std::chrono::steady_clock::time_point lastScan_{};
  std::vector<DirectoryStamp> stamps_;
  std::vector<DesktopEntry> entries_;
  // Each key names the first entry (in directory precedence) that holds it.
  std::unordered_map<std::string, std::size_t> byId_, byLowerId_, byWmClass_, byExecutable_,
      byProcessName_;
};

}  // namespace quen::linux_platform
