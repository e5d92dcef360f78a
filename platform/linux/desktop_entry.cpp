#include "platform/linux/desktop_entry.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace quen::linux_platform {

namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// The escapes of string values: \s \n \t \r \\.
std::string unescapeValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t index = 0; index < value.size(); ++index) {
    if (value[index] != '\\' || index + 1 == value.size()) {
      out.push_back(value[index]);
      continue;
    }
    switch (const char escaped = value[++index]) {
      case 's': out.push_back(' '); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      default: out.push_back(escaped); break;
    }
  }
  return out;
}

std::string baseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The next word of an Exec command line: double quotes group, a backslash inside them
// escapes the next character.
std::string nextWord(std::string_view& line) {
  line = trim(line);
  std::string word;
  bool quoted = false;
  while (!line.empty()) {
    const char character = line.front();
    line.remove_prefix(1);
    if (quoted && character == '\\' && !line.empty()) {
      word.push_back(line.front());
      line.remove_prefix(1);
    } else if (character == '"') {
      quoted = !quoted;
    } else if (!quoted && (character == ' ' || character == '\t')) {
      break;
    } else {
      word.push_back(character);
    }
  }
  return word;
}

// The Desktop Entry Specification's field codes, deprecated ones included; "%%" is a
// literal percent sign, an argument like any other.
bool isFieldCode(std::string_view word) {
  return word.size() == 2 && word[0] == '%' &&
         std::string_view("fFuUdDnNickvm").find(word[1]) != std::string_view::npos;
}

struct RawEntry {
  std::optional<std::string> type, name, startupWmClass, exec, tryExec, hidden;
  std::vector<std::pair<std::string, std::string>> localizedNames;
};

void keepKey(RawEntry& raw, std::string_view key, std::string value) {
  if (key == "Type") raw.type = std::move(value);
  else if (key == "Name") raw.name = std::move(value);
  else if (key == "StartupWMClass") raw.startupWmClass = std::move(value);
  else if (key == "Exec") raw.exec = std::move(value);
  else if (key == "TryExec") raw.tryExec = std::move(value);
  else if (key == "Hidden") raw.hidden = std::move(value);
  else if (key.substr(0, 5) == "Name[") raw.localizedNames.emplace_back(key, std::move(value));
}

}  // namespace

std::vector<std::string> localizedNameKeys(std::string_view locale) {
  if (locale.empty() || locale == "C" || locale == "POSIX") return {};
  std::string_view modifier;
  if (const std::size_t at = locale.find('@'); at != std::string_view::npos) {
    modifier = locale.substr(at);
    locale = locale.substr(0, at);
  }
  if (const std::size_t dot = locale.find('.'); dot != std::string_view::npos)
    locale = locale.substr(0, dot);
  const std::size_t underscore = locale.find('_');
  const std::string_view language = locale.substr(0, underscore);
  std::vector<std::string> keys;
  const auto add = [&keys](std::string_view tag) { keys.push_back("Name[" + std::string(tag) + "]"); };
  if (underscore != std::string_view::npos) {
    if (!modifier.empty()) add(std::string(locale) + std::string(modifier));
    add(locale);
  }
  if (!modifier.empty()) add(std::string(language) + std::string(modifier));
  if (!language.empty()) add(language);
  return keys;
}

std::string messagesLocaleFromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string id,
                                              const std::vector<std::string>& nameKeys) {
  RawEntry raw;
  bool inMainGroup = false, sawMainGroup = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inMainGroup = line == "[Desktop Entry]";
      sawMainGroup = sawMainGroup || inMainGroup;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inMainGroup || equals == std::string_view::npos) continue;
    keepKey(raw, trim(line.substr(0, equals)), unescapeValue(trim(line.substr(equals + 1))));
  }
  if (!sawMainGroup || (raw.type && *raw.type != "Application")) return std::nullopt;
  DesktopEntry entry;
  entry.id = std::move(id);
  entry.name = raw.name;
  for (const std::string& key : nameKeys) {
    auto found = std::find_if(raw.localizedNames.begin(), raw.localizedNames.end(),
                              [&key](const auto& pair) { return pair.first == key; });
    if (found != raw.localizedNames.end()) {
      entry.name = found->second;
      break;
    }
  }
  entry.startupWmClass = raw.startupWmClass.value_or("");
  if (raw.exec) {
    ExecProgram program = programOfExec(*raw.exec);
    entry.executableName = std::move(program.name);
    entry.execHasArguments = program.hasArguments;
  }
  entry.tryExecutableName = raw.tryExec ? baseName(trim(*raw.tryExec)) : "";
  entry.hidden = raw.hidden == "true";
  return entry;
}

ExecProgram programOfExec(std::string_view exec) {
  std::string program = nextWord(exec);
  if (baseName(program) == "env") {
    do {
      program = nextWord(exec);
    } while (!program.empty() && (program.find('=') != std::string::npos || program[0] == '-'));
  }
  ExecProgram parsed{baseName(program), false};
  while (!parsed.hasArguments && !trim(exec).empty())
    parsed.hasArguments = !isFieldCode(nextWord(exec));
  return parsed;
}

}  // namespace quen::linux_platform
