#include "platform/linux/process_info.h"

#include <unistd.h>

#include <array>
#include <string_view>

#include "platform/linux/small_file.h"

namespace quen::linux_platform {

namespace {

std::string procPath(pid_t pid, const char* leaf) {
  return "/proc/" + std::to_string(pid) + "/" + leaf;
}

}  // namespace

std::optional<std::string> executablePath(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  std::array<char, 4096> buffer{};
  const ssize_t length = ::readlink(procPath(pid, "exe").c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  constexpr std::string_view deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(),
                                                   deleted) == 0)
    path.resize(path.size() - deleted.size());
  return path;
}

std::string processName(pid_t pid) {
  if (pid <= 0) return {};
  std::string name =
      readSmallRegularFile(procPath(pid, "comm"), 64, FinalLink::Refuse).value_or("");
  while (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

std::string sandboxApplicationId(pid_t pid) {
  if (pid <= 0) return {};
  // The name sits right in the process's root folder, which the process controls (a chroot,
  // a user namespace): only the root link itself is followed.
  const std::string info =
      readSmallRegularFile(procPath(pid, "root/.flatpak-info"), 16 * 1024, FinalLink::Refuse)
          .value_or("");
  bool inApplication = false;
  std::string_view rest = info;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.front() == '[') {
      inApplication = line == "[Application]";
    } else if (inApplication && line.substr(0, 5) == "name=") {
      return std::string(line.substr(5));
    }
  }
  return {};
}

}  // namespace quen::linux_platform
