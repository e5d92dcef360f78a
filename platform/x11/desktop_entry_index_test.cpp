#include "platform/x11/desktop_entry_index.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace quen::x11 {
namespace {

namespace fs = std::filesystem;

const char* const VARIABLES[] = {"XDG_DATA_HOME", "XDG_DATA_DIRS", "LC_ALL", "LC_MESSAGES", "LANG"};

ProgramClues clues(std::string windowClass, std::string instance = "", std::string sandbox = "",
                   std::string executable = "", std::string process = "") {
  return {std::move(windowClass), std::move(instance), std::move(sandbox), std::move(executable),
          std::move(process)};
}

// "id=Name" of the entry found, or "(none)".
std::string found(const DesktopEntry* entry) {
  return entry ? entry->id + "=" + entry->name.value_or("") : "(none)";
}

class DesktopEntryIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quen-desktop-entries-XXXXXX";
    root_ = ::mkdtemp(pattern);
    for (const char* name : VARIABLES) {
      if (const char* value = std::getenv(name)) saved_[name] = value;
      ::unsetenv(name);
    }
    ::setenv("XDG_DATA_HOME", (root_ / "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", ((root_ / "system").string() + ":relative/ignored").c_str(), 1);
  }

  void TearDown() override {
    fs::remove_all(root_);
    for (const char* name : VARIABLES) ::unsetenv(name);
    for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
  }

  // Writes <root>/<where>/applications/<relative> as an entry with these lines.
  void write(const std::string& where, const std::string& relative, const std::string& lines,
             const std::string& group = "[Desktop Entry]\n") {
    const fs::path path = root_ / where / "applications" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << group << lines;
  }

  DesktopEntryIndex makeIndex() {
    return DesktopEntryIndex(DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
                             messagesLocaleFromEnvironment(), [this] { return now_; });
  }

  fs::path root_;
  std::map<std::string, std::string> saved_;
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
  write("system", "debian-xterm.desktop", "Type=Application\nName=XTerm\nStartupWMClass=XTerm\n");
  write("system", "editor.desktop", "Name=Plain\nExec=editor\n");
  write("system", "fancy.desktop", "Name=Fancy\nExec=x\nStartupWMClass=Editor\n");
  write("system", "org.gnome.Nautilus.desktop", "Name=Files\nExec=nautilus\n");
  write("system", "gimp.desktop", "Name=GIMP\nExec=gimp-2.10\n");
  write("system", "org.mozilla.firefox.desktop",
        "Name=Firefox\nExec=/usr/bin/flatpak run org.mozilla.firefox\n");
  write("system", "kde4/konsole.desktop", "Name=Konsole\nExec=konsole\n");
  write("system", "viewer.desktop", "Name=Viewer\nExec=\"/opt/My Apps/view-bin\" --new %U\n");
  write("system", "wrapped.desktop", "Name=Wrapped\nExec=env A=1 B=2 wrapped-bin %f\n");
  write("system", "tried.desktop", "Name=Tried\nExec=launcher\nTryExec=/usr/bin/tried-bin\n");
  write("system", "long.desktop", "Name=Long\nExec=a-very-long-program-name\n");
  write("home", "shadowed.desktop", "Name=Mine\nExec=shadowed\n");
  write("system", "shadowed.desktop", "Name=Theirs\nExec=shadowed\n");
  write("home", "removed.desktop", "Name=Gone\nHidden=true\n");
  write("system", "removed.desktop", "Name=Removed\nExec=removed-bin\nStartupWMClass=Removed\n");
  write("system", "link.desktop", "Type=Link\nName=Link\nURL=http://x/\n");
  write("system", "other-group.desktop", "Name=New\nExec=other\n", "[Desktop Action new]\n");
  write("system", "escaped.desktop", "Name = Two\\sWords\nExec=escaped\n");
  DesktopEntryIndex index = makeIndex();
  const struct {
    ProgramClues clues;
    const char* expected;
  } rows[] = {
      {clues("XTerm", "xterm"), "debian-xterm=XTerm"},
      {clues("Editor", "editor"), "fancy=Fancy"},
      {clues("org.gnome.Nautilus"), "org.gnome.Nautilus=Files"},
      {clues("Gimp-2.10", "GIMP"), "gimp=GIMP"},
      {clues("firefox", "Navigator", "org.mozilla.firefox"), "org.mozilla.firefox=Firefox"},
      {clues("kde4-konsole"), "kde4-konsole=Konsole"},
      {clues("", "", "", "view-bin"), "viewer=Viewer"},
      {clues("", "", "", "wrapped-bin"), "wrapped=Wrapped"},
      {clues("", "", "", "tried-bin"), "tried=Tried"},
      {clues("", "", "", "", "a-very-long-pro"), "long=Long"},
      {clues("shadowed"), "shadowed=Mine"},
      {clues("Removed", "removed"), "(none)"},
      {clues("", "", "", "removed-bin"), "(none)"},
      {clues("link"), "(none)"},
      {clues("other-group"), "(none)"},
      {clues("escaped"), "escaped=Two Words"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(found(index.find(row.clues)), row.expected);
  }
}

TEST_F(DesktopEntryIndexTest, NameFollowsTheMessagesLocale) {
  write("system", "files.desktop",
        "Name=Files\nName[de]=Dateien\nName[de_AT]=Dateien (AT)\nExec=files\n");
  ::setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(found(makeIndex().find(clues("files"))), "files=Dateien");
  ::setenv("LC_MESSAGES", "de_AT.UTF-8@euro", 1);
  EXPECT_EQ(found(makeIndex().find(clues("files"))), "files=Dateien (AT)");
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(found(makeIndex().find(clues("files"))), "files=Files");
}

TEST_F(DesktopEntryIndexTest, MissRescansOncePerIntervalAndOnlyAfterAChange) {
  write("home", "first.desktop", "Name=First\nExec=first\n");
  DesktopEntryIndex index = makeIndex();
  ASSERT_NE(index.find(clues("first")), nullptr);
  EXPECT_EQ(index.scanCount(), 1);

  write("home", "vendor/tool.desktop", "Name=Tool\nExec=tool\n");
  EXPECT_EQ(index.find(clues("vendor-tool")), nullptr) << "no rescan within the interval";
  now_ += std::chrono::seconds(31);
  EXPECT_EQ(found(index.find(clues("vendor-tool"))), "vendor-tool=Tool");
  EXPECT_EQ(index.scanCount(), 2);

  now_ += std::chrono::seconds(31);
  EXPECT_EQ(index.find(clues("never-installed")), nullptr);
  EXPECT_EQ(index.scanCount(), 2) << "nothing changed: no rescan";
  EXPECT_NE(index.find(clues("first")), nullptr);
  EXPECT_EQ(index.scanCount(), 2) << "a hit never rescans";
}

}  // namespace
}  // namespace quen::x11
