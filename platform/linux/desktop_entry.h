#pragma once

// One desktop entry file as the freedesktop.org Desktop Entry Specification (1.5) defines
// it, reduced to what names an application: its id, its localized Name and the keys by
// which a running program is matched to it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quen::linux_platform {

struct DesktopEntry {
  std::string id;                       // file name without ".desktop", folders joined by '-'
  std::optional<std::string> name;      // Name in the best matching locale, else Name
  std::string startupWmClass;           // StartupWMClass
  std::string executableName;           // the basename of Exec's program
  bool execHasArguments = false;        // Exec gives its program arguments of its own
  std::string tryExecutableName;        // the basename of TryExec
  bool hidden = false;                  // Hidden=true: the entry counts as deleted
};

// The Name keys to try for a POSIX locale value such as "de_DE.UTF-8@euro", best first:
// "Name[de_DE@euro]", "Name[de_DE]", "Name[de@euro]", "Name[de]" (the Desktop Entry
// Specification's matching order). None for "C", "POSIX" or an empty value.
std::vector<std::string> localizedNameKeys(std::string_view locale);

// The locale that names messages: the first set of LC_ALL, LC_MESSAGES and LANG.
std::string messagesLocaleFromEnvironment();

// Reads the [Desktop Entry] group of a file's text. None when the text has no such group
// or describes something other than an application (Type other than Application).
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string id,
                                              const std::vector<std::string>& nameKeys);

// The program an Exec value runs, as its basename: the first word, unquoted (an `env`
// prefix and its variable assignments skipped); and whether any word follows it other than
// a field code (%f, %U and the like, which stand for what the entry is launched with).
struct ExecProgram {
  std::string name;
  bool hasArguments = false;
};
ExecProgram programOfExec(std::string_view exec);

}  // namespace quen::linux_platform
