#include "platform/linux/application_naming.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace quen::linux_platform {
namespace {

// One naming for X11 windows (WM_CLASS instance and class) and Wayland toplevels (the app id
// for both): installed entries named by id, by StartupWMClass and localized; a process known
// by its name only (its executable hidden, as another user's is).
TEST(ApplicationNamingTest, EntryElseClassAndInstanceElseProcessName) {
  const auto directory = std::filesystem::temp_directory_path() /
                         ("quen-application-naming-" + std::to_string(getpid()));
  std::filesystem::create_directories(directory);
  const auto write = [&directory](const char* file, const char* text) {
    std::ofstream(directory / file) << "[Desktop Entry]\nType=Application\n" << text;
  };
  write("org.example.Editor.desktop", "Name=Editor\nExec=editor %F\n");
  write("debian-xterm.desktop", "Name=XTerm\nExec=xterm\nStartupWMClass=XTerm\n");
  write("foot.desktop", "Name=Foot\nName[de]=Fuss\nExec=foot\n");
  DesktopEntryIndex entries({directory.string()}, "de_DE.UTF-8");
  using Text = std::optional<std::string>;
  const struct {
    WindowClass windowClass;
    std::string processName;  // empty: no process known
    Text appName, appIdentifier;
  } rows[] = {
      {{"org.example.Editor", "org.example.Editor"}, "", "Editor", "org.example.Editor"},
      {{"ORG.EXAMPLE.EDITOR", "ORG.EXAMPLE.EDITOR"}, "", "Editor", "org.example.Editor"},
      {{"xterm", "XTerm"}, "", "XTerm", "debian-xterm"},
      {{"foot", "foot"}, "", "Fuss", "foot"},
      {{"", ""}, "foot", "Fuss", "foot"},
      {{"unlisted", "Unlisted"}, "unlisted", "Unlisted", "unlisted"},
      {{"", ""}, "helper", "helper", std::nullopt},
      {{"", ""}, "", std::nullopt, std::nullopt},
  };
  for (const auto& row : rows) {
    ProcessFacts process;
    process.processName = row.processName;
    const std::int32_t pid = row.processName.empty() ? -1 : 4242;
    const platform::RunningApplication application =
        nameApplication(row.windowClass, pid, process, entries);
    EXPECT_EQ(application.localizedName, row.appName) << row.windowClass.className;
    EXPECT_EQ(application.bundleIdentifier, row.appIdentifier) << row.windowClass.className;
    EXPECT_EQ(application.bundlePath, std::nullopt) << "no path without the executable's";
    EXPECT_EQ(application.processIdentifier, pid);
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace quen::linux_platform
