// quen_test_window: an X client that end-to-end tests drive line by line.
//
// Reads one command per line on standard input and answers each with one line on standard
// output: "ok <window id>" (decimal; 0 when no window is concerned) or "error <reason>".
// Options are key=value words; a title follows a lone ":" and runs to the end of the line,
// taken byte for byte (so a test can send invalid UTF-8).
//
//   open [width=N] [height=N] [x=N] [y=N] [opacity=A] [type=NORMAL|DIALOG|DESKTOP|...]
//        [class=instance.Class] [pid=yes|no] [as=net|string] [: title]
//   title <id> [as=net|string] : text           untitle <id> [as=...]
//   opacity <id> [value=A]  activate <id>    raise <id>    map <id>    unmap <id>
//   destroy <id>        churn count=N rate=R         sync
//
// "as" chooses the title property: net is _NET_WM_NAME (UTF8_STRING), string is WM_NAME
// (STRING); either way the bytes as given.

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "tests/e2e/test_window_client.h"

namespace {

using quen::testing::TestWindowClient;
using quen::testing::TitleProperty;
using quen::testing::WindowOptions;

struct Command {
  std::string name;
  xcb_window_t window = 0;
  std::map<std::string, std::string> options;
  std::optional<std::string> title;
};

Command parse(const std::string& line) {
  Command command;
  std::string head = line;
  if (const auto colon = line.find(" :"); colon != std::string::npos) {
    head = line.substr(0, colon);
    const std::size_t textStart = colon + 2 < line.size() && line[colon + 2] == ' '
                                      ? colon + 3
                                      : colon + 2;
    command.title = line.substr(std::min(textStart, line.size()));
  }
  std::istringstream words(head);
  words >> command.name;
  for (std::string word; words >> word;) {
    if (const auto equals = word.find('='); equals != std::string::npos)
      command.options[word.substr(0, equals)] = word.substr(equals + 1);
    else
      command.window = static_cast<xcb_window_t>(std::stoul(word));
  }
  return command;
}

std::string option(const Command& command, const std::string& key, const std::string& otherwise) {
  const auto found = command.options.find(key);
  return found == command.options.end() ? otherwise : found->second;
}

TitleProperty titleProperty(const Command& command) {
  const std::string as = option(command, "as", "net");
  if (as == "string") return TitleProperty::WmNameString;
  return TitleProperty::NetWmName;
}

WindowOptions windowOptions(const Command& command) {
  WindowOptions options;
  options.width = static_cast<std::uint16_t>(std::stoi(option(command, "width", "400")));
  options.height = static_cast<std::uint16_t>(std::stoi(option(command, "height", "300")));
  options.x = static_cast<std::int16_t>(std::stoi(option(command, "x", "0")));
  options.y = static_cast<std::int16_t>(std::stoi(option(command, "y", "0")));
  if (command.options.count("opacity")) options.opacity = std::stod(command.options.at("opacity"));
  options.type = option(command, "type", "");
  const std::string wmClass = option(command, "class", "");
  if (const auto dot = wmClass.find('.'); dot != std::string::npos) {
    options.instance = wmClass.substr(0, dot);
    options.className = wmClass.substr(dot + 1);
  }
  options.publishPid = option(command, "pid", "yes") == "yes";
  options.titleProperty = titleProperty(command);
  options.title = command.title;
  return options;
}

// Runs one command; returns the window it concerns, or none with `error` set.
std::optional<xcb_window_t> execute(TestWindowClient& client, const Command& command,
                                    std::string& error) {
  const xcb_window_t window = command.window;
  const std::string& name = command.name;
  bool done = true;
  if (name == "open") return client.open(windowOptions(command), error);
  if (name == "title")
    done = client.setTitle(window, titleProperty(command), command.title.value_or(""), error);
  else if (name == "untitle")
    client.removeTitle(window, titleProperty(command));
  else if (name == "opacity") {
    client.setOpacity(window, command.options.count("value")
                                  ? std::optional(std::stod(command.options.at("value")))
                                  : std::nullopt);
    done = client.sync();
  }
  else if (name == "activate")
    done = client.activate(window, error);
  else if (name == "raise")
    client.raise(window);
  else if (name == "map")
    done = client.map(window, error);
  else if (name == "unmap")
    done = client.unmap(window, error);
  else if (name == "destroy")
    client.destroy(window);
  else if (name == "churn")
    done = client.churn(std::stoi(option(command, "count", "100")),
                        std::stod(option(command, "rate", "100")), error);
  else if (name == "sync")
    done = client.sync();
  else
    error = "unknown command";
  if (!done && error.empty()) error = "connection lost";
  if (!error.empty()) return std::nullopt;
  return window;
}

}  // namespace

int main() {
  std::string error;
  const auto client = TestWindowClient::connect(error);
  if (!client) {
    std::fprintf(stderr, "quen_test_window: %s\n", error.c_str());
    return 1;
  }
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    error.clear();
    std::optional<xcb_window_t> window;
    try {
      window = execute(*client, parse(line), error);
    } catch (const std::exception&) {
      error = "malformed command";
    }
    if (window)
      std::printf("ok %u\n", static_cast<unsigned>(*window));
    else
      std::printf("error %s\n", error.c_str());
    std::fflush(stdout);
  }
  return 0;
}
