#include "platform/wayland/toplevel_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace quen::wayland {
namespace {

struct AppIdCase {
  const char* name;
  std::string appId;
  std::string processName;  // empty: no process known
  std::optional<std::string> appName, appIdentifier;
};

void PrintTo(const AppIdCase& row, std::ostream* out) { *out << row.name; }

// Installed entries: one named by its id, one matched by StartupWMClass (as an XWayland
// window's class shows it), one localized.
class AppIdTest : public ::testing::TestWithParam<AppIdCase> {
 protected:
  static void SetUpTestSuite() {
    directory = std::filesystem::temp_directory_path() /
                ("quen-app-id-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    const auto write = [](const char* file, const char* text) {
      std::ofstream(directory / file) << "[Desktop Entry]\nType=Application\n" << text;
    };
    write("org.example.Editor.desktop", "Name=Editor\nExec=editor %F\n");
    write("debian-xterm.desktop", "Name=XTerm\nExec=xterm\nStartupWMClass=XTerm\n");
    write("foot.desktop", "Name=Foot\nName[de]=Fuss\nExec=foot\n");
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(directory); }
  static inline std::filesystem::path directory;
};

TEST_P(AppIdTest, NamesTheApplicationThroughTheDesktopEntries) {
  const AppIdCase& row = GetParam();
  linux_platform::DesktopEntryIndex entries({directory.string()}, "de_DE.UTF-8");
  linux_platform::ProcessFacts process;
  process.processName = row.processName;
  const std::int32_t pid = row.processName.empty() ? UNKNOWN_PROCESS : 4242;
  const platform::RunningApplication application =
      nameToplevelApplication(row.appId, pid, process, entries);
  EXPECT_EQ(application.localizedName, row.appName);
  EXPECT_EQ(application.bundleIdentifier, row.appIdentifier);
  EXPECT_EQ(application.bundlePath, std::nullopt) << "no path without the executable's";
  EXPECT_EQ(application.processIdentifier, pid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AppIdTest,
    ::testing::Values(
        AppIdCase{"EntryIdIsTheAppId", "org.example.Editor", "", "Editor", "org.example.Editor"},
        AppIdCase{"AppIdComparesWithoutCase", "ORG.EXAMPLE.EDITOR", "", "Editor",
                  "org.example.Editor"},
        AppIdCase{"XWaylandClassMatchesStartupWMClass", "XTerm", "", "XTerm", "debian-xterm"},
        AppIdCase{"LocalizedName", "foot", "", "Fuss", "foot"},
        AppIdCase{"ProcessNameFindsTheEntry", "", "foot", "Fuss", "foot"},
        AppIdCase{"NoEntryGivesTheAppIdForBoth", "com.example.Unlisted", "unlisted",
                  "com.example.Unlisted", "com.example.Unlisted"},
        AppIdCase{"NoAppIdNoEntryGivesTheProcessName", "", "helper", "helper", std::nullopt},
        AppIdCase{"NothingKnownGivesNothing", "", "", std::nullopt, std::nullopt}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace quen::wayland
