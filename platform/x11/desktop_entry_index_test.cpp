#include "platform/x11/desktop_entry_index.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace quen::x11 {
namespace {

namespace fs = std::filesystem;

class DesktopEntryIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quen-desktop-entries-XXXXXX";
    root_ = ::mkdtemp(pattern);
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      if (const char* value = std::getenv(name)) saved_[name] = value;
      ::unsetenv(name);
    }
    ::setenv("XDG_DATA_HOME", (root_ / "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", ((root_ / "system").string() + ":relative/ignored").c_str(), 1);
  }

  void TearDown() override {
    fs::remove_all(root_);
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "LC_ALL", "LC_MESSAGES", "LANG"})
      ::unsetenv(name);
    for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
  }

  // Writes <root>/<where>/applications/<relative>.
  void write(const std::string& where, const std::string& relative, const std::string& text) {
    const fs::path path = root_ / where / "applications" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }

  DesktopEntryIndex makeIndex() {
    return DesktopEntryIndex(DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
                             messagesLocaleFromEnvironment(), [this] { return now_; });
  }

  static ProgramClues byClass(std::string className, std::string instance = "") {
    ProgramClues clues;
    clues.windowClass = std::move(className);
    clues.windowInstance = std::move(instance);
    return clues;
  }

  static std::string idOf(const DesktopEntry* entry) { return entry ? entry->id : "(none)"; }

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

TEST_F(DesktopEntryIndexTest, StartupWmClassNamesTheEntryWhoseIdDiffers) {
  write("system", "debian-xterm.desktop",
        "[Desktop Entry]\nType=Application\nName=XTerm\nExec=xterm\nStartupWMClass=XTerm\n");
  DesktopEntryIndex index = makeIndex();
  const DesktopEntry* entry = index.find(byClass("XTerm", "xterm"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->id, "debian-xterm");
  EXPECT_EQ(entry->name, "XTerm");
}

TEST_F(DesktopEntryIndexTest, StartupWmClassComesBeforeTheId) {
  write("system", "editor.desktop", "[Desktop Entry]\nName=Plain\nExec=editor\n");
  write("system", "fancy.desktop", "[Desktop Entry]\nName=Fancy\nExec=x\nStartupWMClass=Editor\n");
  DesktopEntryIndex index = makeIndex();
  EXPECT_EQ(idOf(index.find(byClass("Editor", "editor"))), "fancy");
}

TEST_F(DesktopEntryIndexTest, IdMatchesClassOrInstanceWhateverTheCase) {
  write("system", "org.gnome.Nautilus.desktop", "[Desktop Entry]\nName=Files\nExec=nautilus\n");
  write("system", "gimp.desktop", "[Desktop Entry]\nName=GIMP\nExec=gimp-2.10\n");
  DesktopEntryIndex index = makeIndex();
  EXPECT_EQ(idOf(index.find(byClass("org.gnome.Nautilus"))), "org.gnome.Nautilus");
  EXPECT_EQ(idOf(index.find(byClass("Gimp-2.10", "GIMP"))), "gimp");
}

TEST_F(DesktopEntryIndexTest, SandboxIdNamesAFlatpakEntry) {
  write("system", "org.mozilla.firefox.desktop",
        "[Desktop Entry]\nName=Firefox\nExec=/usr/bin/flatpak run org.mozilla.firefox\n");
  DesktopEntryIndex index = makeIndex();
  ProgramClues clues = byClass("firefox", "Navigator");
  clues.sandboxAppId = "org.mozilla.firefox";
  EXPECT_EQ(idOf(index.find(clues)), "org.mozilla.firefox");
}

TEST_F(DesktopEntryIndexTest, ExecutableNameMatchesExecAndTryExecPrograms) {
  write("system", "viewer.desktop",
        "[Desktop Entry]\nName=Viewer\nExec=\"/opt/My Apps/view-bin\" --new %U\n");
  write("system", "wrapped.desktop", "[Desktop Entry]\nName=Wrapped\nExec=env A=1 B=2 wrapped-bin %f\n");
  write("system", "tried.desktop", "[Desktop Entry]\nName=Tried\nExec=launcher\nTryExec=/usr/bin/tried-bin\n");
  DesktopEntryIndex index = makeIndex();
  ProgramClues clues;
  clues.executableName = "view-bin";
  EXPECT_EQ(idOf(index.find(clues)), "viewer");
  clues.executableName = "wrapped-bin";
  EXPECT_EQ(idOf(index.find(clues)), "wrapped");
  clues.executableName = "tried-bin";
  EXPECT_EQ(idOf(index.find(clues)), "tried");
}

TEST_F(DesktopEntryIndexTest, ProcessNameMatchesTheProgramCutToFifteenBytes) {
  write("system", "long.desktop", "[Desktop Entry]\nName=Long\nExec=a-very-long-program-name\n");
  DesktopEntryIndex index = makeIndex();
  ProgramClues clues;
  clues.processName = "a-very-long-pro";
  EXPECT_EQ(idOf(index.find(clues)), "long");
}

TEST_F(DesktopEntryIndexTest, NameFollowsTheMessagesLocale) {
  write("system", "files.desktop",
        "[Desktop Entry]\nName=Files\nName[de]=Dateien\nName[de_AT]=Dateien (AT)\nExec=files\n");
  ::setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(makeIndex().find(byClass("files"))->name, "Dateien");
  ::setenv("LC_MESSAGES", "de_AT.UTF-8@euro", 1);
  EXPECT_EQ(makeIndex().find(byClass("files"))->name, "Dateien (AT)");
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(makeIndex().find(byClass("files"))->name, "Files");
}

TEST_F(DesktopEntryIndexTest, UserEntryHidesTheSystemOneAndHiddenHidesTheId) {
  write("home", "shadowed.desktop", "[Desktop Entry]\nName=Mine\nExec=shadowed\n");
  write("system", "shadowed.desktop", "[Desktop Entry]\nName=Theirs\nExec=shadowed\n");
  write("home", "removed.desktop", "[Desktop Entry]\nName=Gone\nHidden=true\n");
  write("system", "removed.desktop",
        "[Desktop Entry]\nName=Removed\nExec=removed-bin\nStartupWMClass=Removed\n");
  DesktopEntryIndex index = makeIndex();
  EXPECT_EQ(index.find(byClass("shadowed"))->name, "Mine");
  EXPECT_EQ(index.find(byClass("Removed", "removed")), nullptr);
  ProgramClues clues;
  clues.executableName = "removed-bin";
  EXPECT_EQ(index.find(clues), nullptr);
}

TEST_F(DesktopEntryIndexTest, SubdirectoriesJoinTheIdWithDashes) {
  write("system", "kde4/konsole.desktop", "[Desktop Entry]\nName=Konsole\nExec=konsole\n");
  DesktopEntryIndex index = makeIndex();
  EXPECT_EQ(idOf(index.find(byClass("kde4-konsole"))), "kde4-konsole");
}

TEST_F(DesktopEntryIndexTest, OnlyApplicationEntriesCount) {
  write("system", "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=http://x/\n");
  write("system", "other-group.desktop", "[Desktop Action new]\nName=New\nExec=other\n");
  write("system", "escaped.desktop", "[Desktop Entry]\nName = Two\\sWords\nExec=escaped\n");
  DesktopEntryIndex index = makeIndex();
  EXPECT_EQ(index.find(byClass("link")), nullptr);
  EXPECT_EQ(index.find(byClass("other-group")), nullptr);
  EXPECT_EQ(index.find(byClass("escaped"))->name, "Two Words");
}

TEST_F(DesktopEntryIndexTest, MissRescansOncePerIntervalAndOnlyAfterAChange) {
  write("system", "first.desktop", "[Desktop Entry]\nName=First\nExec=first\n");
  DesktopEntryIndex index = makeIndex();
  ASSERT_NE(index.find(byClass("first")), nullptr);
  EXPECT_EQ(index.scanCount(), 1);

  write("system", "later.desktop", "[Desktop Entry]\nName=Later\nExec=later\n");
  EXPECT_EQ(index.find(byClass("later")), nullptr) << "no rescan within the interval";
  now_ += std::chrono::seconds(31);
  EXPECT_EQ(idOf(index.find(byClass("later"))), "later");
  EXPECT_EQ(index.scanCount(), 2);

  now_ += std::chrono::seconds(31);
  EXPECT_EQ(index.find(byClass("never-installed")), nullptr);
  EXPECT_EQ(index.scanCount(), 2) << "nothing changed: no rescan";
  EXPECT_NE(index.find(byClass("first")), nullptr);
  EXPECT_EQ(index.scanCount(), 2) << "a hit never rescans";
}

TEST_F(DesktopEntryIndexTest, NewSubdirectoryIsFoundByRescan) {
  write("home", "placeholder.desktop", "[Desktop Entry]\nName=P\nExec=p\n");
  DesktopEntryIndex index = makeIndex();
  EXPECT_EQ(index.find(byClass("vendor-tool")), nullptr);
  write("home", "vendor/tool.desktop", "[Desktop Entry]\nName=Tool\nExec=tool\n");
  now_ += std::chrono::seconds(31);
  EXPECT_EQ(idOf(index.find(byClass("vendor-tool"))), "vendor-tool");
}

}  // namespace
}  // namespace quen::x11
