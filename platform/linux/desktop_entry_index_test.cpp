#include "platform/linux/desktop_entry_index.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace quen::linux_platform {
namespace {

namespace fs = std::filesystem;

ProgramClues clues(std::string windowClass, std::string instance = "", std::string sandbox = "",
                   std::string executable = "", std::string process = "") {
  return {windowClass, instance, sandbox, executable, process};
}

// "id=Name" of the entry found, or "(none)".
std::string found(const DesktopEntry* entry) {
  return entry ? entry->id + "=" + entry->name.value_or("") : "(none)";
}

class DesktopEntryIndexTest : public ::testing::Test {
 protected:
  // Each test sets the variables afresh; no other test of this program reads them.
  void SetUp() override {
    char pattern[] = "/tmp/quen-desktop-entries-XXXXXX";
    root_ = ::mkdtemp(pattern);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(name);
    ::setenv("XDG_DATA_HOME", (root_ / "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", ((root_ / "system").string() + ":relative/ignored").c_str(), 1);
  }
  void TearDown() override { fs::remove_all(root_); }

  // Writes <root>/<where>/applications/<relative>, in the main group unless `text` names one.
  void write(const std::string& where, const std::string& relative, const std::string& text) {
    const fs::path path = root_ / where / "applications" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << (text.starts_with('[') ? "" : "[Desktop Entry]\n") << text;
  }
  DesktopEntryIndex makeIndex() {
    return DesktopEntryIndex(DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
                             messagesLocaleFromEnvironment(), [this] { return now_; });
  }

  fs::path root_;
  std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
};

TEST_F(DesktopEntryIndexTest, DirectoriesFollowTheXdgVariablesAndIgnoreRelativePaths) {
  EXPECT_EQ(DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
            (std::vector<std::string>{(root_ / "home/applications").string(),
                                      (root_ / "system/applications").string()}));
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_DATA_DIRS");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
            (std::vector<std::string>{"/home/someone/.local/share/applications",
                                      "/usr/local/share/applications", "/usr/share/applications"}));
}

TEST_F(DesktopEntryIndexTest, LookupByStartupWmClassThenIdThenProgram) {
  const char* const files[][3] = {
      {"system", "debian-xterm.desktop", "Name=XTerm\nStartupWMClass=XTerm\n"},
      {"system", "editor.desktop", "Name=Plain\nExec=editor\n"},
      {"system", "fancy.desktop", "Name=Fancy\nExec=x\nStartupWMClass=Editor\n"},
      {"system", "org.gnome.Nautilus.desktop", "Name=Files\nExec=nautilus\n"},
      {"system", "gimp.desktop", "Name=GIMP\nExec=gimp-2.10\n"},
      {"system", "org.mozilla.firefox.desktop", "Name=Firefox\nExec=/usr/bin/flatpak run x\n"},
      {"system", "kde4/konsole.desktop", "Name=Konsole\nExec=konsole\n"},
      {"system", "viewer.desktop", "Name=Viewer\nExec=\"/opt/My Apps/view-bin\" --new %U\n"},
      {"system", "wrapped.desktop", "Name=Wrapped\nExec=env A=1 B=2 wrapped-bin %f\n"},
      {"system", "tried.desktop", "Name=Tried\nExec=launcher\nTryExec=/usr/bin/tried-bin\n"},
      {"system", "long.desktop", "Name=Long\nExec=a-very-long-program-name\n"},
      {"home", "shadowed.desktop", "Name=Mine\nExec=shadowed\n"},
      {"system", "shadowed.desktop", "Name=Theirs\nExec=shadowed\n"},
      {"home", "removed.desktop", "Name=Gone\nHidden=true\n"},
      {"system", "removed.desktop", "Name=Removed\nExec=removed-bin\nStartupWMClass=Removed\n"},
      {"system", "link.desktop", "Type=Link\nName=Link\nURL=http://x/\n"},
      {"system", "other-group.desktop", "[Desktop Action new]\nName=New\nExec=other\n"},
      {"system", "escaped.desktop", "Name = Two\\sWords\nExec=escaped\n"},
      // Entries that run one program: the one named after it, else one without arguments.
      {"system", "foot-server.desktop", "Name=Foot Server\nExec=foot --server\n"},
      {"system", "foot.desktop", "Name=Foot\nExec=foot %F\n"},
      {"system", "a-private.desktop", "Name=Private\nExec=browse --private %u\n"},
      {"system", "b-browse.desktop", "Name=Browse\nExec=browse %u\n"}};
  for (const auto& file : files) write(file[0], file[1], file[2]);
  DesktopEntryIndex index = makeIndex();
  const struct {
    ProgramClues clues;
    const char* expected;
  } rows[] = {
      {clues("XTerm", "xterm"), "debian-xterm=XTerm"}, {clues("Editor", "editor"), "fancy=Fancy"},
      {clues("org.gnome.Nautilus"), "org.gnome.Nautilus=Files"},
      {clues("Gimp-2.10", "GIMP"), "gimp=GIMP"},
      {clues("firefox", "Navigator", "org.mozilla.firefox"), "org.mozilla.firefox=Firefox"},
      {clues("kde4-konsole"), "kde4-konsole=Konsole"},
      {clues("", "", "", "view-bin"), "viewer=Viewer"},
      {clues("", "", "", "wrapped-bin"), "wrapped=Wrapped"},
      {clues("", "", "", "tried-bin"), "tried=Tried"},
      {clues("", "", "", "", "a-very-long-pro"), "long=Long"},
      {clues("shadowed"), "shadowed=Mine"}, {clues("Removed", "removed"), "(none)"},
      {clues("", "", "", "removed-bin"), "(none)"}, {clues("link"), "(none)"},
      {clues("other-group"), "(none)"}, {clues("escaped"), "escaped=Two Words"},
      {clues("X", "", "", "foot"), "foot=Foot"},
      {clues("", "", "", "", "browse"), "b-browse=Browse"},
  };
  for (const auto& row : rows) EXPECT_EQ(found(index.find(row.clues)), row.expected);
}

TEST_F(DesktopEntryIndexTest, NameFollowsTheMessagesLocale) {
  write("system", "files.desktop",
        "Name=Files\nName[de]=Dateien\nName[de_AT]=Dateien (AT)\nExec=files\n");
  // Set one after the other: an empty variable counts as unset.
  const char* const rows[][3] = {{"LANG", "de_DE.UTF-8", "files=Dateien"},
                                 {"LC_ALL", "", "files=Dateien"},
                                 {"LC_MESSAGES", "de_AT.UTF-8@euro", "files=Dateien (AT)"},
                                 {"LC_ALL", "C", "files=Files"}};
  for (const auto& row : rows) {
    ::setenv(row[0], row[1], 1);
    EXPECT_EQ(found(makeIndex().find(clues("files"))), row[2]);
  }
}

TEST_F(DesktopEntryIndexTest, MissRescansOncePerIntervalAndOnlyAfterAChange) {
  write("home", "first.desktop", "Name=First\nExec=first\n");
  DesktopEntryIndex index = makeIndex();
  ASSERT_NE(index.find(clues("first")), nullptr);
  write("home", "vendor/tool.desktop", "Name=Tool\nExec=tool\n");
  EXPECT_EQ(index.find(clues("vendor-tool")), nullptr) << "no rescan within the interval";
  now_ += std::chrono::seconds(31);
  EXPECT_EQ(found(index.find(clues("vendor-tool"))), "vendor-tool=Tool");
  now_ += std::chrono::seconds(31);
  EXPECT_EQ(index.find(clues("never-installed")), nullptr);
  EXPECT_NE(index.find(clues("first")), nullptr);
  EXPECT_EQ(index.scanCount(), 2) << "nothing changed, and a hit never rescans";
}

}  // namespace
}  // namespace quen::linux_platform
