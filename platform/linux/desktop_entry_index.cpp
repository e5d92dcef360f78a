#include "platform/linux/desktop_entry_index.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/linux/small_file.h"

namespace quen::linux_platform {

namespace {

constexpr std::size_t LARGEST_ENTRY_FILE = 256 * 1024;
// Linux keeps a process name (/proc/<pid>/comm) to TASK_COMM_LEN - 1 bytes.
constexpr std::size_t PROCESS_NAME_LENGTH = 15;

std::string lowercase(std::string_view text) {
  std::string out(text);
  for (char& character : out)
    if (character >= 'A' && character <= 'Z') character = static_cast<char>(character - 'A' + 'a');
  return out;
}

// A larger file is taken for no desktop entry. Entries may be links (Flatpak exports its
// applications' entries as links).
std::optional<std::string> readEntryFile(const std::string& path) {
  auto text = readSmallRegularFile(path, LARGEST_ENTRY_FILE + 1, FinalLink::Follow);
  if (text && text->size() > LARGEST_ENTRY_FILE) return std::nullopt;
  return text;
}

std::timespec modificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return status.st_mtim;
}

// The entry id: the path below the applications directory, '/' replaced by '-', without
// the ".desktop" suffix.
std::string entryId(const std::filesystem::path& relative) {
  std::string id = relative.generic_string();
  id.resize(id.size() - std::string_view(".desktop").size());
  std::replace(id.begin(), id.end(), '/', '-');
  return id;
}

template <typename Map>
void addKey(Map& map, std::string key, std::size_t index) {
  if (!key.empty()) map.emplace(std::move(key), index);
}

}  // namespace

std::vector<std::string> DesktopEntryIndex::applicationDirectoriesFromEnvironment() {
  const auto variable = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
  };
  std::string dataHome = variable("XDG_DATA_HOME");
  if (dataHome.empty() && !variable("HOME").empty()) dataHome = variable("HOME") + "/.local/share";
  std::string dataDirs = variable("XDG_DATA_DIRS");
  if (dataDirs.empty()) dataDirs = "/usr/local/share/:/usr/share/";
  std::vector<std::string> directories;
  const auto add = [&directories](std::string_view base) {
    if (base.empty() || base.front() != '/') return;  // relative paths are invalid
    while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
    directories.push_back(std::string(base) + "/applications");
  };
  add(dataHome);
  for (std::size_t start = 0; start <= dataDirs.size();) {
    const std::size_t colon = std::min(dataDirs.find(':', start), dataDirs.size());
    add(std::string_view(dataDirs).substr(start, colon - start));
    start = colon + 1;
  }
  return directories;
}

DesktopEntryIndex::DesktopEntryIndex(std::vector<std::string> applicationDirectories,
                                     std::string locale, Clock clock,
                                     std::chrono::seconds rescanInterval)
    : directories_(std::move(applicationDirectories)),
      nameKeys_(localizedNameKeys(locale)),
      clock_(std::move(clock)),
      rescanInterval_(rescanInterval) {}

const DesktopEntry* DesktopEntryIndex::find(const ProgramClues& clues) {
  if (!scanned_) scan();
  if (const DesktopEntry* entry = lookUp(clues)) return entry;
  const auto now = clock_();
  if (now - lastScan_ < rescanInterval_) return nullptr;
  if (!directoriesChanged()) {
    lastScan_ = now;
    return nullptr;
  }
  scan();
  return lookUp(clues);
}

const DesktopEntry* DesktopEntryIndex::lookUp(const ProgramClues& clues) const {
  const auto in = [this](const auto& map, const std::string& key) -> const DesktopEntry* {
    if (key.empty()) return nullptr;
    const auto found = map.find(key);
    if (found == map.end() || entries_[found->second].hidden) return nullptr;
    return &entries_[found->second];
  };
  const std::string lowerClass = lowercase(clues.windowClass);
  const std::string lowerInstance = lowercase(clues.windowInstance);
  for (const DesktopEntry* entry :
       {in(byWmClass_, lowerClass), in(byWmClass_, lowerInstance), in(byId_, clues.sandboxAppId),
        in(byLowerId_, lowerClass), in(byLowerId_, lowerInstance),
        in(byExecutable_, clues.executableName), in(byProcessName_, clues.processName)})
    if (entry != nullptr) return entry;
  return nullptr;
}

void DesktopEntryIndex::scan() {
  scanned_ = true;
  ++scanCount_;
  lastScan_ = clock_();
  stamps_.clear();
  entries_.clear();
  for (auto* map : {&byId_, &byLowerId_, &byWmClass_, &byExecutable_, &byProcessName_})
    map->clear();
  for (const std::string& directory : directories_) scanDirectory(directory);
  indexPrograms();
}

void DesktopEntryIndex::scanDirectory(const std::string& directory) {
  namespace fs = std::filesystem;
  stamps_.push_back({directory, modificationTime(directory)});
  std::error_code error;
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator walk(
           directory, fs::directory_options::skip_permission_denied, error), end;
       !error && walk != end; walk.increment(error)) {
    if (walk->is_directory(error)) {
      stamps_.push_back({walk->path().string(), modificationTime(walk->path().string())});
    } else if (walk->path().extension() == ".desktop" && walk->is_regular_file(error)) {
      files.push_back(walk->path().lexically_relative(directory));
    }
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& relative : files) {
    const auto text = readEntryFile(directory + "/" + relative.string());
    if (!text) continue;
    if (auto entry = parseDesktopEntry(*text, entryId(relative), nameKeys_))
      addEntry(std::move(*entry));
  }
}

void DesktopEntryIndex::addEntry(DesktopEntry entry) {
  // An id already seen belongs to a directory of higher precedence, which hides this one,
  // even when that entry is Hidden (it then hides the id altogether).
  if (byId_.count(entry.id) != 0) return;
  const std::size_t index = entries_.size();
  byId_.emplace(entry.id, index);
  if (!entry.hidden) {
    addKey(byLowerId_, lowercase(entry.id), index);
    addKey(byWmClass_, lowercase(entry.startupWmClass), index);
  }
  entries_.push_back(std::move(entry));
}

// Several entries may run one program (foot.desktop "foot", foot-server.desktop "foot
// --server"). The program names the entry named after it, else one whose Exec gives it no
// arguments of its own, else the first found.
void DesktopEntryIndex::indexPrograms() {
  struct Candidate {
    int preference;
    std::size_t index;
    const std::string* program;
  };
  std::vector<Candidate> candidates;
  for (std::size_t index = 0; index < entries_.size(); ++index) {
    const DesktopEntry& entry = entries_[index];
    if (entry.hidden) continue;
    for (const std::string* program : {&entry.executableName, &entry.tryExecutableName})
      if (!program->empty())
        candidates.push_back({entry.id == *program ? 0 : entry.execHasArguments ? 2 : 1, index,
                              program});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& left, const Candidate& right) {
                     return left.preference < right.preference;
                   });
  for (const Candidate& candidate : candidates) {
    addKey(byExecutable_, *candidate.program, candidate.index);
    addKey(byProcessName_, candidate.program->substr(0, PROCESS_NAME_LENGTH), candidate.index);
  }
}

bool DesktopEntryIndex::directoriesChanged() const {
  for (const DirectoryStamp& stamp : stamps_) {
    const std::timespec now = modificationTime(stamp.path);
    if (now.tv_sec != stamp.modified.tv_sec || now.tv_nsec != stamp.modified.tv_nsec) return true;
  }
  return false;
}

}  // namespace quen::linux_platform
